#pragma once

#include <string>

// Platform libraries that no first paint needs: each is loaded when a command first uses
// it, from the system folder only. Flags, so that a command can name all it needs at once.
enum SystemLibrary : unsigned
{
    kInternetLibrary = 1u,       // wininet.dll: the location lookup
    kCommonDialogsLibrary = 2u,  // comdlg32.dll: the platform's open and save dialogs
    kShellLibrary = 4u,          // shell32.dll: starting the browser
    kCommonControlsLibrary = 8u, // comctl32.dll: the list editor's list view
};

// The library's file name; null for anything but a single flag.
const wchar_t* SystemLibraryFile(unsigned library);

// What the user is told when the library cannot be loaded ("Error" box), for example
// "LoadLibraryEx(wininet.dll) Failed. (0x0000007e)".
std::wstring SystemLibraryFailureText(unsigned library, unsigned long error);
