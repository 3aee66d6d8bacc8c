#include "platform/screen_box.h"

#include <algorithm>
#include <string>

namespace {

// The desktop's message box: a dialog whose icon is static 1088 and whose text is its other
// static.
const int kBoxIcon = 1088;

thread_local HHOOK t_hook = nullptr;

bool HasClass(HWND window, const wchar_t* className)
{
    wchar_t name[16] = {};
    GetClassNameW(window, name, 16);
    return lstrcmpiW(name, className) == 0;
}

// The box's text control, or null when `window` is no message box.
HWND BoxText(HWND window)
{
    if (!HasClass(window, L"#32770") || GetDlgItem(window, kBoxIcon) == nullptr) {
        return nullptr;
    }
    for (HWND child = GetWindow(window, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        if (GetDlgCtrlID(child) != kBoxIcon && HasClass(child, L"Static")) {
            return child;
        }
    }
    return nullptr;
}

RECT WorkAreaOf(HWND window)
{
    MONITORINFO info{};
    info.cbSize = sizeof(info);
    GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTOPRIMARY), &info);
    return info.rcWork;
}

RECT ChildRect(HWND parent, HWND child)
{
    RECT rect;
    GetWindowRect(child, &rect);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

// Narrows the box by what it passes the work area: the text wraps to the narrower width and
// what lies below it moves down by the height that adds; the box is centred again.
void FitToWorkArea(HWND box, HWND textControl)
{
    const RECT area = WorkAreaOf(box);
    RECT frame;
    GetWindowRect(box, &frame);
    const int excess = (frame.right - frame.left) - (area.right - area.left);
    const RECT text = ChildRect(box, textControl);
    if (excess <= 0 || text.right - text.left <= excess) {
        return;
    }
    const int width = text.right - text.left - excess;
    std::wstring content(GetWindowTextLengthW(textControl) + 1, L'\0');
    content.resize(GetWindowTextW(textControl, content.data(), static_cast<int>(content.size())));
    HDC dc = GetDC(textControl);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(textControl, WM_GETFONT, 0, 0)));
    RECT wrapped{0, 0, width, 0};
    // Wrapped as an edit control wraps: a word longer than the line (a long name) is broken
    // rather than cut.
    DrawTextW(dc, content.c_str(), static_cast<int>(content.size()), &wrapped,
              DT_LEFT | DT_EXPANDTABS | DT_WORDBREAK | DT_EDITCONTROL | DT_CALCRECT | DT_NOPREFIX);
    SelectObject(dc, old);
    ReleaseDC(textControl, dc);
    const int grow = std::max(0L, wrapped.bottom - (text.bottom - text.top));

    for (HWND child = GetWindow(box, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        RECT rect = ChildRect(box, child);
        if (child == textControl) {
            SetWindowLongW(child, GWL_STYLE, GetWindowLongW(child, GWL_STYLE) | SS_EDITCONTROL);
            SetWindowPos(child, nullptr, rect.left, rect.top, width, rect.bottom - rect.top + grow,
                         SWP_NOZORDER | SWP_NOACTIVATE);
        } else if (GetDlgCtrlID(child) != kBoxIcon) {
            // The buttons, centred below the text.
            SetWindowPos(child, nullptr, rect.left - excess / 2, rect.top + grow, 0, 0,
                         SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        }
    }
    const int boxWidth = area.right - area.left;
    const int boxHeight = std::min<int>(frame.bottom - frame.top + grow, area.bottom - area.top);
    SetWindowPos(box, nullptr, area.left, area.top + (area.bottom - area.top - boxHeight) / 2, boxWidth, boxHeight,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

const wchar_t kPreviousProc[] = L"tavrin.ScreenBox.Previous";

// The box in front of its own procedure: the desktop lays the box out in WM_INITDIALOG, and
// the box is fitted right after that, before it shows.
LRESULT CALLBACK BoxProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    const auto previous = reinterpret_cast<WNDPROC>(GetPropW(window, kPreviousProc));
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous));
        RemovePropW(window, kPreviousProc);
    }
    LRESULT result = CallWindowProcW(previous, window, message, wParam, lParam);
    if (message == WM_INITDIALOG) {
        if (HWND text = BoxText(window)) {
            FitToWorkArea(window, text);
        }
    }
    return result;
}

LRESULT CALLBACK BoxHook(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HCBT_CREATEWND) {
        HWND window = reinterpret_cast<HWND>(wParam);
        if (HasClass(window, L"#32770") && GetPropW(window, kPreviousProc) == nullptr) {
            SetPropW(window, kPreviousProc, reinterpret_cast<HANDLE>(GetWindowLongPtrW(window, GWLP_WNDPROC)));
            SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(BoxProc));
        }
    }
    return CallNextHookEx(t_hook, code, wParam, lParam);
}

} // namespace

int ShowScreenMessageBox(HWND owner, const wchar_t* text, const wchar_t* caption, UINT style)
{
    // A box shown from inside another keeps the outer one's hook.
    const bool own = t_hook == nullptr;
    if (own) {
        t_hook = SetWindowsHookExW(WH_CBT, BoxHook, nullptr, GetCurrentThreadId());
    }
    const int result = MessageBoxW(owner, text, caption, style);
    if (own && t_hook != nullptr) {
        UnhookWindowsHookEx(t_hook);
        t_hook = nullptr;
    }
    return result;
}
