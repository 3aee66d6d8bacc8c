// ctest-lock: com1
#include "acquisition/cs_id.h"

#include "resources/resource.h"
#include "tests/windows/test_support.h"
#include "tests/windows/wsim_control.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

class SerialPortTestAccess
{
public:
    static void SetOpenAttempts(CSerialPort& port, DWORD attempts) { port.m_dwOpenAttempts = attempts; }
};

namespace {

// A message-only window that counts the answer notifications.
class NotifySink
{
public:
    NotifySink()
    {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = Proc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"CsIdTestSink";
        RegisterClassW(&wc);
        m_hwnd = CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
        SetWindowLongPtrW(m_hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    ~NotifySink() { DestroyWindow(m_hwnd); }
    HWND Window() const { return m_hwnd; }
    int Count() const { return m_count; }
    void Reset() { m_count = 0; }
    // Waits for the first notification, then a little longer for any that should not come.
    bool WaitForOne(DWORD ms = 5000)
    {
        bool got = PumpUntil([this] { return m_count > 0; }, ms);
        PumpFor(300);
        return got;
    }

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
    {
        auto* self = reinterpret_cast<NotifySink*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (msg == WM_TAVRIN_ANSWER && self != nullptr) {
            EXPECT_EQ(0u, wp);
            EXPECT_EQ(0, lp);
            ++self->m_count;
            return 0;
        }
        return DefWindowProcW(hwnd, msg, wp, lp);
    }

    HWND m_hwnd;
    int m_count = 0;
};

class CsIdTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(WsimReset());
        WsimClearLog();
        csId.SetNotify(sink.Window(), WM_TAVRIN_ANSWER);
    }

