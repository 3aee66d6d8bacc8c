#include "settings/settings.h"

#include "common/texts.h"
#include "resources/resource.h"
#include "settings/settings_keys.h"
#include "settings/split_path.h"

#include <cstdint>
#include <cwchar>
#include <new>
#include <type_traits>
#include <utility>

namespace {

// Control ids of the main window (template 129).
constexpr int kUrlCombo = IDC_URL_COMBO;
constexpr int kBrowserCombo = IDC_BROWSER_COMBO;
constexpr int kLocateEasy = IDC_LOCATE_EASY;
constexpr int kStartupAll = IDC_STARTUP_ALL;
constexpr int kAutoConnect = IDC_AUTO_CONNECT;
constexpr int kAutoBrowser = IDC_AUTO_BROWSER;
constexpr int kConnectWait = IDC_CONNECT_WAIT;
constexpr int kLog = IDC_LOG;

// The values are moved out; the vector keeps its room for the next entry.
CListEntry MakeEntry(const std::vector<std::wstring>& columns, std::vector<std::wstring>&& values)
{
    CListEntry entry;
    entry.m_names = columns;
    entry.m_values.reserve(columns.size());
    for (size_t i = 0; i < columns.size(); ++i) {
        entry.m_values.push_back(i < values.size() ? std::move(values[i]) : std::wstring());
    }
    return entry;
}

bool IsSpace(wchar_t c)
{
    return c == L' ' || c == L'\t' || c == L'\n' || c == L'\v' || c == L'\f' || c == L'\r';
}

} // namespace

const std::wstring CSettings::m_strTrue = L"TRUE";
const std::wstring CSettings::m_strFalse = L"FALSE";

CSettings::CSettings(ISettingsHost* host)
    : m_ini(host != nullptr ? &host->Files() : nullptr), m_hInstance(nullptr),
      m_hWnd(nullptr), m_szIniPath{}, m_urlColumns{::Text(IDS_LIST_NAME), ::Text(IDS_LIST_URL),
                                                   ::Text(IDS_LIST_FORMAT)},
      m_nUrlIndex(0), m_browserColumns{::Text(IDS_LIST_BROWSER), ::Text(IDS_LIST_FILE)}, m_nBrowserIndex(0),
      m_bLocateEasy(0), m_bStartupAll(0), m_bAutoConnect(0), m_bAutoBrowser(1), m_nConnectWait(3000),
      m_nBrowserWait(3000), m_host(host)
{
    const std::wstring pos = L"pos=N$nlE$el";
    m_urlList = {
        MakeEntry(m_urlColumns, {::Text(IDS_PRESET_ORVEL), L"http://www.orvel.example.jp/servinfo/loc.php", pos}),
        MakeEntry(m_urlColumns, {::Text(IDS_PRESET_BRANNIK), L"http://brannik.example.jp/glocal.html", pos}),
        MakeEntry(m_urlColumns, {::Text(IDS_PRESET_SORRIM), L"http://sorrim.example.jp/etc/airedge/google.php", pos}),
        MakeEntry(m_urlColumns, {::Text(IDS_PRESET_YAHOO), L"http://map.yahoo.co.jp/pl", L"el=$el&nl=$nl"}),
        MakeEntry(m_urlColumns, {::Text(IDS_PRESET_MAPION), L"http://www.mapion.co.jp/c/f",
                                 L"size=450,400&scl=10000&grp=all&uc=1&el=$eml&nl=$nml"}),
    };
    m_browserList = {
        MakeEntry(m_browserColumns, {::Text(IDS_PRESET_IE), L"\\Windows\\iexplore.exe"}),
        MakeEntry(m_browserColumns, {::Text(IDS_PRESET_OPERA), L"\\Program Files\\Opera\\opera.exe"}),
    };
}

std::wstring CSettings::Text(unsigned id)
{
    return m_host != nullptr ? m_host->LoadText(m_hInstance, id) : std::wstring();
}

void CSettings::SetIniPath(const wchar_t* path)
{
    std::wcsncpy(m_szIniPath, path, kPathChars - 1);
    m_szIniPath[kPathChars - 1] = L'\0';
}

