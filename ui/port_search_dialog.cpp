#include "ui/port_search_dialog.h"

#include "acquisition/port_prober.h"
#include "common/system_library_win.h"
#include "common/texts.h"
#include "common/win_handle.h"
#include "resources/resource.h"
#include "ui/dialog_frame.h"

#include <commctrl.h>

#include <memory>
#include <mutex>
#include <optional>

namespace {

constexpr UINT_PTR kStopTimer = 1;

// What the dialog shares with its workers; a worker keeps it alive past the dialog.
struct SearchShared
{
    std::mutex lock;
    HWND window = nullptr; // told of each port's finding; null once the dialog has gone
    std::vector<PortFinding> findings;
    CHandle stop{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
};

struct ProbeJob
{
    std::shared_ptr<SearchShared> shared;
    std::size_t index;
    std::wstring port;
};

// A thread of its own per port rather than the process's pool: every probe waits for seconds,
// and all of them must run at once.
DWORD WINAPI ProbeThread(LPVOID param)
{
    std::unique_ptr<ProbeJob> job(static_cast<ProbeJob*>(param));
    PortFinding finding = ProbePort(job->port, job->shared->stop.Get());
    std::lock_guard<std::mutex> lock(job->shared->lock);
    job->shared->findings[job->index] = finding;
    if (job->shared->window != nullptr) {
        PostMessageW(job->shared->window, WM_TAVRIN_TASK_DONE, job->index, reinterpret_cast<LPARAM>(job->shared.get()));
    }
    return 0;
}

// What the open screen works with; it travels with the dialog (its user data).
struct SearchScreen
{
    HINSTANCE instance = nullptr;
    std::vector<std::wstring> ports;
    std::shared_ptr<SearchShared> shared = std::make_shared<SearchShared>();
    std::vector<PortFinding> rows; // as shown
    std::size_t searching = 0;     // ports not told yet
    bool stopping = false;         // "中断" was pressed
    bool ended = false;
    std::optional<SearchChoice> chosen;
};

SearchScreen* ScreenOf(HWND dialog)
{
    return reinterpret_cast<SearchScreen*>(GetWindowLongPtrW(dialog, GWLP_USERDATA));
}

HWND ListOf(HWND dialog)
{
    return GetDlgItem(dialog, IDC_SEARCH_LIST);
}

int Selection(HWND dialog)
{
    return static_cast<int>(SendMessageW(ListOf(dialog), LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

std::optional<SearchChoice> SelectedChoice(HWND dialog, const SearchScreen& screen)
{
    const int row = Selection(dialog);
    if (row < 0 || static_cast<std::size_t>(row) >= screen.rows.size()) {
        return std::nullopt;
    }
    return ChoiceOf(screen.rows[static_cast<std::size_t>(row)]);
}

void SetCell(HWND list, int row, int column, const std::wstring& text)
{
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = const_cast<wchar_t*>(text.c_str());
    SendMessageW(list, LVM_SETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
}

void ShowRow(HWND dialog, const SearchScreen& screen, std::size_t index)
{
    const PortFinding& finding = screen.rows[index];
    const int row = static_cast<int>(index);
    SetCell(ListOf(dialog), row, 1, PortKindText(finding.kind));
    SetCell(ListOf(dialog), row, 2, FindingSpeedText(finding));
    SetCell(ListOf(dialog), row, 3, FindingDeviceText(finding));
}

// The texts the search's state gives the screen; done again after every re-layout, which puts
// the template's texts back.
void ShowState(HWND dialog, const SearchScreen& screen)
{
    SetDlgItemTextW(dialog, IDC_SEARCH_STATUS,
                    SearchStatusText(screen.rows.size(), screen.searching, screen.ended && screen.stopping).c_str());
    if (screen.ended) {
        SetDlgItemTextW(dialog, IDCANCEL, Text(IDS_SEARCH_CLOSE).c_str());
    }
    EnableWindow(GetDlgItem(dialog, IDOK), SelectedChoice(dialog, screen).has_value());
}

void PrepareList(HWND dialog, const SearchScreen& screen)
{
    HWND list = ListOf(dialog);
    const DWORD extra = LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES;
    SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, extra, extra);
    // Widths in pixels of a 96-dpi screen, grown with the screen's dpi.
    const struct
    {
        UINT text;
        int width;
    } columns[] = {{IDS_SEARCH_COLUMN_PORT, 46},
                   {IDS_SEARCH_COLUMN_KIND, 70},
                   {IDS_SEARCH_COLUMN_SPEED, 64},
                   {IDS_SEARCH_COLUMN_DEVICE, 140}};
    HDC screenDc = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screenDc, LOGPIXELSX);
    ReleaseDC(nullptr, screenDc);
    for (int i = 0; i < 4; ++i) {
        const std::wstring text = Text(columns[i].text);
        LVCOLUMNW column{};
        column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
        column.cx = MulDiv(columns[i].width, dpi, 96);
        column.pszText = const_cast<wchar_t*>(text.c_str());
        column.iSubItem = i;
        SendMessageW(list, LVM_INSERTCOLUMNW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&column));
    }
    for (std::size_t i = 0; i < screen.rows.size(); ++i) {
        LVITEMW item{};
        item.mask = LVIF_TEXT;
        item.iItem = static_cast<int>(i);
        item.pszText = const_cast<wchar_t*>(screen.rows[i].port.c_str());
        SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
        ShowRow(dialog, screen, i);
    }
}

void StartProbes(SearchScreen& screen)
{
    for (std::size_t i = 0; i < screen.ports.size(); ++i) {
        auto job = std::make_unique<ProbeJob>(ProbeJob{screen.shared, i, screen.ports[i]});
        CHandle thread(CreateThread(nullptr, 0, ProbeThread, job.get(), 0, nullptr));
        if (thread) {
            job.release();
            ++screen.searching;
        } else {
            screen.rows[i].kind = PortKind::Stopped;
        }
    }
}

// The search is over: every port told, or "中断" has waited long enough.
void EndSearch(HWND dialog, SearchScreen& screen)
{
    KillTimer(dialog, kStopTimer);
    screen.ended = true;
    for (std::size_t i = 0; i < screen.rows.size(); ++i) {
        if (screen.rows[i].kind == PortKind::Searching) {
            screen.rows[i].kind = PortKind::Stopped;
            ShowRow(dialog, screen, i);
        }
    }
    ShowState(dialog, screen);
}

// Every worker stops at its next look at the port and closes it; none tells the dialog anything
// from now on.
void StopProbes(SearchScreen& screen)
{
    SetEvent(screen.shared->stop.Get());
    std::lock_guard<std::mutex> lock(screen.shared->lock);
    screen.shared->window = nullptr;
}

void OnPortDone(HWND dialog, SearchScreen& screen, std::size_t index)
{
    PortFinding finding;
    {
        std::lock_guard<std::mutex> lock(screen.shared->lock);
        finding = screen.shared->findings[index];
    }
    if (screen.ended || index >= screen.rows.size() || screen.rows[index].kind != PortKind::Searching) {
        return;
    }
    screen.rows[index] = finding;
    ShowRow(dialog, screen, index);
    if (--screen.searching == 0) {
        EndSearch(dialog, screen);
    } else {
        ShowState(dialog, screen);
    }
}

void OnStop(HWND dialog, SearchScreen& screen)
{
    if (screen.ended) {
        EndDialog(dialog, IDCANCEL);
        return;
    }
    if (screen.stopping) {
        return;
    }
    screen.stopping = true;
    // The workers stop at once; the dialog still hears of each until they are all done.
    SetEvent(screen.shared->stop.Get());
    SetTimer(dialog, kStopTimer, kSearchStopWaitMs, nullptr);
}

void Choose(HWND dialog, SearchScreen& screen)
{
    screen.chosen = SelectedChoice(dialog, screen);
    if (screen.chosen || screen.ended) {
        EndDialog(dialog, screen.chosen ? IDOK : IDCANCEL);
    }
}

void OnInitDialog(HWND dialog, SearchScreen& screen)
{
    SetWindowLongPtrW(dialog, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&screen));
    screen.rows.clear();
    for (const std::wstring& port : screen.ports) {
        PortFinding row;
        row.port = port;
        screen.rows.push_back(row);
    }
    screen.shared->findings = screen.rows;
    SetUpFullScreenDialog(dialog);
    screen.shared->window = dialog;
    StartProbes(screen);
    PrepareList(dialog, screen);
    if (screen.searching == 0) {
        EndSearch(dialog, screen);
    } else {
        ShowState(dialog, screen);
    }
}

INT_PTR CALLBACK PortSearchDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    SearchScreen* screen = message == WM_INITDIALOG ? reinterpret_cast<SearchScreen*>(lParam) : ScreenOf(dialog);
    if (screen == nullptr) {
        return FALSE;
    }
    switch (message) {
    case WM_INITDIALOG:
        OnInitDialog(dialog, *screen);
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK:
            Choose(dialog, *screen);
            return TRUE;
        case IDCANCEL:
            OnStop(dialog, *screen);
            return TRUE;
        default:
            return FALSE;
        }
    case WM_NOTIFY: {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        if (header->idFrom == IDC_SEARCH_LIST) {
            if (header->code == LVN_ITEMCHANGED) {
                ShowState(dialog, *screen);
            } else if (header->code == NM_DBLCLK && SelectedChoice(dialog, *screen)) {
                Choose(dialog, *screen);
            }
        }
        return FALSE;
    }
    case WM_TAVRIN_TASK_DONE:
        if (lParam == reinterpret_cast<LPARAM>(screen->shared.get())) {
            OnPortDone(dialog, *screen, static_cast<std::size_t>(wParam));
        }
        return TRUE;
    case WM_TIMER:
        if (wParam == kStopTimer && !screen->ended) {
            EndSearch(dialog, *screen);
        }
        return TRUE;
    case WM_CLOSE:
        EndDialog(dialog, IDCANCEL);
        return TRUE;
    case WM_DESTROY:
        KillTimer(dialog, kStopTimer);
        StopProbes(*screen);
        return FALSE;
    case WM_SIZE: {
        const bool wide = GetSystemMetrics(SM_CXSCREEN) >= GetSystemMetrics(SM_CYSCREEN);
        RelayoutFromTemplate(screen->instance, dialog, wide ? IDD_PORT_SEARCH_WIDE : IDD_PORT_SEARCH);
        ShowState(dialog, *screen);
        return FALSE;
    }
    default:
        return FALSE;
    }
}

} // namespace

bool RunPortSearch(HINSTANCE instance, HWND owner, const std::vector<std::wstring>& ports, SearchChoice& choice)
{
    if (!RequireSystemLibraries(kCommonControlsLibrary, owner)) {
        return false;
    }
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&controls);
    SearchScreen screen;
    screen.instance = instance;
    screen.ports = ports;
    const bool wide = GetSystemMetrics(SM_CXSCREEN) >= GetSystemMetrics(SM_CYSCREEN);
    RunDialogFromTemplate(instance, wide ? IDD_PORT_SEARCH_WIDE : IDD_PORT_SEARCH, owner, PortSearchDlgProc,
                          reinterpret_cast<LPARAM>(&screen));
    StopProbes(screen);
    if (!screen.chosen) {
        return false;
    }
    choice = *screen.chosen;
    return true;
}
