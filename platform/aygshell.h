// Desktop stand-in for the Pocket PC shell calls the program makes: extra control classes,
// the soft-key menu bar, full-screen dialogs with a done button, and the activation and
// setting-change handlers. Records keep the handheld's names and members; their sizes are
// the desktop's (pointers are 64 bits wide here), so callers fill cbSize with sizeof.
#pragma once

#include <windows.h>

struct SHMENUBARINFO
{
    DWORD cbSize;
    HWND hwndParent;
    DWORD dwFlags;
    UINT nToolBarId; // RCDATA soft-key bar resource, built on the menu it names
    HINSTANCE hInstRes;
    int nBmpId;
    int cBmpImages;
    HWND hwndMB; // out: the bar
    COLORREF clrBk;
};
using PSHMENUBARINFO = SHMENUBARINFO*;

struct SHINITDLGINFO
{
    DWORD dwMask;
    HWND hDlg;
    DWORD dwFlags;
};
using PSHINITDLGINFO = SHINITDLGINFO*;

#define SHIDIM_FLAGS 0x0001
#define SHIDIF_DONEBUTTON 0x0001
#define SHIDIF_SIZEDLG 0x0002
#define SHIDIF_SIZEDLGFULLSCREEN 0x0004
#define SHIDIF_SIPDOWN 0x0008
#define SHIDIF_FULLSCREENNOMENUBAR 0x0010
#define SHIDIF_EMPTYMENU 0x0020

struct SHACTIVATEINFO
{
    DWORD cbSize;
    HWND hwndLastFocus;
    UINT fSipUp : 1;
    UINT fSipOnDeactivation : 1;
    UINT fActive : 1;
    UINT fReserved : 29;
};

// Window class of the soft-key bar (the handheld shell's own name for it).
#define SH_MENUBAR_CLASS L"menu_worker"

BOOL SHInitExtraControls();
BOOL SHCreateMenuBar(SHMENUBARINFO* info);
BOOL SHInitDialog(SHINITDLGINFO* info);
BOOL SHHandleWMActivate(HWND window, WPARAM wParam, LPARAM lParam, SHACTIVATEINFO* info, DWORD flags);
BOOL SHHandleWMSettingChange(HWND window, WPARAM wParam, LPARAM lParam, SHACTIVATEINFO* info);

// Desktop-only helpers.
// The handheld gives a default-sized top-level window the whole work area; the desktop
// does not, so start-up moves the main window there itself, above `bar` (a soft-key bar at the
// bottom of the work area) when there is one, in one move.
void SHMoveToWorkArea(HWND window, HWND bar = nullptr);
// Height in pixels of a soft-key bar on this screen (26 logical pixels, scaled by the dpi).
int SHMenuBarHeight();
// Screen rectangle of soft key `index` (0 left, 1 right) of a bar made by SHCreateMenuBar.
bool SHMenuBarButtonRect(HWND bar, int index, RECT* rect);
// Text of soft key `index`, empty when there is no such key.
bool SHMenuBarButtonText(HWND bar, int index, wchar_t* text, int size);
// Screen rectangle of the done button that SHInitDialog drew into a dialog's caption.
bool SHDoneButtonRect(HWND dialog, RECT* rect);
