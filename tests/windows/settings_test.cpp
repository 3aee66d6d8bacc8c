#include "resources/resource.h"
#include "settings/memory_settings_host.h"
#include "settings/settings_win.h"
#include "tests/windows/test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

INT_PTR CALLBACK QuietDialogProc(HWND, UINT, WPARAM, LPARAM)
{
    return FALSE;
}

std::vector<unsigned char> ReadBytes(const std::wstring& path)
{
    std::vector<unsigned char> bytes;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return bytes;
    }
    unsigned char buffer[4096];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) {
        bytes.insert(bytes.end(), buffer, buffer + got);
    }
    CloseHandle(file);
    return bytes;
}

void WriteBytes(const std::wstring& path, const std::vector<unsigned char>& bytes)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD put = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &put, nullptr);
    CloseHandle(file);
}

std::vector<std::wstring> FilesIn(const std::wstring& folder)
{
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        return names;
    }
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
            names.push_back(found.cFileName);
        }
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return names;
}

// The main window's controls, made from template 129, and a record bound to them.
class SettingsWindowTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_dialog =
            CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_MAIN), nullptr, QuietDialogProc, 0);
        ASSERT_NE(m_dialog, nullptr);
        m_settings.m_hInstance = GetModuleHandleW(nullptr);
        m_settings.m_hWnd = m_dialog;

        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        m_folder = std::wstring(temp) + L"tavrin_settings_" + std::to_wstring(GetCurrentProcessId());
        CreateDirectoryW(m_folder.c_str(), nullptr);
    }

    void TearDown() override
    {
        for (const auto& name : FilesIn(m_folder)) {
            std::wstring path = m_folder + L"\\" + name;
            SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileW(path.c_str());
        }
        RemoveDirectoryW(m_folder.c_str());
        DestroyWindow(m_dialog);
    }

    LRESULT Send(int id, UINT message, WPARAM w = 0, LPARAM l = 0)
    {
        return SendDlgItemMessageW(m_dialog, id, message, w, l);
    }
    std::wstring ComboItem(int id, int index)
    {
        wchar_t buffer[256] = {};
        Send(id, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(buffer));
        return buffer;
    }
    std::wstring Path(const wchar_t* name) const { return m_folder + L"\\" + name; }

    HWND m_dialog = nullptr;
    CSettings m_settings{&Win32SettingsHost()};
    std::wstring m_folder;
};

TEST_F(SettingsWindowTest, StringTableHoldsTheKeyNames)
{
    for (unsigned id = IDS_INI_SECTION; id <= IDS_KEY_FORMATINDEX; ++id) {
        EXPECT_EQ(Win32SettingsHost().LoadText(GetModuleHandleW(nullptr), id), CMemorySettingsHost::BuiltInText(id))
            << id;
    }
}

TEST_F(SettingsWindowTest, FreshRecordShowsThePresetsInTheControls)
{
    m_settings.Exchange(true);
    ASSERT_EQ(Send(IDC_URL_COMBO, CB_GETCOUNT), 5);
    EXPECT_EQ(ComboItem(IDC_URL_COMBO, 0), L"ORVEL 提供");
    EXPECT_EQ(ComboItem(IDC_URL_COMBO, 4), L"Mapion");
    EXPECT_EQ(Send(IDC_URL_COMBO, CB_GETCURSEL), 0);
    EXPECT_EQ(ComboItem(IDC_BROWSER_COMBO, 1), L"Opera");
    EXPECT_EQ(Send(IDC_BROWSER_COMBO, CB_GETCURSEL), 0);
    for (int id : {IDC_LOCATE_EASY, IDC_STARTUP_ALL, IDC_AUTO_CONNECT}) {
        EXPECT_EQ(Send(id, BM_GETCHECK), BST_UNCHECKED) << id;
    }
    EXPECT_EQ(Send(IDC_AUTO_BROWSER, BM_GETCHECK), BST_CHECKED);
    wchar_t wait[16] = {};
    GetDlgItemTextW(m_dialog, IDC_CONNECT_WAIT, wait, 16);
    EXPECT_STREQ(wait, L"3000");
}

