#include "settings/file_store.h"

bool CMemoryFileStore::ReadAll(const wchar_t* path, std::vector<unsigned char>& bytes)
{
    if (path == nullptr || m_unreadable.count(path) != 0) {
        return false;
    }
    auto it = m_files.find(path);
    if (it == m_files.end() || it->second.empty()) {
        return false;
    }
    bytes = it->second;
    return true;
}

bool CMemoryFileStore::ReplaceAll(const wchar_t* path, const std::vector<unsigned char>& bytes)
{
    if (path == nullptr || m_failWrites) {
        return false;
    }
    m_files[path] = bytes;
    return true;
}
