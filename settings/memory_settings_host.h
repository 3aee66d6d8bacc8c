#pragma once

#include "settings/file_store.h"
#include "settings/settings.h"

#include <string>

// A host without a window system: the string table's names built in, files in memory,
// controls supplied by the user (none by default). Used by the tests, fuzzer and benchmarks.
class CMemorySettingsHost : public ISettingsHost
{
public:
    ISettingsControls* Controls(void*) override { return m_controls; }
    std::wstring LoadText(void* instance, unsigned id) override;
    bool ModuleFileName(void* instance, std::wstring& path) override;
    IFileStore& Files() override { return m_files; }

    // The texts the resource script holds for the settings (entries 1000-1017).
    static std::wstring BuiltInText(unsigned id);

    ISettingsControls* m_controls = nullptr;
    std::wstring m_modulePath; // empty: unavailable
    CMemoryFileStore m_files;
};
