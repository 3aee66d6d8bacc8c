#include "settings/settings_win.h"

#include "common/win_handle.h"
#include "settings/split_path.h"

#include <windows.h>

#include <algorithm>
#include <new>
#include <vector>

namespace {

class CWin32FileStore : public IFileStore
{
public:
    bool ReadAll(const wchar_t* path, std::vector<unsigned char>& bytes) override
    {
        if (path == nullptr) {
            return Fail(FileFailure::NotFound);
        }
        // Read access only, so read-only files load too.
        CHandle file(
            CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file.IsValid()) {
            return FailWithLastError();
        }
        LARGE_INTEGER size;
        if (!GetFileSizeEx(file.Get(), &size)) {
            return FailWithLastError();
        }
        if (size.QuadPart <= 0) {
            return Fail(FileFailure::Other, ERROR_HANDLE_EOF);
        }
        if (static_cast<unsigned long long>(size.QuadPart) > kMaxFileBytes) {
            return Fail(FileFailure::TooLarge);
        }
        try {
            bytes.assign(static_cast<size_t>(size.QuadPart), 0);
        } catch (const std::bad_alloc&) {
            return Fail(FileFailure::NoMemory);
        }
        size_t done = 0;
        while (done < bytes.size()) {
            DWORD got = 0;
            if (!ReadFile(file.Get(), bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &got, nullptr)) {
                return FailWithLastError();
            }
            if (got == 0) {
                return Fail(FileFailure::Other, ERROR_HANDLE_EOF);
            }
            done += got;
        }
        Succeeded();
        return true;
    }

    bool ReplaceAll(const wchar_t* path, const std::vector<unsigned char>& bytes) override
    {
        wchar_t folder[MAX_PATH];
        wchar_t name[MAX_PATH];
        if (!SplitPath(path, folder, name)) {
            return Fail(FileFailure::NotFound);
        }
        // A read-only file is not replaced (not every MoveFileEx refuses it by itself).
        DWORD attributes = GetFileAttributesW(path);
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
            return Fail(FileFailure::NoAccess, ERROR_ACCESS_DENIED);
        }
        // The temporary file lives beside the target so that the move is a rename.
        wchar_t temp[MAX_PATH];
        if (GetTempFileNameW(folder[0] != L'\0' ? folder : L".", L"tav", 0, temp) == 0) {
            return FailWithLastError();
        }
        bool ok = WriteTemp(temp, bytes) &&
                  MoveFileExW(temp, path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
        if (!ok) {
            const DWORD error = GetLastError();
            DeleteFileW(temp);
            return Fail(FileFailureFromError(error), error);
        }
        Succeeded();
        return true;
    }

private:
    bool FailWithLastError()
    {
        const DWORD error = GetLastError();
        return Fail(FileFailureFromError(error), error);
    }

    static bool WriteTemp(const wchar_t* temp, const std::vector<unsigned char>& bytes)
    {
        CHandle file(CreateFileW(temp, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file.IsValid()) {
            return false;
        }
        size_t done = 0;
        while (done < bytes.size()) {
            DWORD put = 0;
            if (!WriteFile(file.Get(), bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &put, nullptr)) {
                return false;
            }
            if (put == 0) {
                SetLastError(ERROR_DISK_FULL); // nothing more goes in
                return false;
            }
            done += put;
        }
        return FlushFileBuffers(file.Get()) != FALSE && file.Close();
    }
};

class CWin32Controls : public ISettingsControls
{
public:
    HWND m_window = nullptr;

