#include "common/text_entries.h"
#include "common/texts.h"

#include <algorithm>
#include <iterator>

namespace {

struct Entry
{
    unsigned id;
    const wchar_t* text;
};

// Made at build time from the compiled resources (tools/string_table.py), sorted by id.
const Entry kEntries[] = {
#include "string_table.inc"
};

} // namespace

std::wstring Text(unsigned id)
{
    const Entry* end = std::end(kEntries);
    const Entry* found = std::lower_bound(std::begin(kEntries), end, id,
                                          [](const Entry& entry, unsigned key) { return entry.id < key; });
    return found != end && found->id == id ? std::wstring(found->text) : std::wstring();
}

std::vector<TextEntry> TextEntries()
{
    std::vector<TextEntry> entries;
    for (const Entry& entry : kEntries) {
        entries.push_back({entry.id, entry.text});
    }
    return entries;
}
