// ctest-lock: desktop
// tavrin.exe run as a user starts it: from its own folder, with or without default.ini
// and gsgetfile.dll beside it.
#include "resources/resource.h"
#include "settings/settings.h"
#include "settings/settings_win.h"
#include "tests/windows/test_support.h"
#include "ui/dialog_template.h"

#include <gtest/gtest.h>

#include <psapi.h>

#include <cstdio>
#include <cwctype>
#include <string>
#include <vector>

namespace {

std::wstring MakeFolder(const wchar_t* name)
{
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    std::wstring folder = std::wstring(temp) + name;
    CreateDirectoryW(folder.c_str(), nullptr);
    for (const wchar_t* file : {L"default.ini", L"gsgetfile.dll", L"gsgetfile.log", L"gsgetfile.answer"}) {
        DeleteFileW((folder + L"\\" + file).c_str());
    }
    return folder;
}

std::string ReadBytes(const std::wstring& path)
{
    std::string bytes;
    if (FILE* f = _wfopen(path.c_str(), L"rb")) {
        char buffer[4096];
        size_t n;
        while ((n = fread(buffer, 1, sizeof(buffer), f)) > 0) {
            bytes.append(buffer, n);
        }
        fclose(f);
    }
    return bytes;
}

// A settings file as the program writes it, from the presets with a few changes.
void WriteSettings(const std::wstring& path, int autoConnect, int locateEasy, int autoBrowser, int wait, int url)
{
    CSettings settings(&Win32SettingsHost());
    settings.m_hInstance = GetModuleHandleW(nullptr);
    settings.m_bAutoConnect = autoConnect;
    settings.m_bLocateEasy = locateEasy;
    settings.m_bAutoBrowser = autoBrowser;
    settings.m_nConnectWait = wait;
    settings.m_nUrlIndex = url;
    ASSERT_TRUE(settings.Save(path.c_str()));
}

class Program
{
public:
    explicit Program(const std::wstring& folder)
    {
        std::wstring exe = folder + L"\\tavrin.exe";
        CopyFileW((WinePathFromEnv("TAVRIN_BUILD_DIR") + L"\\" + LaneProgramName()).c_str(), exe.c_str(), FALSE);
        STARTUPINFOW si{};
        si.cb = sizeof(si);
        std::wstring command = L"\"" + exe + L"\"";
        m_started = CreateProcessW(exe.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &si,
                                   &m_process) != 0;
    }
    ~Program()
    {
        if (m_started) {
            if (WaitForSingleObject(m_process.hProcess, 0) == WAIT_TIMEOUT) {
                TerminateProcess(m_process.hProcess, 99);
            }
            CloseHandle(m_process.hThread);
            CloseHandle(m_process.hProcess);
        }
    }
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    // Waits until its main window is up and idle.
    HWND Window()
    {
        HWND window = nullptr;
        PumpUntil(
            [&] {
                window = FindWindowW(L"TAVRIN", L"tavrin");
                return window != nullptr && GetDlgItem(window, IDC_LOG) != nullptr;
            },
            20000);
        // The last control exists; a sent message is answered once its message loop runs.
        DWORD_PTR result;
        if (window != nullptr && !SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &result)) {
            return nullptr;
        }
        return window;
    }

    // Exit code once it ended within `ms`, else -1.
    int ExitCode(DWORD ms)
    {
        if (!m_started || WaitForSingleObject(m_process.hProcess, ms) != WAIT_OBJECT_0) {
            return -1;
        }
        DWORD code = 0;
        GetExitCodeProcess(m_process.hProcess, &code);
        return static_cast<int>(code);
    }

private:
    PROCESS_INFORMATION m_process{};
    bool m_started = false;
};

std::wstring ControlText(HWND window, int id)
{
    wchar_t text[256] = {};
    SendMessageW(GetDlgItem(window, id), WM_GETTEXT, 256, reinterpret_cast<LPARAM>(text));
    return text;
}

LRESULT Send(HWND window, int id, UINT message)
{
    return SendMessageW(GetDlgItem(window, id), message, 0, 0);
}

BOOL CALLBACK CountMainWindows(HWND window, LPARAM count)
{
    wchar_t name[16] = {};
    GetClassNameW(window, name, 16);
    if (lstrcmpW(name, L"TAVRIN") == 0) {
        ++*reinterpret_cast<int*>(count);
    }
    return TRUE;
}

