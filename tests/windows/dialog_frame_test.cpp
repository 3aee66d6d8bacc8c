#include "platform/aygshell.h"
#include "resources/resource.h"
#include "tests/windows/test_support.h"
#include "ui/dialog_frame.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

HINSTANCE Module()
{
    return GetModuleHandleW(nullptr);
}

const DLGTEMPLATE* Template(WORD id)
{
    HRSRC found = FindResourceW(Module(), MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(5));
    return found ? static_cast<const DLGTEMPLATE*>(LockResource(LoadResource(Module(), found))) : nullptr;
}

RECT ChildRect(HWND dialog, int id)
{
    RECT rect{};
    HWND child = GetDlgItem(dialog, id);
    GetWindowRect(child, &rect);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

RECT Dlu(HWND dialog, int x, int y, int cx, int cy)
{
    RECT rect{x, y, x + cx, y + cy};
    MapDialogRect(dialog, &rect);
    return rect;
}

std::wstring Text(HWND window)
{
    wchar_t text[256] = {};
    GetWindowTextW(window, text, 256);
    return text;
}

INT_PTR CALLBACK PlainProc(HWND, UINT message, WPARAM, LPARAM)
{
    return message == WM_INITDIALOG;
}

struct AboutLayout
{
    WORD templateId;
    RECT icon, name, copyright; // dialog units: x, y, cx, cy
};

const AboutLayout kPortrait{IDD_ABOUT, {12, 12, 20, 20}, {12, 36, 97, 8}, {12, 48, 85, 8}};
const AboutLayout kLandscape{IDD_ABOUT_WIDE, {12, 12, 20, 20}, {48, 12, 104, 8}, {48, 24, 66, 8}};

void ExpectLayout(HWND dialog, const AboutLayout& layout)
{
    const std::pair<int, RECT> items[] = {
        {IDC_ABOUT_ICON, layout.icon}, {IDC_ABOUT_NAME, layout.name}, {IDC_ABOUT_COPYRIGHT, layout.copyright}};
    for (const auto& [id, dlu] : items) {
        RECT want = Dlu(dialog, dlu.left, dlu.top, dlu.right, dlu.bottom);
        RECT got = ChildRect(dialog, id);
        EXPECT_TRUE(EqualRect(&want, &got)) << "control " << id << " of template " << layout.templateId << ": "
                                            << got.left << "," << got.top << " " << got.right << "," << got.bottom;
    }
}

} // namespace

TEST(DialogFrame, RelayoutMovesControlsBetweenTheAboutLayoutsAndRestoresTheirContent)
{
    HWND dialog = CreateDialogIndirectParamW(Module(), Template(IDD_ABOUT), nullptr, PlainProc, 0);
    ASSERT_NE(nullptr, dialog);
    HWND name = GetDlgItem(dialog, IDC_ABOUT_NAME);
    SetWindowTextW(name, L"changed");
    HWND icon = GetDlgItem(dialog, IDC_ABOUT_ICON);
    HANDLE iconBefore = reinterpret_cast<HANDLE>(SendMessageW(icon, STM_GETIMAGE, IMAGE_ICON, 0));

    EXPECT_TRUE(RelayoutFromTemplate(Module(), dialog, IDD_ABOUT_WIDE));
    ExpectLayout(dialog, kLandscape);
    EXPECT_EQ(L"tavrin Version 1.0", Text(name));
    HANDLE iconAfter = reinterpret_cast<HANDLE>(SendMessageW(icon, STM_GETIMAGE, IMAGE_ICON, 0));
    EXPECT_NE(nullptr, iconAfter);
    EXPECT_NE(iconBefore, iconAfter);

    EXPECT_TRUE(RelayoutFromTemplate(Module(), dialog, IDD_ABOUT));
    ExpectLayout(dialog, kPortrait);
    DestroyWindow(dialog);
}

TEST(DialogFrame, MissingControlStopsTheWalkAndMissingTemplateFails)
{
    HWND dialog = CreateDialogIndirectParamW(Module(), Template(IDD_ABOUT), nullptr, PlainProc, 0);
    ASSERT_NE(nullptr, dialog);
    DestroyWindow(GetDlgItem(dialog, IDC_ABOUT_NAME));
    RECT copyrightBefore = ChildRect(dialog, IDC_ABOUT_COPYRIGHT);

    EXPECT_FALSE(RelayoutFromTemplate(Module(), dialog, IDD_ABOUT_WIDE));
    RECT copyrightAfter = ChildRect(dialog, IDC_ABOUT_COPYRIGHT);
    EXPECT_TRUE(EqualRect(&copyrightBefore, &copyrightAfter)) << "items after the missing one keep their places";

    EXPECT_FALSE(RelayoutFromTemplate(Module(), dialog, 4321));
    DestroyWindow(dialog);
}

