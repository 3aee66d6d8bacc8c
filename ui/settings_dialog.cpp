#include "ui/settings_dialog.h"

#include "acquisition/port_list_win.h"
#include "common/message_box.h"
#include "common/worker_task.h"
#include "resources/resource.h"
#include "ui/dialog_frame.h"
#include "ui/port_search_dialog.h"
#include "ui/settings_form.h"

#include <memory>
#include <string>
#include <vector>

namespace {

// What the open screen works with; it travels with the dialog (its user data).
struct SettingsScreen
{
    HINSTANCE instance = nullptr;
    CSettings* record = nullptr;
    SettingsForm shown; // the fields as the screen opened
    std::vector<PortChoice> ports;
    std::shared_ptr<std::vector<FoundPort>> found = std::make_shared<std::vector<FoundPort>>();
    std::shared_ptr<CWorkerTask> listing;
    bool searchAtOnce = false;
};

SettingsScreen* ScreenOf(HWND dialog)
{
    return reinterpret_cast<SettingsScreen*>(GetWindowLongPtrW(dialog, GWLP_USERDATA));
}

std::wstring TextOf(HWND dialog, int id)
{
    HWND control = GetDlgItem(dialog, id);
    const int length = GetWindowTextLengthW(control);
    std::wstring text(static_cast<size_t>(length > 0 ? length : 0) + 1, L'\0');
    const int got = GetWindowTextW(control, &text[0], static_cast<int>(text.size()));
    text.resize(got > 0 ? static_cast<size_t>(got) : 0);
    return text;
}

int ControlOf(FormField field)
{
    switch (field) {
    case FormField::Module:
        return IDC_SET_MODULE;
    case FormField::Port:
        return IDC_SET_PORT;
    case FormField::Speed:
        return IDC_SET_SPEED;
    case FormField::FixWait:
        return IDC_SET_FIXWAIT;
    case FormField::ConnectWait:
        return IDC_SET_CONNECTWAIT;
    case FormField::LookupCache:
        return IDC_SET_CACHE;
    case FormField::ServiceUrl:
        return IDC_SET_SERVICE;
    case FormField::GeolocateUrl:
        break;
    }
    return IDC_SET_GEOLOCATE;
}

void FillCombo(HWND dialog, int id, const std::vector<std::wstring>& items)
{
    HWND combo = GetDlgItem(dialog, id);
    SendMessageW(combo, CB_RESETCONTENT, 0, 0);
    for (const std::wstring& item : items) {
        SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
    }
}

// An editable combo box shows `text`: its row when it has one, so that the list opens there.
void ShowComboText(HWND dialog, int id, const std::wstring& text)
{
    HWND combo = GetDlgItem(dialog, id);
    const LRESULT row =
        SendMessageW(combo, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(text.c_str()));
    if (row != CB_ERR && TextOf(dialog, id) != text) {
        SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(row), 0);
    }
    // A row found without regard to case still shows the text as it is.
    SetWindowTextW(combo, text.c_str());
}

void ShowForm(HWND dialog, const SettingsForm& form)
{
    SendDlgItemMessageW(dialog, IDC_SET_MODULE, CB_SETCURSEL, static_cast<WPARAM>(form.module), 0);
    ShowComboText(dialog, IDC_SET_PORT, form.port);
    ShowComboText(dialog, IDC_SET_SPEED, form.speed);
    SetDlgItemTextW(dialog, IDC_SET_FIXWAIT, form.fixWait.c_str());
    SetDlgItemTextW(dialog, IDC_SET_CONNECTWAIT, form.connectWait.c_str());
    CheckDlgButton(dialog, IDC_SET_CACHE, form.lookupCache ? BST_CHECKED : BST_UNCHECKED);
    SetDlgItemTextW(dialog, IDC_SET_SERVICE, form.serviceUrl.c_str());
    SetDlgItemTextW(dialog, IDC_SET_GEOLOCATE, form.geolocateUrl.c_str());
}

SettingsForm ReadForm(HWND dialog)
{
    SettingsForm form;
    const LRESULT module = SendDlgItemMessageW(dialog, IDC_SET_MODULE, CB_GETCURSEL, 0, 0);
    form.module = module == 1 ? ModuleKind::Nmea : module == 2 ? ModuleKind::Modem : ModuleKind::WSim;
    form.port = TextOf(dialog, IDC_SET_PORT);
    form.speed = TextOf(dialog, IDC_SET_SPEED);
    form.fixWait = TextOf(dialog, IDC_SET_FIXWAIT);
    form.connectWait = TextOf(dialog, IDC_SET_CONNECTWAIT);
    form.lookupCache = IsDlgButtonChecked(dialog, IDC_SET_CACHE) == BST_CHECKED;
    form.serviceUrl = TextOf(dialog, IDC_SET_SERVICE);
    form.geolocateUrl = TextOf(dialog, IDC_SET_GEOLOCATE);
    return form;
}

