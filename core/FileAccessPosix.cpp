// Whole-file reading and atomic replacement of a file on POSIX systems.
#include "core/FileAccess.h"

#include "core/Error.h"

#include <cerrno>
#include <fcntl.h>
#include <random>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace ponteva::files {

namespace {

std::string sizeText(std::uintmax_t bytes)
{
    constexpr std::uintmax_t kKiB = 1024;
    const std::pair<std::uintmax_t, const char*> units[]
        = {{kKiB * kKiB * kKiB, "GiB"}, {kKiB * kKiB, "MiB"}, {kKiB, "KiB"}};
    for (const auto& [unit, name] : units) {
        if (bytes >= unit && bytes % unit == 0)
            return std::to_string(bytes / unit) + " " + name;
    }
    return std::to_string(bytes) + " bytes";
}

std::filesystem::path directoryOf(const std::filesystem::path& file)
{
    return file.has_parent_path() ? file.parent_path() : std::filesystem::path(".");
}

std::string saveFailure(const std::filesystem::path& file, const std::string& reason)
{
    return "No se pudo guardar '" + file.string() + "': " + reason + ".";
}

// Creates a uniquely named file next to the target, readable as a new file would be.
int createTemporary(const std::filesystem::path& file, std::string& tmpName)
{
    static constexpr char kAlphabet[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    thread_local std::mt19937 random{std::random_device{}()};
    std::uniform_int_distribution<size_t> pick(0, sizeof(kAlphabet) - 2);
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string suffix(6, 'x');
        for (char& c : suffix)
            c = kAlphabet[pick(random)];
        tmpName = (directoryOf(file) / ("." + file.filename().string() + ".tmp-" + suffix)).string();
        const int fd = ::open(tmpName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    errno = EEXIST;
    return -1;
}

} // namespace

bool readWholeFile(const std::filesystem::path& file, std::uintmax_t maxSize, std::string& data, std::string& failure)
{
    data.clear();
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        failure = "No se pudo abrir el archivo: " + describeErrno(errno);
        return false;
    }
    struct stat st { };
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        const int err = S_ISDIR(st.st_mode) ? EISDIR : errno;
        ::close(fd);
        failure = "No se pudo leer el archivo: "
            + (err != 0 ? describeErrno(err) : std::string("no es un archivo corriente"));
        return false;
    }
    const std::string tooBig = "El archivo ocupa más de " + sizeText(maxSize);
    if (static_cast<std::uintmax_t>(st.st_size) > maxSize) {
        ::close(fd);
        failure = tooBig;
        return false;
    }
    // One byte more than the size, so that a file that grew meanwhile is noticed.
    data.resize(static_cast<size_t>(st.st_size) + 1);
    size_t size = 0;
    for (;;) {
        if (size == data.size()) {
            if (size > maxSize)
                break;
            data.resize(std::min<std::uintmax_t>(data.size() * 2, maxSize + 1));
        }
        const ssize_t n = ::read(fd, data.data() + size, data.size() - size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            const int err = errno;
            ::close(fd);
            data.clear();
            failure = "No se pudo leer el archivo: " + describeErrno(err);
            return false;
        }
        if (n == 0)
            break;
        size += static_cast<size_t>(n);
    }
    ::close(fd);
    if (size > maxSize) {
        data.clear();
        failure = tooBig;
        return false;
    }
    data.resize(size);
    return true;
}

struct AtomicFile::Impl {
    std::string tmpName;
    int fd = -1;
};

AtomicFile::AtomicFile(const std::filesystem::path& target)
    : m_target(target)
    , m(std::make_unique<Impl>())
{
    m->fd = createTemporary(target, m->tmpName);
    if (m->fd < 0)
        throw Error(saveFailure(target, describeErrno(errno)));
    // The replaced file keeps its permissions.
    struct stat old { };
    if (::stat(target.c_str(), &old) == 0 && S_ISREG(old.st_mode))
        (void)::fchmod(m->fd, old.st_mode & 07777);
}

AtomicFile::~AtomicFile()
{
    if (m->fd >= 0) {
        ::close(m->fd);
        ::unlink(m->tmpName.c_str());
    }
}

void AtomicFile::write(const void* data, std::size_t size)
{
    if (m->fd < 0)
        throw std::logic_error("AtomicFile::write after commit");
    const char* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::write(m->fd, bytes, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throw Error(saveFailure(m_target, describeErrno(errno)));
        }
        bytes += n;
        size -= static_cast<size_t>(n);
    }
}

void AtomicFile::commit()
{
    if (m->fd < 0)
        throw std::logic_error("AtomicFile::commit twice");
    int err = 0;
    if (::fsync(m->fd) != 0)
        err = errno;
    if (::close(m->fd) != 0 && err == 0)
        err = errno;
    m->fd = -1;
    if (err == 0 && ::rename(m->tmpName.c_str(), m_target.c_str()) != 0)
        err = errno;
    if (err != 0) {
        ::unlink(m->tmpName.c_str());
        throw Error(saveFailure(m_target, describeErrno(err)));
    }
    // Makes the rename itself durable; the file is already in place if this fails.
    const int dirFd = ::open(directoryOf(m_target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        (void)::fsync(dirFd);
        ::close(dirFd);
    }
}

} // namespace ponteva::files
