#pragma once

#include <string>
#include <vector>

// The native build's whole string table, for the checks that compare it with the user's guide.
// The program itself names each text by its identifier (common/texts.h).

struct TextEntry
{
    unsigned id;
    std::wstring text;
};

// Every entry, by id.
std::vector<TextEntry> TextEntries();
