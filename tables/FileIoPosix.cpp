// The POSIX implementation of the file seam: pread/pwrite on a descriptor, flock for
// exclusive use, opendir for listing.
#include "tables/FileIo.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ponteva::dbf {

namespace {

class PosixFile final : public File {
public:
    explicit PosixFile(int fd)
        : m_fd(fd)
    {
    }
    ~PosixFile() override { ::close(m_fd); } // also releases the flock

    std::int64_t readAt(std::uint64_t offset, void* data, std::size_t size) override
    {
        std::size_t done = 0;
        auto* bytes = static_cast<char*>(data);
        while (done < size) {
            const ssize_t n = ::pread(m_fd, bytes + done, size - done, static_cast<off_t>(offset + done));
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                m_error = errno;
                return -1;
            }
            if (n == 0)
                break;
            done += static_cast<std::size_t>(n);
        }
        return static_cast<std::int64_t>(done);
    }

    bool writeAt(std::uint64_t offset, const void* data, std::size_t size) override
    {
        std::size_t done = 0;
        const auto* bytes = static_cast<const char*>(data);
        while (done < size) {
            const ssize_t n = ::pwrite(m_fd, bytes + done, size - done, static_cast<off_t>(offset + done));
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                m_error = errno;
                return false;
            }
            if (n == 0) {
                // pwrite of a non-empty buffer that writes nothing: the device took no more.
                m_error = ENOSPC;
                return false;
            }
            done += static_cast<std::size_t>(n);
        }
        return true;
    }

    bool truncate(std::uint64_t size) override
    {
        while (::ftruncate(m_fd, static_cast<off_t>(size)) != 0) {
            if (errno != EINTR) {
                m_error = errno;
                return false;
            }
        }
        return true;
    }

    std::int64_t size() override
    {
        struct stat st { };
        if (::fstat(m_fd, &st) != 0) {
            m_error = errno;
            return -1;
        }
        return static_cast<std::int64_t>(st.st_size);
    }

    bool lockExclusive() override
    {
        while (::flock(m_fd, LOCK_EX | LOCK_NB) != 0) {
            if (errno != EINTR) {
                m_error = errno;
                return false;
            }
        }
        return true;
    }

private:
    int m_fd;
};

class PosixFileIo final : public FileIo {
public:
    std::unique_ptr<File> open(const std::filesystem::path& path, Mode mode, int& err) override
    {
        int flags = O_CLOEXEC;
        switch (mode) {
        case Mode::Read: flags |= O_RDONLY; break;
        case Mode::ReadWrite: flags |= O_RDWR; break;
        case Mode::Create: flags |= O_RDWR | O_CREAT; break; // never O_TRUNC: the file may be held
        }
        int fd;
        do {
            fd = ::open(path.c_str(), flags, 0666);
        } while (fd < 0 && errno == EINTR);
        if (fd < 0) {
            err = errno;
            return nullptr;
        }
        struct stat st { };
        if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
            ::close(fd);
            err = EISDIR;
            return nullptr;
        }
        err = 0;
        return std::make_unique<PosixFile>(fd);
    }

    bool remove(const std::filesystem::path& path) override { return ::unlink(path.c_str()) == 0; }

    bool isDirectory(const std::filesystem::path& path) override
    {
        struct stat st { };
        return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    }

    std::vector<std::string> list(const std::filesystem::path& dir) override
    {
        std::vector<std::string> names;
        DIR* d = ::opendir(dir.c_str());
        if (!d)
            return names;
        while (const dirent* entry = ::readdir(d)) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..")
                names.push_back(name);
        }
        ::closedir(d);
        return names;
    }
};

} // namespace

FileIo& FileIo::system()
{
    static PosixFileIo io;
    return io;
}

} // namespace ponteva::dbf
