#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

// Why a file could not be read or replaced, for the user's box.
enum class FileFailure
{
    None,
    NotFound,
    NoAccess, // denied, read-only, or in use
    TooLarge, // above kMaxFileBytes: refused before anything is read
    DiskFull,
    NoMemory,
    Other, // see LastFailureCode
    // Read whole, but no settings file: what the user is told of a file from another program.
    NotText,         // binary data
    UnknownEncoding, // text, but neither UTF-8 nor UTF-16
    NoSection,       // text without the program's section line
};

// The failure a Win32 error code stands for.
FileFailure FileFailureFromError(unsigned code);

// The failure as the user reads it: what went wrong, and the platform's code when that is all
// there is to say.
std::wstring FileFailureText(FileFailure failure, unsigned code);

// Whole-file access for the settings file: one read, one replacement.
class IFileStore
{
public:
    // A settings file is a few kilobytes; nothing larger is read at all.
    static constexpr unsigned long long kMaxFileBytes = 16ull * 1024 * 1024;

    virtual ~IFileStore() = default;

    // The file's bytes. False when it cannot be opened for reading, is empty, is larger than
    // kMaxFileBytes, cannot be buffered, or cannot be read completely.
    virtual bool ReadAll(const wchar_t* path, std::vector<unsigned char>& bytes) = 0;

    // Replaces the file's content with `bytes`. On failure the old file stays as it was.
    virtual bool ReplaceAll(const wchar_t* path, const std::vector<unsigned char>& bytes) = 0;

    // Why the last ReadAll or ReplaceAll failed (None after a success), and the platform's
    // error code for it (0 when there is none).
    FileFailure LastFailure() const { return m_failure; }
    unsigned LastFailureCode() const { return m_failureCode; }

protected:
    bool Fail(FileFailure failure, unsigned code = 0)
    {
        m_failure = failure;
        m_failureCode = code;
        return false;
    }
    void Succeeded() { Fail(FileFailure::None); }

private:
    FileFailure m_failure = FileFailure::None;
    unsigned m_failureCode = 0;
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
