// The Win32 implementation of the file seam, on the wide-character API. A table is opened
// with share mode 0, as Windows programs take exclusive use: while we hold it the
// timetabler sees it in use, and a table it holds is refused to us at the open. Letter
// case in names is left to the file system.
#include "tables/FileIo.h"

#include "core/Win32Text.h"

#include <algorithm>
#include <cerrno>
#include <windows.h>

namespace ponteva::dbf {

namespace {

int lastErrno()
{
    return win32::errnoFromWin32(GetLastError());
}

OVERLAPPED at(std::uint64_t offset)
{
    OVERLAPPED o{};
    o.Offset = static_cast<DWORD>(offset & 0xFFFFFFFFu);
    o.OffsetHigh = static_cast<DWORD>(offset >> 32);
    return o;
}

class Win32File final : public File {
public:
    explicit Win32File(HANDLE h)
        : m_handle(h)
    {
    }
    ~Win32File() override { CloseHandle(m_handle); }

    std::int64_t readAt(std::uint64_t offset, void* data, std::size_t size) override
    {
        std::size_t done = 0;
        auto* bytes = static_cast<char*>(data);
        while (done < size) {
            OVERLAPPED o = at(offset + done);
            const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(size - done, 1u << 30));
            DWORD n = 0;
            if (!ReadFile(m_handle, bytes + done, chunk, &n, &o)) {
                if (GetLastError() == ERROR_HANDLE_EOF)
                    break;
                m_error = lastErrno();
                return -1;
            }
            if (n == 0)
                break;
            done += n;
        }
        return static_cast<std::int64_t>(done);
    }

    bool writeAt(std::uint64_t offset, const void* data, std::size_t size) override
    {
        std::size_t done = 0;
        const auto* bytes = static_cast<const char*>(data);
        while (done < size) {
            OVERLAPPED o = at(offset + done);
            const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(size - done, 1u << 30));
            DWORD n = 0;
            if (!WriteFile(m_handle, bytes + done, chunk, &n, &o)) {
                m_error = lastErrno();
                return false;
            }
            if (n == 0) {
                m_error = ENOSPC;
                return false;
            }
            done += n;
        }
        return true;
    }

    bool truncate(std::uint64_t size) override
    {
        FILE_END_OF_FILE_INFO end{};
        end.EndOfFile.QuadPart = static_cast<LONGLONG>(size);
        if (!SetFileInformationByHandle(m_handle, FileEndOfFileInfo, &end, sizeof end)) {
            m_error = lastErrno();
            return false;
        }
        return true;
    }

    std::int64_t size() override
    {
        LARGE_INTEGER size{};
        if (!GetFileSizeEx(m_handle, &size)) {
            m_error = lastErrno();
            return -1;
        }
        return size.QuadPart;
    }

    // The open took share mode 0: no one else has the file while we hold it.
    bool lockExclusive() override { return true; }

private:
    HANDLE m_handle;
};

bool directoryAt(const std::filesystem::path& path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

class Win32FileIo final : public FileIo {
public:
    std::unique_ptr<File> open(const std::filesystem::path& path, Mode mode, int& err) override
    {
        const DWORD access = mode == Mode::Read ? GENERIC_READ : GENERIC_READ | GENERIC_WRITE;
        // Never CREATE_ALWAYS: the file may be held, and is truncated only once it is ours.
        const DWORD disposition = mode == Mode::Create ? OPEN_ALWAYS : OPEN_EXISTING;
        HANDLE h = CreateFileW(path.c_str(), access, 0, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE) {
            err = lastErrno();
            if (err == EACCES && directoryAt(path))
                err = EISDIR;
            return nullptr;
        }
        err = 0;
        return std::make_unique<Win32File>(h);
    }

    bool remove(const std::filesystem::path& path) override { return DeleteFileW(path.c_str()) != 0; }

    bool isDirectory(const std::filesystem::path& path) override { return directoryAt(path); }

    std::vector<std::string> list(const std::filesystem::path& dir) override
    {
        std::vector<std::string> names;
        WIN32_FIND_DATAW entry;
        HANDLE find = FindFirstFileExW(
            (dir / L"*").c_str(), FindExInfoBasic, &entry, FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
        if (find == INVALID_HANDLE_VALUE)
            return names;
        do {
            const std::wstring_view name = entry.cFileName;
            if (name != L"." && name != L"..")
                names.push_back(win32::narrow(name));
        } while (FindNextFileW(find, &entry));
        FindClose(find);
        return names;
    }

    bool namesIgnoreCase() override { return true; }
};

} // namespace

FileIo& FileIo::system()
{
    static Win32FileIo io;
    return io;
}

} // namespace ponteva::dbf
