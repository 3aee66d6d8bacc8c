#include "ui/dialog_frame.h"

#include "platform/aygshell.h"
#include "resources/resource.h"
#include "ui/dialog_template_parser.h"
#include "ui/line_breaks.h"

namespace {

// The progress text wraps between phrases (ui/line_breaks.h), not inside a word.
int CALLBACK PhraseBreakProc(LPWSTR text, int at, int length, int code)
{
    const std::wstring_view line(text, length > 0 ? static_cast<std::size_t>(length) : 0);
    const std::size_t from = at > 0 ? static_cast<std::size_t>(at) : 0;
    switch (code) {
    case WB_LEFT:
        return static_cast<int>(PreviousLineStart(line, from));
    case WB_RIGHT:
        return static_cast<int>(NextLineStart(line, from));
    case WB_ISDELIMITER:
        return from < line.size() && (line[from] == L' ' || line[from] == L'\u3000');
    default:
        return 0;
    }
}

// Loads dialog template `id` of `instance` and parses it.
bool ReadTemplate(HINSTANCE instance, WORD id, DialogTemplateData* out)
{
    DWORD size = 0;
    const void* bytes = FindDialogTemplate(instance, id, &size);
    return bytes != nullptr && ParseDialogTemplate(static_cast<const uint8_t*>(bytes), size, out);
}

// Swaps a static's or button's image for a fresh one of `ordinal`, freeing the old one. An
// icon comes at the screen's icon size (64 pixels on a 192-dpi screen), as the dialog made it.
void ReloadImage(HINSTANCE instance, HWND control, WORD ordinal, UINT imageType)
{
    HANDLE fresh =
        LoadImageW(instance, MAKEINTRESOURCEW(ordinal), imageType, 0, 0, imageType == IMAGE_ICON ? LR_DEFAULTSIZE : 0);
    if (fresh == nullptr) {
        return;
    }
    HANDLE old = reinterpret_cast<HANDLE>(SendMessageW(control, STM_GETIMAGE, imageType, 0));
    SendMessageW(control, STM_SETIMAGE, imageType, reinterpret_cast<LPARAM>(fresh));
    if (old != nullptr && old != fresh) {
        if (imageType == IMAGE_ICON) {
            DestroyIcon(static_cast<HICON>(old));
        } else {
            DeleteObject(old);
        }
    }
}

} // namespace

const void* FindDialogTemplate(HINSTANCE instance, WORD id, DWORD* size)
{
    HRSRC found = FindResourceW(instance, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(5)); // RT_DIALOG
    HGLOBAL loaded = found ? LoadResource(instance, found) : nullptr;
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    if (size != nullptr) {
        *size = bytes ? SizeofResource(instance, found) : 0;
    }
    return bytes;
}

INT_PTR RunDialogFromTemplate(HINSTANCE instance, WORD id, HWND owner, DLGPROC proc, LPARAM param)
{
    auto* dialogTemplate = static_cast<const DLGTEMPLATE*>(FindDialogTemplate(instance, id, nullptr));
    if (dialogTemplate == nullptr) {
        return -1;
    }
    return DialogBoxIndirectParamW(instance, dialogTemplate, owner, proc, param);
}

void SetProgressText(HWND dialog, const std::wstring& caption, const std::wstring& text)
{
    SetWindowTextW(dialog, caption.c_str());
    HWND edit = GetDlgItem(dialog, IDC_PROGRESS_TEXT);
    SendMessageW(edit, EM_SETWORDBREAKPROC, 0, reinterpret_cast<LPARAM>(PhraseBreakProc));
    SetWindowTextW(edit, text.c_str());
    // The sentence is read from its start; a text longer than the box wraps and scrolls down.
    SendMessageW(edit, EM_SETSEL, 0, 0);
    SendMessageW(edit, EM_SCROLLCARET, 0, 0);
}

