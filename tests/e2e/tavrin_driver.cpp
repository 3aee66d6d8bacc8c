#include "tests/e2e/tavrin_driver.h"

#include <commctrl.h>

#include <cstdlib>
#include <cwchar>

namespace {

constexpr int kMessageBoxText = 0xFFFF;
constexpr int kMessageBoxIcon = 0x0440;
constexpr int kProgressText = 1015;
constexpr int kListView = 1022;
constexpr int kLogEdit = 1014;
constexpr WPARAM kExitCommand = 40000;

DWORD WindowProcess(HWND window)
{
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    return pid;
}

HWND FindMainWindowOf(DWORD pid)
{
    HWND window = nullptr;
    while ((window = FindWindowExW(nullptr, window, L"TAVRIN", nullptr)) != nullptr) {
        if (pid == 0 || WindowProcess(window) == pid) {
            return window;
        }
    }
    return nullptr;
}

std::wstring ClassName(HWND window)
{
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

bool VisibleChild(HWND dialog, int id)
{
    HWND child = GetDlgItem(dialog, id);
    return child != nullptr && IsWindowVisible(child);
}

bool IsMessageBox(HWND dialog)
{
    return GetDlgItem(dialog, kMessageBoxText) != nullptr && GetDlgItem(dialog, kProgressText) == nullptr &&
           GetDlgItem(dialog, kListView) == nullptr && (VisibleChild(dialog, IDOK) || VisibleChild(dialog, IDYES));
}

bool ReadWholeFile(const std::wstring& path, std::string& bytes)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    bytes.clear();
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(file, buffer, sizeof(buffer), &read, nullptr) && read > 0) {
        bytes.append(buffer, read);
    }
    CloseHandle(file);
    return true;
}

std::wstring UnixToWine(const char* value)
{
    std::wstring path = L"Z:";
    for (const char* p = value; *p != '\0'; ++p) {
        path += (*p == '/') ? L'\\' : static_cast<wchar_t>(static_cast<unsigned char>(*p));
    }
    return path;
}

// Memory in the program's address space, for list view messages that carry pointers.
class RemoteBuffer
{
public:
    RemoteBuffer(HANDLE process, size_t size) : m_process(process)
    {
        m_address = VirtualAllocEx(process, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    }
    ~RemoteBuffer()
    {
        if (m_address != nullptr) {
            VirtualFreeEx(m_process, m_address, 0, MEM_RELEASE);
        }
    }
    RemoteBuffer(const RemoteBuffer&) = delete;
    RemoteBuffer& operator=(const RemoteBuffer&) = delete;

    char* Address() const { return static_cast<char*>(m_address); }
    bool Write(size_t offset, const void* data, size_t size) const
    {
        return WriteProcessMemory(m_process, Address() + offset, data, size, nullptr) != FALSE;
    }
    bool Read(size_t offset, void* data, size_t size) const
    {
        return ReadProcessMemory(m_process, Address() + offset, data, size, nullptr) != FALSE;
    }

private:
    HANDLE m_process;
    void* m_address;
};

} // namespace

void PrintTo(const MessageBoxSeen& box, std::ostream* out)
{
    *out << "[" << Utf8(box.caption) << "] \"" << Utf8(box.text) << "\"" << (box.ok ? " OK" : "")
         << (box.yes ? " Yes" : "") << (box.no ? " No" : "") << (box.icon ? " icon" : "");
}

// ---------------------------------------------------------------------------------------

void SettingsFile::Set(const std::wstring& key, const std::wstring& value)
{
    for (auto& pair : m_pairs) {
        if (pair.first == key) {
            pair.second = value;
            return;
        }
    }
    m_pairs.emplace_back(key, value);
}

void SettingsFile::Remove(const std::wstring& key)
{
    for (auto it = m_pairs.begin(); it != m_pairs.end(); ++it) {
        if (it->first == key) {
            m_pairs.erase(it);
            return;
        }
    }
}

bool SettingsFile::Write(const std::wstring& path) const
{
    std::wstring text = L"\xFEFF[tavrin]\r\n";
    for (const auto& pair : m_pairs) {
        text += pair.first + L"=" + pair.second + L"\r\n";
    }
    std::string bytes;
    for (wchar_t c : text) {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>((c >> 8) & 0xFF);
    }
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    DWORD written = 0;
    const bool ok =
        WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) && written == bytes.size();
    CloseHandle(file);
    return ok;
}

// ---------------------------------------------------------------------------------------

