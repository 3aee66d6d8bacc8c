// Reader of the standard in-memory dialog template (the layout the resource compiler
// writes), and the dialog-unit arithmetic. No platform headers: built natively too.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// A variable-length field: 0xFFFF plus an ordinal, or a zero-terminated UTF-16 text.
struct TemplateField
{
    bool isOrdinal = false;
    uint16_t ordinal = 0;
    std::wstring text;
};

struct TemplateItem
{
    uint32_t style = 0;
    uint32_t exStyle = 0;
    int16_t x = 0, y = 0, cx = 0, cy = 0;
    uint16_t id = 0;
    TemplateField windowClass;
    TemplateField title;
    size_t offset = 0;          // where the item starts in the template
    uint16_t creationBytes = 0; // creation data, its count word included; 0 for none
};

struct DialogTemplateData
{
    uint32_t style = 0;
    uint32_t exStyle = 0;
    uint16_t itemCount = 0;
    int16_t x = 0, y = 0, cx = 0, cy = 0;
    TemplateField menu;
    TemplateField windowClass;
    TemplateField caption;
    bool hasFont = false; // style bit 0x40
    uint16_t pointSize = 0;
    std::wstring typeface;
    size_t headerEnd = 0; // first byte after the header's last field
    std::vector<TemplateItem> items;
};

// Parses `size` bytes. False, with `out` unspecified, when any field would be read past
// the end, a text is unterminated, or the template is of the extended kind.
bool ParseDialogTemplate(const uint8_t* data, size_t size, DialogTemplateData* out);

// Class name of a predefined control ordinal (0x80..0x85); nullptr for any other.
const wchar_t* PredefinedClassName(uint16_t ordinal);

// The platform's MulDiv: a * b / c in 64 bits, rounded to nearest (halves away from zero);
// -1 when c is 0 or the result does not fit in an int.
int MulDivRound(int a, int b, int c);

// Horizontal base unit from the measured width of "A..Za..z": the average character
// width rounded to the nearest pixel.
int HorizontalBaseUnit(int alphabetWidth);

struct PixelPair
{
    int x;
    int y;
};

// Dialog units to pixels with the given base units (x: h * baseX / 4, y: v * baseY / 8).
PixelPair ScaleDialogUnits(int h, int v, int baseX, int baseY);
