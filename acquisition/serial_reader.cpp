#include "acquisition/serial_reader.h"

#include "acquisition/serial_rules.h"
#include "common/deadline.h"

#include <algorithm>
#include <atomic>

namespace {

std::atomic<bool> g_polling{false};
std::atomic<unsigned long> g_wokenByLine{0};
std::atomic<unsigned long> g_foundAtOnce{0};
std::atomic<unsigned long> g_foundByPoll{0};

// Milliseconds left of a wait of `waitMs` begun at `start` (INFINITE stays INFINITE).
DWORD Left(DWORD start, DWORD waitMs)
{
    return waitMs == INFINITE ? INFINITE : RemainingWait(start, GetTickCount(), waitMs);
}

// Rests up to `ms` unless `stop` is set meanwhile; true when it was.
bool Stopped(HANDLE stop, DWORD ms)
{
    if (stop == nullptr) {
        Sleep(ms);
        return false;
    }
    return WaitForSingleObject(stop, ms) == WAIT_OBJECT_0;
}

} // namespace

struct CSerialReader::Block
{
    OVERLAPPED overlapped = {};
    HANDLE event = nullptr;
    char buffer[kChunk + 1] = {};

    OVERLAPPED* Fresh()
    {
        overlapped = OVERLAPPED{};
        overlapped.hEvent = event;
        if (event != nullptr) {
            ResetEvent(event);
        }
        return &overlapped;
    }
};

void CSerialReader::UsePolling(bool poll)
{
    g_polling = poll;
}

CSerialReader::Wakes CSerialReader::CountedWakes()
{
    return Wakes{g_wokenByLine.load(), g_foundAtOnce.load(), g_foundByPoll.load()};
}

CSerialReader::CSerialReader(HANDLE device) : m_device(device), m_block(new Block), m_polling(g_polling.load())
{
    m_block->event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (m_block->event == nullptr) {
        m_polling = true; // its reads complete at once and need no event
    }
}

CSerialReader::~CSerialReader()
{
    if (m_block && m_block->event != nullptr) {
        CloseHandle(m_block->event);
    }
}

const char* CSerialReader::Bytes() const
{
    return m_block ? m_block->buffer : "";
}

CSerialReader::Result CSerialReader::Read(HANDLE stop, DWORD waitMs)
{
    m_count = 0;
    if (!m_block) {
        return Fail(Call::ReadFile, ERROR_IO_PENDING); // a stuck driver still holds the last read
    }
    return m_polling ? Poll(stop, waitMs) : Wait(stop, waitMs);
}

CSerialReader::Result CSerialReader::Fail(Call call, DWORD lastError, DWORD commErrors)
{
    m_failedCall = call;
    m_lastError = lastError;
    m_commErrors = commErrors;
    return Result::Failed;
}

CSerialReader::Result CSerialReader::Got(DWORD count)
{
    m_count = std::min<DWORD>(count, kChunk);
    m_block->buffer[m_count] = '\0';
    return Result::Bytes;
}

bool CSerialReader::Cancel(DWORD& count, bool& succeeded, DWORD& error)
{
    CancelIoEx(m_device, &m_block->overlapped);
    if (WaitForSingleObject(m_block->event, kCancelWaitMs) != WAIT_OBJECT_0) {
        return false;
    }
    succeeded = GetOverlappedResult(m_device, &m_block->overlapped, &count, FALSE) != FALSE;
    error = succeeded ? 0 : GetLastError();
    return true;
}

CSerialReader::Result CSerialReader::Wait(HANDLE stop, DWORD waitMs)
{
    const DWORD start = GetTickCount();
    for (;;) {
        DWORD count = 0;
        bool succeeded = ReadFile(m_device, m_block->buffer, kChunk, &count, m_block->Fresh()) != FALSE;
        DWORD error = succeeded ? 0 : GetLastError();
        const bool waited = !succeeded && error == ERROR_IO_PENDING;
        if (waited) {
            HANDLE handles[2] = {m_block->event, stop};
            const DWORD woke = WaitForMultipleObjects(stop != nullptr ? 2 : 1, handles, FALSE, Left(start, waitMs));
            if (woke == WAIT_OBJECT_0) {
                succeeded = GetOverlappedResult(m_device, &m_block->overlapped, &count, FALSE) != FALSE;
                error = succeeded ? 0 : GetLastError();
            } else {
                const DWORD waitError = GetLastError();
                // Stopped, out of time, or the wait failed: the read is taken back before anything else.
                if (!Cancel(count, succeeded, error)) {
                    m_block.release(); // the driver may still write into it: never freed
                    return woke == WAIT_OBJECT_0 + 1 ? Result::Stopped : Fail(Call::ReadFile, ERROR_IO_PENDING);
                }
                if (woke == WAIT_OBJECT_0 + 1) {
                    return Result::Stopped; // what came with the stop is nobody's any more
                }
                if (woke != WAIT_TIMEOUT) {
                    return Fail(Call::ReadFile, waitError);
                }
                return count > 0 ? Got(count) : Result::Quiet;
            }
        }
        if (stop != nullptr && WaitForSingleObject(stop, 0) == WAIT_OBJECT_0) {
            return Result::Stopped;
        }
        switch (NextReadStep(succeeded, error, count, waited)) {
        case ReadStep::Deliver:
            ++(waited ? g_wokenByLine : g_foundAtOnce);
            return Got(count);
        case ReadStep::Again:
            break;
        case ReadStep::Pause:
            if (Stopped(stop, std::min<DWORD>(kReadPollMs, Left(start, waitMs)))) {
                return Result::Stopped;
            }
            break;
        case ReadStep::Poll:
            m_polling = true;
            return Poll(stop, Left(start, waitMs));
        case ReadStep::Fail: {
            // A line that is gone says so here, as the polling reader has always found it.
            DWORD errors = 0;
            COMSTAT status = {};
            if (!ClearCommError(m_device, &errors, &status)) {
                return Fail(Call::ClearCommError, GetLastError(), errors);
            }
            return Fail(Call::ReadFile, error);
        }
        }
        if (Left(start, waitMs) == 0) {
            return Result::Quiet;
        }
    }
}

CSerialReader::Result CSerialReader::Poll(HANDLE stop, DWORD waitMs)
{
    const DWORD start = GetTickCount();
    for (;;) {
        DWORD errors = 0;
        COMSTAT status = {};
        if (!ClearCommError(m_device, &errors, &status)) {
            return Fail(Call::ClearCommError, GetLastError(), errors);
        }
        if (status.cbInQue > 0) {
            // Only what is queued is asked for, so the read comes back at once.
            const DWORD wanted = std::min<DWORD>(status.cbInQue, kChunk);
            OVERLAPPED* overlapped = m_block->Fresh();
            DWORD count = 0;
            BOOL read = ReadFile(m_device, m_block->buffer, wanted, &count, overlapped);
            if (!read && GetLastError() == ERROR_IO_PENDING) {
                read = GetOverlappedResult(m_device, overlapped, &count, TRUE);
            }
            if (!read) {
                return Fail(Call::ReadFile, GetLastError());
            }
            if (count > 0) {
                ++g_foundByPoll;
                return Got(count);
            }
        }
        const DWORD left = Left(start, waitMs);
        if (left == 0) {
            return Result::Quiet;
        }
        if (Stopped(stop, std::min<DWORD>(kReadPollMs, left))) {
            return Result::Stopped;
        }
    }
}