PendingCommand::PendingCommand(HWND window, WPARAM wParam, LPARAM lParam)
{
    m_thread = std::thread([done = m_done, window, wParam, lParam] {
        SendMessageW(window, WM_COMMAND, wParam, lParam);
        *done = true;
    });
}

PendingCommand::~PendingCommand()
{
    // A command that hangs is left to the end of the program, which makes SendMessage return;
    // the test has failed by then.
    if (Wait(5000)) {
        m_thread.join();
    } else {
        m_thread.detach();
    }
}

bool PendingCommand::Wait(DWORD timeoutMs)
{
    return WaitFor([this] { return Done(); }, timeoutMs);
}

// ---------------------------------------------------------------------------------------

std::wstring BuildPath(const std::wstring& relative)
{
    const char* build = std::getenv("TAVRIN_BUILD_DIR");
    std::wstring root = (build != nullptr && *build != '\0') ? UnixToWine(build) : L".";
    return relative.empty() ? root : root + L"\\" + relative;
}

std::wstring TestBrowserPath()
{
    return BuildPath(L"tools\\test_browser.exe");
}

TavrinSession::TavrinSession(const std::wstring& name)
{
    CreateDirectoryW(BuildPath(L"e2e").c_str(), nullptr);
    m_folder = BuildPath(L"e2e\\" + name);
    CreateDirectoryW(m_folder.c_str(), nullptr);
    for (const wchar_t* file : {L"default.ini", L"cache.ini", L"browser.log", L"tavrin.exe", L"saved.ini",
                                L"gsgetfile.dll", L"gsgetfile.answer", L"gsgetfile.log"}) {
        DeleteFileW((m_folder + L"\\" + file).c_str());
    }
    CopyFileW(BuildPath(LaneProgramName()).c_str(), (m_folder + L"\\tavrin.exe").c_str(), FALSE);
    SetEnvironment(L"TAVRIN_BROWSER_LOG", BrowserLogPath());
}

TavrinSession::~TavrinSession()
{
    Stop();
}

SettingsFile TavrinSession::TestSettings()
{
    SettingsFile settings;
    settings.Set(L"URLINDEX", L"0");
    settings.Set(L"URL0", L"テスト地図;http://map.example.test/show;pos=N$nlE$el");
    settings.Set(L"URL1", L"度分秒;http://map.example.test/pl;el=$el&nl=$nl");
    settings.Set(L"URL2", L"スラッシュ;http://map.example.test/c/f;size=450,400&el=$eml&nl=$nml&pc=$pc");
    settings.Set(L"URL3", L"URLなし;;pos=$nl");
    settings.Set(L"BROWSERINDEX", L"0");
    settings.Set(L"BROWSER0", L"テストブラウザ;" + TestBrowserPath());
    settings.Set(L"BROWSER1", L"パスなし;");
    settings.Set(L"LOCATEEASY", L"FALSE");
    settings.Set(L"STARTUPALL", L"FALSE");
    settings.Set(L"AUTOCONNECT", L"FALSE");
    settings.Set(L"AUTOBROWSER", L"TRUE");
    settings.Set(L"CONNECTWAIT", L"0");
    settings.Set(L"BROWSERWAIT", L"0");
    return settings;
}

bool TavrinSession::WriteSettings(const SettingsFile& settings) const
{
    return settings.Write(SettingsPath());
}

void TavrinSession::SetEnvironment(const std::wstring& name, const std::wstring& value)
{
    for (auto& pair : m_environment) {
        if (pair.first == name) {
            pair.second = value;
            return;
        }
    }
    m_environment.emplace_back(name, value);
}

bool TavrinSession::Start()
{
    // One instance at a time: an instance left over by a failed test would take our place.
    while (HWND stale = FindMainWindowOf(0)) {
        HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, WindowProcess(stale));
        if (process == nullptr) {
            break;
        }
        TerminateProcess(process, 1);
        WaitForSingleObject(process, 5000);
        CloseHandle(process);
    }

    std::wstring block;
    wchar_t* inherited = GetEnvironmentStringsW();
    for (const wchar_t* p = inherited; *p != L'\0'; p += wcslen(p) + 1) {
        std::wstring entry = p;
        bool replaced = false;
        for (const auto& pair : m_environment) {
            if (_wcsnicmp(entry.c_str(), (pair.first + L"=").c_str(), pair.first.size() + 1) == 0) {
                replaced = true;
            }
        }
        if (!replaced) {
            block += entry;
            block += L'\0';
        }
    }
    FreeEnvironmentStringsW(inherited);
    for (const auto& pair : m_environment) {
        block += pair.first + L"=" + pair.second;
        block += L'\0';
    }
    block += L'\0';

    std::wstring exe = m_folder + L"\\tavrin.exe";
    std::wstring commandLine = L"\"" + exe + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    if (!CreateProcessW(exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, CREATE_UNICODE_ENVIRONMENT, &block[0],
                        (m_startFolder.empty() ? m_folder : m_startFolder).c_str(), &startup, &m_process)) {
        m_process = {};
        return false;
    }
    const bool up = WaitFor(
        [this] {
            m_main = FindMainWindowOf(m_process.dwProcessId);
            return m_main != nullptr && IsWindowVisible(m_main) && GetDlgItem(m_main, kLogEdit) != nullptr;
        },
        20000);
    if (!up) {
        Stop();
        return false;
    }
    WaitForInputIdle(m_process.hProcess, 5000);
    return true;
}

