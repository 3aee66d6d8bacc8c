#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

// Every text the user reads (boxes, progress texts, log lines, labels) is an entry of the
// resource file's string table, named by its IDS_ identifier in resources/resource.h. Portable
// code names texts the same way: on Windows they come from the program's resources, in the
// native build from a table made of the same compiled resources.

// The entry `id`; empty when the table has none (a check of the suite keeps every identifier
// in the table).
std::wstring Text(unsigned id);

// The entry with its values put in: "%1" ... "%9" stand for the values in the order given,
// "%%" for a percent sign. The entry's comment in resource.h says what each value is.
std::wstring Text(unsigned id, std::initializer_list<std::wstring_view> values);

// The substitution of Text, on any pattern. A placeholder without a value stays as written.
std::wstring FillText(std::wstring_view pattern, std::initializer_list<std::wstring_view> values);

// A number as a text value.
std::wstring NumberText(long long value);

// A platform's error or status code as eight lower-case hex digits ("00002ee2"), as the
// English failure texts show them after "0x".
std::wstring HexText(unsigned long value);
