// Test helpers: a temporary directory removed at the end of the test, and small file utilities.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace ponteva::test {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return m_path; }
    std::filesystem::path operator/(std::string_view name) const { return m_path / name; }

private:
    std::filesystem::path m_path;
};

std::string readFile(const std::filesystem::path& file);
void writeFile(const std::filesystem::path& file, std::string_view bytes);

// Runs a shell command; returns its exit status and fills output with its stdout. Linux
// only: on Windows it returns -1.
int runCommand(const std::string& command, std::string& output);

// The cross-checks against Debian's own dBase readers and writers (Python, GDAL) run in
// the Linux suite: a Windows test under Wine has no shell to start them from, and the
// tables are the same bytes on both systems.
#ifdef _WIN32
#define PONTEVA_SKIP_HOST_TOOLS() GTEST_SKIP() << "the cross-checks with Debian's dBase tools run in the Linux suite"
#else
#define PONTEVA_SKIP_HOST_TOOLS() static_cast<void>(0)
#endif

// The system Python (Debian's, which sees python3-dbfread, python3-dbf and GDAL).
std::string systemPython();

// Quotes a path or word for the shell.
std::string shellQuote(std::string_view text);

} // namespace ponteva::test