bool TavrinSession::Running() const
{
    return m_process.hProcess != nullptr && WaitForSingleObject(m_process.hProcess, 0) == WAIT_TIMEOUT;
}

bool TavrinSession::WaitForExit(DWORD timeoutMs)
{
    return m_process.hProcess == nullptr || WaitForSingleObject(m_process.hProcess, timeoutMs) == WAIT_OBJECT_0;
}

void TavrinSession::Stop()
{
    if (m_process.hProcess == nullptr) {
        return;
    }
    if (Running() && m_main != nullptr) {
        PostMessageW(m_main, WM_COMMAND, kExitCommand, 0);
    }
    if (!WaitForExit(5000)) {
        TerminateProcess(m_process.hProcess, 1);
        WaitForSingleObject(m_process.hProcess, 5000);
    }
    CloseHandle(m_process.hThread);
    CloseHandle(m_process.hProcess);
    m_process = {};
    m_main = nullptr;
}

HWND TavrinSession::Control(int id) const
{
    return GetDlgItem(m_main, id);
}

std::wstring TavrinSession::Text(int id) const
{
    return TextOf(Control(id));
}

void TavrinSession::SetText(int id, const std::wstring& text) const
{
    SendMessageW(Control(id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

bool TavrinSession::Checked(int id) const
{
    return SendMessageW(Control(id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void TavrinSession::SetChecked(int id, bool checked) const
{
    if (Checked(id) != checked) {
        // A click, as the user's tap, toggles the automatic check box.
        SendMessageW(Control(id), BM_CLICK, 0, 0);
    }
    if (Checked(id) != checked) {
        SendMessageW(Control(id), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
    }
}

int TavrinSession::ComboSelection(int id) const
{
    return static_cast<int>(SendMessageW(Control(id), CB_GETCURSEL, 0, 0));
}

std::vector<std::wstring> TavrinSession::ComboItems(int id) const
{
    std::vector<std::wstring> items;
    HWND combo = Control(id);
    const int count = static_cast<int>(SendMessageW(combo, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        const LRESULT length = SendMessageW(combo, CB_GETLBTEXTLEN, i, 0);
        std::wstring text(static_cast<size_t>(length < 0 ? 0 : length) + 1, L'\0');
        const LRESULT copied = SendMessageW(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(&text[0]));
        text.resize(copied < 0 ? 0 : static_cast<size_t>(copied));
        items.push_back(text);
    }
    return items;
}

void TavrinSession::SelectCombo(int id, int index) const
{
    SendMessageW(Control(id), CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

std::unique_ptr<PendingCommand> TavrinSession::Press(int id) const
{
    return std::make_unique<PendingCommand>(m_main, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(Control(id)));
}

std::vector<MessageBoxSeen> TavrinSession::PressAndAnswer(int id, int answer, DWORD timeoutMs)
{
    std::vector<MessageBoxSeen> boxes;
    auto command = Press(id);
    const DWORD start = GetTickCount();
    while (!command->Done() && GetTickCount() - start < timeoutMs) {
        MessageBoxSeen seen;
        if (!WaitMessageBox(seen, 50)) {
            continue;
        }
        boxes.push_back(seen);
        int button = answer;
        if (!VisibleChild(seen.box, button)) {
            button = seen.ok ? IDOK : (seen.no ? IDNO : IDCANCEL);
        }
        Answer(seen.box, button);
    }
    if (!command->Done()) {
        Stop(); // lets the stuck command's thread go
        boxes.push_back(MessageBoxSeen{nullptr, nullptr, L"(timeout)", L"the command did not end"});
    }
    return boxes;
}

std::vector<HWND> TavrinSession::Dialogs() const
{
    struct Search
    {
        DWORD pid;
        std::vector<HWND> found;
    } search{m_process.dwProcessId, {}};
    EnumWindows(
        [](HWND window, LPARAM param) -> BOOL {
            auto* s = reinterpret_cast<Search*>(param);
            if (WindowProcess(window) == s->pid && IsWindowVisible(window) && ClassName(window) == L"#32770") {
                s->found.push_back(window);
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

MessageBoxSeen TavrinSession::Describe(HWND box)
{
    MessageBoxSeen seen;
    seen.box = box;
    seen.owner = GetWindow(box, GW_OWNER);
    seen.caption = TextOf(box);
    seen.text = TextOf(GetDlgItem(box, kMessageBoxText));
    seen.ok = VisibleChild(box, IDOK);
    seen.yes = VisibleChild(box, IDYES);
    seen.no = VisibleChild(box, IDNO);
    HWND icon = GetDlgItem(box, kMessageBoxIcon);
    seen.icon = icon != nullptr && IsWindowVisible(icon) && SendMessageW(icon, STM_GETICON, 0, 0) != 0;
    return seen;
}

bool TavrinSession::WaitMessageBox(MessageBoxSeen& seen, DWORD timeoutMs) const
{
    HWND box = nullptr;
    if (!WaitFor(
            [&] {
                for (HWND dialog : Dialogs()) {
                    if (IsMessageBox(dialog)) {
                        box = dialog;
                        return true;
                    }
                }
                return false;
            },
            timeoutMs)) {
        return false;
    }
    // The box may be shown before its text and buttons are final.
    Sleep(100);
    seen = Describe(box);
    return true;
}

void TavrinSession::Click(HWND dialog, int buttonId)
{
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(buttonId, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, buttonId)));
}

bool TavrinSession::Answer(HWND dialog, int buttonId, DWORD timeoutMs)
{
    Click(dialog, buttonId);
    return WaitFor([dialog] { return !IsWindow(dialog) || !IsWindowVisible(dialog); }, timeoutMs);
}

HWND TavrinSession::WaitDialogWith(int childId, DWORD timeoutMs) const
{
    HWND found = nullptr;
    WaitFor(
        [&] {
            for (HWND dialog : Dialogs()) {
                if (GetDlgItem(dialog, childId) != nullptr) {
                    found = dialog;
                    return true;
                }
            }
            return false;
        },
        timeoutMs);
    return found;
}

std::vector<std::wstring> TavrinSession::BrowserCalls() const
{
    std::vector<std::wstring> lines;
    std::string bytes;
    if (!ReadWholeFile(BrowserLogPath(), bytes)) {
        return lines;
    }
    std::wstring text = FromUtf8(bytes);
    size_t begin = 0;
    for (size_t end; (end = text.find(L'\n', begin)) != std::wstring::npos; begin = end + 1) {
        lines.push_back(text.substr(begin, end - begin));
    }
    return lines;
}

bool TavrinSession::WaitBrowserCalls(size_t count, DWORD timeoutMs) const
{
    return WaitFor([&] { return BrowserCalls().size() >= count; }, timeoutMs);
}

int TavrinSession::ListCount(HWND list) const
{
    return static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
}

std::wstring TavrinSession::ListText(HWND list, int item, int column) const
{
    constexpr size_t kChars = 1025;
    RemoteBuffer remote(m_process.hProcess, sizeof(LVITEMW) + kChars * sizeof(wchar_t));
    if (remote.Address() == nullptr) {
        return std::wstring();
    }
    LVITEMW request = {};
    request.iSubItem = column;
    request.pszText = reinterpret_cast<LPWSTR>(remote.Address() + sizeof(LVITEMW));
    request.cchTextMax = static_cast<int>(kChars);
    const wchar_t empty = L'\0';
    remote.Write(sizeof(LVITEMW), &empty, sizeof(empty));
    remote.Write(0, &request, sizeof(request));
    SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(remote.Address()));
    std::wstring text(kChars, L'\0');
    remote.Read(sizeof(LVITEMW), &text[0], kChars * sizeof(wchar_t));
    text.resize(wcsnlen(text.c_str(), kChars));
    return text;
}

void TavrinSession::ListSelect(HWND list, int item, bool selected) const
{
    RemoteBuffer remote(m_process.hProcess, sizeof(LVITEMW));
    if (remote.Address() == nullptr) {
        return;
    }
    LVITEMW request = {};
    request.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    request.state = selected ? (LVIS_SELECTED | LVIS_FOCUSED) : 0;
    remote.Write(0, &request, sizeof(request));
    SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(remote.Address()));
}
