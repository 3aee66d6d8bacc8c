// Every window and box of the program fits the handset's screen it runs on: no control leaves
// its parent's client area and no text is wider or taller than its control, measured with the
// control's own font (a line's height is the font's ascent plus descent), and a progress text
// is read back: wrapped and shown from its start. Run by scripts/wine-screen on a virtual desktop of a handset's size
// and dpi: on a portrait screen every window and box, on a landscape one the about box (the only window with a
// landscape layout) and the settings screen. The boxes are every message of the user's guide's table.
#include "common/message_box.h"
#include "platform/aygshell.h"
#include "resources/resource.h"
#include "settings/settings.h"
#include "tests/windows/dialog_driver.h"
#include "tests/windows/test_support.h"
#include "ui/app_state.h"
#include "ui/dialog_frame.h"
#include "ui/dialog_template.h"
#include "ui/list_editor.h"
#include "ui/list_model.h"
#include "ui/main_window.h"
#include "ui/port_search_dialog.h"
#include "ui/progress_dialog.h"
#include "ui/settings_dialog.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

namespace {

using ::testing::IsEmpty;

int Dpi()
{
    HDC dc = GetDC(nullptr);
    int dpi = GetDeviceCaps(dc, LOGPIXELSY);
    ReleaseDC(nullptr, dc);
    return dpi;
}

int Scaled(int pixels)
{
    return MulDiv(pixels, Dpi(), 96);
}

bool Portrait()
{
    return GetSystemMetrics(SM_CYSCREEN) > GetSystemMetrics(SM_CXSCREEN);
}

bool Inside(const RECT& inner, const RECT& outer)
{
    return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
           inner.bottom <= outer.bottom;
}

std::string Describe(const RECT& r)
{
    std::ostringstream out;
    out << "(" << r.left << "," << r.top << ")-(" << r.right << "," << r.bottom << ")";
    return out.str();
}

// The extent of `text` in `font` (the stock system font when null): one line, or wrapped at
// `wrapWidth` pixels when it is given.
SIZE Extent(HFONT font, const std::wstring& text, UINT format, int wrapWidth = 0)
{
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, font != nullptr ? font : GetStockObject(SYSTEM_FONT));
    RECT rect{0, 0, wrapWidth > 0 ? wrapWidth : 0, 0};
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &rect,
              format | DT_CALCRECT | (wrapWidth > 0 ? DT_WORDBREAK : DT_SINGLELINE));
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    return SIZE{rect.right - rect.left, rect.bottom - rect.top};
}

HFONT FontOf(HWND control)
{
    return reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
}

// Ascent plus descent of `font`: what one line needs so that no glyph loses its top or its
// descender ("p" read as "g").
int GlyphHeight(HFONT font)
{
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, font != nullptr ? font : GetStockObject(SYSTEM_FONT));
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    return metrics.tmAscent + metrics.tmDescent;
}

// A progress text is read whole from its start: it wraps (nothing scrolls sideways, no
// horizontal scroll bar), its first line is at the top and every line fits the box's width;
// one longer than the box scrolls down and so needs the vertical bar.
void CheckProgressText(HWND edit, const std::string& name, std::vector<std::string>* faults)
{
    const LONG style = GetWindowLongW(edit, GWL_STYLE);
    if (style & (WS_HSCROLL | ES_AUTOHSCROLL)) {
        faults->push_back(name + " scrolls sideways instead of wrapping");
    }
    const int length = GetWindowTextLengthW(edit);
    if (length == 0) {
        return;
    }
    if (SendMessageW(edit, EM_GETFIRSTVISIBLELINE, 0, 0) != 0) {
        faults->push_back(name + " is not shown from its first line");
    }
    RECT format{};
    SendMessageW(edit, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&format));
    const auto at = [edit](int index) {
        const LRESULT pos = SendMessageW(edit, EM_POSFROMCHAR, static_cast<WPARAM>(index), 0);
        return POINT{static_cast<short>(LOWORD(pos)), static_cast<short>(HIWORD(pos))};
    };
    if (at(0).x < format.left || at(0).y < format.top) {
        faults->push_back(name + " is scrolled past its start");
    }
    const HFONT font = FontOf(edit);
    const int lines = static_cast<int>(SendMessageW(edit, EM_GETLINECOUNT, 0, 0));
    for (int line = 0; line < lines; ++line) {
        const int first = static_cast<int>(SendMessageW(edit, EM_LINEINDEX, static_cast<WPARAM>(line), 0));
        const int chars = static_cast<int>(SendMessageW(edit, EM_LINELENGTH, static_cast<WPARAM>(first), 0));
        wchar_t buffer[512] = {};
        *reinterpret_cast<WORD*>(buffer) = 511;
        const LRESULT got = SendMessageW(edit, EM_GETLINE, static_cast<WPARAM>(line), reinterpret_cast<LPARAM>(buffer));
        std::wstring text(buffer, static_cast<size_t>(std::min<LRESULT>(got, chars)));
        while (!text.empty() && text.back() == L' ') {
            text.pop_back(); // a wrapped line may end in the space it broke at
        }
        if (Extent(font, text, DT_NOPREFIX).cx > format.right - format.left) {
            faults->push_back(name + " line " + std::to_string(line) + " is wider than the box");
        }
    }
    if (lines * GlyphHeight(font) > format.bottom - format.top && !(style & WS_VSCROLL)) {
        faults->push_back(name + " is taller than its box and cannot scroll");
    }
}

