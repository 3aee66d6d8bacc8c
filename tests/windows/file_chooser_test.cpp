#include "tests/windows/test_support.h"
#include "ui/file_chooser.h"

#include <gtest/gtest.h>

#include <dlgs.h>

#include <cstdio>
#include <string>

namespace {

// The tests' chooser library answers from files beside it.
class ChooserLibrary : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_dir = ExeFolder() + L"\\chooser";
        DeleteFileW(Log().c_str());
        DeleteFileW(AnswerFile().c_str());
        SetDllDirectoryW(m_dir.c_str());
    }
    void TearDown() override { SetDllDirectoryW(nullptr); }

    std::wstring Log() const { return m_dir + L"\\gsgetfile.log"; }
    std::wstring AnswerFile() const { return m_dir + L"\\gsgetfile.answer"; }

    std::wstring m_dir;
};

} // namespace

TEST_F(ChooserLibrary, ReceivesTheRequestUnchangedAndAnswersWithTheChosenPath)
{
    struct Case
    {
        bool save;
        const wchar_t* title;
        std::wstring filter;
        DWORD flags;
        const wchar_t* current;
        const wchar_t* expectedRecord;
    };
    const Case cases[] = {
        {false, L"設定ファイルの選択", SettingsFileFilter(), kOpenFileFlags, L"\\My Documents\\default.ini",
         L"call=open\nsize=152\nowner=1\ntitle=設定ファイルの選択\n"
         L"filter=設定ファイル (*.ini)|*.ini;全てのファイル (*.*)|*.*\nindex=1\nflags=0x1004\nmax=260\n"
         L"dir=\\My Documents\nfile=default.ini\n"},
        {true, L"設定ファイルの保存", SettingsFileFilter(), kSaveFileFlags, L"\\default.ini",
         L"call=save\nsize=152\nowner=1\ntitle=設定ファイルの保存\n"
         L"filter=設定ファイル (*.ini)|*.ini;全てのファイル (*.*)|*.*\nindex=1\nflags=0x1006\nmax=260\n"
         L"dir=\nfile=default.ini\n"},
        {false, L"ブラウザの選択", ProgramFileFilter(), kOpenFileFlags, L"",
         L"call=open\nsize=152\nowner=1\ntitle=ブラウザの選択\n"
         L"filter=実行ファイル (*.exe)|*.exe;全てのファイル (*.*)|*.*\nindex=1\nflags=0x1004\nmax=260\n"
         L"dir=\nfile=\n"},
    };
    WriteUtf16(AnswerFile(), L"C:\\chosen\\other.ini");
    for (const Case& c : cases) {
        DeleteFileW(Log().c_str());
        FileRequest request;
        PrepareFileRequest(&request, GetDesktopWindow(), c.current, c.title, c.filter, c.flags);
        int result = c.save ? ShowSaveFileDialog(&request.record) : ShowOpenFileDialog(&request.record);
        EXPECT_NE(0, result);
        EXPECT_STREQ(L"C:\\chosen\\other.ini", request.record.lpstrFile);
        EXPECT_EQ(std::wstring(c.expectedRecord), ReadUtf16(Log()));
        EXPECT_EQ(nullptr, GetModuleHandleW(L"gsgetfile.dll")) << "the library is unloaded after each call";
    }
}

TEST_F(ChooserLibrary, CancelGivesZeroAndTooLongPathOpensEmpty)
{
    FileRequest request;
    std::wstring tooLong = L"\\" + std::wstring(258, L'x') + L"\\a.ini";
    PrepareFileRequest(&request, nullptr, tooLong.c_str(), L"設定ファイルの選択", SettingsFileFilter(), kOpenFileFlags);
    EXPECT_EQ(0, ShowOpenFileDialog(&request.record));
    EXPECT_NE(std::wstring::npos, ReadUtf16(Log()).find(L"dir=\nfile=\n"));
    EXPECT_STREQ(L"", request.file);
}

