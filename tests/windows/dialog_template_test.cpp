#include "platform/aygshell.h"
#include "resources/resource.h"
#include "tests/windows/test_support.h"
#include "ui/app_state.h"
#include "ui/dialog_template.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

HWND MakeParent()
{
    static bool registered = false;
    if (!registered) {
        WNDCLASSW wc{};
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.hbrBackground = GetSysColorBrush(COLOR_WINDOW);
        wc.lpszClassName = L"TemplateParent";
        RegisterClassW(&wc);
        registered = true;
    }
    HWND parent = CreateWindowExW(0, L"TemplateParent", L"parent", WS_VISIBLE, 0, 0, 480, 640, nullptr, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
    SetForegroundWindow(parent);
    return parent;
}

int FocusedId()
{
    return GetDlgCtrlID(GetFocus());
}

bool Pushed(HWND parent, int id)
{
    return (SendMessageW(GetDlgItem(parent, id), BM_GETSTATE, 0, 0) & BST_PUSHED) != 0;
}

class MainControls : public ::testing::Test
{
protected:
    void SetUp() override
    {
        g_hInstance = GetModuleHandleW(nullptr);
        m_parent = MakeParent();
        CreateMainWindowControls(m_parent);
    }
    void TearDown() override
    {
        DestroyWindow(m_parent);
        g_controlList.clear();
    }
    HWND m_parent = nullptr;
};

} // namespace

TEST_F(MainControls, AllNineteenItemsAreCreatedWhereTheTemplatePutsThem)
{
    struct Expected
    {
        int id;
        const wchar_t* windowClass;
        const wchar_t* text;
        int x, y, cx, cy;
        DWORD style;
    };
    const DWORD child = WS_CHILD | WS_VISIBLE;
    const DWORD push = child | BS_PUSHBUTTON | WS_TABSTOP;
    const DWORD check = child | BS_AUTOCHECKBOX | WS_TABSTOP;
    const DWORD label = child | SS_LEFT | WS_GROUP;
    const DWORD combo = child | CBS_DROPDOWNLIST | CBS_AUTOHSCROLL | WS_VSCROLL | WS_TABSTOP;
    const Expected expected[] = {
        {0xFFFF, L"Static", L"", 7, 169, 10, 8, label},
        {204, L"Static", L"URL", 7, 7, 36, 12, label},
        {1029, L"ComboBox", L"", 47, 7, 90, 76, combo},
        {1023, L"Button", L"編集", 140, 7, 24, 14, push},
        {205, L"Static", L"ブラウザ", 7, 23, 36, 12, label},
        {1030, L"ComboBox", L"", 47, 23, 90, 81, combo},
        {1031, L"Button", L"編集", 140, 23, 24, 14, push},
        {1008, L"Button", L"位置情報取得", 7, 41, 56, 14, push},
        {1018, L"Button", L"簡易座標で取得", 73, 41, 72, 13, check},
        {1004, L"Button", L"自動接続", 7, 57, 67, 13, check},
        {1005, L"Button", L"ブラウザ起動", 7, 71, 67, 13, check},
        {1006, L"Button", L"起動時に実行", 76, 57, 72, 13, check},
        {1019, L"Static", L"接続時", 75, 71, 28, 13, label},
        {1020, L"Edit", L"", 103, 70, 26, 14, child | WS_BORDER | ES_NUMBER | ES_AUTOHSCROLL | WS_TABSTOP},
        {1021, L"Static", L"ms待つ", 132, 71, 34, 13, label},
        {1013, L"Button", L"接続", 7, 88, 43, 14, push},
        {1009, L"Button", L"送信", 55, 88, 43, 14, push},
        {1016, L"Button", L"取得～送信", 103, 88, 46, 14, push},
        {1014, L"Edit", L"", 7, 109, 159, 31,
         child | WS_BORDER | ES_MULTILINE | ES_AUTOVSCROLL | WS_VSCROLL | WS_TABSTOP},
    };
    ASSERT_EQ(19u, g_controlList.size());
    for (size_t i = 0; i < 19; ++i) {
        const Expected& e = expected[i];
        SCOPED_TRACE(e.id);
        HWND control = GetDlgItem(m_parent, e.id);
        ASSERT_NE(nullptr, control);
        EXPECT_EQ(control, g_controlList[i].window) << "template order";
        EXPECT_EQ(0, lstrcmpiW(e.windowClass, ClassOf(control).c_str())) << ClassOf(control);
        EXPECT_EQ(std::wstring(e.text), TextOf(control));
        DWORD style = static_cast<DWORD>(GetWindowLongPtrW(control, GWL_STYLE));
        // Edits draw their own border and combo boxes hand the scroll bar to their list.
        DWORD kept = (ClassOf(control) == L"Button" || ClassOf(control) == L"Static")
                         ? e.style
                         : e.style & ~(WS_BORDER | WS_VSCROLL);
        EXPECT_EQ(kept, style & kept) << std::hex << style;
        EXPECT_EQ(0u, style & ES_READONLY & (e.id == 1014 ? ~0u : 0u)) << "the log is writable";
        EXPECT_TRUE(IsWindowEnabled(control));

        PixelPair position = DialogUnitsToPixels(L"Arial", 8, e.x, e.y);
        PixelPair size = DialogUnitsToPixels(L"Arial", 8, e.cx, e.cy);
        RECT rect;
        GetWindowRect(control, &rect);
        MapWindowPoints(nullptr, m_parent, reinterpret_cast<POINT*>(&rect), 2);
        EXPECT_EQ(position.x, rect.left);
        EXPECT_EQ(position.y, rect.top);
        EXPECT_EQ(size.x, rect.right - rect.left);
        if (e.windowClass != std::wstring(L"ComboBox")) { // a drop-down list sizes its closed height itself
            EXPECT_EQ(size.y, rect.bottom - rect.top);
        }
    }
    EXPECT_EQ(IDC_URL_COMBO, FocusedId());
}