int32_t CSettings::ToNumber(const std::wstring& text)
{
    size_t i = 0;
    while (i < text.size() && IsSpace(text[i])) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) {
        negative = text[i] == L'-';
        ++i;
    }
    // Saturate like the C library's conversion instead of overflowing.
    const int64_t limit = negative ? -static_cast<int64_t>(INT32_MIN) : INT32_MAX;
    int64_t value = 0;
    for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
        value = value * 10 + (text[i] - L'0');
        if (value > limit) {
            value = limit;
        }
    }
    return static_cast<int32_t>(negative ? -value : value);
}

void CSettings::KeepNewestLog(std::wstring& log)
{
    if (log.size() > kMaxLogChars) {
        log.erase(0, log.size() - kMaxLogChars);
    }
}

void CSettings::FillComboBox(int id, const std::vector<CListEntry>& list, int index)
{
    ISettingsControls* controls = m_host != nullptr ? m_host->Controls(m_hWnd) : nullptr;
    if (controls == nullptr) {
        return;
    }
    std::vector<std::wstring> titles;
    titles.reserve(list.size());
    // FNV-1a over the titles, each with its end: the same digest is the same list.
    std::uint64_t digest = 14695981039346656037ULL;
    for (const CListEntry& entry : list) {
        titles.push_back(entry.Value(0));
        for (wchar_t c : titles.back()) {
            digest = (digest ^ static_cast<std::uint32_t>(c)) * 1099511628211ULL;
        }
        digest = (digest ^ 0x10000U) * 1099511628211ULL;
    }
    FilledCombo* filled = id == kUrlCombo ? &m_filledUrls : id == kBrowserCombo ? &m_filledBrowsers : nullptr;
    if (filled == nullptr || !filled->known || filled->window != m_hWnd || filled->digest != digest) {
        if (filled != nullptr) {
            *filled = FilledCombo{}; // unknown until the list is all in (a failure may stop it half-way)
        }
        controls->SetComboStrings(id, titles);
        if (filled != nullptr) {
            *filled = FilledCombo{true, m_hWnd, digest};
        }
    }
    // -1 clears the selection; an index past the end leaves none.
    controls->SetComboSelection(id, static_cast<int64_t>(index) < static_cast<int64_t>(list.size()) ? index : -1);
}

void CSettings::Exchange(bool toControls)
{
    ISettingsControls* controls = m_host != nullptr ? m_host->Controls(m_hWnd) : nullptr;
    if (controls == nullptr) {
        return;
    }
    if (toControls) {
        FillComboBox(kUrlCombo, m_urlList, m_nUrlIndex);
        FillComboBox(kBrowserCombo, m_browserList, m_nBrowserIndex);
        controls->SetCheck(kLocateEasy, m_bLocateEasy ? 1 : 0);
        controls->SetCheck(kStartupAll, m_bStartupAll ? 1 : 0);
        controls->SetCheck(kAutoConnect, m_bAutoConnect ? 1 : 0);
        controls->SetCheck(kAutoBrowser, m_bAutoBrowser ? 1 : 0);
        controls->SetText(kConnectWait, std::to_wstring(static_cast<long>(m_nConnectWait)));
        // A log that only grew gets its new lines alone; the edit lays out nothing twice.
        const std::wstring shown = controls->GetText(kLog, std::wstring::npos);
        if (m_strLog.size() > shown.size() && m_strLog.compare(0, shown.size(), shown) == 0) {
            controls->AppendText(kLog, m_strLog.substr(shown.size()));
        } else if (m_strLog != shown) {
            controls->SetText(kLog, m_strLog);
        }
        if (!m_strLog.empty()) {
            // Caret just before the last character (the log ends in CR LF), end in view.
            controls->SetCaret(kLog, static_cast<int>(m_strLog.size() - 1));
        }
    } else {
        m_nUrlIndex = controls->GetComboSelection(kUrlCombo);
        m_nBrowserIndex = controls->GetComboSelection(kBrowserCombo);
        m_bLocateEasy = controls->GetCheck(kLocateEasy) == 1;
        m_bStartupAll = controls->GetCheck(kStartupAll) == 1;
        m_bAutoConnect = controls->GetCheck(kAutoConnect) == 1;
        m_bAutoBrowser = controls->GetCheck(kAutoBrowser) == 1;
        m_nConnectWait = ToNumber(controls->GetText(kConnectWait, kMaxWaitChars));
        // The whole field, so that text typed at the end of a full log is what stays.
        m_strLog = controls->GetText(kLog, std::wstring::npos);
        KeepNewestLog(m_strLog);
    }
}

