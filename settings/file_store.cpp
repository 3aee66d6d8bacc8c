#include "settings/file_store.h"

#include "common/texts.h"
#include "resources/resource.h"

std::wstring FileFailureText(FileFailure failure, unsigned code)
{
    switch (failure) {
    case FileFailure::None:
        return std::wstring();
    case FileFailure::NotFound:
        return Text(IDS_FILE_NOT_FOUND);
    case FileFailure::NoAccess:
        return Text(IDS_FILE_NO_ACCESS);
    case FileFailure::TooLarge:
        return Text(IDS_FILE_TOO_LARGE);
    case FileFailure::DiskFull:
        return Text(IDS_FILE_DISK_FULL);
    case FileFailure::NoMemory:
        return Text(IDS_FILE_NO_MEMORY);
    case FileFailure::NotText:
        return Text(IDS_FILE_NOT_TEXT);
    case FileFailure::UnknownEncoding:
        return Text(IDS_FILE_UNKNOWN_ENCODING);
    case FileFailure::NoSection:
        return Text(IDS_FILE_NO_SECTION);
    case FileFailure::Other:
        break;
    }
    return Text(IDS_FILE_ERROR_CODE, {NumberText(code)});
}

FileFailure FileFailureFromError(unsigned code)
{
    switch (code) {
    case 2:  // ERROR_FILE_NOT_FOUND
    case 3:  // ERROR_PATH_NOT_FOUND
    case 15: // ERROR_INVALID_DRIVE
        return FileFailure::NotFound;
    case 5:  // ERROR_ACCESS_DENIED
    case 19: // ERROR_WRITE_PROTECT
    case 32: // ERROR_SHARING_VIOLATION
    case 33: // ERROR_LOCK_VIOLATION
        return FileFailure::NoAccess;
    case 39:  // ERROR_HANDLE_DISK_FULL
    case 112: // ERROR_DISK_FULL
        return FileFailure::DiskFull;
    case 8:  // ERROR_NOT_ENOUGH_MEMORY
    case 14: // ERROR_OUTOFMEMORY
        return FileFailure::NoMemory;
    default:
        return FileFailure::Other;
    }
}

bool CMemoryFileStore::ReadAll(const wchar_t* path, std::vector<unsigned char>& bytes)
{
    if (path == nullptr || m_unreadable.count(path) != 0) {
        return Fail(FileFailure::NoAccess);
    }
    auto it = m_files.find(path);
    if (it == m_files.end()) {
        return Fail(FileFailure::NotFound);
    }
    if (it->second.size() > kMaxFileBytes) {
        return Fail(FileFailure::TooLarge);
    }
    if (it->second.empty()) {
        return Fail(FileFailure::Other);
    }
    bytes = it->second;
    Succeeded();
    return true;
}

bool CMemoryFileStore::ReplaceAll(const wchar_t* path, const std::vector<unsigned char>& bytes)
{
    if (path == nullptr || m_failWrites) {
        return Fail(FileFailure::NoAccess);
    }
    m_files[path] = bytes;
    Succeeded();
    return true;
}
