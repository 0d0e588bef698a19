// Whole-file reading and atomic replacement of a file: the seam through which the XML
// document service touches files. One implementation per platform (POSIX, Win32).
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

namespace ponteva::files {

// Reads the whole file into data. Returns false, with a Spanish phrase in failure (no
// full stop), when the file cannot be opened or read, is not a regular file, or holds
// more than maxSize bytes.
bool readWholeFile(const std::filesystem::path& file, std::uintmax_t maxSize, std::string& data, std::string& failure);

// A new version of a file, written beside it under a temporary name and renamed over it
// only by commit(): a failure at any point leaves an earlier file of that name intact,
// and no temporary file behind. An existing file's permissions are kept.
class AtomicFile {
public:
    // Creates the temporary file in the target's directory. Throws ponteva::Error.
    explicit AtomicFile(const std::filesystem::path& target);
    ~AtomicFile(); // removes the temporary file unless committed; never throws
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // Throws ponteva::Error (a full disk, say) naming the target.
    void write(const void* data, std::size_t size);
    // Flushes and syncs the temporary file, renames it over the target and makes the
    // rename durable. Throws ponteva::Error naming the target.
    void commit();

    const std::filesystem::path& target() const { return m_target; }

private:
    struct Impl;
    std::filesystem::path m_target;
    std::unique_ptr<Impl> m;
};

} // namespace ponteva::files
