#pragma once

#include <windows.h>

#include <functional>
#include <mutex>
#include <string>
#include <vector>

// A Unix path taken from an environment variable (as the harness writes them), as the
// Windows path Wine maps it to (Z:\...). Empty when the variable is unset.
std::wstring WinePathFromEnv(const char* variable);

// The file name of the program, in the build tree, that this test's lane runs (TAVRIN_LANE):
// lane 2's asks lane 2's lookup stand-in.
std::wstring LaneProgramName();

// A port the harness named in an environment variable (TAVRIN_GPSD_PORT, ...); 0 when unset.
unsigned short HarnessPort(const char* variable);

// A loopback port nobody listens on now (SOCK_STREAM or SOCK_DGRAM); 0 when none could be had.
unsigned short FreeLoopbackPort(int type);

// UTF-16 text as UTF-8 (for test output and narrow file names), and back.
std::string Utf8(const std::wstring& text);
std::wstring FromUtf8(const std::string& bytes);

// A window's text (also of another process's control) and its class name.
std::wstring TextOf(HWND window);
std::wstring ClassOf(HWND window);

// Takes down the main window InitInstance made, and its class and controls, so that the next
// test can make it again.
void DestroyMainWindow(HWND window);

// The folder of the running program.
std::wstring ExeFolder();

// A file's UTF-16LE code units as stored (empty when it cannot be read), and the reverse.
std::wstring ReadUtf16(const std::wstring& path);
void WriteUtf16(const std::wstring& path, const std::wstring& text);

// The threads of this process, and its open handles (probed where Wine answers 0).
DWORD ThreadCount();
DWORD HandleCount();

// Runs the calling thread's message loop until `done` holds or `timeoutMs` passes.
// Returns whether `done` held.
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs);
void PumpFor(DWORD ms);

// Records every message box instead of showing it and answers with `answer`
// (IDOK unless set). Restores real boxes when destroyed.
class MessageBoxRecorder
{
public:
    struct Box
    {
        HWND owner;
        std::wstring text;
        std::wstring caption;
        UINT style;
    };

    explicit MessageBoxRecorder(int answer = IDOK);
    ~MessageBoxRecorder();
    MessageBoxRecorder(const MessageBoxRecorder&) = delete;
    MessageBoxRecorder& operator=(const MessageBoxRecorder&) = delete;

    void SetAnswer(int answer);
    std::vector<Box> Boxes() const;
    size_t Count() const;
    void Clear();

private:
    mutable std::mutex m_mutex;
    std::vector<Box> m_boxes;
    int m_answer;
};