TEST(DialogFrame, ComboSelectionSurvivesRelayout)
{
    HWND dialog = CreateDialogIndirectParamW(Module(), Template(IDD_MAIN), nullptr, PlainProc, 0);
    ASSERT_NE(nullptr, dialog);
    HWND combo = GetDlgItem(dialog, IDC_URL_COMBO);
    for (const wchar_t* entry : {L"a", L"b", L"c"}) {
        SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry));
    }
    SendMessageW(combo, CB_SETCURSEL, 2, 0);
    EXPECT_TRUE(RelayoutFromTemplate(Module(), dialog, IDD_MAIN));
    EXPECT_EQ(2, SendMessageW(combo, CB_GETCURSEL, 0, 0));
    RECT want = Dlu(dialog, 140, 7, 24, 14);
    RECT got = ChildRect(dialog, IDC_URL_EDIT);
    EXPECT_TRUE(EqualRect(&want, &got));
    DestroyWindow(dialog);
}

namespace {

struct AboutRun
{
    RECT window{};
    RECT expected{};
    bool emptyBar = false;
    bool doneClicked = false;
    bool landscapeLayout = false;
};

AboutRun* g_run = nullptr;

BOOL CALLBACK FindOwnedBar(HWND window, LPARAM dialog)
{
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    if (lstrcmpW(name, SH_MENUBAR_CLASS) == 0 && GetWindow(window, GW_OWNER) == reinterpret_cast<HWND>(dialog)) {
        g_run->emptyBar = true;
    }
    return TRUE;
}

void CALLBACK InspectAbout(HWND, UINT, UINT_PTR timer, DWORD)
{
    HWND dialog = FindWindowW(L"#32770", L"バージョン情報 tavrin");
    if (dialog == nullptr) {
        return;
    }
    KillTimer(nullptr, timer);
    GetWindowRect(dialog, &g_run->window);
    EnumThreadWindows(GetCurrentThreadId(), FindOwnedBar, reinterpret_cast<LPARAM>(dialog));
    RECT want = Dlu(dialog, 48, 12, 104, 8);
    RECT got = ChildRect(dialog, IDC_ABOUT_NAME);
    g_run->landscapeLayout = EqualRect(&want, &got) != 0;
    // Tap the done button in the caption.
    RECT done;
    if (SHDoneButtonRect(dialog, &done)) {
        POINT centre{(done.left + done.right) / 2, (done.top + done.bottom) / 2};
        LRESULT hit = SendMessageW(dialog, WM_NCHITTEST, 0, MAKELPARAM(centre.x, centre.y));
        g_run->doneClicked = hit == HTOBJECT;
        SendMessageW(dialog, WM_NCLBUTTONUP, hit, MAKELPARAM(centre.x, centre.y));
    }
    SetTimer(nullptr, 0, 2000, [](HWND, UINT, UINT_PTR t, DWORD) {
        KillTimer(nullptr, t);
        if (HWND left = FindWindowW(L"#32770", L"バージョン情報 tavrin")) {
            EndDialog(left, 99);
        }
    });
}

} // namespace

