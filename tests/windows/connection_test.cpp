#include "network/connection.h"

#include "platform/device_sim.h"
#include "tests/windows/test_support.h"

#include <gtest/gtest.h>
#include <tlhelp32.h>

#include <string>
#include <utility>
#include <vector>

namespace {

constexpr int kConnected = 0x8002;
constexpr int kEnded = 0x8003;

// A message-only window that records the messages the worker posts to it.
class Sink
{
public:
    Sink()
    {
        static const wchar_t* const kClass = L"TavrinConnectionTestSink";
        static bool registered = false;
        if (!registered) {
            WNDCLASSW wc{};
            wc.lpfnWndProc = Proc;
            wc.hInstance = GetModuleHandleW(nullptr);
            wc.lpszClassName = kClass;
            RegisterClassW(&wc);
            registered = true;
        }
        m_hwnd = CreateWindowW(kClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, GetModuleHandleW(nullptr), this);
        SetWindowLongPtrW(m_hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    ~Sink() { DestroyWindow(m_hwnd); }
    Sink(const Sink&) = delete;
    Sink& operator=(const Sink&) = delete;

    HWND hwnd() const { return m_hwnd; }
    int Count(UINT message) const
    {
        int n = 0;
        for (UINT m : m_messages) {
            n += m == message;
        }
        return n;
    }
    bool WaitFor(UINT message, int count = 1, DWORD timeoutMs = 5000)
    {
        return PumpUntil([&] { return Count(message) >= count; }, timeoutMs);
    }
    void Clear() { m_messages.clear(); }

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
    {
        auto* self = reinterpret_cast<Sink*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (self != nullptr && message >= WM_APP) {
            self->m_messages.push_back(message);
            return 0;
        }
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }

    HWND m_hwnd;
    std::vector<UINT> m_messages;
};

DeviceProfile Profile(const char* text)
{
    DeviceProfile profile;
    std::string error;
    EXPECT_TRUE(ParseDeviceProfile(text, profile, error)) << error;
    return profile;
}

class ConnectionTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        devicesim::SetProfile(DeviceProfile());
        devicesim::ResetCounters();
    }
    void TearDown() override
    {
        PumpFor(20);
        EXPECT_EQ(devicesim::OpenRequests(), 0) << "a Connection Manager request was not released";
        devicesim::SetProfile(DeviceProfile());
    }
    static const wchar_t* Url() { return L"http://127.0.0.1/loc1/location"; }
};

TEST_F(ConnectionTest, WithoutDestinationsNothingConnectsAndAbortStaysSilent)
{
    devicesim::SetProfile(Profile("destinations=0"));
    CConnection connection;
    Sink sink;
    EXPECT_FALSE(connection.IsInit());
    EXPECT_FALSE(connection.Connect(sink.hwnd(), Url(), kConnected, kEnded));
    EXPECT_EQ(connection.GetLastMessage(), L"CConnection::Connect(). IsInit(): Failed.");
    // Destinations appearing later change nothing: only construction lists them.
    devicesim::SetProfile(DeviceProfile());
    EXPECT_FALSE(connection.Connect(sink.hwnd(), Url(), kConnected, kEnded));
    connection.Abort(sink.hwnd(), kEnded);
    PumpFor(50);
    EXPECT_EQ(sink.Count(kEnded), 0);
    EXPECT_EQ(devicesim::GetCounters().realRequests, 0);
}

TEST_F(ConnectionTest, UnmappablePathFailsBeforeAnyRequest)
{
    CConnection connection;
    Sink sink;
    devicesim::SetProfile(Profile("test=0x21"));
    EXPECT_EQ(connection.IsAvailable(nullptr, Url(), TRUE), 1);
    const std::wstring before = connection.GetLastMessage();

    devicesim::SetProfile(Profile("map=fail"));
    devicesim::ResetCounters();
    EXPECT_FALSE(connection.Connect(sink.hwnd(), Url(), kConnected, kEnded));
    EXPECT_EQ(connection.GetLastMessage(), before);

    DWORD status = 123;
    EXPECT_EQ(connection.IsAvailable(&status, Url(), TRUE), E_INVALIDARG);
    EXPECT_EQ(status, 0u);
    EXPECT_EQ(connection.GetLastMessage(), L"CConnection::IsAvailable(). GetNetworkFromPath(): Failed.");
    EXPECT_EQ(connection.CheckAvailable(Url(), nullptr), -1);
    EXPECT_EQ(devicesim::GetCounters().testRequests + devicesim::GetCounters().realRequests, 0);
}

TEST_F(ConnectionTest, TestRequestAnswers)
{
    struct Case
    {
        const char* profile;
        HRESULT available;
        int check;
        DWORD status;
        const wchar_t* message; // null: unchanged (empty)
    };
    const Case cases[] = {
        {"test=0x10", 0, 1, 0x10, nullptr},
        {"test=0x23", 0, 1, 0x23, nullptr},
        {"test=0x21", 1, 0, 0x21,
         L"CConnection::IsAvailable(). dwStats != (CONNMGR_STATUS_CONNECTED || CONNMGR_STATUS_CONNECTIONDISABLED)."},
        {"test=timeout", E_FAIL, -1, 0, L"CConnection::IsAvailable(). WaitForSingleObject() == WAIT_TIMEOUT."},
        {"test=fail", E_FAIL, -1, 0, L"CConnection::IsAvailable(). ConnMgrEstablishConnection(): Failed."},
        {"query=fail", 1, 0, 0, L"CConnection::IsAvailable(). ConnMgrConnectionStatus(): Failed."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.profile);
        devicesim::SetProfile(Profile(c.profile));
        devicesim::ResetCounters();
        CConnection connection;
        DWORD status = 77;
        EXPECT_EQ(connection.IsAvailable(&status, Url(), FALSE), c.available);
        EXPECT_EQ(status, c.status);
        EXPECT_EQ(connection.GetLastMessage(), c.message ? c.message : L"");
        DWORD checked = 77;
        EXPECT_EQ(connection.CheckAvailable(Url(), &checked), c.check);
        EXPECT_EQ(checked, c.status);

        devicesim::Counters counters = devicesim::GetCounters();
        EXPECT_EQ(counters.realRequests, 0);
        bool refused = std::string(c.profile) == "test=fail";
        EXPECT_EQ(counters.releases, refused ? std::vector<LONG>{} : std::vector<LONG>({1, 1}));
        // The second, CheckAvailable's, request asks for a proxy-capable network.
        const CONNMGR_CONNECTIONINFO& info = counters.lastTest;
        EXPECT_EQ(info.dwParams, 9u);
        EXPECT_EQ(info.dwFlags, 1u);
        EXPECT_EQ(info.dwPriority, 0x8000u);
        EXPECT_TRUE(info.bDisabled);
        EXPECT_FALSE(info.bExclusive);
        EXPECT_EQ(info.ulMaxConnLatency, 4000u);
        EXPECT_EQ(info.hWnd, nullptr);
    }
}

TEST_F(ConnectionTest, DialupListGrowsAndCountsEveryListedConnection)
{
    struct Case
    {
        const char* profile;
        int count;
        const wchar_t* message;
    };
    const Case cases[] = {
        {"dialup=", 0, L""},
        {"dialup=connected", 1, L""},
        {"dialup=listed", 1, L""},
        {"dialup=nohandle", 1, L""},
        {"dialup=10*connected", 10, L""},
        {"dialup=11*listed", 11, L""},
        {"dialup=100*connected", 100, L""},
        {"dialup=101*connected", 0,
         L"CConnection::IsConnectionExists(). RasEnumConnections() == ERROR_BUFFER_TOO_SMALL: RsConnNum = 110."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.profile);
        devicesim::SetProfile(Profile(c.profile));
        CConnection connection;
        EXPECT_EQ(connection.IsConnectionExists(), c.count);
        EXPECT_EQ(connection.GetLastMessage(), c.message);
    }
}

TEST_F(ConnectionTest, DisconnectHangsUpOnlyConnectedOnesAndWaitsTillTheyAreGone)
{
    devicesim::SetProfile(Profile("dialup=listed, 11*connected, nohandle, 0x2001"));
    CConnection connection;
    connection.Disconnect();
    EXPECT_EQ(devicesim::GetCounters().hangUps, 11);
    EXPECT_EQ(devicesim::DialupCount(), 3);
    EXPECT_EQ(connection.IsConnectionExists(), 3);

    // Beyond the list's limit nothing is walked, so nothing is hung up.
    devicesim::SetProfile(Profile("dialup=101*connected"));
    devicesim::ResetCounters();
    connection.Disconnect();
    EXPECT_EQ(devicesim::GetCounters().hangUps, 0);
}

TEST_F(ConnectionTest, WorkerOutcomes)
{
    struct Case
    {
        const char* profile;
        DWORD retryLimit;
        int connectedPosts;
        const wchar_t* message;
        std::vector<LONG> releases;
        int requests;
    };
    const Case cases[] = {
        {"connect=0x40@0,0x21@20", 0, 0, L"CONNMGR_STATUS_CONNECTIONFAILED", {0}, 1},
        {"connect=0x21@5", 2, 0, L"CONNMGR_STATUS_CONNECTIONFAILED", {0, 0, 0}, 3},
        {"connect=0x21@5;0x21@5;0x10@5,0x20@30", 3, 1, L"CONNMGR_STATUS_DISCONNECTED", {0, 0, 1}, 3},
        {"connect=fail", 0, 0, L"ConnMgrEstablishConnection() Failed.", {}, 1},
        {"connect=0x22@10", 0, 0, L"CONNMGR_STATUS_CONNECTIONCANCELED", {0}, 1},
        {"connect=0x23@10", 0, 0, L"ConnMgrConnectionStatus() Status = 35", {0}, 1},
        {"connect=0x10@0,0x11@10,0x20@10", 0, 1, L"CONNMGR_STATUS_DISCONNECTED", {1}, 1},
        {"query=fail\nconnect=0x10@10", 0, 0, L"ConnMgrConnectionStatus() Failed.", {1}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.profile);
        devicesim::SetProfile(Profile(c.profile));
        devicesim::ResetCounters();
        Sink sink;
        CConnection connection;
        connection.SetRetry(c.retryLimit, 10);
        ASSERT_TRUE(connection.Connect(sink.hwnd(), Url(), kConnected, kEnded));
        ASSERT_TRUE(sink.WaitFor(kEnded));
        PumpFor(30);
        EXPECT_EQ(sink.Count(kEnded), 1);
        EXPECT_EQ(sink.Count(kConnected), c.connectedPosts);
        EXPECT_EQ(connection.GetLastMessage(), c.message);
        devicesim::Counters counters = devicesim::GetCounters();
        EXPECT_EQ(counters.releases, c.releases);
        EXPECT_EQ(counters.realRequests, c.requests);
        EXPECT_EQ(counters.lastReal.dwParams, 1u);
        EXPECT_EQ(counters.lastReal.dwFlags, 1u);
        EXPECT_EQ(counters.lastReal.dwPriority, 0x8000u);
        EXPECT_FALSE(counters.lastReal.bDisabled);
        EXPECT_EQ(counters.lastReal.ulMaxConnLatency, 0u);
    }
}

TEST_F(ConnectionTest, AbortWhileHoldingAConnectionTellsTheEarlierAndTheNewWindow)
{
    CConnection connection;
    Sink earlier;
    Sink later;
    ASSERT_TRUE(connection.Connect(earlier.hwnd(), Url(), kConnected, kEnded));
    ASSERT_TRUE(earlier.WaitFor(kConnected));
    EXPECT_EQ(devicesim::OpenRequests(), 1);
    EXPECT_EQ(connection.GetLastMessage(), L"CONNMGR_STATUS_CONNECTED");

    connection.Abort(later.hwnd(), kEnded + 1);
    PumpFor(50);
    EXPECT_EQ(earlier.Count(kEnded), 1);
    EXPECT_EQ(later.Count(kEnded + 1), 1);
    EXPECT_EQ(later.Count(kEnded), 0);
    EXPECT_EQ(devicesim::GetCounters().releases, std::vector<LONG>{1});

    // With no worker, Abort still answers; a negative id posts nothing.
    connection.Abort(later.hwnd(), kEnded + 1);
    connection.Abort(later.hwnd(), -1);
    PumpFor(30);
    EXPECT_EQ(later.Count(kEnded + 1), 2);
}

TEST_F(ConnectionTest, NewConnectStopsTheOldWorkerWithoutEndingTheNewCaller)
{
    devicesim::SetProfile(Profile("connect=0x40@0"));
    CConnection connection;
    Sink first;
    Sink second;
    ASSERT_TRUE(connection.Connect(first.hwnd(), Url(), kConnected, kEnded));
    PumpFor(30);
    devicesim::SetProfile(DeviceProfile());
    ASSERT_TRUE(connection.Connect(second.hwnd(), Url(), kConnected, kEnded));
    ASSERT_TRUE(second.WaitFor(kConnected));
    PumpFor(30);
    EXPECT_EQ(first.Count(kEnded), 1);
    EXPECT_EQ(second.Count(kEnded), 0);
    EXPECT_EQ(devicesim::OpenRequests(), 1);
    EXPECT_EQ(connection.GetLastMessage(), L"CONNMGR_STATUS_CONNECTED");
    connection.Abort(nullptr, kEnded);
}

TEST_F(ConnectionTest, AbortRightAfterConnectIsNotLost)
{
    devicesim::SetProfile(Profile("connect=0x40@0"));
    CConnection connection;
    Sink sink;
    for (int i = 0; i < 20; ++i) {
        ASSERT_TRUE(connection.Connect(sink.hwnd(), Url(), kConnected, kEnded));
        DWORD start = GetTickCount();
        connection.Abort(nullptr, kEnded);
        ASSERT_LT(GetTickCount() - start, 2500u) << "the worker missed the stop request";
    }
}

TEST_F(ConnectionTest, DestroyingTheObjectStopsItsWorker)
{
    Sink sink;
    {
        CConnection connection;
        ASSERT_TRUE(connection.Connect(sink.hwnd(), Url(), kConnected, kEnded));
        ASSERT_TRUE(sink.WaitFor(kConnected));
    }
    EXPECT_EQ(devicesim::OpenRequests(), 0);
    EXPECT_EQ(devicesim::GetCounters().releases, std::vector<LONG>{1});
    PumpFor(30);
    EXPECT_GE(sink.Count(kEnded), 1);
}

TEST_F(ConnectionTest, FiveHundredConnectAbortCyclesLeaveNoThreadOrHandle)
{
    const DeviceProfile immediate;
    const DeviceProfile paced = Profile("connect=0x40@0,0x10@2");
    CConnection connection;
    Sink sink;
    auto cycle = [&](int i) {
        devicesim::SetProfile(i % 2 ? paced : immediate);
        ASSERT_TRUE(connection.Connect(sink.hwnd(), Url(), kConnected, kEnded));
        if (i % 3 == 0) {
            Sleep(3); // sometimes let it connect first
        }
        connection.Abort(sink.hwnd(), kEnded);
        if (i % 50 == 0) {
            PumpFor(1);
            sink.Clear();
        }
    };
    for (int i = 0; i < 4; ++i) {
        cycle(i);
    }
    PumpFor(50);
    const int threads = ThreadCount();
    const DWORD handles = HandleCount();
    ASSERT_GT(handles, 0u);
    for (int i = 0; i < 500; ++i) {
        cycle(i);
    }
    PumpFor(50);
    EXPECT_EQ(ThreadCount(), threads);
    EXPECT_EQ(HandleCount(), handles);
    EXPECT_EQ(devicesim::OpenRequests(), 0);
}

TEST_F(ConnectionTest, AWorkerThatOutlivesItsStopReachesNoLaterCallerAndEndsByItself)
{
    Sink first;
    Sink second;
    {
        CConnection connection;
        ASSERT_TRUE(connection.Connect(first.hwnd(), Url(), kConnected, kEnded));
        ASSERT_TRUE(first.WaitFor(kConnected));
        // Giving the connection back takes longer than the stop limit; the next request waits.
        devicesim::SetProfile(Profile("block=release@4000\nconnect=0x40@0"));
        ASSERT_TRUE(connection.Connect(second.hwnd(), Url(), kConnected, kEnded));
        devicesim::SetProfile(Profile("connect=0x40@0"));
        // The late worker takes no stop request of the new one: it ends within the wait.
        EXPECT_TRUE(connection.Abort(second.hwnd(), kEnded + 1));
        PumpFor(30);
        EXPECT_EQ(second.Count(kEnded), 1);
        EXPECT_EQ(second.Count(kEnded + 1), 1);
    }
    // The late worker outlives the object without touching it, and posts nothing to anyone.
    EXPECT_TRUE(PumpUntil([] { return devicesim::OpenRequests() == 0; }, 5000));
    EXPECT_EQ(devicesim::GetCounters().releases, (std::vector<LONG>{1, 1}));
    PumpFor(50);
    EXPECT_EQ(first.Count(kEnded), 0);
    EXPECT_EQ(second.Count(kEnded), 1);
}

TEST_F(ConnectionTest, DisconnectEndsWhenAHangUpFailsOrNeverCompletes)
{
    for (const char* hangUp : {"hangup=fail", "hangup=never"}) {
        SCOPED_TRACE(hangUp);
        devicesim::SetProfile(Profile((std::string("dialup=3*connected\n") + hangUp).c_str()));
        devicesim::ResetCounters();
        CConnection connection;
        EXPECT_FALSE(connection.Disconnect()); // the lines are still up, and that is said
        EXPECT_EQ(devicesim::GetCounters().hangUps, 3);
        EXPECT_EQ(connection.IsConnectionExists(), 3);
    }
    devicesim::SetProfile(Profile("dialup=connected,listed"));
    CConnection connection;
    EXPECT_TRUE(connection.Disconnect());
}

TEST_F(ConnectionTest, AConnectionReleasedWithCacheStaysUpUntilItsTimeRunsOut)
{
    devicesim::SetProfile(Profile("dialup_follows=yes\ncache_time=1500"));
    CConnection connection;
    Sink sink;
    ASSERT_TRUE(connection.Connect(sink.hwnd(), Url(), kConnected, kEnded));
    ASSERT_TRUE(sink.WaitFor(kConnected));
    connection.Abort(nullptr, kEnded); // released with cache 1
    EXPECT_EQ(connection.IsConnectionExists(), 1);
    EXPECT_TRUE(PumpUntil([&] { return connection.IsConnectionExists() == 0; }, 10000));
}

} // namespace
