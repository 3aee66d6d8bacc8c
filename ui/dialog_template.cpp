#include "ui/dialog_template.h"

#include "common/texts.h"
#include "resources/resource.h"
#include "ui/app_state.h"
#include "ui/dialog_frame.h"

#include <cstring>
#include <string>

std::vector<ControlEntry> g_controlList;

namespace {

bool IsFocusable(WORD windowClass)
{
    return windowClass == 0x80 || windowClass == 0x81 || windowClass == 0x83 || windowClass == 0x85;
}

bool IsPushButton(const ControlEntry& entry)
{
    return entry.windowClass == 0x80 && (GetWindowLongPtrW(entry.window, GWL_STYLE) & 0x2) == 0;
}

// The font of `typeface` at `pointSize` on the screen, made once and kept while the process
// runs: the controls built from a template draw in it, as a dialog's controls draw in the
// dialog's font (the platform's system font is no handset's and does not follow the dpi).
// Null when the font cannot be made.
HFONT TemplateFont(const wchar_t* typeface, int pointSize)
{
    struct Made
    {
        std::wstring typeface;
        int pointSize;
        HFONT font;
    };
    static std::vector<Made> made;
    if (typeface == nullptr) {
        return nullptr;
    }
    for (const Made& entry : made) {
        if (entry.pointSize == pointSize && entry.typeface == typeface) {
            return entry.font;
        }
    }
    HDC dc = GetDC(nullptr);
    if (dc == nullptr) {
        return nullptr;
    }
    LOGFONTW lf{};
    lf.lfHeight = -MulDiv(pointSize, GetDeviceCaps(dc, LOGPIXELSY), 72);
    lf.lfWeight = FW_NORMAL;
    lf.lfCharSet = DEFAULT_CHARSET;
    lstrcpynW(lf.lfFaceName, typeface, LF_FACESIZE);
    ReleaseDC(nullptr, dc);
    HFONT font = CreateFontIndirectW(&lf);
    if (font != nullptr) {
        made.push_back(Made{typeface, pointSize, font});
    }
    return font;
}

// The dialog base units of `font` on the screen; the platform's dialog base units when there
// is no font.
PixelPair MeasureBaseUnits(HFONT font)
{
    HDC dc = font != nullptr ? GetDC(nullptr) : nullptr;
    if (dc == nullptr) {
        LONG units = GetDialogBaseUnits();
        return PixelPair{LOWORD(units), HIWORD(units)};
    }
    HGDIOBJ old = SelectObject(dc, font);
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    static const wchar_t kAlphabet[] = L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    SIZE extent{};
    GetTextExtentPoint32W(dc, kAlphabet, 52, &extent);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    return PixelPair{HorizontalBaseUnit(extent.cx), metrics.tmHeight + metrics.tmExternalLeading};
}

} // namespace

bool CDialogTemplate::LoadTemplate(HINSTANCE instance, WORD id)
{
    DWORD size = 0;
    const void* bytes = FindDialogTemplate(instance, id, &size);
    if (bytes == nullptr) {
        return false;
    }
    m_copy.assign(size + 64, 0);
    std::memcpy(m_copy.data(), bytes, size);
    m_size = size;
    m_data = DialogTemplateData{};
    return ParseDialogTemplate(m_copy.data(), m_size, &m_data);
}