TEST(DialogFrame, AboutBoxFillsTheScreenAboveTheSoftKeysAndEndsWithItsDoneButton)
{
    AboutRun run;
    g_run = &run;
    SetTimer(nullptr, 0, 50, InspectAbout);
    INT_PTR result = DialogBoxIndirectParamW(Module(), Template(IDD_ABOUT), nullptr, AboutDlgProc, 0);
    g_run = nullptr;
    EXPECT_EQ(IDOK, result);
    EXPECT_TRUE(run.doneClicked);
    EXPECT_TRUE(run.emptyBar);
    RECT area;
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    area.bottom -= SHMenuBarHeight();
    EXPECT_TRUE(EqualRect(&area, &run.window))
        << run.window.left << "," << run.window.top << " " << run.window.right << "," << run.window.bottom;
    // This screen is wider than high: the landscape layout applies.
    ASSERT_GT(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    EXPECT_TRUE(run.landscapeLayout);
}

namespace {

LRESULT CALLBACK RecordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_COMMAND) {
        SetWindowLongPtrW(window, GWLP_USERDATA, LOWORD(wParam));
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

HWND MakeOwner()
{
    WNDCLASSW wc{};
    wc.lpfnWndProc = RecordingProc;
    wc.hInstance = Module();
    wc.lpszClassName = L"SoftKeyOwner";
    RegisterClassW(&wc);
    return CreateWindowExW(0, L"SoftKeyOwner", L"owner", WS_VISIBLE, 0, 0, 200, 200, nullptr, nullptr, Module(),
                           nullptr);
}

void Tap(HWND bar, int index)
{
    RECT key;
    ASSERT_TRUE(SHMenuBarButtonRect(bar, index, &key));
    POINT centre{(key.left + key.right) / 2, (key.top + key.bottom) / 2};
    ScreenToClient(bar, &centre);
    PostMessageW(bar, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(centre.x, centre.y));
    PostMessageW(bar, WM_LBUTTONUP, 0, MAKELPARAM(centre.x, centre.y));
}

std::vector<std::wstring> g_items;

void CALLBACK CloseMenu(HWND, UINT, UINT_PTR timer, DWORD)
{
    HWND menu = FindWindowW(L"#32768", nullptr);
    if (menu == nullptr || !IsWindowVisible(menu)) {
        return;
    }
    KillTimer(nullptr, timer);
    HMENU shown = reinterpret_cast<HMENU>(SendMessageW(menu, MN_GETHMENU, 0, 0));
    for (int i = 0; i < GetMenuItemCount(shown); ++i) {
        wchar_t text[64] = {};
        GetMenuStringW(shown, i, text, 64, MF_BYPOSITION);
        g_items.push_back(text);
    }
    EndMenu();
}

} // namespace

TEST(SoftKeyBar, SitsAtTheBottomAndItsKeysSendExitAndDropTheMenu)
{
    HWND owner = MakeOwner();
    SHMENUBARINFO info{};
    info.cbSize = sizeof(info);
    info.hwndParent = owner;
    info.nToolBarId = IDR_MENUBAR;
    info.hInstRes = Module();
    ASSERT_TRUE(SHCreateMenuBar(&info));
    HWND bar = info.hwndMB;

    RECT area, rect;
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    GetWindowRect(bar, &rect);
    EXPECT_EQ(area.bottom, rect.bottom);
    EXPECT_EQ(SHMenuBarHeight(), rect.bottom - rect.top);
    EXPECT_EQ(area.right - area.left, rect.right - rect.left);

    wchar_t text[32];
    ASSERT_TRUE(SHMenuBarButtonText(bar, 0, text, 32));
    EXPECT_STREQ(L"終了", text);
    ASSERT_TRUE(SHMenuBarButtonText(bar, 1, text, 32));
    EXPECT_STREQ(L"メニュー", text);
    EXPECT_FALSE(SHMenuBarButtonText(bar, 2, text, 32));

    EnableWindow(owner, FALSE); // as a box the window owns does: the keys rest under it
    Tap(bar, 0);
    PumpFor(200);
    EXPECT_EQ(0, GetWindowLongPtrW(owner, GWLP_USERDATA)) << "終了 acted under a box";
    EnableWindow(owner, TRUE);
    Tap(bar, 0);
    EXPECT_TRUE(PumpUntil([&] { return GetWindowLongPtrW(owner, GWLP_USERDATA) == IDM_EXIT; }, 3000));

    SetTimer(nullptr, 0, 50, CloseMenu);
    Tap(bar, 1);
    EXPECT_TRUE(PumpUntil([] { return !g_items.empty(); }, 5000));
    EXPECT_EQ(
        (std::vector<std::wstring>{L"開く", L"保存", L"設定…", L"", L"W-SIM", L"GNSS受信機", L"モデム", L"",
                                   L"キャッシュを使う", L"キャッシュを消去", L"", L"バージョン情報", L"", L"終了"}),
        g_items);

    DestroyWindow(owner);
    EXPECT_FALSE(IsWindow(bar)) << "the bar goes with its owner";
}

TEST(SoftKeyBar, RefusesBadRecords)
{
    SHMENUBARINFO info{};
    info.cbSize = sizeof(info);
    EXPECT_FALSE(SHCreateMenuBar(&info)); // no owner
    HWND owner = MakeOwner();
    info.hwndParent = owner;
    info.hInstRes = Module();
    info.nToolBarId = 4321; // no such bar
    EXPECT_FALSE(SHCreateMenuBar(&info));
    EXPECT_EQ(nullptr, info.hwndMB);
    SHACTIVATEINFO activate{};
    EXPECT_FALSE(SHHandleWMActivate(owner, WA_ACTIVE, 0, &activate, 0)) << "size not set";
    DestroyWindow(owner);
}
