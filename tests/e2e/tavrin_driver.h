#pragma once

// Works tavrin.exe from outside, as a user would: finds its main window by class, presses
// buttons, ticks boxes, types into edits, reads the log, finds and answers message boxes
// and works the list editor. Each session runs its own copy of the program in its own
// folder with its own default.ini.

#include <windows.h>

#include "tests/windows/test_support.h"

#include <atomic>
#include <memory>
#include <ostream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

// The lines of a settings file, written as the program stores them.
class SettingsFile
{
public:
    void Set(const std::wstring& key, const std::wstring& value);
    void Remove(const std::wstring& key);
    bool Write(const std::wstring& path) const;

private:
    std::vector<std::pair<std::wstring, std::wstring>> m_pairs;
};

// A message box shown by the program, as the user sees it.
struct MessageBoxSeen
{
    HWND box = nullptr;
    HWND owner = nullptr;
    std::wstring caption;
    std::wstring text;
    bool ok = false;
    bool yes = false;
    bool no = false;
    bool icon = false;
};
void PrintTo(const MessageBoxSeen& box, std::ostream* out);

// A command running inside the program. The button's command is sent from a thread of
// our own, so the driver stays free to answer the boxes and dialogs it raises; Wait
// returns once the window procedure has returned.
class PendingCommand
{
public:
    PendingCommand(HWND window, WPARAM wParam, LPARAM lParam);
    ~PendingCommand();
    PendingCommand(const PendingCommand&) = delete;
    PendingCommand& operator=(const PendingCommand&) = delete;

    bool Done() const { return *m_done; }
    bool Wait(DWORD timeoutMs);

private:
    // Shared with the thread, which outlives a command that never returns.
    std::shared_ptr<std::atomic<bool>> m_done = std::make_shared<std::atomic<bool>>(false);
    std::thread m_thread;
};

class TavrinSession
{
public:
    // `name` names the session's folder under <build>\e2e.
    explicit TavrinSession(const std::wstring& name);
    ~TavrinSession();
    TavrinSession(const TavrinSession&) = delete;
    TavrinSession& operator=(const TavrinSession&) = delete;

    const std::wstring& Folder() const { return m_folder; }
    std::wstring SettingsPath() const { return m_folder + L"\\default.ini"; }
    std::wstring BrowserLogPath() const { return m_folder + L"\\browser.log"; }

    // Settings every test starts from: test destinations, the test browser, no waits.
    static SettingsFile TestSettings();
    bool WriteSettings(const SettingsFile& settings) const;

    // Extra environment of the program (the test browser's log is always set).
    void SetEnvironment(const std::wstring& name, const std::wstring& value);
    // The current folder the program starts in (its own folder unless set).
    void SetStartFolder(const std::wstring& folder) { m_startFolder = folder; }

    // Starts the program and waits for its main window with all controls.
    bool Start();
    // Closes the program through its exit command; kills it if it does not end.
    void Stop();
    bool Running() const;
    // Waits for the program to end by itself; true if it did.
    bool WaitForExit(DWORD timeoutMs);

    HWND MainWindow() const { return m_main; }
    HWND Control(int id) const;
    std::wstring Text(int id) const;
    void SetText(int id, const std::wstring& text) const;
    bool Checked(int id) const;
    void SetChecked(int id, bool checked) const;
    int ComboSelection(int id) const;
    std::vector<std::wstring> ComboItems(int id) const;
    void SelectCombo(int id, int index) const;
    std::wstring Log() const { return Text(1014); }

    // Presses a button of the main window (its command runs while we go on).
    std::unique_ptr<PendingCommand> Press(int id) const;
    // Presses a button, answers every message box it raises with `answer` (IDOK for boxes
    // without that button), and returns the boxes once the command has ended.
    std::vector<MessageBoxSeen> PressAndAnswer(int id, int answer = IDOK, DWORD timeoutMs = 60000);

    // Top-level dialogs of the program that are visible now.
    std::vector<HWND> Dialogs() const;
    // A visible message box of the program, if one is up within `timeoutMs`.
    bool WaitMessageBox(MessageBoxSeen& seen, DWORD timeoutMs) const;
    static MessageBoxSeen Describe(HWND box);
    // Answers a box or dialog with a button id and waits until it is gone.
    static bool Answer(HWND dialog, int buttonId, DWORD timeoutMs = 5000);
    // Presses a button of a dialog (its command runs while we go on).
    static void Click(HWND dialog, int buttonId);
    // A visible dialog of the program that holds a control with `childId`.
    HWND WaitDialogWith(int childId, DWORD timeoutMs) const;

    // Lines the test browser was started with, in order.
    std::vector<std::wstring> BrowserCalls() const;
    bool WaitBrowserCalls(size_t count, DWORD timeoutMs) const;

    // List view items of another process, read and selected through its memory.
    int ListCount(HWND list) const;
    std::wstring ListText(HWND list, int item, int column) const;
    // Selects `item`, or with `selected` false clears the selection of `item` (-1: of all).
    void ListSelect(HWND list, int item, bool selected = true) const;

private:
    std::wstring m_folder;
    std::wstring m_startFolder;
    std::vector<std::pair<std::wstring, std::wstring>> m_environment;
    PROCESS_INFORMATION m_process = {};
    HWND m_main = nullptr;
};

// Windows path of a file of the build tree (TAVRIN_BUILD_DIR).
std::wstring BuildPath(const std::wstring& relative);
std::wstring TestBrowserPath();

// Polls `done` every 20 ms until it holds or `timeoutMs` passes.
template <typename F> bool WaitFor(F done, DWORD timeoutMs)
{
    const DWORD start = GetTickCount();
    for (;;) {
        if (done()) {
            return true;
        }
        if (GetTickCount() - start >= timeoutMs) {
            return false;
        }
        Sleep(20);
    }
}
