#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

// Whole-file access for the settings file: one read, one replacement.
class IFileStore
{
public:
    virtual ~IFileStore() = default;

    // The file's bytes. False when it cannot be opened for reading, is empty, is 4 GiB or
    // larger, cannot be buffered, or cannot be read completely.
    virtual bool ReadAll(const wchar_t* path, std::vector<unsigned char>& bytes) = 0;

    // Replaces the file's content with `bytes`. On failure the old file stays as it was.
    virtual bool ReplaceAll(const wchar_t* path, const std::vector<unsigned char>& bytes) = 0;
};

// Files kept in memory: the store of the portable build's tests, fuzzer and benchmarks.
class CMemoryFileStore : public IFileStore
{
public:
    bool ReadAll(const wchar_t* path, std::vector<unsigned char>& bytes) override;
    bool ReplaceAll(const wchar_t* path, const std::vector<unsigned char>& bytes) override;

    std::map<std::wstring, std::vector<unsigned char>> m_files;
    std::set<std::wstring> m_unreadable; // present, but reading fails
    bool m_failWrites = false;
};
