#pragma once

#include "common/text_entries.h"
#include "settings/settings_keys.h"

#include <string>
#include <string_view>
#include <vector>

// The user's guide against the program: its message tables against the string table, its
// table of settings keys against the list of keys. Each function gives what disagrees, one
// line each (UTF-8, naming the guide's line), nothing when the two agree.

// Whether `text` is what `pattern` shows with values put in: each %1..%9 stands for a value of
// at least one character (the same number for the same value), "%%" for a percent sign.
bool ShowsPattern(std::wstring_view pattern, std::wstring_view text);

// The tables under "## メッセージ一覧". A table headed "メッセージ" lists whole texts: each row is
// one with its values as a user sees them, and each whole text of the table (resource.h says
// which ids those are) needs a row. A table headed "理由" or "文言" lists parts of texts: each
// row must be a text of the table.
std::vector<std::string> CompareMessages(std::string_view guide, const std::vector<TextEntry>& entries);

// The table under "## 設定ファイル" headed "キー": one row per key with its name, factory value,
// range and what a value outside the range does, in the guide's words for each.
std::vector<std::string> CompareKeys(std::string_view guide, const std::vector<SettingKey>& keys);
