#pragma once

#include <windows.h>

#include <cstddef>
#include <memory>

// Reads a device CSerialPort::OpenDevice set up (opened for overlapped I/O, with the read
// time-outs of serial_rules.h), woken by the line: its read waits for the first byte and comes
// back once the line pauses, so an answer is read as it arrives. A driver that refuses such a
// read is polled every kReadPollMs instead, and so is every port while UsePolling(true) holds
// (the program's earlier reader, kept for measuring against it). One thread reads at a time.
class CSerialReader
{
public:
    enum class Result
    {
        Bytes,   // Bytes() and Count() hold what came
        Quiet,   // nothing came within the wait
        Stopped, // the stop event was set
        Failed,  // the line failed (FailedCall(), CommErrors(), LastError() say how)
    };
    // The call that found the line failed.
    enum class Call
    {
        ClearCommError,
        ReadFile,
    };
    static constexpr std::size_t kChunk = 999; // at most this many bytes a read

    explicit CSerialReader(HANDLE device);
    ~CSerialReader();
    CSerialReader(const CSerialReader&) = delete;
    CSerialReader& operator=(const CSerialReader&) = delete;

    // Waits up to `waitMs` (INFINITE: without a limit) for bytes, ending at once when `stop`
    // (a manual-reset event, or null) is set. No read is left running when it returns, except
    // one a stuck driver would not give back within kCancelWaitMs: its buffer is then given
    // up to the driver, and every later call fails.
    Result Read(HANDLE stop, DWORD waitMs);
    const char* Bytes() const; // followed by a NUL

    DWORD Count() const { return m_count; }

    Call FailedCall() const { return m_failedCall; }
    DWORD CommErrors() const { return m_commErrors; }
    DWORD LastError() const { return m_lastError; }
    // Whether this reader polls (UsePolling, or a driver that refused the waiting read).
    bool Polls() const { return m_polling; }

    // Every reader made from now on polls (true) or waits on the line (false, the default).
    static void UsePolling(bool poll);

    // How the reads that brought bytes were woken, counted over the whole process: by the line
    // (a read that waited for it), at once (bytes were queued before the read), by a poll.
    struct Wakes
    {
        unsigned long line;
        unsigned long atOnce;
        unsigned long polled;
    };
    static Wakes CountedWakes();
    static constexpr DWORD kCancelWaitMs = 500;

private:
    struct Block; // the read's OVERLAPPED, event and buffer, which a stuck driver may keep
    Result Wait(HANDLE stop, DWORD waitMs);
    Result Poll(HANDLE stop, DWORD waitMs);
    Result Fail(Call call, DWORD lastError, DWORD commErrors = 0);
    Result Got(DWORD count);
    // Ends the running read; true once the driver gave it back (with what it had read).
    bool Cancel(DWORD& count, bool& succeeded, DWORD& error);

    HANDLE m_device;
    std::unique_ptr<Block> m_block;
    DWORD m_count = 0;
    bool m_polling;
    Call m_failedCall = Call::ReadFile;
    DWORD m_commErrors = 0;
    DWORD m_lastError = 0;
};
