// The folders of one bad-input case: a school's document beside where its result goes,
// and a working directory with the tables of an earlier export and the timetabler's
// SOLUC.DBF; a small file system mounted for a case, and another process holding a file.
#pragma once

#include "tests/support/TempDir.h"
#include "tests/tables/TableFixtures.h"

#include <filesystem>
#include <memory>
#include <string>
#include <sys/types.h>

namespace ponteva::test {

// A small school whose tables the return run looks codes up in.
extern const char* const kEscuela;

// SOLUC.DBF as the timetabler writes it, with codes the school's tables hold.
DbfFixture soluc(std::size_t rows = 3);

// A tmpfs mounted for one case; tests that need one are skipped where mounting is not allowed.
class Tmpfs {
public:
    Tmpfs(const std::filesystem::path& at, const char* size);
    ~Tmpfs();
    Tmpfs(const Tmpfs&) = delete;
    Tmpfs& operator=(const Tmpfs&) = delete;
    bool mounted() const { return m_mounted; }
    bool makeReadOnly();

private:
    std::filesystem::path m_at;
    bool m_mounted = false;
};

// Another process holding a file open and locked, as the engine locks it, until released.
class Holder {
public:
    explicit Holder(const std::filesystem::path& file);
    ~Holder();
    Holder(const Holder&) = delete;
    Holder& operator=(const Holder&) = delete;
    bool holding() const { return m_holding; }

private:
    pid_t m_pid = -1;
    int m_release = -1;
    bool m_holding = false;
};

struct Sandbox {
    TempDir tmp;
    std::filesystem::path document = tmp / "docs" / "centro.xml";
    std::filesystem::path workDir = tmp / "VTEMP";
    std::unique_ptr<Tmpfs> mount;
    std::unique_ptr<Holder> holder;
    std::string skip; // why the case cannot be arranged here

    Sandbox();
    // The document, an export of it, and a SOLUC.DBF.
    void fill();
    std::filesystem::path result() const;
    // Mounts a small file system at dir, keeping what dir held; false (with skip set) when
    // mounting is not allowed here.
    bool mountSmall(const std::filesystem::path& dir, const char* size);
};

} // namespace ponteva::test
