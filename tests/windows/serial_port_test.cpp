// ctest-lock: com1
#include "acquisition/serial_port.h"

#include "acquisition/serial_reader.h"
#include "acquisition/serial_rules.h"
#include "tests/windows/test_support.h"
#include "tests/windows/wsim_control.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

class SerialPortTestAccess
{
public:
    static HANDLE Device(CSerialPort& port) { return port.m_hDevice; }
    static HANDLE ReaderThread(CSerialPort& port) { return port.m_hReadThread.Get(); }
    static void SetCloser(BOOL(WINAPI* close)(HANDLE)) { CSerialPort::s_closeDevice = close; }
};

namespace {

class Recorder : public IReceiveEvent
{
public:
    void OnReceive(const wchar_t* text) override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_chunks.push_back(text);
    }
    void OnReadError(const std::wstring& text) override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_readErrors.push_back(text);
    }
    void OnWriteError(const std::wstring& text) override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_writeErrors.push_back(text);
    }
    std::vector<std::wstring> ReadErrors() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_readErrors;
    }
    std::vector<std::wstring> WriteErrors() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_writeErrors;
    }
    std::vector<std::wstring> Chunks() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_chunks;
    }
    std::wstring Text() const
    {
        std::wstring all;
        for (const std::wstring& chunk : Chunks()) {
            all += chunk;
        }
        return all;
    }
    bool WaitFor(const std::wstring& ending, DWORD ms = 5000) const
    {
        return PumpUntil(
            [&] {
                std::wstring text = Text();
                return text.size() >= ending.size() &&
                       text.compare(text.size() - ending.size(), ending.size(), ending) == 0;
            },
            ms);
    }

private:
    mutable std::mutex m_mutex;
    std::vector<std::wstring> m_chunks;
    std::vector<std::wstring> m_readErrors;
    std::vector<std::wstring> m_writeErrors;
};

// The two readers: woken by the line (the program's), and the 10 ms poll kept for a driver
// that refuses the waiting read. Each row of a table runs with the reader it names.
struct ReaderKind
{
    const char* name;
    bool polls;
};
const ReaderKind kReaders[] = {{"woken by the line", false}, {"polling", true}};

class ReaderChoice
{
public:
    explicit ReaderChoice(const ReaderKind& kind) { CSerialReader::UsePolling(kind.polls); }
    ~ReaderChoice() { CSerialReader::UsePolling(false); }
    ReaderChoice(const ReaderChoice&) = delete;
    ReaderChoice& operator=(const ReaderChoice&) = delete;
};

// A handle of the port's reader thread that outlives Close, to see how the thread ended.
HANDLE KeepReader(CSerialPort& port);

// Whether the thread ended by itself (exit code 0) rather than being ended by Close.
bool EndedByItself(HANDLE thread)
{
    DWORD exitCode = 99;
    const bool ended = WaitForSingleObject(thread, 0) == WAIT_OBJECT_0 && GetExitCodeThread(thread, &exitCode);
    CloseHandle(thread);
    return ended && exitCode == 0;
}

DCB LineSettings()
{
    DCB dcb;
    // Only the four line members may be taken from the caller's block.
    memset(&dcb, 0xA5, sizeof(dcb));
    dcb.BaudRate = CBR_9600;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    return dcb;
}

bool Send(CSerialPort& port, const std::string& bytes, DWORD* written = nullptr)
{
    DWORD count = static_cast<DWORD>(bytes.size());
    DWORD done = 0;
    bool ok = port.write_scc(reinterpret_cast<const BYTE*>(bytes.data()), &count, &done);
    if (written != nullptr) {
        *written = done;
    }
    return ok;
}

const std::wstring kK20Answer = L"AT@K20\r\r\n\r\n1234,5\r\n\r\nOK\r\n";

class SerialPortTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(WsimReset());
        WsimClearLog();
        port.SetListener(&recorder);
    }
    void TearDown() override { port.Close(); }

    MessageBoxRecorder boxes;
    Recorder recorder;
    CSerialPort port;
};