namespace {

struct PlatformDialogSeen
{
    std::wstring title;
    std::wstring name;
    std::wstring filter;
    std::wstring folder;
    std::wstring typeInstead; // when set, typed into the name field and confirmed
};

PlatformDialogSeen* g_seen = nullptr;

BOOL CALLBACK FindChooser(HWND window, LPARAM found)
{
    wchar_t name[32] = {};
    GetClassNameW(window, name, 32);
    if (lstrcmpW(name, L"#32770") == 0 && IsWindowVisible(window)) {
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    return TRUE;
}

void CALLBACK AnswerPlatformDialog(HWND, UINT, UINT_PTR timer, DWORD)
{
    HWND dialog = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), FindChooser, reinterpret_cast<LPARAM>(&dialog));
    if (dialog == nullptr || GetDlgItem(dialog, cmb1) == nullptr) {
        return;
    }
    KillTimer(nullptr, timer);
    wchar_t text[MAX_PATH] = {};
    GetWindowTextW(dialog, text, MAX_PATH);
    g_seen->title = text;
    GetDlgItemTextW(dialog, cmb13, text, MAX_PATH);
    g_seen->name = text;
    GetDlgItemTextW(dialog, cmb1, text, MAX_PATH);
    g_seen->filter = text;
    text[0] = 0;
    SendMessageW(dialog, CDM_GETFOLDERPATH, MAX_PATH, reinterpret_cast<LPARAM>(text));
    g_seen->folder = text;
    if (g_seen->typeInstead.empty()) {
        PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    } else {
        SetDlgItemTextW(dialog, cmb13, g_seen->typeInstead.c_str());
        PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    }
}

std::wstring TempFolder()
{
    wchar_t path[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, path);
    std::wstring folder = std::wstring(path) + L"tavrin_chooser";
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

} // namespace

// Without the library, or with a library lacking the entry points, the platform's dialog
// runs on the same record.
class PlatformDialog : public ::testing::TestWithParam<const wchar_t*>
{
protected:
    void SetUp() override { SetDllDirectoryW((ExeFolder() + GetParam()).c_str()); }
    void TearDown() override { SetDllDirectoryW(nullptr); }
};

TEST_P(PlatformDialog, OpensSeededFromTheCurrentPathAndReturnsTheChoice)
{
    std::wstring folder = TempFolder();
    std::wstring current = folder + L"\\default.ini";
    std::wstring other = folder + L"\\other.ini";
    WriteUtf16(current, L"");
    DeleteFileW(other.c_str());

    PlatformDialogSeen seen;
    g_seen = &seen;
    FileRequest request;
    PrepareFileRequest(&request, nullptr, current.c_str(), L"設定ファイルの選択", SettingsFileFilter(), kOpenFileFlags);
    SetTimer(nullptr, 0, 100, AnswerPlatformDialog);
    EXPECT_EQ(0, ShowOpenFileDialog(&request.record));
    EXPECT_EQ(L"設定ファイルの選択", seen.title);
    EXPECT_EQ(L"default.ini", seen.name);
    EXPECT_EQ(L"設定ファイル (*.ini)", seen.filter);
    EXPECT_EQ(0, lstrcmpiW(folder.c_str(), seen.folder.c_str())) << seen.folder;

    seen = PlatformDialogSeen{};
    seen.typeInstead = other;
    PrepareFileRequest(&request, nullptr, current.c_str(), L"設定ファイルの保存", SettingsFileFilter(), kSaveFileFlags);
    SetTimer(nullptr, 0, 100, AnswerPlatformDialog);
    EXPECT_NE(0, ShowSaveFileDialog(&request.record));
    EXPECT_EQ(L"設定ファイルの保存", seen.title);
    EXPECT_EQ(0, lstrcmpiW(other.c_str(), request.file)) << request.file;
    g_seen = nullptr;
}

INSTANTIATE_TEST_SUITE_P(ChooserAbsentOrWithoutEntryPoints, PlatformDialog,
                         ::testing::Values(L"\\no-chooser-here", L"\\chooser-without-exports"));
