// A stand-in for the optional chooser library, for tests. Every call appends the request
// to gsgetfile.log beside the library; the answer is the path in gsgetfile.answer beside
// it (UTF-16), or a cancel when that file is missing.
#include <windows.h>

#include <commdlg.h>

#include <cstdio>
#include <string>

namespace {

HMODULE g_self = nullptr;

std::wstring Beside(const wchar_t* name)
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(g_self, path, MAX_PATH);
    std::wstring folder = path;
    return folder.substr(0, folder.find_last_of(L'\\') + 1) + name;
}

std::wstring Text(const wchar_t* text)
{
    return text ? text : L"(null)";
}

std::wstring Filters(const wchar_t* list)
{
    std::wstring joined;
    for (int part = 0; list && *list; ++part) {
        joined += (part == 0) ? L"" : (part % 2 ? L"|" : L";");
        joined += list;
        list += lstrlenW(list) + 1;
    }
    return joined;
}

int Answer(const wchar_t* call, OPENFILENAMEW* request)
{
    wchar_t line[64];
    std::wstring record = std::wstring(L"call=") + call + L"\n";
    wsprintfW(line, L"size=%u\n", static_cast<unsigned>(request->lStructSize));
    record += line;
    wsprintfW(line, L"owner=%d\n", request->hwndOwner != nullptr ? 1 : 0);
    record += line;
    record += L"title=" + Text(request->lpstrTitle) + L"\n";
    record += L"filter=" + Filters(request->lpstrFilter) + L"\n";
    wsprintfW(line, L"index=%u\nflags=0x%04x\nmax=%u\n", static_cast<unsigned>(request->nFilterIndex),
              static_cast<unsigned>(request->Flags), static_cast<unsigned>(request->nMaxFile));
    record += line;
    record += L"dir=" + Text(request->lpstrInitialDir) + L"\n";
    record += L"file=" + Text(request->lpstrFile) + L"\n";
    if (FILE* log = _wfopen(Beside(L"gsgetfile.log").c_str(), L"ab")) {
        fwrite(record.data(), sizeof(wchar_t), record.size(), log);
        fclose(log);
    }
    FILE* answer = _wfopen(Beside(L"gsgetfile.answer").c_str(), L"rb");
    if (answer == nullptr) {
        return 0;
    }
    wchar_t chosen[MAX_PATH] = {};
    size_t units = fread(chosen, sizeof(wchar_t), MAX_PATH - 1, answer);
    fclose(answer);
    chosen[units] = 0;
    lstrcpynW(request->lpstrFile, chosen, static_cast<int>(request->nMaxFile));
    return 1;
}

} // namespace

extern "C" __declspec(dllexport) int WINAPI gsGetOpenFileName(OPENFILENAMEW* request)
{
    return Answer(L"open", request);
}

extern "C" __declspec(dllexport) int WINAPI gsGetSaveFileName(OPENFILENAMEW* request)
{
    return Answer(L"save", request);
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) {
        g_self = instance;
    }
    return TRUE;
}