TEST_F(SerialPortTest, OpenAppliesLineSettingsAndTimeoutsAndCloseReleasesTheDevice)
{
    ASSERT_TRUE(port.Open(LineSettings(), L"COM1:"));
    EXPECT_EQ(1u, port.IsOpen());
    HANDLE device = SerialPortTestAccess::Device(port);
    ASSERT_NE(INVALID_HANDLE_VALUE, device);

    DCB dcb = {};
    dcb.DCBlength = sizeof(dcb);
    ASSERT_TRUE(GetCommState(device, &dcb));
    EXPECT_EQ(28u, sizeof(DCB));
    EXPECT_EQ(9600u, dcb.BaudRate);
    EXPECT_EQ(8, dcb.ByteSize);
    EXPECT_EQ(NOPARITY, dcb.Parity);
    EXPECT_EQ(ONESTOPBIT, dcb.StopBits);
    EXPECT_EQ(1u, dcb.fOutxCtsFlow);
    EXPECT_EQ(0u, dcb.fOutxDsrFlow);
    EXPECT_EQ(0u, dcb.fOutX);
    EXPECT_EQ(0u, dcb.fInX);
    EXPECT_EQ(static_cast<DWORD>(DTR_CONTROL_ENABLE), dcb.fDtrControl);
    EXPECT_EQ(static_cast<DWORD>(RTS_CONTROL_ENABLE), dcb.fRtsControl);

    // A read waits for the first byte and comes back once the line pauses.
    COMMTIMEOUTS timeouts = {};
    ASSERT_TRUE(GetCommTimeouts(device, &timeouts));
    EXPECT_EQ(kReadGapMs, timeouts.ReadIntervalTimeout);
    EXPECT_EQ(0u, timeouts.ReadTotalTimeoutMultiplier);
    EXPECT_EQ(0u, timeouts.ReadTotalTimeoutConstant);
    EXPECT_EQ(10u, timeouts.WriteTotalTimeoutMultiplier);
    EXPECT_EQ(1000u, timeouts.WriteTotalTimeoutConstant);

    // A second Open changes nothing.
    EXPECT_FALSE(port.Open(LineSettings(), L"COM1:"));
    EXPECT_EQ(device, SerialPortTestAccess::Device(port));
    EXPECT_EQ(1u, port.IsOpen());

    // Close ends the reader by itself (exit code 0, not terminated) and frees the device.
    HANDLE reader = nullptr;
    ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), SerialPortTestAccess::ReaderThread(port), GetCurrentProcess(),
                                &reader, SYNCHRONIZE | THREAD_QUERY_INFORMATION, FALSE, 0));
    EXPECT_TRUE(port.Close());
    EXPECT_EQ(0u, port.IsOpen());
    EXPECT_EQ(INVALID_HANDLE_VALUE, SerialPortTestAccess::Device(port));
    EXPECT_EQ(nullptr, SerialPortTestAccess::ReaderThread(port));
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(reader, 0));
    DWORD exitCode = 99;
    GetExitCodeThread(reader, &exitCode);
    EXPECT_EQ(0u, exitCode);
    CloseHandle(reader);

    EXPECT_FALSE(port.Close());
    EXPECT_TRUE(port.Open(LineSettings(), L"COM1:"));
    EXPECT_EQ(0u, boxes.Count());
}

TEST_F(SerialPortTest, WritesBytesAsGivenAndDeliversTheAnswer)
{
    ASSERT_TRUE(port.Open(LineSettings(), L"COM1:"));
    DWORD written = 0;
    ASSERT_TRUE(Send(port, "AT@K20\r\n", &written));
    EXPECT_EQ(8u, written);
    ASSERT_TRUE(recorder.WaitFor(L"OK\r\n"));
    EXPECT_EQ(kK20Answer, recorder.Text());
    EXPECT_EQ("AT@K20\r\n", WsimReceivedBytes());
    EXPECT_EQ(std::vector<std::string>{"AT@K20"}, WsimCommands());

    // Nothing to write: refused, no message, nothing sent.
    DWORD zero = 0;
    written = 7;
    EXPECT_FALSE(port.write_scc(reinterpret_cast<const BYTE*>("AT"), &zero, &written));
    PumpFor(200);
    EXPECT_EQ("AT@K20\r\n", WsimReceivedBytes());
    EXPECT_EQ(0u, boxes.Count());
}

