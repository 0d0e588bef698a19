// The Win32 implementation of whole-file reads and atomic replacement, on the
// wide-character API so that any name the file system holds can be reached.
#include "core/FileAccess.h"

#include "core/Error.h"
#include "core/PathText.h"
#include "core/Win32Text.h"

#include <algorithm>
#include <climits>
#include <random>
#include <windows.h>

namespace ponteva::files {

namespace {

std::string describeLastError()
{
    return describeErrno(win32::errnoFromWin32(GetLastError()));
}

std::string sizeText(std::uintmax_t bytes)
{
    constexpr std::uintmax_t kMiB = std::uintmax_t{1} << 20;
    constexpr std::uintmax_t kGiB = std::uintmax_t{1} << 30;
    if (bytes % kGiB == 0)
        return std::to_string(bytes / kGiB) + " GiB";
    if (bytes % kMiB == 0)
        return std::to_string(bytes / kMiB) + " MiB";
    return std::to_string(bytes) + " bytes";
}

bool isDirectory(const std::filesystem::path& path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

} // namespace

bool readWholeFile(const std::filesystem::path& file, std::uintmax_t maxSize, std::string& data, std::string& failure)
{
    data.clear();
    // Others may go on reading and writing it: the document is only read.
    HANDLE h = CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        // A directory opens on POSIX and fails at the read: told the same way here.
        failure = isDirectory(file) ? "No se pudo leer el archivo: " + describeErrno(EISDIR)
                                    : "No se pudo abrir el archivo: " + describeLastError();
        return false;
    }
    struct Closer {
        HANDLE h;
        ~Closer() { CloseHandle(h); }
    } closer{h};

    LARGE_INTEGER size{};
    if (GetFileType(h) != FILE_TYPE_DISK || !GetFileSizeEx(h, &size)) {
        failure = "No se pudo abrir el archivo: no es un archivo normal";
        return false;
    }
    if (static_cast<std::uintmax_t>(size.QuadPart) > maxSize) {
        failure = "El archivo ocupa más de " + sizeText(maxSize) + "; no se carga";
        return false;
    }
    data.resize(static_cast<size_t>(size.QuadPart));
    size_t done = 0;
    // The file may change size while it is read: it is read up to its end, or one byte
    // past the limit, whichever comes first.
    for (;;) {
        if (done == data.size()) {
            if (done > maxSize)
                break;
            data.resize(std::min<std::uintmax_t>(std::max<size_t>(done * 2, 64 * 1024), maxSize + 1));
        }
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(data.size() - done, 1u << 30));
        DWORD n = 0;
        if (!ReadFile(h, data.data() + done, chunk, &n, nullptr)) {
            failure = "No se pudo leer el archivo: " + describeLastError();
            data.clear();
            return false;
        }
        if (n == 0)
            break;
        done += n;
    }
    data.resize(done);
    if (done > maxSize) {
        data.clear();
        failure = "El archivo ocupa más de " + sizeText(maxSize) + "; no se carga";
        return false;
    }
    return true;
}

struct AtomicFile::Impl {
    std::filesystem::path temporary;
    HANDLE handle = INVALID_HANDLE_VALUE;
    bool committed = false;

    void closeHandle()
    {
        if (handle != INVALID_HANDLE_VALUE)
            CloseHandle(handle);
        handle = INVALID_HANDLE_VALUE;
    }
};

namespace {

[[noreturn]] void fail(const std::filesystem::path& target, const std::string& reason)
{
    throw Error("No se pudo guardar '" + pathText(target) + "': " + reason + ".");
}

// Why a file cannot be made at path, told as on POSIX: Windows says "path not found"
// also where a part of the path is a file.
std::string whyNotCreated(const std::filesystem::path& path)
{
    const int err = win32::errnoFromWin32(GetLastError());
    if (err == ENOENT) {
        for (std::filesystem::path p = path.parent_path(); p.has_relative_path(); p = p.parent_path()) {
            const DWORD attributes = GetFileAttributesW(p.c_str());
            if (attributes == INVALID_FILE_ATTRIBUTES)
                continue;
            if (!(attributes & FILE_ATTRIBUTE_DIRECTORY))
                return describeErrno(ENOTDIR);
            break;
        }
    }
    return describeErrno(err);
}

} // namespace

AtomicFile::AtomicFile(const std::filesystem::path& target)
    : m_target(target)
    , m(std::make_unique<Impl>())
{
    if (isDirectory(target))
        fail(target, describeErrno(EISDIR));
    static constexpr wchar_t kAlphabet[] = L"abcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device random;
    const std::filesystem::path dir = target.has_parent_path() ? target.parent_path() : std::filesystem::path(L".");
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::wstring name = L"." + target.filename().wstring() + L".tmp-";
        for (int i = 0; i < 6; ++i)
            name += kAlphabet[random() % (sizeof(kAlphabet) / sizeof(wchar_t) - 1)];
        const std::filesystem::path candidate = dir / name;
        m->handle = CreateFileW(
            candidate.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (m->handle != INVALID_HANDLE_VALUE) {
            m->temporary = candidate;
            return;
        }
        if (GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS)
            fail(target, whyNotCreated(candidate));
    }
    fail(target, describeErrno(EEXIST));
}

AtomicFile::~AtomicFile()
{
    if (m->committed)
        return;
    m->closeHandle();
    if (!m->temporary.empty())
        DeleteFileW(m->temporary.c_str());
}

void AtomicFile::write(const void* data, std::size_t size)
{
    const auto* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
        DWORD n = 0;
        if (!WriteFile(m->handle, bytes, chunk, &n, nullptr))
            fail(m_target, describeLastError());
        if (n == 0)
            fail(m_target, describeErrno(ENOSPC));
        bytes += n;
        size -= n;
    }
}

void AtomicFile::commit()
{
    if (!FlushFileBuffers(m->handle))
        fail(m_target, describeLastError());
    m->closeHandle();
    // The replaced file's attributes (hidden, archive, not indexed...) go to its successor;
    // a read-only file stays read-only and so, as on Windows, refuses to be replaced.
    const DWORD attributes = GetFileAttributesW(m_target.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        SetFileAttributesW(m->temporary.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
    if (!MoveFileExW(m->temporary.c_str(), m_target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        const std::string reason = describeLastError();
        DeleteFileW(m->temporary.c_str());
        m->temporary.clear();
        fail(m_target, reason);
    }
    m->committed = true;
}

} // namespace ponteva::files
