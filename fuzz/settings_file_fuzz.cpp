// Arbitrary bytes as a settings file: the reader and the record mapping must not fault; a file
// that is refused leaves the record as it was; whatever loads must save and load again to the
// same record, and so must the saved file as an editor would keep it (UTF-8, LF, no last LF).
#include "settings/memory_settings_host.h"
#include "settings/settings.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

bool SameRecord(const CSettings& a, const CSettings& b)
{
    return a.m_urlList == b.m_urlList && a.m_browserList == b.m_browserList && a.m_nUrlIndex == b.m_nUrlIndex &&
           a.m_nBrowserIndex == b.m_nBrowserIndex && a.m_bLocateEasy == b.m_bLocateEasy &&
           a.m_bStartupAll == b.m_bStartupAll && a.m_bAutoConnect == b.m_bAutoConnect &&
           a.m_bAutoBrowser == b.m_bAutoBrowser && a.m_nConnectWait == b.m_nConnectWait &&
           a.m_nBrowserWait == b.m_nBrowserWait && a.m_lookupCache == b.m_lookupCache &&
           a.m_serviceUrl == b.m_serviceUrl && a.m_port == b.m_port && a.m_module == b.m_module &&
           a.m_baud == b.m_baud && a.m_fixWait == b.m_fixWait && a.m_geolocateUrl == b.m_geolocateUrl;
}

// The program's UTF-16LE file as UTF-8 with LF line ends and without the last one; false when
// the text cannot be said so (an unpaired surrogate, or a CR that an LF file would take for
// part of its line end).
bool AsEditorFile(const std::vector<unsigned char>& utf16, std::vector<unsigned char>& out)
{
    out.clear();
    std::vector<unsigned long> units;
    for (size_t i = 2; i + 1 < utf16.size(); i += 2) {
        units.push_back(utf16[i] | (static_cast<unsigned long>(utf16[i + 1]) << 8));
    }
    for (size_t i = 0; i < units.size(); ++i) {
        unsigned long code = units[i];
        if (code == '\r') {
            if (i + 1 >= units.size() || units[i + 1] != '\n') {
                return false;
            }
            continue;
        }
        if (code >= 0xD800 && code <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
            units[i + 1] <= 0xDFFF) {
            code = 0x10000 + ((code - 0xD800) << 10) + (units[++i] - 0xDC00);
        } else if (code >= 0xD800 && code <= 0xDFFF) {
            return false;
        }
        if (code < 0x80) {
            out.push_back(static_cast<unsigned char>(code));
        } else if (code < 0x800) {
            out.push_back(static_cast<unsigned char>(0xC0 | (code >> 6)));
            out.push_back(static_cast<unsigned char>(0x80 | (code & 0x3F)));
        } else if (code < 0x10000) {
            out.push_back(static_cast<unsigned char>(0xE0 | (code >> 12)));
            out.push_back(static_cast<unsigned char>(0x80 | ((code >> 6) & 0x3F)));
            out.push_back(static_cast<unsigned char>(0x80 | (code & 0x3F)));
        } else {
            out.push_back(static_cast<unsigned char>(0xF0 | (code >> 18)));
            out.push_back(static_cast<unsigned char>(0x80 | ((code >> 12) & 0x3F)));
            out.push_back(static_cast<unsigned char>(0x80 | ((code >> 6) & 0x3F)));
            out.push_back(static_cast<unsigned char>(0x80 | (code & 0x3F)));
        }
    }
    if (!out.empty() && out.back() == '\n') {
        out.pop_back();
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // Built once: the presets cost as much as a load. A load either replaces every field
    // compared below or fails with nothing changed, so no input sees the one before it.
    static CMemorySettingsHost host;
    static CSettings first(&host);
    static CSettings second(&host);
    host.m_files.m_files.clear();
    host.m_files.m_files[L"in.ini"].assign(data, data + size);
    const CSettings before = first;
    if (!first.Load(L"in.ini")) {
        if (!SameRecord(first, before) || first.LastFailure() == FileFailure::None) {
            std::abort();
        }
        return 0;
    }
    for (const auto& entry : first.m_urlList) {
        if (entry.m_values.size() != first.m_urlColumns.size()) {
            std::abort();
        }
    }
    if (!first.Save(L"out.ini")) {
        std::abort();
    }
    if (!second.Load(L"out.ini") || !SameRecord(first, second)) {
        std::abort();
    }
    std::vector<unsigned char> editor;
    if (AsEditorFile(host.m_files.m_files[L"out.ini"], editor)) {
        host.m_files.m_files[L"editor.ini"] = editor;
        if (!second.Load(L"editor.ini") || !SameRecord(first, second)) {
            std::abort();
        }
    }
    return 0;
}