TEST_F(SerialPortTest, WriteCutShortByTheTimeoutFails)
{
    // A module that reads nothing: the pseudo-terminal's buffer fills and the write times out.
    ASSERT_TRUE(WsimConfigure(R"({"deaf": true})"));
    PumpFor(300);
    ASSERT_TRUE(port.Open(LineSettings(), L"COM1:"));
    COMMTIMEOUTS shortened = {kReadGapMs, 0, 0, 0, 300}; // not to wait out the real time-out
    ASSERT_TRUE(SetCommTimeouts(SerialPortTestAccess::Device(port), &shortened));
    // Line feeds: the module skips them once it reads again (the next test's reset).
    const std::string bytes(300000, '\n');
    DWORD written = 0;
    EXPECT_FALSE(Send(port, bytes, &written));
    EXPECT_LT(written, bytes.size());
    ASSERT_EQ(1u, boxes.Count());
    // Told as a write failure, the platform's old words beneath.
    EXPECT_EQ(L"COM1: への書き込みに失敗しました。\nReading of serial communication has problem.",
              boxes.Boxes()[0].text);
}

TEST_F(SerialPortTest, LongAnswerArrivesInChunksOfAtMost999)
{
    ASSERT_TRUE(WsimConfigure(R"({"min_answer_bytes": 2600})"));
    ASSERT_TRUE(port.Open(LineSettings(), L"COM1:"));
    ASSERT_TRUE(Send(port, "AT@K20\r\n"));
    ASSERT_TRUE(recorder.WaitFor(L"\r\nOK\r\n"));
    std::vector<std::wstring> chunks = recorder.Chunks();
    EXPECT_GE(chunks.size(), 3u);
    for (const std::wstring& chunk : chunks) {
        EXPECT_LE(chunk.size(), 999u);
        EXPECT_FALSE(chunk.empty());
    }
    std::wstring text = recorder.Text();
    EXPECT_GE(text.size(), 2600u);
    EXPECT_EQ(0u, text.rfind(L"AT@K20\r\r\n\r\n1234,5\r\n1000,0\r\n", 0));
    EXPECT_NE(std::wstring::npos, text.find(L"\r\n1099,9\r\n"));
}

TEST_F(SerialPortTest, ChunkIsCutAtItsFirstNul)
{
    // The first chunk carries the NUL; the second arrives whole.
    ASSERT_TRUE(WsimConfigure(R"({"nul_at": 3, "chunks": [10], "chunk_gap_ms": 150})"));
    ASSERT_TRUE(port.Open(LineSettings(), L"COM1:"));
    ASSERT_TRUE(Send(port, "AT@K20\r\n"));
    ASSERT_TRUE(recorder.WaitFor(L"OK\r\n"));
    EXPECT_EQ(L"AT@" + kK20Answer.substr(9), recorder.Text());
}

TEST_F(SerialPortTest, WithoutListenerDataIsReadAndDropped)
{
    port.SetListener(nullptr);
    ASSERT_TRUE(port.Open(LineSettings(), L"COM1:"));
    ASSERT_TRUE(Send(port, "AT@LBC1\r\n"));
    PumpFor(400);
    port.SetListener(&recorder);
    ASSERT_TRUE(Send(port, "AT@K20\r\n"));
    ASSERT_TRUE(recorder.WaitFor(L"OK\r\n"));
    EXPECT_EQ(kK20Answer, recorder.Text());
}

