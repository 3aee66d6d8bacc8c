#pragma once

#include <windows.h>

#include <commdlg.h>

// The open and save choosers: gsgetfile.dll when it is present (loaded per call), else the
// platform's dialogs. Nonzero when the user chose a file; lpstrFile then holds its full path.
int ShowOpenFileDialog(OPENFILENAMEW* request);
int ShowSaveFileDialog(OPENFILENAMEW* request);
