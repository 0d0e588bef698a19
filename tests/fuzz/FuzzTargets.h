// The bodies of the fuzz targets, shared by the libFuzzer executables and by the ordinary
// test suite, which replays the seed corpora and every input a fuzzer once broke on.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace ponteva::fuzz {

// Each takes one input and returns the empty text, or what went wrong that no input may
// cause (a run that reports success and left no tables, a failed run that left a file
// behind). Errors with a message for the user are the expected outcome and return "".
// Crashes and sanitizer reports are left to the sanitizers.

// A table file of arbitrary bytes: open, walk every row, read every field as text, integer
// and number, and locate each row's values.
std::string tabla(const std::uint8_t* data, std::size_t size);

// An exchange document of arbitrary bytes, loaded and exported into a temporary directory.
std::string exportacion(const std::uint8_t* data, std::size_t size);

// A SOLUC.DBF of arbitrary bytes, returned against valid look-up tables and document.
std::string retorno(const std::uint8_t* data, std::size_t size);

} // namespace ponteva::fuzz