TEST_F(SerialPortTest, ReaderStuckInTheListenerIsTerminatedOnClose)
{
    struct Stuck : IReceiveEvent
    {
        HANDLE entered = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        void OnReceive(const wchar_t*) override
        {
            SetEvent(entered);
            Sleep(5000);
        }
        void OnReadError(const std::wstring&) override {}
    } stuck;
    port.SetListener(&stuck);
    ASSERT_TRUE(port.Open(LineSettings(), L"COM1:"));
    ASSERT_TRUE(Send(port, "AT@K20\r\n"));
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(stuck.entered, 5000));
    HANDLE reader = nullptr;
    ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), SerialPortTestAccess::ReaderThread(port), GetCurrentProcess(),
                                &reader, SYNCHRONIZE | THREAD_QUERY_INFORMATION, FALSE, 0));
    EXPECT_TRUE(port.Close());
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(reader, 1000));
    DWORD exitCode = 0;
    GetExitCodeThread(reader, &exitCode);
    EXPECT_EQ(20u, exitCode);
    CloseHandle(reader);
    CloseHandle(stuck.entered);
    EXPECT_EQ(0u, boxes.Count());
}

TEST_F(SerialPortTest, DeviceThatRefusesSerialSettingsIsReleasedAtOnce)
{
    ASSERT_TRUE(WsimSetDevice(WsimDevice::PlainFile));
    struct Restore
    {
        ~Restore() { WsimSetDevice(WsimDevice::Module); }
    } restore;

    // A handle kept after the failure would lock the (unshared) file for the second try.
    for (int attempt = 0; attempt < 2; ++attempt) {
        EXPECT_FALSE(port.Open(LineSettings(), L"COM1:"));
        EXPECT_EQ(0u, port.IsOpen());
        EXPECT_EQ(INVALID_HANDLE_VALUE, SerialPortTestAccess::Device(port));
    }
    std::vector<MessageBoxRecorder::Box> shown = boxes.Boxes();
    ASSERT_EQ(2u, shown.size());
    EXPECT_EQ(L"SetCommTimeouts failed.", shown[0].text);
    EXPECT_EQ(shown[0].text, shown[1].text);
}

TEST_F(SerialPortTest, DeviceThatNeverOpensCostsThirtyAttemptsAndIsNamed)
{
    // 30 attempts, 100 ms after each.
    CSerialPort fresh;
    DWORD start = GetTickCount();
    EXPECT_FALSE(fresh.Open(LineSettings(), L"COM9:"));
    DWORD elapsed = GetTickCount() - start;
    EXPECT_GE(elapsed, 2900u);
    ASSERT_EQ(1u, boxes.Count());
    MessageBoxRecorder::Box box = boxes.Boxes()[0];
    EXPECT_EQ(L"CreateFile failed: COM9:", box.text);
    EXPECT_EQ(L"Error", box.caption);
    EXPECT_EQ(nullptr, box.owner);
    EXPECT_EQ(static_cast<UINT>(MB_OK | MB_ICONERROR), box.style);
    EXPECT_EQ(0u, fresh.IsOpen());
}

// The receiver's and the modem's line: no CTS demanded (a device wired with three wires never
// asserts it), DTR and RTS raised; writes go out on the writer thread, in order, and a failure
// is told to the listener, never in a box.
TEST_F(SerialPortTest, DeviceLineWantsNoCtsAndWritesBesideTheCaller)
{
    DCB configured = {};
    std::wstring error;
    HANDLE device = CSerialPort::OpenDevice(LineSettings8N1(115200), L"COM1:", 3, 100, nullptr, configured, error,
                                            FlowControl::None);
    ASSERT_NE(INVALID_HANDLE_VALUE, device) << Utf8(error);
    DCB dcb = {};
    dcb.DCBlength = sizeof(dcb);
    ASSERT_TRUE(GetCommState(device, &dcb));
    EXPECT_EQ(115200u, dcb.BaudRate);
    EXPECT_EQ(0u, dcb.fOutxCtsFlow);
    EXPECT_EQ(0u, dcb.fOutxDsrFlow);
    EXPECT_EQ(static_cast<DWORD>(DTR_CONTROL_ENABLE), dcb.fDtrControl);
    EXPECT_EQ(static_cast<DWORD>(RTS_CONTROL_ENABLE), dcb.fRtsControl);
    ASSERT_TRUE(port.Adopt(device, configured, L"COM1:"));
    ASSERT_TRUE(port.WriteAsync("AT@LBC1\r\n"));
    ASSERT_TRUE(port.WriteAsync("AT@K20\r\n"));
    ASSERT_TRUE(recorder.WaitFor(kK20Answer));
    EXPECT_EQ((std::vector<std::string>{"AT@LBC1", "AT@K20"}), WsimCommands());
    EXPECT_TRUE(recorder.WriteErrors().empty());

    // A module that reads nothing: the write times out on the writer thread.
    ASSERT_TRUE(WsimConfigure(R"({"deaf": true})"));
    PumpFor(300);
    COMMTIMEOUTS shortened = {kReadGapMs, 0, 0, 0, 300};
    ASSERT_TRUE(SetCommTimeouts(SerialPortTestAccess::Device(port), &shortened));
    ASSERT_TRUE(port.WriteAsync(std::string(300000, '\n')));
    ASSERT_TRUE(PumpUntil([&] { return !recorder.WriteErrors().empty(); }, 5000));
    EXPECT_EQ(L"Reading of serial communication has problem.", recorder.WriteErrors()[0]);
    EXPECT_EQ(0u, boxes.Count());
    port.Close();
    EXPECT_FALSE(port.WriteAsync("AT\r\n"));
}

