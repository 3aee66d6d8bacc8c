#include "common/system_library.h"

#include "common/texts.h"
#include "resources/resource.h"

const wchar_t* SystemLibraryFile(unsigned library)
{
    switch (library) {
    case kInternetLibrary:
        return L"wininet.dll";
    case kCommonDialogsLibrary:
        return L"comdlg32.dll";
    case kShellLibrary:
        return L"shell32.dll";
    case kCommonControlsLibrary:
        return L"comctl32.dll";
    default:
        return nullptr;
    }
}

std::wstring SystemLibraryFailureText(unsigned library, unsigned long error)
{
    const wchar_t* file = SystemLibraryFile(library);
    return Text(IDS_LIBRARY_FAILED, {file != nullptr ? file : L"?", HexText(error)});
}