int IconWidth(HICON icon)
{
    ICONINFO info{};
    if (icon == nullptr || !GetIconInfo(icon, &info)) {
        return 0;
    }
    BITMAP bitmap{};
    GetObjectW(info.hbmColor != nullptr ? info.hbmColor : info.hbmMask, sizeof(bitmap), &bitmap);
    if (info.hbmColor != nullptr) {
        DeleteObject(info.hbmColor);
    }
    DeleteObject(info.hbmMask);
    return bitmap.bmWidth;
}

// What of one control does not fit: its place, then its text.
void CheckControl(HWND control, const RECT& parentClient, std::vector<std::string>* faults)
{
    RECT rect;
    GetWindowRect(control, &rect);
    MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&rect), 2);
    const std::wstring className = ClassOf(control);
    const LONG style = GetWindowLongW(control, GWL_STYLE);
    // An icon's "text" is its resource number.
    const bool icon = className == L"Static" && (style & SS_TYPEMASK) == SS_ICON;
    const std::wstring text = icon ? L"" : TextOf(control);
    const std::string name = Utf8(className) + " " + std::to_string(GetDlgCtrlID(control)) + " \"" + Utf8(text) + "\"";
    if (!Inside(rect, parentClient)) {
        faults->push_back(name + " at " + Describe(rect) + " leaves its parent's client area " +
                          Describe(parentClient));
    }
    RECT client;
    GetClientRect(control, &client);
    const HFONT font = FontOf(control);
    SIZE room{client.right, client.bottom};
    SIZE need{0, 0};
    if (className == L"Button") {
        const LONG type = style & BS_TYPEMASK;
        if (type == BS_GROUPBOX || type == BS_OWNERDRAW || text.empty()) {
            return;
        }
        need = Extent(font, text, 0);
        if (type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON) {
            room.cx -= 2 * Scaled(2); // the raised edges
            room.cy -= 2 * Scaled(2);
        } else {
            room.cx -= Scaled(13) + Scaled(4); // the box and the gap before the text
        }
    } else if (className == L"Static") {
        const LONG type = style & SS_TYPEMASK;
        if (icon) {
            // At the screen's icon size: a VGA screen's icons are twice a QVGA screen's.
            const int size = IconWidth(reinterpret_cast<HICON>(SendMessageW(control, STM_GETICON, 0, 0)));
            if (size != GetSystemMetrics(SM_CXICON)) {
                faults->push_back(name + " shows a " + std::to_string(size) + "-pixel icon; the screen's are " +
                                  std::to_string(GetSystemMetrics(SM_CXICON)));
            }
            return;
        }
        if (type != SS_LEFT && type != SS_CENTER && type != SS_RIGHT && type != SS_SIMPLE &&
            type != SS_LEFTNOWORDWRAP) {
            return; // bitmaps, frames
        }
        if (text.empty()) {
            return;
        }
        const UINT format = ((style & SS_NOPREFIX) ? DT_NOPREFIX : 0) | ((style & SS_EDITCONTROL) ? DT_EDITCONTROL : 0);
        const bool wraps = type == SS_LEFT || type == SS_CENTER || type == SS_RIGHT;
        need = Extent(font, text, format | DT_EXPANDTABS, wraps ? room.cx : 0);
    } else if (className == L"Edit") {
        // Its text scrolls; a line of it must still show whole below the format rectangle's top.
        if (GetDlgCtrlID(control) == IDC_PROGRESS_TEXT) {
            CheckProgressText(control, name, faults);
        }
        RECT format{};
        SendMessageW(control, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&format));
        need = SIZE{0, std::max<LONG>(format.top, 0) + GlyphHeight(font)};
    } else if (className == L"ComboBox") {
        // The selection field, inside the combo's edges, shows the chosen item.
        COMBOBOXINFO info{};
        info.cbSize = sizeof(info);
        if (!GetComboBoxInfo(control, &info)) {
            faults->push_back(name + " gives no selection field");
            return;
        }
        room = SIZE{info.rcItem.right - info.rcItem.left, info.rcItem.bottom - info.rcItem.top};
        need = SIZE{0, GlyphHeight(font)};
    } else {
        return;
    }
    if (className == L"Button" || className == L"Static") {
        need.cy = std::max<LONG>(need.cy, GlyphHeight(font));
    }
    if (need.cx > room.cx || need.cy > room.cy) {
        faults->push_back(name + " needs " + std::to_string(need.cx) + "x" + std::to_string(need.cy) +
                          " pixels for its text, has " + std::to_string(room.cx) + "x" + std::to_string(room.cy));
    }
}

