#include "ui/file_chooser.h"

#include "common/system_library_win.h"
#include "common/texts.h"
#include "resources/resource.h"
#include "settings/split_path.h"

namespace {

using ChooserFunction = int(WINAPI*)(OPENFILENAMEW*);

class Library
{
public:
    // Searched for beside the program, in folders the process added and in the system
    // folder; never in the current folder, which may be anyone's download or share.
    explicit Library(const wchar_t* name)
        : m_module(LoadLibraryExW(name, nullptr,
                                  LOAD_LIBRARY_SEARCH_APPLICATION_DIR | LOAD_LIBRARY_SEARCH_USER_DIRS |
                                      LOAD_LIBRARY_SEARCH_SYSTEM32))
    {
    }
    ~Library()
    {
        if (m_module != nullptr) {
            FreeLibrary(m_module);
        }
    }
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;

    ChooserFunction Find(const char* name) const
    {
        return m_module ? reinterpret_cast<ChooserFunction>(reinterpret_cast<void*>(GetProcAddress(m_module, name)))
                        : nullptr;
    }

private:
    HMODULE m_module;
};

// The optional chooser library is loaded around each call only.
int RunChooser(OPENFILENAMEW* request, const char* exportName, BOOL(WINAPI* platform)(OPENFILENAMEW*))
{
    {
        Library library(L"gsgetfile.dll");
        if (ChooserFunction chooser = library.Find(exportName)) {
            return chooser(request);
        }
    }
    if (!RequireSystemLibraries(kCommonDialogsLibrary, request->hwndOwner)) {
        return 0;
    }
    return platform(request) ? 1 : 0;
}

} // namespace

int ShowOpenFileDialog(OPENFILENAMEW* request)
{
    return RunChooser(request, "gsGetOpenFileName", GetOpenFileNameW);
}

int ShowSaveFileDialog(OPENFILENAMEW* request)
{
    return RunChooser(request, "gsGetSaveFileName", GetSaveFileNameW);
}

namespace {

std::wstring FilterFromTable(unsigned id)
{
    std::wstring filter = Text(id);
    for (wchar_t& c : filter) {
        if (c == L'|') {
            c = L'\0';
        }
    }
    return filter;
}

} // namespace

std::wstring SettingsFileFilter()
{
    return FilterFromTable(IDS_FILTER_SETTINGS);
}

std::wstring ProgramFileFilter()
{
    return FilterFromTable(IDS_FILTER_PROGRAMS);
}

void PrepareFileRequest(FileRequest* request, HWND owner, const wchar_t* currentPath, const std::wstring& title,
                        const std::wstring& filter, DWORD flags)
{
    *request = FileRequest{};
    request->title = title;
    request->filter = filter;
    SplitPath(currentPath, request->folder, request->file);
    OPENFILENAMEW& record = request->record;
    record.lStructSize = sizeof(OPENFILENAMEW);
    record.hwndOwner = owner;
    record.lpstrFilter = request->filter.c_str();
    record.nFilterIndex = 1;
    record.lpstrFile = request->file;
    record.nMaxFile = 260;
    record.lpstrInitialDir = request->folder;
    record.lpstrTitle = request->title.c_str();
    record.Flags = flags;
}
