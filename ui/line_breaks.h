#pragma once

#include <cstddef>
#include <string_view>

// Where a line of the program's Japanese texts may wrap: between phrases, as a handset's own
// texts wrap, never inside a word ("情報", "問い合わせ" stay whole). A phrase ends after its
// particle (a one-character particle such as "の" or "を", or a longer hiragana run, followed by
// anything but hiragana or a space), after closing punctuation, and after a space; a line never
// starts with closing punctuation, a small kana or "ー", never ends with an opening bracket, and a
// run of ASCII ("COM3:", "0x00002ee2") is split only after a URL's "/".

// Whether a line may start at text[at] (0 < at < text.size()).
bool MayBreakAt(std::wstring_view text, std::size_t at);

// For an edit control's word-break procedure over `text`: the first position at or after `from`
// where a line may start (text.size() when none), and the last one before `from` (0 when none).
std::size_t NextLineStart(std::wstring_view text, std::size_t from);
std::size_t PreviousLineStart(std::wstring_view text, std::size_t from);
