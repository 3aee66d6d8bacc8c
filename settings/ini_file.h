#pragma once

#include "settings/file_store.h"

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

// Ordered key/value store of the settings file and its codec: UTF-16LE with byte order mark,
// a "[section]" header line, then "key=value" lines, every line ending in CR LF.
// Equal keys may repeat; a lookup takes the first. Keys compare code unit by code unit.
class CIniFile
{
public:
    explicit CIniFile(IFileStore* files = nullptr) : m_files(files) {}
    void SetFileStore(IFileStore* files) { m_files = files; }

    void Clear();
    // Appends the pair, even when the key is already present. False for an empty key or no value.
    bool SetValue(const wchar_t* key, const wchar_t* value);
    // Copies the first value stored under `key`; false (and `out` untouched) when there is none.
    bool GetValue(const wchar_t* key, std::wstring& out) const;

    // Replaces the pairs with those of the file. False when the file cannot be read at all;
    // a file that reads but has no matching header gives true and no pairs.
    bool Read(const wchar_t* section, const wchar_t* path);
    // Replaces the file with the pairs; the old file stays whole when this fails.
    bool Write(const wchar_t* section, const wchar_t* path);

    // The codec alone: replaces the pairs with those of `size` bytes of file content.
    void Parse(const wchar_t* section, const unsigned char* data, size_t size);
    // The file content of the pairs; no byte order mark and header for an empty section name.
    std::vector<unsigned char> Serialize(const wchar_t* section) const;

    const std::vector<std::pair<std::wstring, std::wstring>>& Pairs() const { return m_pairs; }

private:
    IFileStore* m_files;
    std::vector<std::pair<std::wstring, std::wstring>> m_pairs;
};
