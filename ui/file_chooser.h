#pragma once

#include <windows.h>

#include <commdlg.h>

#include <string>

// The open and save choosers: gsgetfile.dll when it is present beside the program or in the
// system folder (loaded per call, never from the current folder), else the platform's
// dialogs. Nonzero when the user chose a file; lpstrFile then holds its full path.
int ShowOpenFileDialog(OPENFILENAMEW* request);
int ShowSaveFileDialog(OPENFILENAMEW* request);

// One request with its own buffers: the chosen file (seeded with the initial name), the
// initial folder (260 wide characters each), the title and the filter list.
struct FileRequest
{
    OPENFILENAMEW record;
    wchar_t file[260];
    wchar_t folder[260];
    std::wstring title;
    std::wstring filter;
};

// Filter lists: label and pattern pairs, each ended by a NUL, the list by an extra NUL. The
// string table keeps each with "|" in place of the NULs, which an entry cannot hold.
std::wstring SettingsFileFilter();
std::wstring ProgramFileFilter();
const DWORD kOpenFileFlags = OFN_FILEMUSTEXIST | OFN_HIDEREADONLY;
const DWORD kSaveFileFlags = OFN_FILEMUSTEXIST | OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT;

// Empties `request` and fills it: the first filter preselected, folder and name split from
// `currentPath` (both left empty when it has 260 characters or more).
void PrepareFileRequest(FileRequest* request, HWND owner, const wchar_t* currentPath, const std::wstring& title,
                        const std::wstring& filter, DWORD flags);