// A modem wired with three wires never asserts CTS: a port that demands it (Wine sets the line's
// CRTSCTS, which the simulator reads as "nothing leaves the UART") gets no answer, one that does
// not is answered.
TEST_F(SerialPortTest, AModemWithoutFlowControlHearsOnlyAPortThatDoesNotDemandCts)
{
    ASSERT_TRUE(WsimConfigure(R"({"module": "modem", "flow": "none", "echo": false})"));
    for (FlowControl flow : {FlowControl::Cts, FlowControl::None}) {
        SCOPED_TRACE(flow == FlowControl::Cts ? "CTS demanded" : "no flow control");
        DCB configured = {};
        std::wstring error;
        HANDLE device =
            CSerialPort::OpenDevice(LineSettings8N1(115200), L"COM1:", 3, 100, nullptr, configured, error, flow);
        ASSERT_NE(INVALID_HANDLE_VALUE, device) << Utf8(error);
        ASSERT_TRUE(port.Adopt(device, configured, L"COM1:"));
        ASSERT_TRUE(port.WriteAsync("AT\r"));
        EXPECT_EQ(flow == FlowControl::None, recorder.WaitFor(L"\r\nOK\r\n", 1500));
        port.Close();
    }
}

// A driver that never returns from its close keeps a thread of its own: Close comes back while
// the driver is still inside its close.
std::atomic<int> g_closesEntered{0};
std::atomic<int> g_closesReturned{0};
HANDLE g_driverBack = CreateEventW(nullptr, TRUE, FALSE, nullptr);

BOOL WINAPI StuckClose(HANDLE device)
{
    ++g_closesEntered;
    WaitForSingleObject(g_driverBack, INFINITE);
    ++g_closesReturned;
    return CloseHandle(device);
}

TEST_F(SerialPortTest, CloseReturnsWhenTheDriverIsStuck)
{
    SerialPortTestAccess::SetCloser(StuckClose);
    ASSERT_TRUE(port.Open(LineSettings(), L"COM1:"));
    EXPECT_FALSE(port.Close(false));
    EXPECT_EQ(1, g_closesEntered.load());
    EXPECT_EQ(0, g_closesReturned.load());
    EXPECT_EQ(0u, port.IsOpen());
    SerialPortTestAccess::SetCloser(CloseHandle);
    SetEvent(g_driverBack); // the driver comes back: its thread closes the device after all
    EXPECT_TRUE(PumpUntil([] { return g_closesReturned.load() == 1; }, 5000));
    EXPECT_TRUE(port.Open(LineSettings(), L"COM1:"));
    EXPECT_EQ(0u, boxes.Count());
}