// The ports found go into the drop-down; what the field holds stays, shown as its row when
// it names a port of the list and the user has not typed since the screen opened.
void ShowPorts(HWND dialog, SettingsScreen& screen)
{
    screen.ports = MergePorts(*screen.found);
    const std::wstring text = TextOf(dialog, IDC_SET_PORT);
    FillCombo(dialog, IDC_SET_PORT, PortFieldRows(screen.ports));
    EnableWindow(GetDlgItem(dialog, IDC_SET_SEARCH), TRUE);
    if (screen.searchAtOnce) {
        screen.searchAtOnce = false;
        PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_SET_SEARCH, BN_CLICKED), 0);
    }
    const int row = PortChoiceOf(text, screen.ports);
    if (text == screen.shown.port && row >= 0 && screen.ports[static_cast<size_t>(row)].setting == text) {
        SendDlgItemMessageW(dialog, IDC_SET_PORT, CB_SETCURSEL, static_cast<WPARAM>(row), 0);
    } else {
        SetDlgItemTextW(dialog, IDC_SET_PORT, text.c_str());
    }
}

void OnInitDialog(HWND dialog, SettingsScreen& screen)
{
    SetWindowLongPtrW(dialog, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&screen));
    SetUpFullScreenDialog(dialog, IDR_SETTINGS_MENUBAR);
    FillCombo(dialog, IDC_SET_MODULE, ModuleChoices());
    FillCombo(dialog, IDC_SET_SPEED, SpeedChoices());
    FillCombo(dialog, IDC_SET_PORT, PortFieldRows(screen.ports)); // the network's until the ports are listed
    screen.shown = FormFromRecord(*screen.record, screen.ports);
    ShowForm(dialog, screen.shown);
    // The device manager may take its time: the ports are listed beside the screen, which
    // meanwhile takes a port typed in.
    auto found = screen.found;
    screen.listing =
        CWorkerTask::Start(dialog, WM_TAVRIN_TASK_DONE, [found](const CWorkerTask&) { *found = FindSerialPorts(); });
}

void OnOk(HWND dialog, SettingsScreen& screen)
{
    const SettingsForm form = ReadForm(dialog);
    FormRefusal refusal;
    if (!CheckForm(form, screen.ports, refusal)) {
        ShowMessageBox(dialog, refusal.reason, L"警告", MB_OK | MB_ICONEXCLAMATION);
        // The field in question, its text selected for typing over.
        HWND control = GetDlgItem(dialog, ControlOf(refusal.field));
        SendMessageW(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(control), TRUE);
        SendMessageW(control, CB_SETEDITSEL, 0, MAKELPARAM(0, -1));
        return;
    }
    ApplyForm(screen.shown, form, screen.ports, *screen.record);
    EndDialog(dialog, IDOK);
}

// The port search over the ports listed; the row chosen goes into the fields, the others keep
// what was typed.
void OnSearch(HWND dialog, SettingsScreen& screen)
{
    std::vector<std::wstring> ports;
    for (const PortChoice& port : screen.ports) {
        ports.push_back(port.setting);
    }
    SearchChoice choice;
    if (!RunPortSearch(screen.instance, dialog, ports, choice)) {
        return;
    }
    SettingsForm form = ReadForm(dialog);
    TakeSearchChoice(choice, screen.ports, form);
    ShowForm(dialog, form);
}

void OnSize(HWND dialog, SettingsScreen& screen)
{
    // The editable fields keep what was typed: the re-layout puts the lists' rows back.
    const std::wstring port = TextOf(dialog, IDC_SET_PORT);
    const std::wstring speed = TextOf(dialog, IDC_SET_SPEED);
    const bool wide = GetSystemMetrics(SM_CXSCREEN) >= GetSystemMetrics(SM_CYSCREEN);
    RelayoutFromTemplate(screen.instance, dialog, wide ? IDD_SETTINGS_WIDE : IDD_SETTINGS);
    SetDlgItemTextW(dialog, IDC_SET_PORT, port.c_str());
    SetDlgItemTextW(dialog, IDC_SET_SPEED, speed.c_str());
}

} // namespace

bool RunSettingsDialog(HINSTANCE instance, HWND owner, CSettings& record, bool searchAtOnce)
{
    SettingsScreen screen;
    screen.instance = instance;
    screen.record = &record;
    screen.searchAtOnce = searchAtOnce;
    const INT_PTR result =
        RunDialogFromTemplate(instance, IDD_SETTINGS, owner, SettingsDlgProc, reinterpret_cast<LPARAM>(&screen));
    if (screen.listing) {
        screen.listing->Abandon();
    }
    return result == IDOK;
}

INT_PTR CALLBACK SettingsDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    SettingsScreen* screen = message == WM_INITDIALOG ? reinterpret_cast<SettingsScreen*>(lParam) : ScreenOf(dialog);
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
            OnOk(dialog, *screen);
            return TRUE;
        case IDCANCEL:
            EndDialog(dialog, IDCANCEL);
            return TRUE;
        case IDC_SET_SEARCH:
            OnSearch(dialog, *screen);
            return TRUE;
        default:
            return FALSE;
        }
    case WM_CLOSE:
        EndDialog(dialog, IDCANCEL);
        return TRUE;
    case WM_TAVRIN_TASK_DONE:
        if (screen->listing && screen->listing->Is(lParam)) {
            ShowPorts(dialog, *screen);
        }
        return TRUE;
    case WM_SIZE:
        OnSize(dialog, *screen);
        return FALSE;
    default:
        return FALSE;
    }
}
