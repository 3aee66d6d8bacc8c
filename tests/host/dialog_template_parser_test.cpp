#include "ui/dialog_template_parser.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

// Builds templates byte by byte, little-endian.
class Builder
{
public:
    Builder& Word(uint16_t w)
    {
        m_bytes.push_back(static_cast<uint8_t>(w & 0xFF));
        m_bytes.push_back(static_cast<uint8_t>(w >> 8));
        return *this;
    }
    Builder& Dword(uint32_t d) { return Word(static_cast<uint16_t>(d & 0xFFFF)).Word(static_cast<uint16_t>(d >> 16)); }
    Builder& Text(const std::u16string& text)
    {
        for (char16_t c : text) {
            Word(c);
        }
        return Word(0);
    }
    Builder& Ordinal(uint16_t ordinal) { return Word(0xFFFF).Word(ordinal); }
    Builder& Align()
    {
        while (m_bytes.size() % 4) {
            m_bytes.push_back(0);
        }
        return *this;
    }
    Builder& Header(uint16_t items, bool font = true)
    {
        Dword(font ? 0x80C80040u : 0x80C80000u).Dword(0).Word(items).Word(0).Word(0).Word(100).Word(50);
        Word(0).Word(0).Word(0); // no menu, class or title
        if (font) {
            Word(8).Text(u"Arial");
        }
        return *this;
    }
    Builder& Item(uint16_t id, int16_t x, int16_t y, int16_t cx, int16_t cy, uint32_t style = 0x50000000)
    {
        Align();
        return Dword(style)
            .Dword(0)
            .Word(static_cast<uint16_t>(x))
            .Word(static_cast<uint16_t>(y))
            .Word(static_cast<uint16_t>(cx))
            .Word(static_cast<uint16_t>(cy))
            .Word(id);
    }
    Bytes Done() const { return m_bytes; }

private:
    Bytes m_bytes;
};

bool Parse(const Bytes& bytes, DialogTemplateData* out)
{
    return ParseDialogTemplate(bytes.data(), bytes.size(), out);
}

