// The one seam through which the table engine touches files. The system implementation
// is one file per platform (FileIoPosix.cpp, FileIoWin32.cpp); tests install one that
// fails on demand (a short read, a full disk).
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace ponteva::dbf {

// An open file. Every call returns false and sets an errno-style code in lastError() on
// failure; on Windows the system's error codes are mapped to the nearest errno value.
class File {
public:
    virtual ~File() = default;
    // Reads up to size bytes at offset; returns the count read (short at end of file), or -1.
    virtual std::int64_t readAt(std::uint64_t offset, void* data, std::size_t size) = 0;
    virtual bool writeAt(std::uint64_t offset, const void* data, std::size_t size) = 0;
    virtual bool truncate(std::uint64_t size) = 0;
    virtual std::int64_t size() = 0;
    // Non-blocking exclusive lock for the life of this open file; false when held elsewhere,
    // by another process or by another open of the same file in this process. On Windows
    // every open is already exclusive (share mode 0), so this always succeeds there.
    virtual bool lockExclusive() = 0;
    int lastError() const { return m_error; }

protected:
    int m_error = 0;
};

class FileIo {
public:
    virtual ~FileIo() = default;
    enum class Mode { Read, ReadWrite, Create };
    // nullptr on failure, with the errno value in err; EBUSY when someone else holds the
    // file (on Windows, where opening is what is refused). Create makes the file when it
    // is missing and never truncates an existing one (it may be held by someone else).
    virtual std::unique_ptr<File> open(const std::filesystem::path& path, Mode mode, int& err) = 0;
    virtual bool remove(const std::filesystem::path& path) = 0;
    virtual bool isDirectory(const std::filesystem::path& path) = 0;
    // The names of the entries of a directory (not recursive); empty when unreadable.
    virtual std::vector<std::string> list(const std::filesystem::path& dir) = 0;
    // Whether the file system takes names that differ only in letter case for one file
    // (Windows), so that no other letter-case variant of a table can stand beside it.
    virtual bool namesIgnoreCase() { return false; }

    // The process-wide implementation of this platform.
    static FileIo& system();
};

} // namespace ponteva::dbf