HANDLE KeepReader(CSerialPort& port)
{
    HANDLE reader = nullptr;
    DuplicateHandle(GetCurrentProcess(), SerialPortTestAccess::ReaderThread(port), GetCurrentProcess(), &reader,
                    SYNCHRONIZE | THREAD_QUERY_INFORMATION, FALSE, 0);
    return reader;
}

// Answers as the line brings them, whichever reader reads them: split into chunks, paced at
// 9600 bps (a read per byte or two), long enough to fill several reads.
TEST_F(SerialPortTest, EitherReaderDeliversEveryAnswerWholeAndInOrder)
{
    struct Line
    {
        const char* name;
        const char* config;
    };
    const Line lines[] = {
        {"at once", "{}"},
        {"in chunks of 1, 2 and 3 bytes", R"({"chunks": [1, 2, 3], "chunk_gap_ms": 30})"},
        {"paced at 9600 bps", R"({"baud": 9600})"},
        {"2600 bytes", R"({"min_answer_bytes": 2600})"},
    };
    for (const ReaderKind& kind : kReaders) {
        ReaderChoice choice(kind);
        const CSerialReader::Wakes before = CSerialReader::CountedWakes();
        for (const Line& line : lines) {
            SCOPED_TRACE(std::string(kind.name) + ", " + line.name);
            ASSERT_TRUE(WsimConfigure(line.config));
            Recorder heard;
            port.SetListener(&heard);
            ASSERT_TRUE(port.Open(LineSettings(), L"COM1:"));
            ASSERT_TRUE(Send(port, "AT@K20\r\n"));
            ASSERT_TRUE(heard.WaitFor(L"\r\nOK\r\n"));
            const std::wstring text = heard.Text();
            EXPECT_EQ(0u, text.rfind(L"AT@K20\r\r\n\r\n1234,5\r\n", 0)) << Utf8(text);
            for (const std::wstring& chunk : heard.Chunks()) {
                EXPECT_LE(chunk.size(), CSerialReader::kChunk);
            }
            EXPECT_TRUE(heard.ReadErrors().empty());
            EXPECT_TRUE(port.Close());
        }
        // Which wait brought the bytes: the line's own, or the poll, never the other.
        const CSerialReader::Wakes after = CSerialReader::CountedWakes();
        SCOPED_TRACE(kind.name);
        if (kind.polls) {
            EXPECT_GT(after.polled, before.polled);
            EXPECT_EQ(before.line, after.line);
            EXPECT_EQ(before.atOnce, after.atOnce);
        } else {
            EXPECT_GT(after.line, before.line);
            EXPECT_EQ(before.polled, after.polled);
        }
    }
    EXPECT_EQ(0u, boxes.Count());
}

// Close while an answer comes in: the reader ends by itself at once, and nothing reaches the
// listener once Close has returned. The close request falls before, amid and after the answer.
TEST_F(SerialPortTest, CloseEndsEitherReaderAtOnceAndNothingArrivesAfterIt)
{
    ASSERT_TRUE(WsimConfigure(R"({"delay_ms": 100, "chunks": [5, 5], "chunk_gap_ms": 20})"));
    for (const ReaderKind& kind : kReaders) {
        ReaderChoice choice(kind);
        for (DWORD closeAfterMs : {0, 90, 110, 130, 400}) {
            SCOPED_TRACE(std::string(kind.name) + ", closed " + std::to_string(closeAfterMs) + " ms after the command");
            Recorder heard;
            port.SetListener(&heard);
            ASSERT_TRUE(port.Open(LineSettings(), L"COM1:"));
            ASSERT_TRUE(Send(port, "AT@K20\r\n"));
            Sleep(closeAfterMs);
            HANDLE reader = KeepReader(port);
            EXPECT_TRUE(port.Close());
            const size_t heardAtClose = heard.Chunks().size();
            EXPECT_TRUE(EndedByItself(reader));
            PumpFor(150); // the rest of the answer reaches the closed port's line
            EXPECT_EQ(heardAtClose, heard.Chunks().size());
            EXPECT_TRUE(heard.ReadErrors().empty());
        }
    }
    EXPECT_EQ(0u, boxes.Count());
}

