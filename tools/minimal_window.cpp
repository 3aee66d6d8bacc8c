// The yardsticks for tavrin's start-up time.
// minimal_window: the smallest Win32 program that opens a window.
// elements_window (built with TAVRIN_ELEMENTS): the elements of tavrin's main window built the
// plainest way, with none of tavrin's code: the window over the work area, a soft-key bar as a
// top-level window of its own below it, and the main window's 19 controls with their texts in
// the template's font, the two combo boxes holding the factory entries. It is what start-up
// cannot go below on a platform, whatever tavrin does.
#include <windows.h>

namespace {

#ifdef TAVRIN_ELEMENTS
// Written out rather than read from tavrin's resources, so that nothing of the program takes
// part; kept in line with the main window's template (IDD_MAIN in resources/tavrin.rc) and
// the factory presets' titles.
struct Element
{
    const wchar_t* windowClass;
    const wchar_t* text;
    DWORD style;
    int x, y, cx, cy; // dialog units
};

constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;
constexpr DWORD kCombo = kChild | CBS_DROPDOWNLIST | CBS_AUTOHSCROLL | WS_VSCROLL | WS_TABSTOP;
constexpr DWORD kButton = kChild | BS_PUSHBUTTON | WS_TABSTOP;
constexpr DWORD kCheck = kChild | BS_AUTOCHECKBOX | WS_TABSTOP;

const Element kElements[] = {
    {L"STATIC", L"", kChild | SS_LEFT, 7, 169, 10, 8},
    {L"STATIC", L"URL", kChild | SS_LEFT, 7, 7, 36, 12},
    {L"COMBOBOX", L"", kCombo, 47, 7, 90, 76},
    {L"BUTTON", L"編集", kButton, 140, 7, 24, 14},
    {L"STATIC", L"ブラウザ", kChild | SS_LEFT, 7, 23, 36, 12},
    {L"COMBOBOX", L"", kCombo, 47, 23, 90, 81},
    {L"BUTTON", L"編集", kButton, 140, 23, 24, 14},
    {L"BUTTON", L"位置情報取得", kButton, 7, 41, 56, 14},
    {L"BUTTON", L"簡易座標で取得", kCheck, 73, 41, 72, 13},
    {L"BUTTON", L"自動接続", kCheck, 7, 57, 67, 13},
    {L"BUTTON", L"ブラウザ起動", kCheck, 7, 71, 67, 13},
    {L"BUTTON", L"起動時に実行", kCheck, 76, 57, 72, 13},
    {L"STATIC", L"接続時", kChild | SS_LEFT, 75, 71, 28, 13},
    {L"EDIT", L"500", kChild | WS_BORDER | ES_NUMBER | ES_AUTOHSCROLL | WS_TABSTOP, 103, 70, 26, 14},
    {L"STATIC", L"ms待つ", kChild | SS_LEFT, 132, 71, 34, 13},
    {L"BUTTON", L"接続", kButton, 7, 88, 43, 14},
    {L"BUTTON", L"送信", kButton, 55, 88, 43, 14},
    {L"BUTTON", L"取得～送信", kButton, 103, 88, 46, 14},
    {L"EDIT", L"", kChild | WS_BORDER | ES_MULTILINE | ES_AUTOVSCROLL | WS_VSCROLL | WS_TABSTOP, 7, 109, 159, 31},
};
const wchar_t* const kUrlTitles[] = {L"ORVEL 提供", L"Brannikのホームページ 提供", L"Sorrimのぶろぐ 提供",
                                     L"Yahoo! Map", L"Mapion"};
const wchar_t* const kBrowserTitles[] = {L"InternetExplorer", L"Opera"};
const wchar_t* const kSoftKeys[] = {L"終了", L"メニュー"};
// The soft keys' font, "Tahoma" 9 bold, as the shell's bar draws them.
HFONT g_barFont = nullptr;

LRESULT CALLBACK BarProc(HWND bar, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_PAINT) {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(bar, &ps);
        RECT client;
        GetClientRect(bar, &client);
        FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
        SetBkMode(dc, TRANSPARENT);
        HGDIOBJ oldFont = SelectObject(dc, g_barFont);
        for (int i = 0; i < 2; ++i) {
            RECT key{client.right * i / 2, 0, client.right * (i + 1) / 2, client.bottom};
            DrawTextW(dc, kSoftKeys[i], -1, &key, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
        }
        SelectObject(dc, oldFont);
        EndPaint(bar, &ps);
        return 0;
    }
    return DefWindowProcW(bar, message, wParam, lParam);
}

void AddElements(HWND window, HINSTANCE instance)
{
    WNDCLASSW bar{};
    bar.lpfnWndProc = BarProc;
    bar.hInstance = instance;
    bar.lpszClassName = L"ElementsBar";
    RegisterClassW(&bar);
    RECT area;
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    HDC screen = GetDC(nullptr);
    const int barHeight = MulDiv(26, GetDeviceCaps(screen, LOGPIXELSY), 96);
    LOGFONTW barFont{};
    barFont.lfHeight = -MulDiv(9, GetDeviceCaps(screen, LOGPIXELSY), 72);
    barFont.lfWeight = FW_BOLD;
    lstrcpynW(barFont.lfFaceName, L"Tahoma", LF_FACESIZE);
    g_barFont = CreateFontIndirectW(&barFont);
    CreateWindowExW(WS_EX_NOACTIVATE, L"ElementsBar", L"", WS_POPUP | WS_VISIBLE, area.left, area.bottom - barHeight,
                    area.right - area.left, barHeight, window, nullptr, instance, nullptr);
    MoveWindow(window, area.left, area.top, area.right - area.left, area.bottom - area.top - barHeight, FALSE);

    // The template's font, "Arial" 8, for the controls' places and their text, as tavrin
    // builds them.
    LOGFONTW lf{};
    lf.lfHeight = -MulDiv(8, GetDeviceCaps(screen, LOGPIXELSY), 72);
    lf.lfWeight = FW_NORMAL;
    lf.lfCharSet = DEFAULT_CHARSET;
    lstrcpynW(lf.lfFaceName, L"Arial", LF_FACESIZE);
    HFONT font = CreateFontIndirectW(&lf);
    HGDIOBJ old = SelectObject(screen, font);
    TEXTMETRICW metrics{};
    GetTextMetricsW(screen, &metrics);
    SIZE alphabet{};
    GetTextExtentPoint32W(screen, L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz", 52, &alphabet);
    SelectObject(screen, old);
    ReleaseDC(nullptr, screen);
    const int baseX = (alphabet.cx + 26) / 52;
    const int baseY = metrics.tmHeight + metrics.tmExternalLeading;
    HWND combos[2] = {};
    int comboCount = 0;
    for (const Element& e : kElements) {
        HWND control =
            CreateWindowExW(0, e.windowClass, e.text, e.style, MulDiv(e.x, baseX, 4), MulDiv(e.y, baseY, 8),
                            MulDiv(e.cx, baseX, 4), MulDiv(e.cy, baseY, 8), window, nullptr, instance, nullptr);
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        if (lstrcmpW(e.windowClass, L"COMBOBOX") == 0 && comboCount < 2) {
            combos[comboCount++] = control;
        }
    }
    for (const wchar_t* title : kUrlTitles) {
        SendMessageW(combos[0], CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(title));
    }
    for (const wchar_t* title : kBrowserTitles) {
        SendMessageW(combos[1], CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(title));
    }
    SendMessageW(combos[0], CB_SETCURSEL, 0, 0);
    SendMessageW(combos[1], CB_SETCURSEL, 0, 0);
    SetFocus(combos[0]);
}
#endif

LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    // Any command ends it (the timing program sends one); a control's notification does not.
    if (message == WM_COMMAND && lParam == 0) {
        DestroyWindow(window);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show)
{
    WNDCLASSW wc{};
    wc.lpfnWndProc = Proc;
    wc.hInstance = instance;
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = L"MinimalWindow";
    RegisterClassW(&wc);
    HWND window = CreateWindowExW(0, L"MinimalWindow", L"minimal", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                                  CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, instance, nullptr);
#ifdef TAVRIN_ELEMENTS
    AddElements(window, instance);
#endif
    ShowWindow(window, show);
    UpdateWindow(window);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 0;
}