// The caption's text fits between the frame's left end and its buttons (the done button of a
// full-screen dialog, the close button of a window with a system menu).
void CheckCaption(HWND window, std::vector<std::string>* faults)
{
    const LONG style = GetWindowLongW(window, GWL_STYLE);
    if ((style & WS_CAPTION) != WS_CAPTION) {
        return;
    }
    RECT rect;
    GetWindowRect(window, &rect);
    const int frame = GetSystemMetrics(SM_CXFIXEDFRAME);
    int left = rect.left + frame + Scaled(2);
    int right = rect.right - frame;
    if (style & WS_SYSMENU) {
        left += GetSystemMetrics(SM_CXSMICON) + Scaled(2);
        right -= GetSystemMetrics(SM_CXSIZE);
    }
    RECT done;
    if (SHDoneButtonRect(window, &done)) {
        right = std::min<int>(right, done.left);
    }
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof(metrics);
    SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0);
    HFONT font = CreateFontIndirectW(&metrics.lfCaptionFont);
    const std::wstring caption = TextOf(window);
    const int need = Extent(font, caption, DT_NOPREFIX).cx;
    DeleteObject(font);
    if (need > right - left) {
        faults->push_back("caption \"" + Utf8(caption) + "\" needs " + std::to_string(need) + " pixels, has " +
                          std::to_string(right - left));
    }
}

