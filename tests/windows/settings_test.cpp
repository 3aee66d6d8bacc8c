#include "common/texts.h"
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
    unsigned char buffer[4096];
    DWORD got = 0;
    while (file != INVALID_HANDLE_VALUE && ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) {
        bytes.insert(bytes.end(), buffer, buffer + got);
    }
    CloseHandle(file);
    return bytes;
}

// Files (not folders) in `folder`.
size_t CountFiles(const std::wstring& folder, bool remove = false)
{
    size_t count = 0;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    while (search != INVALID_HANDLE_VALUE) {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
            ++count;
            if (remove) {
                std::wstring path = folder + L"\\" + found.cFileName;
                SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(path.c_str());
            }
        }
        if (!FindNextFileW(search, &found)) {
            FindClose(search);
            break;
        }
    }
    return count;
}

// The main window's controls, made from template 129, a record bound to them, a scratch folder.
class SettingsWindowTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_dialog = CreateDialogParamW(m_instance, MAKEINTRESOURCEW(IDD_MAIN), nullptr, QuietDialogProc, 0);
        ASSERT_NE(m_dialog, nullptr);
        m_settings.m_hInstance = m_instance;
        m_settings.m_hWnd = m_dialog;
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        m_folder = std::wstring(temp) + L"tavrin_settings_" + std::to_wstring(GetCurrentProcessId());
        CreateDirectoryW(m_folder.c_str(), nullptr);
    }
    void TearDown() override
    {
        CountFiles(m_folder, true);
        RemoveDirectoryW(m_folder.c_str());
        DestroyWindow(m_dialog);
    }
    LRESULT Send(int id, UINT message, WPARAM w = 0, LPARAM l = 0)
    {
        return SendDlgItemMessageW(m_dialog, id, message, w, l);
    }

    HINSTANCE m_instance = GetModuleHandleW(nullptr);
    HWND m_dialog = nullptr;
    CSettings m_settings{&Win32SettingsHost()};
    std::wstring m_folder;
};

TEST_F(SettingsWindowTest, StringTableHoldsTheBuiltInKeyNames)
{
    for (unsigned id = IDS_INI_SECTION; id <= IDS_KEY_FORMATINDEX; ++id) {
        EXPECT_EQ(Win32SettingsHost().LoadText(m_instance, id), CMemorySettingsHost::BuiltInText(id)) << id;
        EXPECT_EQ(Text(id), CMemorySettingsHost::BuiltInText(id)) << id; // the program's own texts, the same way
    }
    EXPECT_EQ(Text(IDS_SOFTKEY_MENU), L"メニュー");
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
    EXPECT_EQ(Send(IDC_URL_COMBO, CB_GETCOUNT), 5);

    m_settings.Exchange(false);
    EXPECT_EQ(m_settings.m_strLog, log);
    EXPECT_EQ(m_settings.m_nUrlIndex, 3);
    EXPECT_EQ(m_settings.m_nBrowserIndex, -1);
    EXPECT_EQ(m_settings.m_bLocateEasy + m_settings.m_bAutoConnect, 2);
    EXPECT_EQ(m_settings.m_bStartupAll + m_settings.m_bAutoBrowser, 0);
    EXPECT_EQ(m_settings.m_nConnectWait, -1234567);

    // The lossy cases: an index at the end of the list, a wait of ten characters.
    m_settings.m_nUrlIndex = 5;
    m_settings.m_nConnectWait = 1234567890;
    m_settings.m_strLog = L"ab";
    m_settings.Exchange(true);
    Send(IDC_LOG, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(start + end, 2u);
    Send(IDC_BROWSER_COMBO, CB_SETCURSEL, 1);
    std::wstring url = L"keep", file;
    EXPECT_FALSE(m_settings.GetSelectedUrl(url));
    EXPECT_EQ(url, L"keep");
    EXPECT_EQ(m_settings.m_nConnectWait, 123456789);
    EXPECT_TRUE(m_settings.GetSelectedBrowserFile(file));
    EXPECT_EQ(file, L"\\Program Files\\Opera\\opera.exe");
}

TEST_F(SettingsWindowTest, SaveReplacesSafelyAndReadOnlyFilesLoad)
{
    m_settings.Exchange(true);
    const std::wstring path = m_folder + L"\\presets.ini";
    ASSERT_TRUE(m_settings.Save(path.c_str()));
    const std::wstring source = WinePathFromEnv("TAVRIN_SOURCE_DIR");
    if (!source.empty()) {
        EXPECT_EQ(ReadBytes(path), ReadBytes(source + L"\\tests\\host\\data\\factory_settings.ini"));
    }
    Send(IDC_LOCATE_EASY, BM_SETCHECK, BST_CHECKED);
    ASSERT_TRUE(m_settings.Save(path.c_str())); // over the old file
    const auto saved = ReadBytes(path);
    ASSERT_TRUE(SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY));
    m_settings.m_bLocateEasy = 0;
    ASSERT_TRUE(m_settings.Load(path.c_str()));
    EXPECT_EQ(m_settings.m_bLocateEasy, 1);

    const std::wstring other = m_folder + L"\\other.ini";
    const std::wstring folder = m_folder + L"\\folder.ini";
    ASSERT_TRUE(m_settings.Save(other.c_str()));
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    Send(IDC_LOCATE_EASY, BM_SETCHECK, BST_UNCHECKED);
    for (const std::wstring& target : {path, folder, m_folder + L"\\no such folder\\x.ini"}) {
        EXPECT_FALSE(m_settings.Save(target.c_str()));
    }
    RemoveDirectoryW(folder.c_str());
    EXPECT_EQ(ReadBytes(path), saved);
    EXPECT_EQ(std::wstring(m_settings.m_szIniPath), other);
    EXPECT_EQ(CountFiles(m_folder), 2u); // no temporary file left behind
    EXPECT_FALSE(m_settings.Load(m_folder.c_str()));
}

TEST_F(SettingsWindowTest, LoadDefaultReadsDefaultIniBesideTheProgram)
{
    wchar_t module[MAX_PATH];
    GetModuleFileNameW(nullptr, module, MAX_PATH);
    std::wstring expected = module;
    expected = expected.substr(0, expected.rfind(L'\\')) + L"\\default.ini";
    m_settings.m_urlList.resize(1);
    ASSERT_TRUE(m_settings.Save(expected.c_str()));

    g_settings.m_hInstance = m_instance;
    g_settings.m_hWnd = m_dialog;
    g_settings.LoadDefault();
    DeleteFileW(expected.c_str());
    EXPECT_EQ(std::wstring(g_settings.m_szIniPath), expected);
    EXPECT_EQ(Send(IDC_URL_COMBO, CB_GETCOUNT), 1);
}

} // namespace
