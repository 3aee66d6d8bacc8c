#pragma once

#include "settings/list_entry.h"

#include <windows.h>

#include <vector>

// The list editor dialog (template 131) for the URL list (kind 0) or the browser list (kind 1).
extern int g_nEditorSelection;
extern std::vector<CListEntry> g_editorList;

void ResetListEditor();
// 1 when closed with OK, 2 on cancel or when the list view's library cannot be loaded.
INT_PTR RunListEditor(HINSTANCE instance, HWND owner, const std::vector<CListEntry>& list, int kind, int initialIndex);
bool GetEditedList(std::vector<CListEntry>& list);
INT_PTR CALLBACK ListEditorDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