bool CDialogTemplate::CreateControls(HINSTANCE instance, HWND parent, WORD id, std::vector<ControlEntry>* list)
{
    if (!LoadTemplate(instance, id)) {
        return false;
    }
    if (list != nullptr) {
        list->clear();
    }
    // Measured once: every item is scaled with the same font on the same screen.
    HFONT font = m_data.hasFont ? TemplateFont(m_data.typeface.c_str(), m_data.pointSize) : nullptr;
    const PixelPair units = MeasureBaseUnits(font);
    for (const TemplateItem& item : m_data.items) {
        const wchar_t* className =
            item.windowClass.isOrdinal ? PredefinedClassName(item.windowClass.ordinal) : item.windowClass.text.c_str();
        if (className == nullptr) {
            continue;
        }
        PixelPair position = ScaleDialogUnits(item.x, item.y, units.x, units.y);
        PixelPair size = ScaleDialogUnits(item.cx, item.cy, units.x, units.y);
        // Template item texts are strings; an image ordinal gets no text here.
        const wchar_t* text = item.title.isOrdinal ? L"" : item.title.text.c_str();
        HWND control =
            CreateWindowExW(item.exStyle, className, text, item.style, position.x, position.y, size.x, size.y, parent,
                            reinterpret_cast<HMENU>(static_cast<UINT_PTR>(item.id)), instance, nullptr);
        if (control != nullptr && font != nullptr) {
            SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        }
        if (list != nullptr && item.windowClass.isOrdinal && control != nullptr) {
            ControlEntry entry{};
            entry.id = item.id;
            entry.windowClass = item.windowClass.ordinal;
            entry.window = control;
            entry.previousProc = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(control, GWLP_WNDPROC));
            entry.innerWindow = entry.windowClass == 0x85 ? GetWindow(control, GW_CHILD) : nullptr;
            list->push_back(entry);
        }
    }
    return true;
}

PixelPair DialogUnitsToPixels(const wchar_t* typeface, int pointSize, int h, int v)
{
    const PixelPair units = MeasureBaseUnits(TemplateFont(typeface, pointSize));
    return ScaleDialogUnits(h, v, units.x, units.y);
}

void EnableMainControls(HWND window)
{
    static const int kCommandControls[] = {IDC_URL_COMBO,    IDC_BROWSER_COMBO, IDC_STARTUP_ALL, IDC_AUTO_CONNECT,
                                           IDC_AUTO_BROWSER, IDC_GET_LOCATION,  IDC_LOCATE_EASY, IDC_CONNECT,
                                           IDC_SEND,         IDC_GET_AND_SEND};
    for (int id : kCommandControls) {
        EnableWindow(GetDlgItem(window, id), TRUE);
    }
    SetWindowTextW(GetDlgItem(window, IDC_GET_LOCATION), Text(IDS_BUTTON_GET_LOCATION).c_str());
}

void CreateMainWindowControls(HWND window)
{
    CDialogTemplate dialogTemplate;
    if (dialogTemplate.CreateControls(g_hInstance, window, IDD_MAIN, &g_controlList)) {
        EnableMainControls(window);
    }
    for (ControlEntry& entry : g_controlList) {
        if (!IsFocusable(entry.windowClass)) {
            continue;
        }
        HWND target = entry.window;
        if (entry.windowClass == 0x85 && (GetWindowLongPtrW(entry.window, GWL_STYLE) & 3) == 0) {
            target = entry.innerWindow;
        }
        if (target == nullptr) {
            continue;
        }
        entry.previousProc = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(target, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ControlSubclassProc)));
    }
    SetFocus(GetDlgItem(window, IDC_URL_COMBO));
}

LRESULT CALLBACK ControlSubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    size_t count = g_controlList.size();
    size_t found = count;
    for (size_t i = 0; i < count && found == count; ++i) {
        if (g_controlList[i].window == window) {
            found = i;
        }
    }
    for (size_t i = 0; i < count && found == count; ++i) {
        if (g_controlList[i].innerWindow == window) {
            found = i;
        }
    }
    if (found == count) {
        return 0;
    }
    if (message == WM_CHAR && wParam == 9) {
        if (IsPushButton(g_controlList[found])) {
            SendMessageW(g_controlList[found].window, BM_SETSTATE, 0, 0);
        }
        size_t next = found;
        do {
            next = (next + 1) % count;
        } while (!IsFocusable(g_controlList[next].windowClass) && g_controlList[next].window != window);
        if (IsPushButton(g_controlList[next])) {
            SendMessageW(g_controlList[next].window, BM_SETSTATE, 1, 0);
        }
        SetFocus(g_controlList[next].window);
        return 0;
    }
    return CallWindowProcW(g_controlList[found].previousProc, window, message, wParam, lParam);
}
