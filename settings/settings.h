#pragma once

#include "settings/ini_file.h"
#include "settings/list_entry.h"
#include "settings/settings_keys.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The main window's controls that mirror the record, addressed by id. Each call stands for
// one window message, named beside it.
class ISettingsControls
{
public:
    virtual ~ISettingsControls() = default;
    virtual void ResetCombo(int id) = 0;                               // CB_RESETCONTENT
    virtual void AddComboString(int id, const std::wstring& text) = 0; // CB_ADDSTRING
    virtual void SetComboSelection(int id, int index) = 0;             // CB_SETCURSEL
    virtual int GetComboSelection(int id) = 0;                         // CB_GETCURSEL
    virtual void SetCheck(int id, int state) = 0;                      // BM_SETCHECK
    virtual int GetCheck(int id) = 0;                                  // BM_GETCHECK
    virtual void SetText(int id, const std::wstring& text) = 0;        // WM_SETTEXT
    virtual std::wstring GetText(int id, size_t maxChars) = 0;         // WM_GETTEXT, at most maxChars (npos: all)
    virtual void SetCaret(int id, int position) = 0;                   // EM_SETSEL + EM_SCROLLCARET
    // `text` added at the end of an edit's text (EM_SETSEL to the end + EM_REPLACESEL): the
    // edit lays out only what is new.
    virtual void AppendText(int id, const std::wstring& text) { SetText(id, GetText(id, std::wstring::npos) + text); }

    // The combo box's items replaced by `texts`, in order: ResetCombo and AddComboString,
    // which a window system may do faster for a long list.
    virtual void SetComboStrings(int id, const std::vector<std::wstring>& texts)
    {
        ResetCombo(id);
        for (const std::wstring& text : texts) {
            AddComboString(id, text);
        }
    }
};

// What the record needs from the platform: the window's controls, the string table,
// the executable's path and whole-file access.
class ISettingsHost
{
public:
    virtual ~ISettingsHost() = default;
    // The controls of `window`; null when there is no window yet.
    virtual ISettingsControls* Controls(void* window) = 0;
    virtual std::wstring LoadText(void* instance, unsigned id) = 0;
    // Full path of the program's executable; false when unavailable or cut short.
    virtual bool ModuleFileName(void* instance, std::wstring& path) = 0;
    virtual IFileStore& Files() = 0;
};

// All user-adjustable state: two lists with their selections, four flags, two waits, the
// status text and the path of the settings file in use. Mirrors controls of the main window.
class CSettings
{
public:
    static constexpr size_t kPathChars = 260;
    static constexpr size_t kMaxLogChars = 4096;
    static constexpr size_t kMaxWaitChars = 9;

    // Factory presets. Without a host nothing reaches controls or files.
    explicit CSettings(ISettingsHost* host = nullptr);

    CIniFile m_ini;
    void* m_hInstance; // HINSTANCE in the Win32 layer
    void* m_hWnd;      // HWND of the main window
    wchar_t m_szIniPath[kPathChars];
    std::vector<std::wstring> m_urlColumns;
    std::vector<CListEntry> m_urlList;
    int m_nUrlIndex;
    std::vector<std::wstring> m_browserColumns;
    std::vector<CListEntry> m_browserList;
    int m_nBrowserIndex;
    int m_bLocateEasy;
    int m_bStartupAll;
    int m_bAutoConnect;
    int m_bAutoBrowser;
    int32_t m_nConnectWait;
    int32_t m_nBrowserWait;
    std::wstring m_strLog;
    // SERVICEURL and PORT exactly as a file had them; none until one did, and only a key the
    // record holds is saved, so files without them stay as they were.
    std::optional<std::wstring> m_serviceUrl;
    std::optional<std::wstring> m_port;
    // LOOKUPCACHE: none (off) until a file had it or the menu set it.
    std::optional<bool> m_lookupCache;
    // MODULE, BAUD, FIXWAIT and GEOLOCATEURL as the file had them, kept like PORT; read
    // through module_setting.h.
    std::optional<std::wstring> m_module;
    std::optional<std::wstring> m_baud;
    std::optional<std::wstring> m_fixWait;
    std::optional<std::wstring> m_geolocateUrl;
    static const std::wstring m_strTrue;
    static const std::wstring m_strFalse;