HWND WaitForDialog(const wchar_t* title)
{
    HWND dialog = nullptr;
    PumpUntil(
        [&] {
            dialog = FindWindowW(L"#32770", title);
            return dialog != nullptr && IsWindowVisible(dialog);
        },
        15000);
    return dialog;
}

// Lower-case path of the module `name` loaded in the process of `window`; empty when none is.
std::wstring LoadedModule(HWND window, const std::wstring& name)
{
    DWORD id = 0;
    GetWindowThreadProcessId(window, &id);
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, id);
    HMODULE modules[512];
    DWORD bytes = 0;
    std::wstring found;
    if (process != nullptr && K32EnumProcessModules(process, modules, sizeof(modules), &bytes)) {
        for (DWORD i = 0; i < bytes / sizeof(HMODULE) && found.empty(); ++i) {
            wchar_t path[MAX_PATH] = {};
            K32GetModuleFileNameExW(process, modules[i], path, MAX_PATH);
            std::wstring lower = path;
            for (wchar_t& c : lower) {
                c = static_cast<wchar_t>(std::towlower(c));
            }
            if (lower.size() > name.size() && lower.compare(lower.size() - name.size(), name.size(), name) == 0 &&
                lower[lower.size() - name.size() - 1] == L'\\') {
                found = lower;
            }
        }
    }
    if (process != nullptr) {
        CloseHandle(process);
    }
    return found;
}

} // namespace

TEST(TavrinExe, ShowsItsDefaultIniAndASecondStartBringsTheFirstForward)
{
    std::wstring folder = MakeFolder(L"tavrin_exe_default");
    std::wstring ini = folder + L"\\default.ini";
    WriteSettings(ini, 1, 1, 0, 2500, 1);
    std::string iniBefore = ReadBytes(ini);

    Program first(folder);
    HWND window = first.Window();
    ASSERT_NE(nullptr, window);
    EXPECT_EQ(BST_CHECKED, Send(window, IDC_AUTO_CONNECT, BM_GETCHECK));
    EXPECT_EQ(BST_CHECKED, Send(window, IDC_LOCATE_EASY, BM_GETCHECK));
    EXPECT_EQ(BST_UNCHECKED, Send(window, IDC_AUTO_BROWSER, BM_GETCHECK));
    EXPECT_EQ(BST_UNCHECKED, Send(window, IDC_STARTUP_ALL, BM_GETCHECK));
    EXPECT_EQ(L"2500", ControlText(window, IDC_CONNECT_WAIT));
    EXPECT_EQ(1, Send(window, IDC_URL_COMBO, CB_GETCURSEL));

    // Every item of the template sits where the dialog-unit conversion puts it.
    CDialogTemplate layout;
    ASSERT_TRUE(layout.LoadTemplate(GetModuleHandleW(nullptr), IDD_MAIN));
    for (const TemplateItem& item : layout.Data().items) {
        HWND control = GetDlgItem(window, item.id);
        ASSERT_NE(nullptr, control) << item.id;
        RECT rect;
        GetWindowRect(control, &rect);
        MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&rect), 2);
        PixelPair position = DialogUnitsToPixels(L"Arial", 8, item.x, item.y);
        EXPECT_EQ(position.x, rect.left) << item.id;
        EXPECT_EQ(position.y, rect.top) << item.id;
    }

    HWND other = CreateWindowExW(0, L"STATIC", L"other", WS_OVERLAPPED | WS_VISIBLE, 0, 0, 100, 100, nullptr, nullptr,
                                 nullptr, nullptr);
    SetForegroundWindow(other);
    PumpFor(200);
    ASSERT_EQ(other, GetForegroundWindow());

    Program second(folder);
    EXPECT_EQ(0, second.ExitCode(20000));
    PumpUntil([&] { return GetForegroundWindow() == window; }, 3000);
    EXPECT_EQ(window, GetForegroundWindow());
    int count = 0;
    EnumWindows(CountMainWindows, reinterpret_cast<LPARAM>(&count));
    EXPECT_EQ(1, count);
    DestroyWindow(other);

    // Changing controls and quitting leaves the file as it was.
    SendMessageW(GetDlgItem(window, IDC_AUTO_CONNECT), BM_SETCHECK, BST_UNCHECKED, 0);
    PostMessageW(window, WM_COMMAND, IDM_EXIT, 0);
    EXPECT_EQ(0, first.ExitCode(20000));
    EXPECT_EQ(iniBefore, ReadBytes(ini));
}

