#include "common/system_library.h"

#include "common/text_format.h"

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
    return Format(L"LoadLibraryEx(%ls) Failed. (0x%08x)", file != nullptr ? file : L"?", static_cast<unsigned>(error));
}