TEST_F(SettingsWindowTest, RoundTripThroughRealControls)
{
    std::wstring log;
    for (int i = 0; log.size() < 4094; ++i) {
        log += L"行" + std::to_wstring(i) + L"\r\n";
    }
    log.resize(4094);
    log += L"\r\n";
    m_settings.m_strLog = log;
    m_settings.m_nUrlIndex = 3;
    m_settings.m_nBrowserIndex = -1;
    m_settings.m_bLocateEasy = m_settings.m_bAutoConnect = 1;
    m_settings.m_bAutoBrowser = 0;
    m_settings.m_nConnectWait = -1234567;
    m_settings.Exchange(true);

    DWORD start = 0, end = 0;
    Send(IDC_LOG, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(start, 4095u);
    EXPECT_EQ(end, 4095u);

    m_settings.Exchange(false);
    EXPECT_EQ(m_settings.m_strLog, log);
    EXPECT_EQ(m_settings.m_nUrlIndex, 3);
    EXPECT_EQ(m_settings.m_nBrowserIndex, -1);
    EXPECT_EQ(m_settings.m_bLocateEasy + m_settings.m_bAutoConnect, 2);
    EXPECT_EQ(m_settings.m_bStartupAll + m_settings.m_bAutoBrowser, 0);
    EXPECT_EQ(m_settings.m_nConnectWait, -1234567);

    // The two lossy cases: an index at the end of the list, a wait of ten characters.
    m_settings.m_nUrlIndex = 5;
    m_settings.m_nConnectWait = 1234567890;
    m_settings.m_strLog = L"ab";
    m_settings.Exchange(true);
    Send(IDC_LOG, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(start, 1u);
    EXPECT_EQ(end, 1u);
    m_settings.Exchange(false);
    EXPECT_EQ(m_settings.m_nUrlIndex, -1);
    EXPECT_EQ(m_settings.m_nConnectWait, 123456789);
    EXPECT_EQ(m_settings.m_strLog, L"ab");
}

TEST_F(SettingsWindowTest, ReadsWhatTheUserSetAndSelected)
{
    m_settings.Exchange(true);
    Send(IDC_URL_COMBO, CB_SETCURSEL, 4);
    Send(IDC_BROWSER_COMBO, CB_SETCURSEL, 1);
    Send(IDC_STARTUP_ALL, BM_SETCHECK, BST_CHECKED);
    SetDlgItemTextW(m_dialog, IDC_CONNECT_WAIT, L"250ms");
    std::wstring url, format, file;
    EXPECT_TRUE(m_settings.GetSelectedUrl(url));
    EXPECT_TRUE(m_settings.GetSelectedFormat(format));
    EXPECT_TRUE(m_settings.GetSelectedBrowserFile(file));
    EXPECT_EQ(url, L"http://www.mapion.co.jp/c/f");
    EXPECT_EQ(format, L"size=450,400&scl=10000&grp=all&uc=1&el=$eml&nl=$nml");
    EXPECT_EQ(file, L"\\Program Files\\Opera\\opera.exe");
    EXPECT_EQ(m_settings.m_bStartupAll, 1);
    EXPECT_EQ(m_settings.m_nConnectWait, 250);

    Send(IDC_URL_COMBO, CB_SETCURSEL, static_cast<WPARAM>(-1));
    SetDlgItemTextW(m_dialog, IDC_CONNECT_WAIT, L"");
    url = L"keep";
    EXPECT_FALSE(m_settings.GetSelectedUrl(url));
    EXPECT_EQ(url, L"keep");
    EXPECT_EQ(m_settings.m_nConnectWait, 0);
}

TEST_F(SettingsWindowTest, SaveWritesTheReferenceFileAndLoadReadsItBack)
{
    m_settings.Exchange(true);
    const std::wstring path = Path(L"presets.ini");
    ASSERT_TRUE(m_settings.Save(path.c_str()));
    EXPECT_EQ(std::wstring(m_settings.m_szIniPath), path);
    const std::wstring source = WinePathFromEnv("TAVRIN_SOURCE_DIR");
    if (!source.empty()) {
        EXPECT_EQ(ReadBytes(path), ReadBytes(source + L"\\tests\\host\\data\\factory_settings.ini"));
    }
    EXPECT_EQ(FilesIn(m_folder), std::vector<std::wstring>{L"presets.ini"}); // no temporary left

    // Saving over an existing file replaces it.
    Send(IDC_LOCATE_EASY, BM_SETCHECK, BST_CHECKED);
    Send(IDC_BROWSER_COMBO, CB_SETCURSEL, 1);
    ASSERT_TRUE(m_settings.Save(path.c_str()));

    CSettings other(&Win32SettingsHost());
    other.m_hInstance = GetModuleHandleW(nullptr);
    other.m_bLocateEasy = 0;
    ASSERT_TRUE(other.Load(path.c_str()));
    EXPECT_EQ(other.m_bLocateEasy, 1);
    EXPECT_EQ(other.m_nBrowserIndex, 1);
    EXPECT_EQ(other.m_urlList, m_settings.m_urlList);
}

TEST_F(SettingsWindowTest, ReadOnlyFileLoadsButCannotBeReplaced)
{
    const std::wstring path = Path(L"locked.ini");
    ASSERT_TRUE(m_settings.Save(path.c_str()));
    const auto before = ReadBytes(path);
    ASSERT_TRUE(SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY));

    m_settings.m_urlList.clear();
    ASSERT_TRUE(m_settings.Load(path.c_str()));
    EXPECT_EQ(m_settings.m_urlList.size(), 5u);

    const std::wstring other = Path(L"other.ini");
    ASSERT_TRUE(m_settings.Save(other.c_str()));
    m_settings.m_nConnectWait = 1;
    m_settings.Exchange(true);
    EXPECT_FALSE(m_settings.Save(path.c_str()));
    EXPECT_EQ(ReadBytes(path), before);
    EXPECT_EQ(std::wstring(m_settings.m_szIniPath), other);
    EXPECT_EQ(FilesIn(m_folder).size(), 2u); // the temporary file is gone

    // The move fails onto a folder: the temporary file goes too.
    const std::wstring folder = Path(L"folder.ini");
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    EXPECT_FALSE(m_settings.Save(folder.c_str()));
    EXPECT_EQ(FilesIn(m_folder).size(), 2u);
    RemoveDirectoryW(folder.c_str());

    EXPECT_FALSE(m_settings.Save(Path(L"no such folder\\x.ini").c_str()));
    EXPECT_EQ(std::wstring(m_settings.m_szIniPath), other);
}

TEST_F(SettingsWindowTest, FilesThatDoNotLoad)
{
    const std::wstring empty = Path(L"empty.ini");
    WriteBytes(empty, {});
    m_settings.m_nConnectWait = 77;
    for (const std::wstring& path : {empty, Path(L"missing.ini"), m_folder}) {
        EXPECT_FALSE(m_settings.Load(path.c_str()));
    }
    EXPECT_EQ(m_settings.m_nConnectWait, 77);
    EXPECT_STREQ(m_settings.m_szIniPath, L"");

    // Another section still loads, as an empty set.
    const std::wstring other = Path(L"other.ini");
    WriteBytes(other, {0xFF, 0xFE, '[', 0, 'x', 0, ']', 0, '\r', 0, '\n', 0});
    ASSERT_TRUE(m_settings.Load(other.c_str()));
    EXPECT_EQ(Send(IDC_URL_COMBO, CB_GETCOUNT), 0);
    EXPECT_EQ(m_settings.m_nConnectWait, 0);
}

TEST_F(SettingsWindowTest, LoadDefaultUsesTheProgramFolder)
{
    wchar_t module[MAX_PATH];
    GetModuleFileNameW(nullptr, module, MAX_PATH);
    std::wstring expected = module;
    expected = expected.substr(0, expected.rfind(L'\\')) + L"\\default.ini";

    CSettings writer(&Win32SettingsHost());
    writer.m_hInstance = GetModuleHandleW(nullptr);
    writer.m_urlList.resize(1);
    writer.m_nUrlIndex = 0;
    ASSERT_TRUE(writer.Save(expected.c_str()));

    g_settings.m_hInstance = GetModuleHandleW(nullptr);
    g_settings.m_hWnd = m_dialog;
    g_settings.LoadDefault();
    DeleteFileW(expected.c_str());
    EXPECT_EQ(std::wstring(g_settings.m_szIniPath), expected);
    EXPECT_EQ(g_settings.m_urlList.size(), 1u);
    EXPECT_EQ(Send(IDC_URL_COMBO, CB_GETCOUNT), 1);
}

} // namespace
