#include "guide_check.h"

#include "acquisition/module_setting.h"
#include "common/texts.h"
#include "resources/resource.h"
#include "tests/guide/guide_tables.h"

#include <map>
#include <optional>

namespace {

bool Fills(std::wstring_view pattern, std::wstring_view text, std::optional<std::wstring_view> (&values)[9])
{
    if (pattern.empty()) {
        return text.empty();
    }
    if (pattern[0] == L'%' && pattern.size() > 1 && pattern[1] == L'%') {
        return !text.empty() && text[0] == L'%' && Fills(pattern.substr(2), text.substr(1), values);
    }
    if (pattern[0] == L'%' && pattern.size() > 1 && pattern[1] >= L'1' && pattern[1] <= L'9') {
        std::optional<std::wstring_view>& value = values[pattern[1] - L'1'];
        if (value) {
            return text.substr(0, value->size()) == *value &&
                   Fills(pattern.substr(2), text.substr(value->size()), values);
        }
        for (std::size_t length = 1; length <= text.size(); ++length) {
            value = text.substr(0, length);
            if (Fills(pattern.substr(2), text.substr(length), values)) {
                return true;
            }
        }
        value.reset();
        return false;
    }
    return !text.empty() && text[0] == pattern[0] && Fills(pattern.substr(1), text.substr(1), values);
}

// How much of a pattern is its own words: a row goes to the entry that says most of it.
std::size_t OwnWords(std::wstring_view pattern)
{
    std::size_t count = 0;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == L'%' && i + 1 < pattern.size() && pattern[i + 1] >= L'1' && pattern[i + 1] <= L'9') {
            ++i;
        } else {
            ++count;
        }
    }
    return count;
}

bool IsWhole(unsigned id)
{
    return id >= TEXT_RANGE_WHOLE && id < TEXT_RANGE_PARTS;
}

bool IsPart(unsigned id)
{
    return id >= TEXT_RANGE_PARTS && id < TEXT_RANGE_END;
}

std::string Quoted(const std::wstring& text)
{
    std::wstring shown = text;
    for (std::size_t at; (at = shown.find(L'\n')) != std::wstring::npos;) {
        shown.replace(at, 1, L"<br>");
    }
    return "\"" + Utf8FromWide(shown) + "\"";
}

std::string Where(int line)
{
    return "guide line " + std::to_string(line) + ": ";
}

// The entry the row shows, the one with most words of its own; null when none.
const TextEntry* EntryShown(const std::wstring& row, const std::vector<TextEntry>& entries, bool (*inRange)(unsigned))
{
    const TextEntry* best = nullptr;
    for (const TextEntry& entry : entries) {
        if (inRange(entry.id) && ShowsPattern(entry.text, row) &&
            (best == nullptr || OwnWords(entry.text) > OwnWords(best->text))) {
            best = &entry;
        }
    }
    return best;
}

bool IsTextOfTable(unsigned id)
{
    return IsWhole(id) || IsPart(id);
}

// The guide's words for each kind of range and each bad value's handling.
std::wstring RangeWords(const SettingKey& key)
{
    switch (key.kind) {
    case SettingKind::ListIndex:
    case SettingKind::Number:
    case SettingKind::Speed:
        return NumberText(key.min) + L"～" + NumberText(key.max);
    case SettingKind::ListEntries:
        return L"—";
    case SettingKind::Flag:
        return L"TRUE・FALSE";
    case SettingKind::Module:
        return std::wstring(ModuleSettingText(ModuleKind::WSim)) + L"・" + ModuleSettingText(ModuleKind::Nmea) + L"・" +
               ModuleSettingText(ModuleKind::Modem);
    case SettingKind::Url:
        return L"http:// か https:// で始まる URL";
    case SettingKind::Device:
        return L"ポートの名前";
    }
    return L"?";
}

std::wstring BadValueWords(const SettingKey& key)
{
    if (key.kind == SettingKind::ListEntries) {
        return L"—";
    }
    switch (key.bad) {
    case BadValue::LeadingDigits:
        return L"先頭の数字（数字がないときは 0）";
    case BadValue::Off:
        return L"オフ";
    case BadValue::WSim:
        return L"W-SIM";
    case BadValue::SpeedSearched:
        return L"なしのときと同じく、速度を順に試します";
    case BadValue::NearestInRange:
        return L"数字でないときは初期値、範囲の外は近いほうの端";
    case BadValue::RefusedAtSend:
        return L"送信と接続のときにメッセージを表示し、どこにも送りません";
    case BadValue::OpenedAsWritten:
        return L"そのまま開きます";
    }
    return L"?";
}

