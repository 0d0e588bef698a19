// Starting another program from a test, the same way on Linux and Windows: arguments as
// UTF-8 (no shell in between), environment changes, standard output and error captured.
#pragma once

#include "tests/support/TempDir.h"

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace ponteva::test {

// Variables to set (a value) or to remove (no value) in the child's environment.
using Environment = std::vector<std::pair<std::string, std::optional<std::string>>>;

struct Outcome {
    int status = -1; // the exit status; -1 when the program could not run or was killed
    std::string out, err;
};

// A program running beside the test.
class ChildProcess {
public:
    ChildProcess(
        const std::filesystem::path& program, const std::vector<std::string>& args, const Environment& env = {});
    ~ChildProcess(); // waits for it
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool started() const;
    Outcome wait();

private:
    struct Impl;
    TempDir m_files; // its captured output
    std::unique_ptr<Impl> m;
};

inline Outcome runProgram(
    const std::filesystem::path& program, const std::vector<std::string>& args, const Environment& env = {})
{
    return ChildProcess(program, args, env).wait();
}

// This test program's own file, to run one of its tests in another process.
std::filesystem::path thisProgram();

} // namespace ponteva::test