// Everything of a top-level window that does not fit the screen.
std::vector<std::string> LayoutFaults(HWND window)
{
    std::vector<std::string> faults;
    RECT rect;
    GetWindowRect(window, &rect);
    RECT screen{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    if (!Inside(rect, screen)) {
        faults.push_back("window \"" + Utf8(TextOf(window)) + "\" at " + Describe(rect) + " leaves the screen " +
                         Describe(screen));
    }
    CheckCaption(window, &faults);
    RECT client;
    GetClientRect(window, &client);
    for (HWND child = GetWindow(window, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        if (IsWindowVisible(child)) {
            CheckControl(child, client, &faults);
        }
    }
    return faults;
}

// The soft keys' texts fit their halves of the bar, in the bar's own font.
std::vector<std::string> SoftKeyFaults(HWND bar)
{
    std::vector<std::string> faults;
    for (int key = 0; key < 2; ++key) {
        RECT rect{};
        wchar_t text[64] = {};
        if (!SHMenuBarButtonRect(bar, key, &rect) || !SHMenuBarButtonText(bar, key, text, 64)) {
            faults.push_back("soft key " + std::to_string(key) + " is missing");
            continue;
        }
        SIZE need = Extent(FontOf(bar), text, DT_NOPREFIX);
        if (need.cx > rect.right - rect.left || need.cy > rect.bottom - rect.top) {
            faults.push_back("soft key \"" + Utf8(text) + "\" does not fit its " +
                             std::to_string(rect.right - rect.left) + " pixels");
        }
    }
    return faults;
}

// The messages of the user's guide's table, each with its box's caption or, for a text shown
// in the progress dialog, that dialog's caption. The build writes them beside this program,
// with realistic values in their conversions.
struct GuideMessage
{
    std::wstring caption;
    bool screen; // shown in the progress dialog, not in a box
    std::wstring text;
};

std::vector<GuideMessage> ReadGuideMessages()
{
    std::ifstream file(Utf8(ExeFolder() + L"\\guide_messages.txt"));
    std::vector<GuideMessage> messages;
    for (std::string line; std::getline(file, line);) {
        const size_t kind = line.find('\t') + 1;
        const size_t text = line.find('\t', kind) + 1;
        GuideMessage message{FromUtf8(line.substr(0, kind - 1)), line.compare(kind, 6, "screen") == 0,
                             FromUtf8(line.substr(text))};
        for (size_t at; (at = message.text.find(L"<br>")) != std::wstring::npos;) {
            message.text.replace(at, 4, L"\n");
        }
        messages.push_back(message);
    }
    return messages;
}

UINT BoxStyle(const std::wstring& caption)
{
    if (caption == L"Error") {
        return MB_OK | MB_ICONSTOP;
    }
    if (caption == L"確認") {
        return MB_YESNO | MB_ICONQUESTION;
    }
    return MB_OK | MB_ICONEXCLAMATION;
}

class ScreenLayout : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW((ExeFolder() + L"\\default.ini").c_str()))
            << "the windows are measured with the factory settings";
        ASSERT_TRUE(InitInstance(GetModuleHandleW(nullptr), SW_SHOW));
        m_window = MainWindow();
        ASSERT_NE(nullptr, m_window);
        PumpFor(100);
    }

    void TearDown() override { DestroyMainWindow(m_window); }

    // Runs `show` (which shows a modal window with `caption` on this thread) and returns what
    // of that window does not fit, the window then ended with its button `close`.
    std::vector<std::string> FaultsOfModal(const std::wstring& caption, int close, const std::function<void()>& show)
    {
        std::vector<std::string> faults;
        DialogScript script(caption.c_str(), [&faults, close](HWND dialog) {
            Sleep(100); // the full-screen set-up and the re-layout
            faults = LayoutFaults(dialog);
            PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(close, BN_CLICKED),
                         reinterpret_cast<LPARAM>(GetDlgItem(dialog, close)));
        });
        show();
        if (!script.Found()) {
            faults.push_back("no window \"" + Utf8(caption) + "\" was shown");
        }
        return faults;
    }

    HWND m_window = nullptr;
};

TEST_F(ScreenLayout, MainWindowAndSoftKeysFit)
{
    if (!Portrait()) {
        GTEST_SKIP() << "the main window is laid out for portrait screens";
    }
    EXPECT_THAT(LayoutFaults(m_window), IsEmpty());
    ASSERT_NE(nullptr, g_hWndMenuBar);
    EXPECT_THAT(SoftKeyFaults(g_hWndMenuBar), IsEmpty());
    // The window and its bar share the work area.
    RECT window, bar;
    GetWindowRect(m_window, &window);
    GetWindowRect(g_hWndMenuBar, &bar);
    EXPECT_LE(window.bottom, bar.top);
}

TEST_F(ScreenLayout, ListEditorFitsForBothLists)
{
    if (!Portrait()) {
        GTEST_SKIP() << "the list editor is laid out for portrait screens";
    }
    const struct
    {
        int kind;
        std::vector<CListEntry> list;
    } kinds[] = {{LIST_KIND_URL, g_settings.GetUrlList()}, {LIST_KIND_BROWSER, g_settings.GetBrowserList()}};
    for (const auto& k : kinds) {
        ASSERT_FALSE(k.list.empty());
        auto faults = FaultsOfModal(L"リストの編集", IDCANCEL,
                                    [&] { RunListEditor(GetModuleHandleW(nullptr), m_window, k.list, k.kind, 1); });
        EXPECT_THAT(faults, IsEmpty()) << "list kind " << k.kind;
    }
}

TEST_F(ScreenLayout, AboutBoxFitsInThisScreensLayout)
{
    auto faults = FaultsOfModal(L"バージョン情報 tavrin", IDOK, [this] {
        RunDialogFromTemplate(GetModuleHandleW(nullptr), IDD_ABOUT, m_window, AboutDlgProc);
    });
    EXPECT_THAT(faults, IsEmpty()) << (Portrait() ? "portrait (105)" : "landscape (106)");
}