std::wstring FactoryWords(const SettingKey& key)
{
    if (key.value == nullptr) {
        return L"初期設定のとおり";
    }
    return *key.value == L'\0' ? L"なし" : key.value;
}

std::wstring NameWords(const SettingKey& key)
{
    const std::wstring name = key.name;
    return key.kind == SettingKind::ListEntries ? name + L"0、" + name + L"1、…" : name;
}

int Column(const GuideTable& table, const wchar_t* name)
{
    for (std::size_t i = 0; i < table.header.size(); ++i) {
        if (table.header[i] == name) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

} // namespace

bool ShowsPattern(std::wstring_view pattern, std::wstring_view text)
{
    std::optional<std::wstring_view> values[9];
    return Fills(pattern, text, values);
}

std::vector<std::string> CompareMessages(std::string_view guide, const std::vector<TextEntry>& entries)
{
    std::vector<std::string> faults;
    std::map<unsigned, int> shown; // whole text -> rows showing it
    const std::vector<GuideTable> tables = GuideTables(guide, "## メッセージ一覧");
    if (tables.empty()) {
        faults.push_back("the guide has no tables under \"## メッセージ一覧\"");
    }
    for (const GuideTable& table : tables) {
        const std::wstring kind = table.header.empty() ? std::wstring() : table.header[0];
        const bool whole = kind == L"メッセージ";
        if (!whole && kind != L"理由" && kind != L"文言") {
            faults.push_back(Where(table.line) + "a table headed " + Quoted(kind) +
                             " (the check knows メッセージ, 理由 and 文言)");
            continue;
        }
        for (std::size_t r = 0; r < table.rows.size(); ++r) {
            const std::wstring text = table.rows[r].empty() ? std::wstring() : table.rows[r][0];
            const TextEntry* entry = EntryShown(text, entries, whole ? IsWhole : IsTextOfTable);
            if (entry == nullptr) {
                faults.push_back(Where(table.rowLines[r]) + Quoted(text) + " is no text of the program" +
                                 (whole ? " that it shows whole" : ""));
            } else if (whole) {
                ++shown[entry->id];
            }
        }
    }
    for (const TextEntry& entry : entries) {
        if (IsWhole(entry.id) && shown.count(entry.id) == 0) {
            faults.push_back("text " + std::to_string(entry.id) + " " + Quoted(entry.text) +
                             " has no row in the guide's message tables");
        }
    }
    return faults;
}

std::vector<std::string> CompareKeys(std::string_view guide, const std::vector<SettingKey>& keys)
{
    std::vector<std::string> faults;
    const GuideTable* table = nullptr;
    const std::vector<GuideTable> tables = GuideTables(guide, "## 設定ファイル");
    for (const GuideTable& t : tables) {
        if (!t.header.empty() && t.header[0] == L"キー") {
            table = &t;
        }
    }
    const int factory = table ? Column(*table, L"初期値") : -1;
    const int range = table ? Column(*table, L"範囲") : -1;
    const int bad = table ? Column(*table, L"範囲にない値のとき") : -1;
    if (table == nullptr || factory < 0 || range < 0 || bad < 0) {
        return {"the guide has no table of keys under \"## 設定ファイル\" with the columns キー, 初期値, 範囲 and "
                "範囲にない値のとき"};
    }
    std::map<std::wstring, int> rows; // a key's name in the guide -> its row
    for (std::size_t r = 0; r < table->rows.size(); ++r) {
        rows[table->rows[r].empty() ? std::wstring() : table->rows[r][0]] = static_cast<int>(r);
    }
    for (const SettingKey& key : keys) {
        const auto found = rows.find(NameWords(key));
        if (found == rows.end()) {
            faults.push_back("key " + Utf8FromWide(key.name) + " has no row in the guide's table of keys");
            continue;
        }
        const std::vector<std::wstring>& cells = table->rows[found->second];
        const int line = table->rowLines[found->second];
        rows.erase(found);
        const struct
        {
            int column;
            std::wstring expected;
            const char* what;
        } checks[] = {
            {factory, FactoryWords(key), "factory value"},
            {range, RangeWords(key), "range"},
            {bad, BadValueWords(key), "value outside its range"},
        };
        for (const auto& check : checks) {
            const std::wstring cell = check.column < static_cast<int>(cells.size()) ? cells[check.column] : L"";
            if (cell != check.expected) {
                faults.push_back(Where(line) + Utf8FromWide(key.name) + "'s " + check.what + " is " + Quoted(cell) +
                                 ", the program's " + Quoted(check.expected));
            }
        }
    }
    for (const auto& row : rows) {
        faults.push_back(Where(table->rowLines[row.second]) + Quoted(row.first) + " is no key of the program");
    }
    return faults;
}