    MessageBoxRecorder boxes;
    NotifySink sink;
    CCsId csId;
};

TEST_F(CsIdTest, SendsTheThreeCommandsOnOnePortOpenedOnce)
{
    EXPECT_FALSE(csId.IsPortOpened());
    ASSERT_TRUE(csId.SendAtK20());
    EXPECT_TRUE(csId.IsPortOpened());
    ASSERT_TRUE(sink.WaitForOne());
    ASSERT_TRUE(csId.SendAtLbc1());
    ASSERT_TRUE(PumpUntil([&] { return sink.Count() == 2; }, 5000));
    ASSERT_TRUE(csId.SendAtLbcQuery());
    ASSERT_TRUE(PumpUntil([&] { return sink.Count() == 3; }, 5000));
    EXPECT_EQ("AT@K20\r\nAT@LBC1\r\nAT@LBC?\r\n", WsimReceivedBytes());
    EXPECT_EQ((std::vector<std::string>{"AT@K20", "AT@LBC1", "AT@LBC?"}), WsimCommands());

    csId.ClosePort();
    EXPECT_FALSE(csId.IsPortOpened());
    EXPECT_EQ(0u, csId.Port().IsOpen());
    csId.ClosePort();

    // The next command opens it again.
    ASSERT_TRUE(csId.SendAtK20());
    EXPECT_TRUE(csId.IsPortOpened());
    EXPECT_EQ(0u, boxes.Count());
}

TEST_F(CsIdTest, OneNotificationWhenOkArrivesSplit)
{
    // 25 bytes: "AT@K20\r\r\n\r\n1234,5\r\n\r\nOK\r\n"; "OK" ends the second chunk,
    // its CR and LF come one by one.
    ASSERT_TRUE(WsimConfigure(R"({"chunks": [10, 13, 1], "chunk_gap_ms": 60})"));
    ASSERT_TRUE(csId.SendAtK20());
    ASSERT_TRUE(sink.WaitForOne());
    EXPECT_EQ(1, sink.Count());

    std::wstring answer;
    EXPECT_EQ(RESP_K20, csId.TakeResponse(answer));
    EXPECT_EQ(L"AT@K20\r\r\n\r\n1234,5\r\n\r\nOK\r\n", answer);
    std::wstring csid;
    EXPECT_TRUE(CCsId::ParseCsId(answer, csid));
    EXPECT_EQ(L"1234/5", csid);

    // Taken means gone.
    EXPECT_EQ(RESP_OTHER, csId.TakeResponse(answer));
    EXPECT_EQ(L"", answer);
}

TEST_F(CsIdTest, ErrorReplyNotifiesNothing)
{
    ASSERT_TRUE(WsimConfigure(R"({"error": true})"));
    ASSERT_TRUE(csId.SendAtLbc1());
    EXPECT_FALSE(sink.WaitForOne(800));
    std::wstring answer;
    EXPECT_EQ(RESP_LBC1, csId.TakeResponse(answer));
    EXPECT_EQ(L"AT@LBC1\r\r\n\r\nERROR\r\n", answer);
}

TEST_F(CsIdTest, SendingEmptiesWhatWasLeftOfTheLastAnswer)
{
    ASSERT_TRUE(WsimConfigure(R"({"error": ["AT@K20"]})"));
    ASSERT_TRUE(csId.SendAtK20());
    PumpFor(300);
    ASSERT_TRUE(csId.SendAtLbc1());
    ASSERT_TRUE(sink.WaitForOne());
    std::wstring answer;
    EXPECT_EQ(RESP_LBC1, csId.TakeResponse(answer));
    EXPECT_EQ(L"AT@LBC1\r\r\n\r\nOK\r\n", answer);
}

TEST_F(CsIdTest, UnexpectedAnswerKindIsReported)
{
    ASSERT_TRUE(WsimConfigure(R"({"raw": {"AT@LBC1": "AT@LBC2\r\r\n\r\nOK\r\n"}})"));
    ASSERT_TRUE(csId.SendAtLbc1());
    ASSERT_TRUE(sink.WaitForOne());
    EXPECT_EQ(1, sink.Count());
    std::wstring answer;
    EXPECT_EQ(RESP_LBC2, csId.TakeResponse(answer));
    EXPECT_EQ(L"AT@LBC2\r\r\n\r\nOK\r\n", answer);
}

TEST_F(CsIdTest, SimpleCoordinatesAfterFixesArrive)
{
    ASSERT_TRUE(WsimConfigure(R"({"fixes_needed": 2, "coordinates": ["N35:41:12", "E139:45:00", "7"]})"));
    std::wstring coordinates;
    int rounds = 0;
    for (; rounds < 5 && coordinates.empty(); ++rounds) {
        sink.Reset();
        ASSERT_TRUE(csId.SendAtLbc1());
        ASSERT_TRUE(PumpUntil([&] { return sink.Count() == 1; }, 5000));
        std::wstring answer;
        ASSERT_EQ(RESP_LBC1, csId.TakeResponse(answer));
        ASSERT_TRUE(csId.SendAtLbcQuery());
        ASSERT_TRUE(PumpUntil([&] { return sink.Count() == 2; }, 5000));
        ASSERT_EQ(RESP_LBCQ, csId.TakeResponse(answer));
        bool ok = CCsId::ParseSimpleCoordinates(answer, coordinates);
        EXPECT_EQ(ok, !coordinates.empty());
    }
    EXPECT_EQ(3, rounds);
    EXPECT_EQ(L"N35.41.12.000E139.45.00.000/7", coordinates);
}

TEST_F(CsIdTest, APortLeftOpenMovesWhenTheDeviceChanges)
{
    ASSERT_TRUE(csId.SendAtK20()); // left open, as after a failed acquisition
    ASSERT_TRUE(sink.WaitForOne());
    csId.SetDeviceName(L"COM1:");
    EXPECT_TRUE(csId.IsPortOpened());
    csId.SetDeviceName(L"COM3:");
    EXPECT_FALSE(csId.IsPortOpened());
    sink.Reset();
    ASSERT_TRUE(csId.SendAtK20()); // the simulator answers on COM3: too
    EXPECT_TRUE(sink.WaitForOne());
    EXPECT_EQ(0u, boxes.Count());
}

TEST_F(CsIdTest, PortThatCannotBeOpenedShowsOnlyItsOwnMessage)
{
    // The attempts are cut short here.
    ASSERT_TRUE(WsimSetDevice(WsimDevice::Gone));
    struct Restore
    {
        ~Restore() { WsimSetDevice(WsimDevice::Module); }
    } restore;
    SerialPortTestAccess::SetOpenAttempts(csId.Port(), 2);

    EXPECT_FALSE(csId.SendAtK20());
    EXPECT_FALSE(csId.IsPortOpened());
    ASSERT_EQ(1u, boxes.Count());
    EXPECT_EQ(L"CreateFile failed: COM1:", boxes.Boxes()[0].text);
    EXPECT_TRUE(WsimCommands().empty());
}

} // namespace