TEST(TavrinExe, OpenAndSaveUsePlatformDialogsWithoutTheChooserAndTheChooserBesideIt)
{
    std::wstring folder = MakeFolder(L"tavrin_exe_choosers");
    {
        Program program(folder);
        HWND window = program.Window();
        ASSERT_NE(nullptr, window);
        const struct
        {
            WORD command;
            const wchar_t* title;
        } requests[] = {{IDM_OPEN, L"設定ファイルの選択"}, {IDM_SAVE, L"設定ファイルの保存"}};
        for (const auto& request : requests) {
            PostMessageW(window, WM_COMMAND, request.command, 0);
            HWND dialog = WaitForDialog(request.title);
            ASSERT_NE(nullptr, dialog) << request.command;
            EXPECT_EQ(window, GetWindow(dialog, GW_OWNER));
            EXPECT_EQ(L"default.ini", ControlText(dialog, 0x47c));          // the file name field
            EXPECT_EQ(L"設定ファイル (*.ini)", ControlText(dialog, 0x470)); // the filter list
            PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
            EXPECT_TRUE(PumpUntil([&] { return !IsWindow(dialog); }, 10000));
        }
        PostMessageW(window, WM_COMMAND, IDM_EXIT, 0);
        EXPECT_EQ(0, program.ExitCode(20000));
        EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW((folder + L"\\default.ini").c_str()));
    }

    std::wstring dll = WinePathFromEnv("TAVRIN_BUILD_DIR") + L"\\tests\\windows\\chooser\\gsgetfile.dll";
    ASSERT_TRUE(CopyFileW(dll.c_str(), (folder + L"\\gsgetfile.dll").c_str(), FALSE));
    std::wstring other = folder + L"\\other.ini";
    WriteSettings(other, 0, 0, 0, 777, 0);
    WriteUtf16(folder + L"\\gsgetfile.answer", other);
    Program program(folder);
    HWND window = program.Window();
    ASSERT_NE(nullptr, window);
    PostMessageW(window, WM_COMMAND, IDM_OPEN, 0);
    EXPECT_TRUE(PumpUntil([&] { return ControlText(window, IDC_CONNECT_WAIT) == L"777"; }, 10000));
    EXPECT_FALSE(ReadBytes(folder + L"\\gsgetfile.log").empty());
    PostMessageW(window, WM_COMMAND, IDM_EXIT, 0);
    EXPECT_EQ(0, program.ExitCode(20000));
}

TEST(TavrinExe, LoadsTheLibrariesNoFirstPaintNeedsAtFirstUseFromTheSystemFolder)
{
    // A library of the same name beside the program is never the one loaded.
    std::wstring folder = MakeFolder(L"tavrin_exe_late_libraries");
    std::wstring planted =
        WinePathFromEnv("TAVRIN_BUILD_DIR") + L"\\tests\\windows\\chooser-without-exports\\gsgetfile.dll";
    ASSERT_TRUE(CopyFileW(planted.c_str(), (folder + L"\\comdlg32.dll").c_str(), FALSE));
    Program program(folder);
    HWND window = program.Window();
    ASSERT_NE(nullptr, window);
    for (const wchar_t* name : {L"wininet.dll", L"comdlg32.dll", L"shell32.dll", L"comctl32.dll"}) {
        EXPECT_EQ(L"", LoadedModule(window, name)) << name;
    }

    PostMessageW(window, WM_COMMAND, IDM_OPEN, 0);
    HWND dialog = WaitForDialog(L"設定ファイルの選択");
    ASSERT_NE(nullptr, dialog);
    wchar_t system[MAX_PATH] = {};
    GetSystemDirectoryW(system, MAX_PATH);
    std::wstring systemFolder = system;
    for (wchar_t& c : systemFolder) {
        c = static_cast<wchar_t>(std::towlower(c));
    }
    EXPECT_EQ(systemFolder + L"\\comdlg32.dll", LoadedModule(window, L"comdlg32.dll"));
    PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    EXPECT_TRUE(PumpUntil([&] { return !IsWindow(dialog); }, 10000));
    PostMessageW(window, WM_COMMAND, IDM_EXIT, 0);
    EXPECT_EQ(0, program.ExitCode(20000));
}