    void ResetCombo(int id) override { Send(id, CB_RESETCONTENT, 0, 0); }
    void AddComboString(int id, const std::wstring& text) override
    {
        Send(id, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    }
    void SetComboStrings(int id, const std::vector<std::wstring>& texts) override
    {
        // Storage for the whole list up front and one redraw at the end: thousands of
        // entries go in without a reallocation or a repaint each.
        HWND combo = GetDlgItem(m_window, id);
        size_t bytes = 0;
        for (const std::wstring& text : texts) {
            bytes += (text.size() + 1) * sizeof(wchar_t);
        }
        SendMessageW(combo, WM_SETREDRAW, FALSE, 0);
        SendMessageW(combo, CB_RESETCONTENT, 0, 0);
        SendMessageW(combo, CB_INITSTORAGE, texts.size(), static_cast<LPARAM>(bytes));
        for (const std::wstring& text : texts) {
            SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
        }
        SendMessageW(combo, WM_SETREDRAW, TRUE, 0);
        InvalidateRect(combo, nullptr, TRUE);
    }
    void SetComboSelection(int id, int index) override { Send(id, CB_SETCURSEL, static_cast<WPARAM>(index), 0); }
    int GetComboSelection(int id) override { return static_cast<int>(Send(id, CB_GETCURSEL, 0, 0)); }
    void SetCheck(int id, int state) override { Send(id, BM_SETCHECK, static_cast<WPARAM>(state), 0); }
    int GetCheck(int id) override { return static_cast<int>(Send(id, BM_GETCHECK, 0, 0)); }
    void SetText(int id, const std::wstring& text) override { SetDlgItemTextW(m_window, id, text.c_str()); }
    std::wstring GetText(int id, size_t maxChars) override
    {
        HWND control = GetDlgItem(m_window, id);
        const int length = GetWindowTextLengthW(control);
        const size_t wanted = length > 0 ? std::min(static_cast<size_t>(length), maxChars) : 0;
        std::vector<wchar_t> buffer(wanted + 1, L'\0');
        const int got = GetWindowTextW(control, buffer.data(), static_cast<int>(buffer.size()));
        return std::wstring(buffer.data(), got > 0 ? std::min(static_cast<size_t>(got), wanted) : 0);
    }
    void AppendText(int id, const std::wstring& text) override
    {
        HWND edit = GetDlgItem(m_window, id);
        const WPARAM end = static_cast<WPARAM>(GetWindowTextLengthW(edit));
        SendMessageW(edit, EM_SETSEL, end, static_cast<LPARAM>(end));
        SendMessageW(edit, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(text.c_str()));
    }
    void SetCaret(int id, int position) override
    {
        Send(id, EM_SETSEL, static_cast<WPARAM>(position), static_cast<LPARAM>(position));
        Send(id, EM_SCROLLCARET, 0, 0);
    }

private:
    LRESULT Send(int id, UINT message, WPARAM wParam, LPARAM lParam)
    {
        return SendDlgItemMessageW(m_window, id, message, wParam, lParam);
    }
};

class CWin32SettingsHost : public ISettingsHost
{
public:
    ISettingsControls* Controls(void* window) override
    {
        if (window == nullptr) {
            return nullptr;
        }
        m_controls.m_window = static_cast<HWND>(window);
        return &m_controls;
    }

    std::wstring LoadText(void* instance, unsigned id) override
    {
        wchar_t buffer[256];
        int length = LoadStringW(static_cast<HINSTANCE>(instance), id, buffer, 256);
        return std::wstring(buffer, length > 0 ? static_cast<size_t>(length) : 0);
    }

    bool ModuleFileName(void* instance, std::wstring& path) override
    {
        wchar_t buffer[MAX_PATH] = {};
        // Room for 259 characters; a full buffer means the path was cut.
        DWORD length = GetModuleFileNameW(static_cast<HMODULE>(instance), buffer, MAX_PATH - 1);
        if (length == 0 || length >= MAX_PATH - 1) {
            return false;
        }
        path.assign(buffer, length);
        return true;
    }

    IFileStore& Files() override { return m_files; }

private:
    CWin32Controls m_controls;
    CWin32FileStore m_files;
};

} // namespace

std::unique_ptr<IFileStore> NewWin32FileStore()
{
    return std::make_unique<CWin32FileStore>();
}

ISettingsHost& Win32SettingsHost()
{
    static CWin32SettingsHost host;
    return host;
}

CSettings g_settings(&Win32SettingsHost());