bool CSettings::GetSelectedValue(const std::vector<CListEntry>& list, int index, size_t position, std::wstring& out)
{
    // The index comes from the combo box; a list changed since it was filled may be shorter.
    if (index < 0 || static_cast<size_t>(index) >= list.size()) {
        return false;
    }
    out = list[static_cast<size_t>(index)].Value(position);
    return !out.empty();
}

bool CSettings::GetSelectedUrl(std::wstring& out)
{
    Exchange(false);
    return GetSelectedValue(m_urlList, m_nUrlIndex, 1, out);
}

bool CSettings::GetSelectedFormat(std::wstring& out)
{
    Exchange(false);
    return GetSelectedValue(m_urlList, m_nUrlIndex, 2, out);
}

bool CSettings::GetSelectedBrowserFile(std::wstring& out)
{
    Exchange(false);
    return GetSelectedValue(m_browserList, m_nBrowserIndex, 1, out);
}

void CSettings::LoadDefault()
{
    // The file replaces the presets and shows itself; without it the presets are shown.
    const std::wstring path = PathBesideProgram(Text(IDS_INI_DEFAULT_FILE));
    if (!path.empty()) {
        SetIniPath(path.c_str());
        if (Load(path.c_str())) {
            return;
        }
    } else {
        Failed(FileFailure::NotFound);
    }
    Exchange(true);
}

bool CSettings::Failed(FileFailure failure)
{
    m_failure = failure != FileFailure::None ? failure : FileFailure::Other;
    m_failureCode = 0;
    if (failure != FileFailure::NoMemory && m_host != nullptr && m_host->Files().LastFailure() == failure) {
        m_failureCode = m_host->Files().LastFailureCode();
    }
    return false;
}

std::wstring CSettings::PathBesideProgram(const std::wstring& name)
{
    std::wstring module;
    if (m_host == nullptr || !m_host->ModuleFileName(m_hInstance, module) || module.size() >= kPathChars - 1) {
        return std::wstring();
    }
    wchar_t folder[kPathChars];
    wchar_t file[kPathChars];
    if (!SplitPath(module.c_str(), folder, file)) {
        return std::wstring();
    }
    std::wstring path = folder;
    path += L"\\";
    path += name;
    // A file that does not fit the path buffer is neither named nor read; the presets stay.
    return path.size() < kPathChars ? path : std::wstring();
}

// Load swaps the record whole; a member that could throw while moving would leave it half
// loaded.
static_assert(std::is_nothrow_move_constructible<CSettings>::value && std::is_nothrow_move_assignable<CSettings>::value,
              "the record must move without throwing");

bool CSettings::Load(const wchar_t* path)
{
    // A path the record cannot hold is refused rather than cut.
    if (path == nullptr || m_host == nullptr || std::wcslen(path) >= kPathChars) {
        return Failed(FileFailure::NotFound);
    }
    // The file is read into a copy that replaces the record only when complete, so memory
    // running out on the way (a huge file) leaves the record, the controls and the path as
    // they were.
    try {
        CSettings loaded(*this);
        if (!loaded.ReadFrom(path)) {
            // A file that is no settings file changes nothing either: "保存" would otherwise
            // write the factory settings over a file the user meant to keep.
            return Failed(loaded.m_ini.ReadFailure());
        }
        std::swap(*this, loaded);
        try {
            Exchange(true);
        } catch (const std::bad_alloc&) {
            // Half shown: the old record goes back and is shown again, every list refilled
            // (what the controls hold is not what either record remembers).
            std::swap(*this, loaded);
            m_filledUrls = m_filledBrowsers = FilledCombo{};
            Exchange(true);
            return Failed(FileFailure::NoMemory);
        }
    } catch (const std::bad_alloc&) {
        return Failed(FileFailure::NoMemory);
    }
    m_failure = FileFailure::None;
    return true;
}