TEST_F(MainControls, TabWalksTheFourteenControlsAndMovesThePushButtonHighlight)
{
    const int cycle[] = {1029, 1023, 1030, 1031, 1008, 1018, 1004, 1005, 1006, 1020, 1013, 1009, 1016, 1014, 1029};
    const int pushButtons[] = {1023, 1031, 1008, 1013, 1009, 1016};
    ASSERT_EQ(IDC_URL_COMBO, FocusedId());
    for (size_t step = 1; step < sizeof(cycle) / sizeof(cycle[0]); ++step) {
        // Shift makes no difference: Tab always moves forward.
        SendMessageW(GetFocus(), WM_CHAR, 9, 0);
        ASSERT_EQ(cycle[step], FocusedId()) << "step " << step;
        for (int id : pushButtons) {
            EXPECT_EQ(id == cycle[step], Pushed(m_parent, id)) << "button " << id << " at step " << step;
        }
    }
    // Other characters still reach the control.
    SendMessageW(GetDlgItem(m_parent, IDC_LOG), WM_CHAR, L'x', 0);
    EXPECT_EQ(L"x", TextOf(GetDlgItem(m_parent, IDC_LOG)));
}

TEST(TemplateEngine, NameClassControlIsCreatedButLeftOutOfTheList)
{
    SHInitExtraControls();
    HWND parent = MakeParent();
    std::vector<ControlEntry> list;
    CDialogTemplate dialogTemplate;
    ASSERT_TRUE(dialogTemplate.CreateControls(GetModuleHandleW(nullptr), parent, IDD_LIST_EDITOR, &list));
    HWND listView = GetDlgItem(parent, IDC_LIST);
    ASSERT_NE(nullptr, listView);
    EXPECT_EQ(L"SysListView32", ClassOf(listView));
    EXPECT_EQ(dialogTemplate.Data().items.size() - 1, list.size());
    for (const ControlEntry& entry : list) {
        EXPECT_NE(listView, entry.window);
    }
    DestroyWindow(parent);
}

TEST(TemplateEngine, MissingTemplateCreatesNothingAndLeavesTheListAlone)
{
    HWND parent = MakeParent();
    std::vector<ControlEntry> list(1, ControlEntry{7, 0x80, nullptr, nullptr, nullptr});
    CDialogTemplate dialogTemplate;
    EXPECT_FALSE(dialogTemplate.CreateControls(GetModuleHandleW(nullptr), parent, 4321, &list));
    EXPECT_EQ(1u, list.size());
    EXPECT_EQ(nullptr, GetWindow(parent, GW_CHILD));
    DestroyWindow(parent);
}

TEST(TemplateEngine, TabWithASingleFocusableControlStaysOnIt)
{
    HWND parent = MakeParent();
    HWND button = CreateWindowExW(0, L"BUTTON", L"b", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 0, 0, 50, 20, parent,
                                  reinterpret_cast<HMENU>(1), nullptr, nullptr);
    HWND label = CreateWindowExW(0, L"STATIC", L"s", WS_CHILD | WS_VISIBLE, 0, 30, 50, 20, parent,
                                 reinterpret_cast<HMENU>(2), nullptr, nullptr);
    g_controlList = {
        ControlEntry{2, 0x82, label, nullptr, nullptr},
        ControlEntry{1, 0x80, button, reinterpret_cast<WNDPROC>(GetWindowLongPtrW(button, GWLP_WNDPROC)), nullptr}};
    SetWindowLongPtrW(button, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ControlSubclassProc));
    SetFocus(button);
    SendMessageW(button, WM_CHAR, 9, 0);
    EXPECT_EQ(button, GetFocus());
    EXPECT_TRUE((SendMessageW(button, BM_GETSTATE, 0, 0) & BST_PUSHED) != 0);
    DestroyWindow(parent);
    g_controlList.clear();
}