#ifdef TAVRIN_TEST_RES
// Finds a resource of `type` and `name` (both ordinals) in a compiled .res file.
Bytes ResourceFromRes(uint16_t type, uint16_t name)
{
    std::ifstream file(TAVRIN_TEST_RES, std::ios::binary);
    Bytes res((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    auto dword = [&](size_t at) {
        return static_cast<uint32_t>(res[at] | res[at + 1] << 8 | res[at + 2] << 16 |
                                     static_cast<uint32_t>(res[at + 3]) << 24);
    };
    auto word = [&](size_t at) { return static_cast<uint16_t>(res[at] | res[at + 1] << 8); };
    for (size_t at = 0; at + 8 <= res.size();) {
        uint32_t dataSize = dword(at);
        uint32_t headerSize = dword(at + 4);
        bool matches =
            word(at + 8) == 0xFFFF && word(at + 10) == type && word(at + 12) == 0xFFFF && word(at + 14) == name;
        if (matches) {
            return Bytes(res.begin() + at + headerSize, res.begin() + at + headerSize + dataSize);
        }
        at += headerSize + dataSize;
        at = (at + 3) & ~size_t{3};
    }
    return {};
}
#endif

} // namespace

#ifdef TAVRIN_TEST_RES
TEST(DialogTemplateParser, MainWindowTemplateAsCompiled)
{
    Bytes bytes = ResourceFromRes(5, 129);
    ASSERT_FALSE(bytes.empty());
    DialogTemplateData t;
    ASSERT_TRUE(Parse(bytes, &t));
    EXPECT_EQ(38u, t.headerEnd) << "\"Arial\" and its terminator end the header off a 4-byte boundary";
    EXPECT_EQ(173, t.cx);
    EXPECT_EQ(185, t.cy);
    EXPECT_TRUE(t.hasFont);
    EXPECT_EQ(8, t.pointSize);
    EXPECT_EQ(L"Arial", t.typeface);
    EXPECT_EQ(L"", t.caption.text);
    ASSERT_EQ(19u, t.items.size());

    const TemplateItem& first = t.items[0];
    EXPECT_EQ(40u, first.offset);
    EXPECT_EQ(0xFFFF, first.id);
    EXPECT_EQ(7, first.x);
    EXPECT_EQ(169, first.y);
    EXPECT_TRUE(first.windowClass.isOrdinal);
    EXPECT_EQ(0x82, first.windowClass.ordinal);

    // The controls themselves are checked where they are created; here only what the
    // reader has to get right: texts across odd offsets, and the last item.
    EXPECT_EQ(L"取得～送信", t.items[17].title.text);
    EXPECT_EQ(1014, t.items[18].id);
    EXPECT_EQ(0x81, t.items[18].windowClass.ordinal);
    EXPECT_EQ(159, t.items[18].cx);
    for (const TemplateItem& item : t.items) {
        EXPECT_EQ(0u, item.offset % 4) << item.id;
    }
}

TEST(DialogTemplateParser, EveryCutOfTheCompiledTemplatesIsRefused)
{
    for (uint16_t id : {105, 106, 129, 130, 131}) {
        Bytes bytes = ResourceFromRes(5, id);
        ASSERT_FALSE(bytes.empty()) << id;
        DialogTemplateData t;
        ASSERT_TRUE(Parse(bytes, &t)) << id;
        // The last item may end in padding that is not part of it.
        size_t needed = bytes.size();
        while (needed > 0 && Parse(Bytes(bytes.begin(), bytes.begin() + needed - 1), &t)) {
            --needed;
        }
        for (size_t cut = 0; cut < needed; ++cut) {
            // A copy of exactly `cut` bytes lets the sanitizer catch any read past the end.
            Bytes part(bytes.begin(), bytes.begin() + cut);
            EXPECT_FALSE(ParseDialogTemplate(part.empty() ? nullptr : part.data(), part.size(), &t))
                << "template " << id << " cut at " << cut;
        }
    }
}

TEST(DialogTemplateParser, AboutBoxIconIsAnImageOrdinal)
{
    DialogTemplateData t;
    ASSERT_TRUE(Parse(ResourceFromRes(5, 105), &t));
    ASSERT_EQ(3u, t.items.size());
    EXPECT_TRUE(t.items[0].title.isOrdinal);
    EXPECT_EQ(101, t.items[0].title.ordinal);
    EXPECT_EQ(3u, t.items[0].style & 3);
    EXPECT_EQ(L"MS UI Gothic", t.typeface);
    EXPECT_EQ(0x80000000u, t.exStyle);
}
#endif

TEST(DialogTemplateParser, CreationDataNameClassAndUnknownOrdinal)
{
    Bytes bytes = Builder()
                      .Header(4)
                      // Creation data of 6 bytes, its count word included.
                      .Item(10, 1, 2, 3, 4)
                      .Ordinal(0x80)
                      .Text(u"A")
                      .Word(6)
                      .Word(0xAAAA)
                      .Word(0xBBBB)
                      .Item(11, 5, 6, 7, 8)
                      .Text(u"SysListView32")
                      .Text(u"")
                      .Word(0)
                      .Item(12, -1, -2, 3, 4)
                      .Ordinal(0x99)
                      .Text(u"")
                      .Word(0)
                      .Item(13, 0, 0, 1, 1)
                      .Word(0)
                      .Word(0)
                      .Word(0)
                      .Done();
    DialogTemplateData t;
    ASSERT_TRUE(Parse(bytes, &t));
    ASSERT_EQ(4u, t.items.size());
    EXPECT_EQ(6, t.items[0].creationBytes);
    EXPECT_EQ(L"A", t.items[0].title.text);
    // Item 0 starts at 40: 18 fixed + class 4 + "A" 4 + 6 = 32 bytes, so the next is at 72.
    EXPECT_EQ(40u, t.items[0].offset);
    EXPECT_EQ(72u, t.items[1].offset);
    EXPECT_FALSE(t.items[1].windowClass.isOrdinal);
    EXPECT_EQ(L"SysListView32", t.items[1].windowClass.text);
    EXPECT_TRUE(t.items[2].windowClass.isOrdinal);
    EXPECT_EQ(nullptr, PredefinedClassName(t.items[2].windowClass.ordinal));
    EXPECT_EQ(-1, t.items[2].x);
    EXPECT_EQ(-2, t.items[2].y);
    EXPECT_EQ(13, t.items[3].id);
}

TEST(DialogTemplateParser, HeaderFieldsAsOrdinalsOrNamesAndNoFont)
{
    Bytes bytes = Builder()
                      .Dword(0x80C80000)
                      .Dword(0)
                      .Word(1)
                      .Word(0)
                      .Word(0)
                      .Word(10)
                      .Word(10)
                      .Ordinal(102)
                      .Text(u"MyClass")
                      .Text(u"Title")
                      .Item(1, 0, 0, 1, 1)
                      .Ordinal(0x81)
                      .Text(u"")
                      .Word(0)
                      .Done();
    DialogTemplateData t;
    ASSERT_TRUE(Parse(bytes, &t));
    EXPECT_TRUE(t.menu.isOrdinal);
    EXPECT_EQ(102, t.menu.ordinal);
    EXPECT_EQ(L"MyClass", t.windowClass.text);
    EXPECT_EQ(L"Title", t.caption.text);
    EXPECT_FALSE(t.hasFont);
    EXPECT_EQ(L"EDIT", std::wstring(PredefinedClassName(0x81)));
}

TEST(DialogTemplateParser, CorruptTemplatesAreRefused)
{
    struct Case
    {
        const char* what;
        Bytes bytes;
    };
    const Case cases[] = {
        {"empty", {}},
        {"extended layout", Builder().Word(1).Word(0xFFFF).Dword(0).Dword(0).Word(0).Done()},
        {"more items than bytes", Builder().Header(2).Item(1, 0, 0, 1, 1).Ordinal(0x80).Text(u"").Word(0).Done()},
        {"huge item count", Builder().Header(0xFFFF).Done()},
        {"unterminated typeface", Builder()
                                      .Dword(0x40)
                                      .Dword(0)
                                      .Word(0)
                                      .Word(0)
                                      .Word(0)
                                      .Word(0)
                                      .Word(0)
                                      .Word(0)
                                      .Word(0)
                                      .Word(0)
                                      .Word(8)
                                      .Word('A')
                                      .Word('r')
                                      .Done()},
        {"unterminated item text", Builder().Header(1).Item(1, 0, 0, 1, 1).Ordinal(0x80).Word('x').Done()},
        {"creation data past the end", Builder().Header(1).Item(1, 0, 0, 1, 1).Ordinal(0x80).Text(u"").Word(40).Done()},
        {"ordinal cut short", Builder().Header(1).Item(1, 0, 0, 1, 1).Word(0xFFFF).Done()},
    };
    for (const Case& c : cases) {
        DialogTemplateData t;
        EXPECT_FALSE(Parse(c.bytes, &t)) << c.what;
    }
    DialogTemplateData t;
    EXPECT_FALSE(ParseDialogTemplate(nullptr, 10, &t));
}

TEST(DialogUnits, MulDivRoundsLikeThePlatform)
{
    struct Case
    {
        int a, b, c, expected;
    };
    const Case cases[] = {
        {7, 6, 4, 11},   // 10.5 rounds up
        {-7, 6, 4, -11}, // halves away from zero
        {7, -6, 4, -11},
        {7, 6, -4, -11},
        {-7, -6, -4, -11},
        {185, 16, 8, 370},
        {173, 6, 4, 260},
        {1, 1, 3, 0},
        {2, 1, 3, 1},
        {5, 5, 0, -1},       // no divisor
        {INT_MAX, 2, 1, -1}, // does not fit
        {INT_MAX, INT_MAX, INT_MAX, INT_MAX},
        {INT_MIN, 1, 1, -1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.expected, MulDivRound(c.a, c.b, c.c)) << c.a << "*" << c.b << "/" << c.c;
    }
    EXPECT_EQ(6, HorizontalBaseUnit(312 + 0)); // 312/52 = 6 exactly
    EXPECT_EQ(6, HorizontalBaseUnit(337));     // 6.48 rounds down
    EXPECT_EQ(7, HorizontalBaseUnit(338));     // 6.5 rounds up
    PixelPair p = ScaleDialogUnits(173, 185, 6, 13);
    EXPECT_EQ(260, p.x);
    EXPECT_EQ(301, p.y);
}
