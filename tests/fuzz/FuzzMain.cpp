// The libFuzzer entry point of one target, chosen at build time by PONTEVA_FUZZ_TARGET.
#include "tests/fuzz/FuzzTargets.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string failure = ponteva::fuzz::PONTEVA_FUZZ_TARGET(data, size);
    if (!failure.empty()) {
        std::fprintf(stderr, "ponteva fuzz: %s\n", failure.c_str());
        std::abort();
    }
    return 0;
}
