#pragma once

#include "settings/file_store.h"

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

// The pairs in store order, with the first pair of every key indexed beside them, so a
// lookup takes constant time however many pairs a file has.
class CIniPairs
{
public:
    using Pair = std::pair<std::wstring, std::wstring>;

    void Clear() noexcept;
    // Appends the pair; a key already present keeps pointing at its first pair. On failure
    // (out of memory) nothing has changed.
    void Append(std::wstring key, std::wstring value);
    // The first pair stored under `key`, or null.
    const Pair* Find(const std::wstring& key) const;

    const std::vector<Pair>& List() const { return m_list; }

private:
    size_t SlotOf(const std::wstring& key) const;

    std::vector<Pair> m_list;
    // Open addressing: a slot holds 1 + the position of the first pair of one key, or 0.
    // Never more than half full, so a probe soon meets an empty slot.
    std::vector<size_t> m_slots;
};

// Ordered key/value store of the settings file and its codec. It writes UTF-16LE with byte
// order mark, a "[section]" header line, then "key=value" lines, every line ending in CR LF;
// it reads that and what an editor makes of it (see Parse).
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
    bool GetValue(const std::wstring& key, std::wstring& out) const;

    // Replaces the pairs with those of the file. False, with no pairs, when the file cannot be
    // read or is no settings file of `section` (ReadFailure says which).
    bool Read(const wchar_t* section, const wchar_t* path);
    FileFailure ReadFailure() const { return m_readFailure; }
    // Replaces the file with the pairs; the old file stays whole when this fails.
    bool Write(const wchar_t* section, const wchar_t* path);

    // The codec alone: replaces the pairs with those of `size` bytes of file content, UTF-16
    // (either byte order) or UTF-8, with or without a byte order mark, lines ending in CR LF or
    // LF. None when the bytes are a settings file of `section`; otherwise why not (NotText,
    // UnknownEncoding, NoSection), and no pairs.
    FileFailure Parse(const wchar_t* section, const unsigned char* data, size_t size);
    // The file content of the pairs; no byte order mark and header for an empty section name.
    std::vector<unsigned char> Serialize(const wchar_t* section) const;

    const std::vector<std::pair<std::wstring, std::wstring>>& Pairs() const { return m_pairs.List(); }

private:
    IFileStore* m_files;
    CIniPairs m_pairs;
    FileFailure m_readFailure = FileFailure::None;
};
