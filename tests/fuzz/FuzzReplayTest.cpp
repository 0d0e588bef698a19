// Replays the seed corpora and every input that once broke a fuzzer (regressions/), each
// through the body of its fuzz target, in the ordinary test suite.
#include "tests/fuzz/FuzzTargets.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace {

namespace fs = std::filesystem;
using Target = std::string (*)(const std::uint8_t*, std::size_t);

void replay(const char* name, Target target)
{
    const char* source = std::getenv("PONTEVA_SOURCE_DIR");
    ASSERT_NE(source, nullptr);
    int inputs = 0;
    for (const char* kind : {"corpus", "regressions"}) {
        const fs::path dir = fs::path(source) / "tests" / "fuzz" / kind / name;
        if (!fs::is_directory(dir))
            continue;
        for (const auto& entry : fs::directory_iterator(dir)) {
            const std::string bytes = ponteva::test::readFile(entry.path());
            SCOPED_TRACE(entry.path().string());
            EXPECT_EQ(target(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()), "");
            ++inputs;
        }
    }
    EXPECT_GT(inputs, 0) << "no input for " << name;
}

TEST(FuzzReplay, Tabla)
{
    replay("tabla", ponteva::fuzz::tabla);
}

TEST(FuzzReplay, Exportacion)
{
    replay("exportacion", ponteva::fuzz::exportacion);
}

TEST(FuzzReplay, Retorno)
{
    replay("retorno", ponteva::fuzz::retorno);
}

} // namespace