void ReapplyControlContent(HINSTANCE instance, HWND dialog, const TemplateItem& item)
{
    if (!item.windowClass.isOrdinal) {
        return;
    }
    HWND control = GetDlgItem(dialog, item.id);
    if (control == nullptr) {
        return;
    }
    switch (item.windowClass.ordinal) {
    case 0x80: // button
    case 0x82: // static
        if (!item.title.isOrdinal) {
            SetWindowTextW(control, item.title.text.c_str());
        } else if ((item.style & 3) == 3) {
            ReloadImage(instance, control, item.title.ordinal, IMAGE_ICON);
        } else if ((item.style & 0x0E) == 0x0E) {
            ReloadImage(instance, control, item.title.ordinal, IMAGE_BITMAP);
        }
        break;
    case 0x83: { // list box
        LRESULT selection = SendMessageW(control, LB_GETCURSEL, 0, 0);
        if (selection != LB_ERR) {
            SendMessageW(control, LB_SETCURSEL, static_cast<WPARAM>(selection), 0);
        }
        break;
    }
    case 0x85: { // combo box
        LRESULT selection = SendMessageW(control, CB_GETCURSEL, 0, 0);
        if (selection != CB_ERR) {
            SendMessageW(control, CB_SETCURSEL, static_cast<WPARAM>(selection), 0);
        }
        break;
    }
    default:
        break;
    }
}

HWND SetUpFullScreenDialog(HWND dialog, UINT softKeys)
{
    SHINITDLGINFO info{};
    info.dwMask = SHIDIM_FLAGS;
    info.hDlg = dialog;
    info.dwFlags =
        SHIDIF_DONEBUTTON | SHIDIF_SIZEDLGFULLSCREEN | SHIDIF_SIPDOWN | (softKeys == 0 ? SHIDIF_EMPTYMENU : 0);
    SHInitDialog(&info);
    if (softKeys == 0) {
        return nullptr;
    }
    SHMENUBARINFO bar{};
    bar.cbSize = sizeof(bar);
    bar.hwndParent = dialog;
    bar.nToolBarId = softKeys;
    bar.hInstRes = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(dialog, GWLP_HINSTANCE));
    return SHCreateMenuBar(&bar) ? bar.hwndMB : nullptr;
}

bool RelayoutFromTemplate(HINSTANCE instance, HWND dialog, WORD templateId)
{
    DialogTemplateData data;
    if (!ReadTemplate(instance, templateId, &data)) {
        return false;
    }
    HDWP batch = BeginDeferWindowPos(static_cast<int>(data.items.size()));
    if (batch == nullptr) {
        return false;
    }
    bool result = true;
    int unnamed = 0;
    for (const TemplateItem& item : data.items) {
        HWND control = GetDlgItem(dialog, item.id);
        RECT rect{item.x, item.y, item.x + item.cx, item.y + item.cy};
        if (control == nullptr || !MapDialogRect(dialog, &rect)) {
            // Later items keep their places.
            result = false;
            break;
        }
        HDWP next = DeferWindowPos(batch, control, nullptr, rect.left, rect.top, rect.right - rect.left,
                                   rect.bottom - rect.top, SWP_NOZORDER);
        if (next == nullptr) {
            // The batch is gone; start another so the remaining controls still move.
            result = false;
            next = BeginDeferWindowPos(1);
            if (next == nullptr) {
                return false;
            }
        }
        batch = next;
        ReapplyControlContent(instance, dialog, item);
        if (item.id == 0xFFFF) {
            ++unnamed;
        }
    }
    if (!EndDeferWindowPos(batch)) {
        result = false;
    }
    return unnamed < 2 && result;
}

INT_PTR CALLBACK AboutDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        SetUpFullScreenDialog(dialog);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK) {
            EndDialog(dialog, IDOK);
            return TRUE;
        }
        return FALSE;
    case WM_CLOSE:
        EndDialog(dialog, IDCANCEL);
        return TRUE;
    case WM_SIZE: {
        int width = GetSystemMetrics(SM_CXSCREEN);
        int height = GetSystemMetrics(SM_CYSCREEN);
        RelayoutFromTemplate(reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(dialog, GWLP_HINSTANCE)), dialog,
                             height <= width ? IDD_ABOUT_WIDE : IDD_ABOUT);
        return FALSE;
    }
    default:
        return FALSE;
    }
}

COwnerDisabled::COwnerDisabled(HWND owner) : m_owner(owner)
{
    if (owner != nullptr && IsWindowEnabled(owner)) {
        m_focus = GetFocus();
        EnableWindow(owner, FALSE);
        m_disabled = true;
    }
}

void COwnerDisabled::Restore(bool dialogShown)
{
    if (!m_disabled) {
        return;
    }
    m_disabled = false;
    if (!IsWindow(m_owner)) {
        return;
    }
    // Enabled before the dialog goes, so that it is activated again.
    EnableWindow(m_owner, TRUE);
    if (!dialogShown && m_focus != nullptr && IsWindow(m_focus) && GetFocus() == nullptr &&
        GetActiveWindow() == m_owner) {
        SetFocus(m_focus);
    }
}
