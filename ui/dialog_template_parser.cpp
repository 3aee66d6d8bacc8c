#include "ui/dialog_template_parser.h"

#include <climits>

namespace {

class Reader
{
public:
    Reader(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}

    size_t Pos() const { return m_pos; }
    bool Has(size_t n) const { return m_pos <= m_size && n <= m_size - m_pos; }

    bool AlignTo4()
    {
        size_t aligned = (m_pos + 3) & ~static_cast<size_t>(3);
        if (aligned > m_size) {
            return false;
        }
        m_pos = aligned;
        return true;
    }

    bool Skip(size_t n)
    {
        if (!Has(n)) {
            return false;
        }
        m_pos += n;
        return true;
    }

    bool Word(uint16_t* value)
    {
        if (!Has(2)) {
            return false;
        }
        *value = static_cast<uint16_t>(m_data[m_pos] | (m_data[m_pos + 1] << 8));
        m_pos += 2;
        return true;
    }

    bool Short(int16_t* value)
    {
        uint16_t word;
        if (!Word(&word)) {
            return false;
        }
        *value = static_cast<int16_t>(word);
        return true;
    }

    bool Dword(uint32_t* value)
    {
        uint16_t low, high;
        if (!Word(&low) || !Word(&high)) {
            return false;
        }
        *value = static_cast<uint32_t>(low) | (static_cast<uint32_t>(high) << 16);
        return true;
    }

    bool Text(std::wstring* text)
    {
        text->clear();
        for (;;) {
            uint16_t unit;
            if (!Word(&unit)) {
                return false;
            }
            if (unit == 0) {
                return true;
            }
            text->push_back(static_cast<wchar_t>(unit));
        }
    }

    bool Field(TemplateField* field)
    {
        uint16_t first;
        if (!Word(&first)) {
            return false;
        }
        field->text.clear();
        if (first == 0xFFFF) {
            field->isOrdinal = true;
            return Word(&field->ordinal);
        }
        field->isOrdinal = false;
        field->ordinal = 0;
        if (first == 0) {
            return true;
        }
        field->text.push_back(static_cast<wchar_t>(first));
        std::wstring rest;
        if (!Text(&rest)) {
            return false;
        }
        field->text += rest;
        return true;
    }

private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_pos = 0;
};

bool ParseItem(Reader& in, TemplateItem* item)
{
    if (!in.AlignTo4()) {
        return false;
    }
    item->offset = in.Pos();
    if (!in.Dword(&item->style) || !in.Dword(&item->exStyle) || !in.Short(&item->x) || !in.Short(&item->y) ||
        !in.Short(&item->cx) || !in.Short(&item->cy) || !in.Word(&item->id) || !in.Field(&item->windowClass) ||
        !in.Field(&item->title)) {
        return false;
    }
    uint16_t count;
    if (!in.Word(&count)) {
        return false;
    }
    item->creationBytes = count;
    // The count covers its own word: skip the rest of the data.
    return count == 0 || in.Skip(count >= 2 ? count - 2u : 0u);
}

} // namespace

bool ParseDialogTemplate(const uint8_t* data, size_t size, DialogTemplateData* out)
{
    if (data == nullptr || out == nullptr) {
        return false;
    }
    Reader in(data, size);
    DialogTemplateData t;
    if (!in.Dword(&t.style) || !in.Dword(&t.exStyle)) {
        return false;
    }
    // The extended layout starts with version 1 and signature 0xFFFF.
    if ((t.style & 0xFFFF) == 1 && (t.style >> 16) == 0xFFFF) {
        return false;
    }
    if (!in.Word(&t.itemCount) || !in.Short(&t.x) || !in.Short(&t.y) || !in.Short(&t.cx) || !in.Short(&t.cy) ||
        !in.Field(&t.menu) || !in.Field(&t.windowClass) || !in.Field(&t.caption)) {
        return false;
    }
    t.hasFont = (t.style & 0x40) != 0;
    if (t.hasFont && (!in.Word(&t.pointSize) || !in.Text(&t.typeface))) {
        return false;
    }
    t.headerEnd = in.Pos();
    // Each item takes at least 24 bytes: refuse counts the data cannot hold before reserving.
    if (t.itemCount > size / 24) {
        return false;
    }
    t.items.reserve(t.itemCount);
    for (uint16_t i = 0; i < t.itemCount; ++i) {
        TemplateItem item;
        if (!ParseItem(in, &item)) {
            return false;
        }
        t.items.push_back(std::move(item));
    }
    *out = std::move(t);
    return true;
}

const wchar_t* PredefinedClassName(uint16_t ordinal)
{
    switch (ordinal) {
    case 0x80:
        return L"BUTTON";
    case 0x81:
        return L"EDIT";
    case 0x82:
        return L"STATIC";
    case 0x83:
        return L"LISTBOX";
    case 0x84:
        return L"SCROLLBAR";
    case 0x85:
        return L"COMBOBOX";
    default:
        return nullptr;
    }
}

int MulDivRound(int a, int b, int c)
{
    if (c == 0) {
        return -1;
    }
    long long product = static_cast<long long>(a) * b;
    long long divisor = c;
    bool negative = (product < 0) != (divisor < 0);
    unsigned long long p = product < 0 ? 0ULL - static_cast<unsigned long long>(product) : product;
    unsigned long long d = divisor < 0 ? 0ULL - static_cast<unsigned long long>(divisor) : divisor;
    unsigned long long q = (p + d / 2) / d;
    if (q > static_cast<unsigned long long>(INT_MAX)) {
        return -1;
    }
    return negative ? static_cast<int>(0 - static_cast<long long>(q)) : static_cast<int>(q);
}

int HorizontalBaseUnit(int alphabetWidth)
{
    return (alphabetWidth + 26) / 52;
}

PixelPair ScaleDialogUnits(int h, int v, int baseX, int baseY)
{
    return PixelPair{MulDivRound(h, baseX, 4), MulDivRound(v, baseY, 8)};
}