bool CSettings::ReadFrom(const wchar_t* path)
{
    const std::wstring section = Text(IDS_INI_SECTION);
    if (!m_ini.Read(section.c_str(), path)) {
        return false;
    }
    for (const SettingKey& key : SettingKeys()) {
        switch (Storage(key)) {
        case Stored::List: {
            const bool urls = key.nameId == IDS_KEY_URL;
            ReadList(Text(key.nameId), Text(key.indexId), urls ? m_urlColumns : m_browserColumns,
                     urls ? m_urlList : m_browserList, urls ? m_nUrlIndex : m_nBrowserIndex);
            break;
        }
        case Stored::Flag: {
            std::wstring value;
            m_ini.GetValue(Text(key.nameId).c_str(), value);
            *FlagField(key.nameId) = value == m_strTrue; // a missing key too is off
            break;
        }
        case Stored::Number: {
            std::wstring value;
            m_ini.GetValue(Text(key.nameId).c_str(), value);
            *NumberField(key.nameId) = ToNumber(value);
            break;
        }
        case Stored::AsRead:
            ReadOptional(key.nameId, *TextField(key.nameId));
            break;
        case Stored::OptionalFlag:
            ReadOptionalFlag(key.nameId, m_lookupCache);
            break;
        case Stored::WithItsList:
            break;
        }
    }

    SetIniPath(path);
    return true;
}

bool CSettings::Save(const wchar_t* path)
{
    if (path == nullptr || m_host == nullptr || std::wcslen(path) >= kPathChars) {
        return Failed(FileFailure::NotFound);
    }
    if (!m_host->Files().ReplaceAll(path, SaveBytes())) {
        return Failed(m_host->Files().LastFailure());
    }
    Saved(path);
    return true;
}

std::vector<unsigned char> CSettings::SaveBytes()
{
    m_ini.Clear();
    Exchange(false);
    for (const SettingKey& key : SettingKeys()) {
        switch (Storage(key)) {
        case Stored::List: {
            const bool urls = key.nameId == IDS_KEY_URL;
            WriteList(Text(key.nameId), Text(key.indexId), urls ? m_urlList : m_browserList,
                      urls ? m_nUrlIndex : m_nBrowserIndex);
            break;
        }
        case Stored::Flag:
            m_ini.SetValue(Text(key.nameId).c_str(), (*FlagField(key.nameId) ? m_strTrue : m_strFalse).c_str());
            break;
        case Stored::Number:
            m_ini.SetValue(Text(key.nameId).c_str(),
                           std::to_wstring(static_cast<long>(*NumberField(key.nameId))).c_str());
            break;
        case Stored::AsRead:
            WriteOptional(key.nameId, *TextField(key.nameId));
            break;
        case Stored::OptionalFlag:
            WriteOptionalFlag(key.nameId, m_lookupCache);
            break;
        case Stored::WithItsList:
            break;
        }
    }
    return m_ini.Serialize(Text(IDS_INI_SECTION).c_str());
}

void CSettings::Saved(const wchar_t* path)
{
    SetIniPath(path);
    m_failure = FileFailure::None;
}

bool CSettings::IsMachineKey(unsigned key)
{
    const SettingKey* found = FindSettingKey(key);
    return found != nullptr && found->machine;
}

CSettings::Stored CSettings::Storage(const SettingKey& key)
{
    switch (key.kind) {
    case SettingKind::ListIndex:
        return Stored::WithItsList;
    case SettingKind::ListEntries:
        return Stored::List;
    case SettingKind::Flag:
        return key.machine ? Stored::OptionalFlag : Stored::Flag;
    case SettingKind::Number:
        return key.machine ? Stored::AsRead : Stored::Number;
    default:
        return Stored::AsRead;
    }
}

