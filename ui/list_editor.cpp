#include "ui/list_editor.h"

#include "common/message_box.h"
#include "common/system_library_win.h"
#include "common/texts.h"
#include "resources/resource.h"
#include "ui/dialog_frame.h"
#include "ui/file_chooser.h"
#include "ui/list_model.h"

#include <commctrl.h>

#include <string>

int g_nEditorSelection = 0;
std::vector<CListEntry> g_editorList;

namespace {

constexpr int kFieldLimit = 1024;
const int kFieldIds[3] = {IDC_LIST_FIELD0, IDC_LIST_FIELD1, IDC_LIST_FIELD2};
const int kLabelIds[3] = {IDC_LIST_LABEL0, IDC_LIST_LABEL1, IDC_LIST_LABEL2};

HWND g_hEditorOwner = nullptr;
HINSTANCE g_hEditorInstance = nullptr;
int g_nEditorKind = LIST_KIND_URL;
// The rows on screen and the selection the edit boxes last showed.
CListEditorModel g_editorModel;
// Column names of the open dialog (from its first entry); they also label the edits.
std::vector<std::wstring> g_editorColumns;
bool g_bLabelsFromColumns = false;
// While the rows are put into the list view its notifications say nothing about the user.
bool g_bFillingList = false;

HWND ListView(HWND dialog)
{
    return GetDlgItem(dialog, IDC_LIST);
}

int ViewSelection(HWND dialog)
{
    return static_cast<int>(SendMessageW(ListView(dialog), LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

// Widens edit 1024 for URLs and names the labels; done again after every re-layout,
// which restores the template's sizes and texts.
void ApplyKindLayout(HWND dialog)
{
    if (g_nEditorKind == LIST_KIND_URL) {
        RECT rect;
        if (GetWindowRect(GetDlgItem(dialog, IDC_LIST_FIELD2), &rect)) {
            SetWindowPos(GetDlgItem(dialog, IDC_LIST_FIELD1), nullptr, 0, 0, rect.right - rect.left,
                         rect.bottom - rect.top, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        }
    }
    if (g_bLabelsFromColumns) {
        for (size_t i = 0; i < g_editorColumns.size() && i < 3; ++i) {
            SetDlgItemTextW(dialog, kLabelIds[i], g_editorColumns[i].c_str());
        }
    }
}

void PrepareControls(HWND dialog)
{
    for (int id : kFieldIds) {
        SendDlgItemMessageW(dialog, id, EM_LIMITTEXT, kFieldLimit, 0);
    }
    const DWORD extra = LVS_EX_GRIDLINES | LVS_EX_HEADERDRAGDROP | LVS_EX_FULLROWSELECT;
    SendMessageW(ListView(dialog), LVM_SETEXTENDEDLISTVIEWSTYLE, extra, extra);
    if (g_nEditorKind == LIST_KIND_BROWSER) {
        ShowWindow(GetDlgItem(dialog, IDC_LIST_BROWSE), SW_SHOW);
        ShowWindow(GetDlgItem(dialog, IDC_LIST_LABEL2), SW_HIDE);
        ShowWindow(GetDlgItem(dialog, IDC_LIST_FIELD2), SW_HIDE);
    }

    // An empty list still gets the columns of its kind, so that added rows can be seen.
    g_bLabelsFromColumns = !g_editorList.empty();
    g_editorColumns = g_bLabelsFromColumns ? g_editorList.front().m_names : ListColumnNames(g_nEditorKind);
    // The widths are a 96-dpi screen's: a VGA handset's columns are as wide for its larger text.
    HDC screen = GetDC(dialog);
    const int dpi = screen != nullptr ? GetDeviceCaps(screen, LOGPIXELSX) : 96;
    if (screen != nullptr) {
        ReleaseDC(dialog, screen);
    }
    for (size_t i = 0; i < g_editorColumns.size(); ++i) {
        LVCOLUMNW column{};
        column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
        column.cx = MulDiv(ListColumnWidth(static_cast<int>(i)), dpi, 96);
        column.pszText = const_cast<wchar_t*>(g_editorColumns[i].c_str());
        column.iSubItem = static_cast<int>(i);
        SendMessageW(ListView(dialog), LVM_INSERTCOLUMNW, i, reinterpret_cast<LPARAM>(&column));
    }
    ApplyKindLayout(dialog);
}

void FillList(HWND dialog)
{
    HWND list = ListView(dialog);
    g_bFillingList = true;
    // A long list goes in with its storage reserved and one redraw at the end.
    SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
    const std::vector<ListRow>& rows = g_editorModel.Rows();
    SendMessageW(list, LVM_SETITEMCOUNT, rows.size(), 0);
    for (size_t i = 0; i < rows.size(); ++i) {
        LVITEMW item{};
        item.mask = LVIF_TEXT | LVIF_PARAM;
        item.iItem = static_cast<int>(i);
        item.pszText = const_cast<wchar_t*>(rows[i][0].c_str());
        int index = static_cast<int>(SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
        for (int column = 1; column < static_cast<int>(g_editorColumns.size()) && column < 3; ++column) {
            LVITEMW sub{};
            sub.iSubItem = column;
            sub.pszText = const_cast<wchar_t*>(rows[i][column].c_str());
            SendMessageW(list, LVM_SETITEMTEXTW, index, reinterpret_cast<LPARAM>(&sub));
        }
    }
    SendMessageW(list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list, nullptr, TRUE);
    g_bFillingList = false;
}

void SelectItem(HWND dialog, int index)
{
    if (index < 0) {
        return;
    }
    LVITEMW state{};
    state.stateMask = state.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(ListView(dialog), LVM_SETITEMSTATE, index, reinterpret_cast<LPARAM>(&state));
    SendMessageW(ListView(dialog), LVM_ENSUREVISIBLE, index, FALSE);
    g_nEditorSelection = index;
}

void UpdateButtons(HWND dialog, int selection)
{
    ListButtonStates states = ListButtons(g_editorModel.Count(), selection);
    EnableWindow(GetDlgItem(dialog, IDC_LIST_DELETE), states.remove);
    EnableWindow(GetDlgItem(dialog, IDC_LIST_REPLACE), states.replace);
    EnableWindow(GetDlgItem(dialog, IDC_LIST_UP), states.up);
    EnableWindow(GetDlgItem(dialog, IDC_LIST_DOWN), states.down);
}

void OnSelectionChange(HWND dialog)
{
    int selection = ViewSelection(dialog);
    g_editorModel.SetSelection(selection);
    if (g_editorModel.NoteSelection(selection)) {
        ListRow texts = g_editorModel.TextsFor(selection);
        for (int i = 0; i < 3; ++i) {
            SetDlgItemTextW(dialog, kFieldIds[i], texts[i].c_str());
        }
        UpdateButtons(dialog, selection);
    }
}

// Shows the model's rows and selection after a change.
void ShowChange(HWND dialog)
{
    FillList(dialog);
    SelectItem(dialog, g_editorModel.Selection());
    OnSelectionChange(dialog);
}

ListRow ReadEdits(HWND dialog)
{
    ListRow texts;
    wchar_t buffer[kFieldLimit + 1];
    for (int i = 0; i < 3; ++i) {
        buffer[0] = L'\0';
        GetDlgItemTextW(dialog, kFieldIds[i], buffer, kFieldLimit + 1);
        texts[i] = buffer;
    }
    return texts;
}

// False (with the warning shown) when a text holds the settings file's delimiter.
bool CheckDelimiter(HWND dialog, const ListRow& texts)
{
    if (!ContainsListDelimiter(texts)) {
        return true;
    }
    ShowWarningBox(dialog, ListDelimiterWarning(), MB_ICONERROR);
    return false;
}

void StoreList(HWND dialog)
{
    if (g_editorModel.Count() == 0) {
        // An emptied list is not taken over; the caller keeps its entries and index.
        g_nEditorSelection = -1;
        return;
    }
    g_editorList = g_editorModel.BuildEntries(g_nEditorKind);
    g_nEditorSelection = ViewSelection(dialog);
}

void Browse(HWND dialog)
{
    wchar_t input[kFieldLimit] = {};
    GetDlgItemTextW(dialog, IDC_LIST_FIELD1, input, kFieldLimit);
    FileRequest request;
    PrepareFileRequest(&request, dialog, input, Text(IDS_CHOOSER_BROWSER), ProgramFileFilter(), kOpenFileFlags);
    if (ShowOpenFileDialog(&request.record) != 0) {
        SetDlgItemTextW(dialog, IDC_LIST_FIELD1, request.file);
    }
}

void OnButton(HWND dialog, int id)
{
    g_editorModel.SetSelection(ViewSelection(dialog));
    switch (id) {
    case IDC_LIST_ADD: {
        ListRow texts = ReadEdits(dialog);
        if (CheckDelimiter(dialog, texts) && g_editorModel.Add(texts)) {
            ShowChange(dialog);
        }
        break;
    }
    case IDC_LIST_DELETE:
        if (g_editorModel.Remove()) {
            // The edits follow the entry that takes the deleted one's place, or empty.
            g_editorModel.InvalidateShownSelection();
            ShowChange(dialog);
            if (g_editorModel.Count() == 0) {
                g_nEditorSelection = -1;
            }
        }
        break;
    case IDC_LIST_REPLACE:
        if (g_editorModel.Selection() >= 0) {
            ListRow texts = ReadEdits(dialog);
            if (CheckDelimiter(dialog, texts) && g_editorModel.Replace(texts)) {
                ShowChange(dialog);
            }
        }
        break;
    case IDC_LIST_UP:
        if (g_editorModel.MoveUp()) {
            ShowChange(dialog);
        }
        break;
    case IDC_LIST_DOWN:
        if (g_editorModel.MoveDown()) {
            ShowChange(dialog);
        }
        break;
    case IDC_LIST_BROWSE:
        Browse(dialog);
        break;
    }
}

// The caption shows the program's icon rather than the system's default for a dialog with a
// system menu. Shared icons: the system frees them.
void ShowProgramIcon(HWND dialog)
{
    const struct
    {
        WPARAM which;
        int width, height;
    } icons[] = {{ICON_SMALL, SM_CXSMICON, SM_CYSMICON}, {ICON_BIG, SM_CXICON, SM_CYICON}};
    for (const auto& icon : icons) {
        HANDLE image = LoadImageW(g_hEditorInstance, MAKEINTRESOURCEW(IDI_TAVRIN), IMAGE_ICON,
                                  GetSystemMetrics(icon.width), GetSystemMetrics(icon.height), LR_SHARED);
        if (image != nullptr) {
            SendMessageW(dialog, WM_SETICON, icon.which, reinterpret_cast<LPARAM>(image));
        }
    }
}

void OnInitDialog(HWND dialog)
{
    ShowProgramIcon(dialog);
    g_editorModel.Load(g_editorList);
    // Filling the list may send no item-changed notification: the first selection must
    // fill the edits.
    g_editorModel.ForgetShownSelection();
    g_editorColumns.clear();
    g_bLabelsFromColumns = false;
    SetUpFullScreenDialog(dialog);
    PrepareControls(dialog);
    FillList(dialog);
    int selection = g_nEditorSelection;
    if (selection < g_editorModel.Count()) {
        SelectItem(dialog, selection);
    }
    OnSelectionChange(dialog);
    UpdateButtons(dialog, ViewSelection(dialog));
}

} // namespace

void ResetListEditor()
{
    g_hEditorOwner = nullptr;
    g_hEditorInstance = nullptr;
    g_nEditorSelection = 0;
    g_nEditorKind = LIST_KIND_URL;
}

INT_PTR RunListEditor(HINSTANCE instance, HWND owner, const std::vector<CListEntry>& list, int kind, int initialIndex)
{
    // The list view's library is loaded here, at the first opening, not at start-up.
    if (!RequireSystemLibraries(kCommonControlsLibrary, owner)) {
        return 2;
    }
    g_hEditorInstance = instance;
    g_hEditorOwner = owner;
    g_editorList = list;
    g_nEditorKind = kind;
    g_nEditorSelection = list.empty() ? -1 : (initialIndex < 0 ? 0 : initialIndex);

    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&controls);
    INT_PTR result = RunDialogFromTemplate(instance, IDD_LIST_EDITOR, owner, ListEditorDlgProc);
    return result == -1 ? 2 : result;
}

bool GetEditedList(std::vector<CListEntry>& list)
{
    list = g_editorList;
    return true;
}

INT_PTR CALLBACK ListEditorDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        OnInitDialog(dialog);
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK:
            StoreList(dialog);
            PostMessageW(dialog, WM_CLOSE, wParam, lParam);
            return FALSE;
        case IDCANCEL:
            PostMessageW(dialog, WM_CLOSE, wParam, lParam);
            return TRUE;
        case IDC_LIST_ADD:
        case IDC_LIST_DELETE:
        case IDC_LIST_REPLACE:
        case IDC_LIST_UP:
        case IDC_LIST_DOWN:
        case IDC_LIST_BROWSE:
            OnButton(dialog, LOWORD(wParam));
            return FALSE;
        }
        return FALSE;
    case WM_NOTIFY: {
        auto header = reinterpret_cast<const NMHDR*>(lParam);
        if (header->idFrom == IDC_LIST && header->code == LVN_ITEMCHANGED && !g_bFillingList) {
            OnSelectionChange(dialog);
        }
        return FALSE;
    }
    case WM_CLOSE:
        EndDialog(dialog, LOWORD(wParam));
        return TRUE;
    case WM_SIZE:
        // Controls go back to their template places when the screen turns.
        RelayoutFromTemplate(g_hEditorInstance, dialog, IDD_LIST_EDITOR);
        ApplyKindLayout(dialog);
        return FALSE;
    default:
        return FALSE;
    }
}
