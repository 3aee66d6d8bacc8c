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
void SetProgressText(HWND dialog, const wchar_t* caption, const std::wstring& text);

// The about box (templates 105 and 106).
INT_PTR CALLBACK AboutDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
