#include "platform/aygshell.h"

#include <commctrl.h>

#include <string>
#include <vector>

namespace {

// The dialog's own procedure while the done button's runs in front of it. Plain window
// subclassing: the common controls' helpers would load their library for every dialog.
const wchar_t kDoneButtonPrevious[] = L"tavrin.DoneButton.Previous";
const WORD kNoMenu = 0xFFFF;

struct SoftKey
{
    WORD command;
    WORD popupIndex; // kNoMenu: a plain button
    std::wstring text;
};

struct MenuBar
{
    HWND owner = nullptr;
    HMENU menu = nullptr;
    HFONT font = nullptr;
    std::vector<SoftKey> keys;
    int pressed = -1;
};

int ScreenDpi()
{
    HDC dc = GetDC(nullptr);
    int dpi = dc ? GetDeviceCaps(dc, LOGPIXELSY) : 96;
    if (dc) {
        ReleaseDC(nullptr, dc);
    }
    return dpi > 0 ? dpi : 96;
}

RECT WorkArea()
{
    RECT area{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    return area;
}

MenuBar* BarOf(HWND bar)
{
    return reinterpret_cast<MenuBar*>(GetWindowLongPtrW(bar, GWLP_USERDATA));
}

// The soft keys split the bar into equal parts, left to right.
bool KeyRect(HWND bar, const MenuBar& data, int index, RECT* rect)
{
    int count = static_cast<int>(data.keys.size());
    if (index < 0 || index >= count) {
        return false;
    }
    RECT client;
    GetClientRect(bar, &client);
    int width = client.right / count;
    *rect = RECT{index * width, 0, index + 1 == count ? client.right : (index + 1) * width, client.bottom};
    return true;
}

int KeyAt(HWND bar, const MenuBar& data, POINT point)
{
    for (int i = 0; i < static_cast<int>(data.keys.size()); ++i) {
        RECT rect{};
        if (KeyRect(bar, data, i, &rect) && PtInRect(&rect, point)) {
            return i;
        }
    }
    return -1;
}

void PlaceBar(HWND bar)
{
    RECT area = WorkArea();
    int height = SHMenuBarHeight();
    SetWindowPos(bar, nullptr, area.left, area.bottom - height, area.right - area.left, height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

void PaintBar(HWND bar, MenuBar& data)
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(bar, &ps);
    RECT client;
    GetClientRect(bar, &client);
    FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
    RECT line{client.left, client.top, client.right, client.top + 1};
    FillRect(dc, &line, GetSysColorBrush(COLOR_BTNSHADOW));
    HGDIOBJ oldFont = SelectObject(dc, data.font ? data.font : GetStockObject(DEFAULT_GUI_FONT));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
    for (int i = 0; i < static_cast<int>(data.keys.size()); ++i) {
        RECT rect{};
        KeyRect(bar, data, i, &rect);
        if (i == data.pressed) {
            RECT inner{rect.left + 1, rect.top + 1, rect.right - 1, rect.bottom};
            FillRect(dc, &inner, GetSysColorBrush(COLOR_HIGHLIGHT));
            SetTextColor(dc, GetSysColor(COLOR_HIGHLIGHTTEXT));
        } else {
            SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
        }
        if (i > 0) {
            RECT divider{rect.left, rect.top + 4, rect.left + 1, rect.bottom - 4};
            FillRect(dc, &divider, GetSysColorBrush(COLOR_BTNSHADOW));
        }
        DrawTextW(dc, data.keys[i].text.c_str(), -1, &rect, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    }
    SelectObject(dc, oldFont);
    EndPaint(bar, &ps);
}

void PressKey(HWND bar, MenuBar& data, int index)
{
    const SoftKey& key = data.keys[index];
    if (key.popupIndex == kNoMenu) {
        PostMessageW(data.owner, WM_COMMAND, MAKEWPARAM(key.command, 0), reinterpret_cast<LPARAM>(bar));
        return;
    }
    HMENU popup = data.menu ? GetSubMenu(data.menu, key.popupIndex) : nullptr;
    if (popup == nullptr) {
        return;
    }
    RECT rect{};
    KeyRect(bar, data, index, &rect);
    POINT corner{rect.right, rect.top};
    ClientToScreen(bar, &corner);
    data.pressed = index;
    InvalidateRect(bar, nullptr, TRUE);
    UpdateWindow(bar);
    // The chosen item arrives at the owner as WM_COMMAND, as from the handheld's bar.
    TrackPopupMenuEx(popup, TPM_RIGHTALIGN | TPM_BOTTOMALIGN | TPM_LEFTBUTTON, corner.x, corner.y, data.owner, nullptr);
    data.pressed = -1;
    InvalidateRect(bar, nullptr, TRUE);
}

LRESULT CALLBACK MenuBarProc(HWND bar, UINT message, WPARAM wParam, LPARAM lParam)
{
    MenuBar* data = BarOf(bar);
    switch (message) {
    case WM_NCDESTROY:
        if (data != nullptr) {
            SetWindowLongPtrW(bar, GWLP_USERDATA, 0);
            if (data->menu) {
                DestroyMenu(data->menu);
            }
            if (data->font) {
                DeleteObject(data->font);
            }
            delete data;
        }
        break;
    case WM_GETFONT:
        return reinterpret_cast<LRESULT>(data != nullptr ? data->font : nullptr);
    case WM_MOUSEACTIVATE:
        // Tapping a soft key leaves the focus where it was.
        return MA_NOACTIVATE;
    case WM_PAINT:
        if (data != nullptr) {
            PaintBar(bar, *data);
            return 0;
        }
        break;
    case WM_LBUTTONUP:
        if (data != nullptr) {
            POINT point{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
            int index = KeyAt(bar, *data, point);
            // On the handset a box owned by the window covers the bar; here the bar stays
            // in view, so its keys rest while the owner is disabled under such a box.
            if (index >= 0 && IsWindowEnabled(data->owner)) {
                PressKey(bar, *data, index);
            }
            return 0;
        }
        break;
    case WM_DISPLAYCHANGE:
    case WM_SETTINGCHANGE:
        PlaceBar(bar);
        break;
    default:
        break;
    }
    return DefWindowProcW(bar, message, wParam, lParam);
}

bool RegisterMenuBarClass()
{
    static ATOM atom = 0;
    if (atom == 0) {
        WNDCLASSW wc{};
        wc.lpfnWndProc = MenuBarProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        wc.lpszClassName = SH_MENUBAR_CLASS;
        atom = RegisterClassW(&wc);
        if (atom == 0 && GetLastError() == ERROR_CLASS_ALREADY_EXISTS) {
            atom = 1;
        }
    }
    return atom != 0;
}

// Soft-key bar resource: menu id, key count, then per key seven words (image, command,
// state, style, string id, reserved, pop-up index of the menu).
bool ReadSoftKeys(HINSTANCE instance, UINT id, WORD* menuId, std::vector<SoftKey>* keys)
{
    HRSRC found = FindResourceW(instance, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(10)); // RT_RCDATA
    HGLOBAL loaded = found ? LoadResource(instance, found) : nullptr;
    const BYTE* bytes = loaded ? static_cast<const BYTE*>(LockResource(loaded)) : nullptr;
    if (bytes == nullptr) {
        return false;
    }
    size_t words = SizeofResource(instance, found) / 2;
    auto word = [bytes](size_t i) { return static_cast<WORD>(bytes[2 * i] | (bytes[2 * i + 1] << 8)); };
    if (words < 2) {
        return false;
    }
    *menuId = word(0);
    size_t count = word(1);
    if (words < 2 + 7 * count) {
        return false;
    }
    for (size_t i = 0; i < count; ++i) {
        size_t at = 2 + 7 * i;
        SoftKey key;
        key.command = word(at + 1);
        key.popupIndex = word(at + 6);
        wchar_t text[100] = {};
        LoadStringW(instance, word(at + 4), text, 100);
        key.text = text;
        keys->push_back(key);
    }
    return true;
}

HWND CreateBar(HWND owner, MenuBar* data)
{
    if (!RegisterMenuBarClass()) {
        if (data->menu) {
            DestroyMenu(data->menu);
        }
        delete data;
        return nullptr;
    }
    LOGFONTW lf{};
    lf.lfHeight = -MulDiv(9, ScreenDpi(), 72);
    lf.lfWeight = FW_BOLD;
    lstrcpynW(lf.lfFaceName, L"Tahoma", LF_FACESIZE);
    data->font = CreateFontIndirectW(&lf);
    data->owner = owner;
    RECT area = WorkArea();
    int height = SHMenuBarHeight();
    HWND bar =
        CreateWindowExW(WS_EX_NOACTIVATE, SH_MENUBAR_CLASS, L"", WS_POPUP | WS_VISIBLE, area.left, area.bottom - height,
                        area.right - area.left, height, owner, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (bar == nullptr) {
        if (data->font) {
            DeleteObject(data->font);
        }
        if (data->menu) {
            DestroyMenu(data->menu);
        }
        delete data;
        return nullptr;
    }
    SetWindowLongPtrW(bar, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(data));
    InvalidateRect(bar, nullptr, TRUE);
    return bar;
}

// Done button drawn into the right end of the dialog's caption.
bool DoneRect(HWND dialog, RECT* rect)
{
    RECT window;
    if (!GetWindowRect(dialog, &window)) {
        return false;
    }
    POINT clientTop{0, 0};
    ClientToScreen(dialog, &clientTop);
    int frame = GetSystemMetrics(SM_CXFIXEDFRAME);
    int top = window.top + GetSystemMetrics(SM_CYFIXEDFRAME);
    int bottom = clientTop.y;
    if (bottom - top < 8) {
        return false;
    }
    int height = bottom - top - 4;
    int right = window.right - frame - 2;
    *rect = RECT{right - height * 2, top + 2, right, top + 2 + height};
    return true;
}

void PaintDone(HWND dialog)
{
    RECT screen, window;
    if (!DoneRect(dialog, &screen) || !GetWindowRect(dialog, &window)) {
        return;
    }
    HDC dc = GetWindowDC(dialog);
    if (dc == nullptr) {
        return;
    }
    RECT rect = screen;
    OffsetRect(&rect, -window.left, -window.top);
    DrawFrameControl(dc, &rect, DFC_BUTTON, DFCS_BUTTONPUSH);
    HGDIOBJ oldFont = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
    DrawTextW(dc, L"OK", -1, &rect, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    SelectObject(dc, oldFont);
    ReleaseDC(dialog, dc);
}

LRESULT CALLBACK DoneButtonProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    const auto previous = reinterpret_cast<WNDPROC>(GetPropW(dialog, kDoneButtonPrevious));
    switch (message) {
    case WM_NCHITTEST: {
        RECT rect{};
        POINT point{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        if (DoneRect(dialog, &rect) && PtInRect(&rect, point)) {
            return HTOBJECT;
        }
        break;
    }
    case WM_NCLBUTTONDOWN:
    case WM_NCLBUTTONDBLCLK:
        if (wParam == HTOBJECT) {
            return 0;
        }
        break;
    case WM_NCLBUTTONUP:
        if (wParam == HTOBJECT) {
            PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
            return 0;
        }
        break;
    case WM_NCPAINT:
    case WM_NCACTIVATE:
    case WM_SETTEXT: {
        LRESULT result = CallWindowProcW(previous, dialog, message, wParam, lParam);
        PaintDone(dialog);
        return result;
    }
    case WM_NCDESTROY:
        SetWindowLongPtrW(dialog, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous));
        RemovePropW(dialog, kDoneButtonPrevious);
        break;
    default:
        break;
    }
    return CallWindowProcW(previous, dialog, message, wParam, lParam);
}

} // namespace

BOOL SHInitExtraControls()
{
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES | ICC_STANDARD_CLASSES};
    return InitCommonControlsEx(&icc);
}

int SHMenuBarHeight()
{
    return MulDiv(26, ScreenDpi(), 96);
}

BOOL SHCreateMenuBar(SHMENUBARINFO* info)
{
    if (info == nullptr || info->cbSize < sizeof(SHMENUBARINFO) || !IsWindow(info->hwndParent)) {
        return FALSE;
    }
    info->hwndMB = nullptr;
    auto* data = new MenuBar;
    WORD menuId = 0;
    if (!ReadSoftKeys(info->hInstRes, info->nToolBarId, &menuId, &data->keys)) {
        delete data;
        return FALSE;
    }
    data->menu = LoadMenuW(info->hInstRes, MAKEINTRESOURCEW(menuId));
    info->hwndMB = CreateBar(info->hwndParent, data);
    return info->hwndMB != nullptr;
}

BOOL SHInitDialog(SHINITDLGINFO* info)
{
    if (info == nullptr || !IsWindow(info->hDlg)) {
        return FALSE;
    }
    if (!(info->dwMask & SHIDIM_FLAGS)) {
        return TRUE;
    }
    DWORD flags = info->dwFlags;
    HWND dialog = info->hDlg;
    if (flags & (SHIDIF_SIZEDLG | SHIDIF_SIZEDLGFULLSCREEN)) {
        RECT area = WorkArea();
        if (!(flags & SHIDIF_FULLSCREENNOMENUBAR)) {
            area.bottom -= SHMenuBarHeight();
        }
        SetWindowPos(dialog, nullptr, area.left, area.top, area.right - area.left, area.bottom - area.top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    }
    if (flags & SHIDIF_EMPTYMENU) {
        // An empty bar of the dialog's own covers the owner's soft keys while it runs.
        CreateBar(dialog, new MenuBar);
    }
    if (flags & SHIDIF_DONEBUTTON) {
        if (GetPropW(dialog, kDoneButtonPrevious) == nullptr) {
            SetPropW(dialog, kDoneButtonPrevious, reinterpret_cast<HANDLE>(GetWindowLongPtrW(dialog, GWLP_WNDPROC)));
            SetWindowLongPtrW(dialog, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(DoneButtonProc));
        }
        SetWindowPos(dialog, nullptr, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    }
    return TRUE;
}

BOOL SHHandleWMActivate(HWND window, WPARAM wParam, LPARAM, SHACTIVATEINFO* info, DWORD)
{
    if (info == nullptr || info->cbSize < sizeof(SHACTIVATEINFO)) {
        return FALSE;
    }
    // No input panel on the desktop; keep the focus where the user left it instead.
    if (LOWORD(wParam) == WA_INACTIVE) {
        HWND focus = GetFocus();
        info->hwndLastFocus = (focus && IsChild(window, focus)) ? focus : nullptr;
        info->fActive = 0;
    } else {
        info->fActive = 1;
        if (!HIWORD(wParam) && info->hwndLastFocus && IsWindow(info->hwndLastFocus) &&
            IsChild(window, info->hwndLastFocus)) {
            SetFocus(info->hwndLastFocus);
        }
    }
    return TRUE;
}

BOOL SHHandleWMSettingChange(HWND, WPARAM, LPARAM, SHACTIVATEINFO* info)
{
    return info != nullptr && info->cbSize >= sizeof(SHACTIVATEINFO);
}

void SHMoveToWorkArea(HWND window, HWND bar)
{
    RECT area = WorkArea();
    RECT barRect{};
    if (bar != nullptr && GetWindowRect(bar, &barRect)) {
        area.bottom -= barRect.bottom - barRect.top;
    }
    SetWindowPos(window, nullptr, area.left, area.top, area.right - area.left, area.bottom - area.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

bool SHMenuBarButtonRect(HWND bar, int index, RECT* rect)
{
    MenuBar* data = IsWindow(bar) ? BarOf(bar) : nullptr;
    if (data == nullptr || !KeyRect(bar, *data, index, rect)) {
        return false;
    }
    MapWindowPoints(bar, nullptr, reinterpret_cast<POINT*>(rect), 2);
    return true;
}

bool SHMenuBarButtonText(HWND bar, int index, wchar_t* text, int size)
{
    MenuBar* data = IsWindow(bar) ? BarOf(bar) : nullptr;
    if (data == nullptr || index < 0 || index >= static_cast<int>(data->keys.size()) || size <= 0) {
        return false;
    }
    lstrcpynW(text, data->keys[index].text.c_str(), size);
    return true;
}

bool SHDoneButtonRect(HWND dialog, RECT* rect)
{
    return DoneRect(dialog, rect);
}
