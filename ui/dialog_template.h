// Builds real child controls of any window from a dialog template, and gives them Tab
// navigation without a dialog manager.
#pragma once

#include <windows.h>

#include "ui/dialog_template_parser.h"

#include <cstdint>
#include <vector>

struct ControlEntry
{
    WORD id;
    WORD windowClass; // predefined-class ordinal, 0x80..0x85
    HWND window;
    WNDPROC previousProc; // where messages go on
    HWND innerWindow;     // a combo box's first child; null otherwise
};

// The main window's controls in template order, from start-up to exit.
extern std::vector<ControlEntry> g_controlList;

class CDialogTemplate
{
public:
    // True when the resource was found, loaded, copied and parsed.
    bool LoadTemplate(HINSTANCE instance, WORD id);
    // Creates the template's controls as children of `parent`, drawn in the template's font
    // (kept for the life of the process); refills `list` when given.
    // False (nothing created, no list touched) when the template cannot be read.
    bool CreateControls(HINSTANCE instance, HWND parent, WORD id, std::vector<ControlEntry>* list);

    const DialogTemplateData& Data() const { return m_data; }

private:
    std::vector<uint8_t> m_copy; // the resource plus 64 zero bytes
    size_t m_size = 0;
    DialogTemplateData m_data;
};

// Dialog units to pixels with the base units of `typeface` at `pointSize` on the screen.
PixelPair DialogUnitsToPixels(const wchar_t* typeface, int pointSize, int h, int v);

// Builds template 129 into the main window, enables it, subclasses the focusable controls
// and focuses the URL list.
void CreateMainWindowControls(HWND window);
void EnableMainControls(HWND window);
LRESULT CALLBACK ControlSubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