int* CSettings::FlagField(unsigned key)
{
    switch (key) {
    case IDS_KEY_LOCATEEASY:
        return &m_bLocateEasy;
    case IDS_KEY_STARTUPALL:
        return &m_bStartupAll;
    case IDS_KEY_AUTOCONNECT:
        return &m_bAutoConnect;
    default:
        return &m_bAutoBrowser;
    }
}

int32_t* CSettings::NumberField(unsigned key)
{
    return key == IDS_KEY_CONNECTWAIT ? &m_nConnectWait : &m_nBrowserWait;
}

std::optional<std::wstring>* CSettings::TextField(unsigned key)
{
    switch (key) {
    case IDS_KEY_SERVICEURL:
        return &m_serviceUrl;
    case IDS_KEY_PORT:
        return &m_port;
    case IDS_KEY_MODULE:
        return &m_module;
    case IDS_KEY_BAUD:
        return &m_baud;
    case IDS_KEY_FIXWAIT:
        return &m_fixWait;
    default:
        return &m_geolocateUrl;
    }
}

void CSettings::ReadOptional(unsigned key, std::optional<std::wstring>& value)
{
    std::wstring text;
    if (m_ini.GetValue(Text(key).c_str(), text)) {
        value = std::move(text);
    } else if (!IsMachineKey(key)) {
        value.reset();
    }
}

void CSettings::WriteOptional(unsigned key, const std::optional<std::wstring>& value)
{
    if (value) {
        m_ini.SetValue(Text(key).c_str(), value->c_str());
    }
}

void CSettings::ReadOptionalFlag(unsigned key, std::optional<bool>& value)
{
    std::wstring text;
    if (m_ini.GetValue(Text(key).c_str(), text)) {
        value = text == m_strTrue; // anything but TRUE is off, as with the other flags
    } else if (!IsMachineKey(key)) {
        value.reset();
    }
}

void CSettings::WriteOptionalFlag(unsigned key, const std::optional<bool>& value)
{
    if (value) {
        m_ini.SetValue(Text(key).c_str(), (*value ? m_strTrue : m_strFalse).c_str());
    }
}

void CSettings::ReadList(const std::wstring& prefix, const std::wstring& indexKey,
                         const std::vector<std::wstring>& columns, std::vector<CListEntry>& list, int& index)
{
    index = -1;
    std::wstring value;
    if (m_ini.GetValue(indexKey.c_str(), value)) {
        index = ToNumber(value);
    }
    list.clear();
    std::vector<std::wstring> fields;
    for (size_t n = 0;; ++n) {
        const std::wstring key = prefix + std::to_wstring(n);
        if (!m_ini.GetValue(key, value)) {
            break; // a gap ends the list
        }
        fields.clear();
        SplitString(value, L";", fields);
        list.push_back(MakeEntry(columns, std::move(fields)));
    }
    if (!list.empty() && index < 0) {
        index = 0;
    }
}

void CSettings::WriteList(const std::wstring& prefix, const std::wstring& indexKey, const std::vector<CListEntry>& list,
                          int index)
{
    m_ini.SetValue(indexKey.c_str(), std::to_wstring(index).c_str());
    for (size_t n = 0; n < list.size(); ++n) {
        const CListEntry& entry = list[n];
        std::wstring line;
        for (size_t i = 0; i < entry.m_names.size(); ++i) {
            if (i > 0) {
                line += L';';
            }
            line += entry.Value(i);
        }
        m_ini.SetValue((prefix + std::to_wstring(n)).c_str(), line.c_str());
    }
}

void CSettings::SplitString(const std::wstring& text, const std::wstring& delimiter, std::vector<std::wstring>& out)
{
    if (text.empty()) {
        return;
    }
    if (delimiter.empty()) {
        out.push_back(text);
        return;
    }
    size_t start = 0;
    for (;;) {
        size_t at = text.find(delimiter, start);
        if (at == std::wstring::npos) {
            out.push_back(text.substr(start));
            return;
        }
        out.push_back(text.substr(start, at - start));
        start = at + delimiter.size();
    }
}