// The port search on every screen, upright and sideways, in each of its states: searching (a
// silent port keeps it busy), stopped, and ended with rows of every length its texts take.
TEST_F(ScreenLayout, PortSearchFitsWhileSearchingStoppedAndEnded)
{
    std::vector<std::string> faults;
    DialogScript searching(L"ポートを探す", [&faults](HWND dialog) {
        Sleep(100);
        for (const std::string& fault : LayoutFaults(dialog)) {
            faults.push_back("searching: " + fault);
        }
        PressButton(dialog, IDCANCEL);
        Sleep(kSearchStopWaitMs + 100);
        for (const std::string& fault : LayoutFaults(dialog)) {
            faults.push_back("stopped: " + fault);
        }
        PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    });
    SearchChoice choice;
    RunPortSearch(GetModuleHandleW(nullptr), m_window, {L"COM2:"}, choice);
    EXPECT_TRUE(searching.Found());
    auto ended = FaultsOfModal(L"ポートを探す", IDCANCEL,
                               [&] { RunPortSearch(GetModuleHandleW(nullptr), m_window, {L"COM9:"}, choice); });
    faults.insert(faults.end(), ended.begin(), ended.end());
    EXPECT_THAT(faults, IsEmpty()) << (Portrait() ? "portrait (134)" : "landscape (135)");
}

// The soft-key bar a window of this thread owns (a full-screen dialog's own bar).
HWND SoftKeyBarOf(HWND owner)
{
    struct Search
    {
        HWND owner;
        HWND bar;
    } search{owner, nullptr};
    EnumThreadWindows(
        GetWindowThreadProcessId(owner, nullptr),
        [](HWND window, LPARAM param) {
            auto* s = reinterpret_cast<Search*>(param);
            if (GetWindow(window, GW_OWNER) == s->owner && ClassOf(window) == SH_MENUBAR_CLASS) {
                s->bar = window;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.bar;
}

TEST_F(ScreenLayout, SettingsScreenAndItsSoftKeysFitInThisScreensLayout)
{
    // Values as long as the fields take, so that nothing is measured empty.
    const CSettings before = g_settings;
    g_settings.m_port = L"\\\\.\\COM10";
    g_settings.m_serviceUrl = L"https://lookup.example.jp/loc1/location";
    g_settings.m_geolocateUrl = L"https://www.googleapis.com/geolocation/v1/geolocate?key=0123456789";
    g_settings.m_module = L"3GPP";
    std::vector<std::string> faults;
    DialogScript script(L"設定", [&faults](HWND dialog) {
        Sleep(100); // the full-screen set-up and the re-layout
        faults = LayoutFaults(dialog);
        HWND bar = SoftKeyBarOf(dialog);
        if (bar == nullptr) {
            faults.push_back("the screen has no soft keys");
        } else {
            for (const std::string& fault : SoftKeyFaults(bar)) {
                faults.push_back(fault);
            }
            RECT window, keys;
            GetWindowRect(dialog, &window);
            GetWindowRect(bar, &keys);
            if (window.bottom > keys.top) {
                faults.push_back("the screen runs under its soft keys");
            }
        }
        PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    });
    RunSettingsDialog(GetModuleHandleW(nullptr), m_window, g_settings);
    EXPECT_TRUE(script.Found());
    EXPECT_THAT(faults, IsEmpty()) << (Portrait() ? "portrait (132)" : "landscape (133)");
    g_settings = before;
}

TEST_F(ScreenLayout, EveryMessageOfTheGuideFitsItsBoxOrProgressDialog)
{
    if (!Portrait()) {
        GTEST_SKIP() << "boxes and the progress dialog are measured on portrait screens";
    }
    const std::vector<GuideMessage> messages = ReadGuideMessages();
    EXPECT_GE(messages.size(), 30u) << "the guide's message table was not read";
    for (const GuideMessage& message : messages) {
        const UINT style = BoxStyle(message.caption);
        ProgressRequest wait;
        wait.caption = message.caption.c_str();
        wait.text = message.text;
        auto faults = FaultsOfModal(message.caption,
                                    message.screen       ? IDCANCEL
                                    : (style & MB_YESNO) ? IDNO
                                                         : IDOK,
                                    [&] {
                                        if (message.screen) {
                                            RunProgress(GetModuleHandleW(nullptr), m_window, wait);
                                        } else {
                                            ShowMessageBox(m_window, message.text, message.caption, style);
                                        }
                                    });
        EXPECT_THAT(faults, IsEmpty()) << Utf8(message.caption) << ": " << Utf8(message.text);
    }
}

} // namespace