    // true: record to controls; false: controls to record.
    void Exchange(bool toControls);
    void FillComboBox(int id, const std::vector<CListEntry>& list, int index);

    // Read the controls, then give the selected entry's value; false when nothing is
    // selected (output untouched) or the value is empty.
    bool GetSelectedUrl(std::wstring& out);
    bool GetSelectedFormat(std::wstring& out);
    bool GetSelectedBrowserFile(std::wstring& out);

    std::vector<CListEntry>& GetUrlList() { return m_urlList; }
    std::vector<CListEntry>& GetBrowserList() { return m_browserList; }

    // Reads default.ini from the executable's folder and shows it; the presets when it does not load.
    void LoadDefault();
    // False, with nothing changed, when the file cannot be read or memory runs out. The file
    // replaces the record, except that a key of this machine the file lacks keeps its value.
    bool Load(const wchar_t* path);
    // Keys that describe this handset rather than a set of destinations (the lookup service,
    // the module's port, the lookup cache): a file of destinations opened with "開く" lacks
    // them and must not clear them. A file that names one, even empty, still sets it.
    static bool IsMachineKey(unsigned key);
    // Reads the controls and writes the record; m_szIniPath changes only on success.
    bool Save(const wchar_t* path);
    // Save's halves, for a file written elsewhere (on a worker): the file's bytes of the record
    // as the controls show it (read first), and the record's new file once they were written.
    std::vector<unsigned char> SaveBytes();
    void Saved(const wchar_t* path);
    // The file `name` in the program's folder ("default.ini", "cache.ini"), or empty when it
    // cannot be named within kPathChars.
    std::wstring PathBesideProgram(const std::wstring& name);
    // Why the last Load, LoadDefault or Save failed (None after a success), and the platform's
    // code for it.
    FileFailure LastFailure() const { return m_failure; }
    unsigned LastFailureCode() const { return m_failureCode; }

    void ReadList(const std::wstring& prefix, const std::wstring& indexKey, const std::vector<std::wstring>& columns,
                  std::vector<CListEntry>& list, int& index);
    void WriteList(const std::wstring& prefix, const std::wstring& indexKey, const std::vector<CListEntry>& list,
                   int index);
    // Appends the fields of `text` split at `delimiter`; an empty text gives no field.
    static void SplitString(const std::wstring& text, const std::wstring& delimiter, std::vector<std::wstring>& out);

    // Number as the controls and the file hold it: leading white space, optional sign,
    // decimal digits up to the first non-digit; no digits give 0; clamped to 32 bits.
    static int32_t ToNumber(const std::wstring& text);

    // Cuts `log` to its newest kMaxLogChars characters.
    static void KeepNewestLog(std::wstring& log);

private:
    // Load's reading part, without showing the result.
    bool ReadFrom(const wchar_t* path);
    std::wstring Text(unsigned id);
    bool GetSelectedValue(const std::vector<CListEntry>& list, int index, size_t position, std::wstring& out);
    void SetIniPath(const wchar_t* path);
    void ReadOptional(unsigned key, std::optional<std::wstring>& value);
    void WriteOptional(unsigned key, const std::optional<std::wstring>& value);
    void ReadOptionalFlag(unsigned key, std::optional<bool>& value);
    void WriteOptionalFlag(unsigned key, const std::optional<bool>& value);

    bool Failed(FileFailure failure);

    // Where the record keeps a key of SettingKeys(), and the field of each.
    enum class Stored
    {
        List,         // the entries with their index
        WithItsList,  // an index, read and written with its list
        Flag,         // int, TRUE or anything else
        Number,       // int32_t
        AsRead,       // optional text, exactly as a file had it
        OptionalFlag, // optional bool
    };
    static Stored Storage(const SettingKey& key);
    int* FlagField(unsigned key);
    int32_t* NumberField(unsigned key);
    std::optional<std::wstring>* TextField(unsigned key);

    // What a combo box was last filled with, and in which window: an unchanged list is not put
    // in again (each log line exchanges the whole record).
    struct FilledCombo
    {
        bool known = false;
        void* window = nullptr;
        std::uint64_t digest = 0;
    };
    FilledCombo m_filledUrls, m_filledBrowsers;

    ISettingsHost* m_host;
    FileFailure m_failure = FileFailure::None;
    unsigned m_failureCode = 0;
};

// The program's one record, bound to the main window (Win32 layer).
extern CSettings g_settings;