// A module that hangs up in the middle of its answer while the reader waits for the rest: the
// bytes it sent are delivered, then the reader ends with the line's failure, as the listener
// has always been told it ("ClearCommError() Failed."), and the port still closes.
TEST_F(SerialPortTest, AModuleThatVanishesWhileWaitedOnEndsEitherReaderWithItsFailure)
{
    for (const ReaderKind& kind : kReaders) {
        SCOPED_TRACE(kind.name);
        ReaderChoice choice(kind);
        ASSERT_TRUE(WsimConfigure(R"({"vanish_at": 10, "chunk_gap_ms": 200})"));
        Recorder heard;
        port.SetListener(&heard);
        ASSERT_TRUE(port.Open(LineSettings(), L"COM1:"));
        HANDLE reader = KeepReader(port);
        ASSERT_TRUE(Send(port, "AT@K20\r\n"));
        ASSERT_TRUE(PumpUntil([&] { return !heard.ReadErrors().empty(); }, 5000));
        EXPECT_EQ(L"AT@K20\r\r\n\r", heard.Text());
        ASSERT_EQ(1u, heard.ReadErrors().size());
        EXPECT_EQ(0u, heard.ReadErrors()[0].rfind(L"ClearCommError() Failed.", 0)) << Utf8(heard.ReadErrors()[0]);
        EXPECT_TRUE(PumpUntil([&] { return WaitForSingleObject(reader, 0) == WAIT_OBJECT_0; }, 2000));
        EXPECT_TRUE(EndedByItself(reader));
        EXPECT_TRUE(port.Close(false));
        // The simulator's module is back on a fresh line for the next row.
        ASSERT_TRUE(WsimSetDevice(WsimDevice::Module));
    }
    EXPECT_EQ(0u, boxes.Count());
}

// The reader a worker uses on a device of its own (the port search's reads): each read ends
// with the line's bytes, with its time, or at once with the stop event.
TEST_F(SerialPortTest, AReadEndsWithTheLineItsTimeOrTheStop)
{
    for (const ReaderKind& kind : kReaders) {
        SCOPED_TRACE(kind.name);
        ReaderChoice choice(kind);
        DCB configured = {};
        std::wstring error;
        CHandle device(CSerialPort::OpenDevice(LineSettings8N1(9600), L"COM1:", 3, 100, nullptr, configured, error,
                                               FlowControl::None));
        ASSERT_TRUE(device) << Utf8(error);
        CHandle stop(CreateEventW(nullptr, TRUE, FALSE, nullptr));
        CSerialReader reader(device.Get());
        EXPECT_EQ(kind.polls, reader.Polls());

        EXPECT_EQ(CSerialReader::Result::Quiet, reader.Read(stop.Get(), 200));
        ASSERT_TRUE(CSerialPort::WriteFirstCommand(device.Get(), "AT@K20\r\n", error)) << Utf8(error);
        std::string answer;
        while (answer.size() < 8 || answer.compare(answer.size() - 4, 4, "OK\r\n") != 0) {
            ASSERT_EQ(CSerialReader::Result::Bytes, reader.Read(stop.Get(), 5000)) << answer;
            ASSERT_EQ(std::strlen(reader.Bytes()), reader.Count());
            answer.append(reader.Bytes(), reader.Count());
        }
        EXPECT_EQ(Utf8(kK20Answer), answer);

        // Set while the read waits without a limit, from another thread.
        HANDLE stopping = stop.Get();
        HANDLE setter = CreateThread(
            nullptr, 0,
            [](LPVOID event) -> DWORD {
                Sleep(200);
                SetEvent(static_cast<HANDLE>(event));
                return 0;
            },
            stopping, 0, nullptr);
        EXPECT_EQ(CSerialReader::Result::Stopped, reader.Read(stop.Get(), INFINITE));
        WaitForSingleObject(setter, INFINITE);
        CloseHandle(setter);
        // Already set: not a byte is waited for.
        EXPECT_EQ(CSerialReader::Result::Stopped, reader.Read(stop.Get(), INFINITE));
    }
}

} // namespace
