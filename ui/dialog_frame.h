#pragma once

#include <windows.h>

#include <string>

// Full-screen set-up of a dialog through the shell (done button, full-screen size, input
// panel down, empty menu bar). Every dialog calls it first in WM_INITDIALOG. With `softKeys`,
// the soft-key bar resource of that id takes the empty bar's place; its keys' commands go to
// the dialog. Null when there is no such bar.
HWND SetUpFullScreenDialog(HWND dialog, UINT softKeys = 0);

// Moves every control of `dialog` back to where dialog template `templateId` of `instance`
// puts it (one deferred batch) and re-applies texts, images and list selections.
// True when every control was found and moved.
bool RelayoutFromTemplate(HINSTANCE instance, HWND dialog, WORD templateId);

// Re-applies one template item's content to its control: the text of a button or static,
// a freshly loaded icon or bitmap, the current selection of a list or combo box.
struct TemplateItem;
void ReapplyControlContent(HINSTANCE instance, HWND dialog, const TemplateItem& item);

// The bytes of dialog template `id` of `instance`, or null; `size` receives their count.
const void* FindDialogTemplate(HINSTANCE instance, WORD id, DWORD* size);

// Runs dialog template `id` of `instance` modally, `param` reaching WM_INITDIALOG; -1 when
// it is missing or cannot run.
INT_PTR RunDialogFromTemplate(HINSTANCE instance, WORD id, HWND owner, DLGPROC proc, LPARAM param = 0);

// Dresses a progress dialog (template 130): its caption, and its text wrapped in the box and
// shown from its start (caret at 0).
void SetProgressText(HWND dialog, const std::wstring& caption, const std::wstring& text);

// The owner of a wait's dialog, disabled while the wait runs so that no second command starts.
// Disabling takes the keyboard focus from its control; Restore enables it again and, when no
// dialog of the wait was shown (nothing took the activation), gives that control its focus back.
class COwnerDisabled
{
public:
    explicit COwnerDisabled(HWND owner);
    COwnerDisabled(const COwnerDisabled&) = delete;
    COwnerDisabled& operator=(const COwnerDisabled&) = delete;
    void Restore(bool dialogShown);

private:
    HWND m_owner = nullptr;
    HWND m_focus = nullptr;
    bool m_disabled = false;
};

// The about box (templates 105 and 106).
INT_PTR CALLBACK AboutDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
