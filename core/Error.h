// The one exception type of the core: it carries the Spanish message the user reads.
#pragma once

#include <stdexcept>
#include <string>

namespace ponteva {

// Thrown by the core, caught only by the window and the command-line tool.
// The message is UTF-8 and complete: callers show it as it is.
class Error : public std::runtime_error {
public:
    explicit Error(const std::string& message)
        : std::runtime_error(message)
    {
    }
};

// The run's input is not there ("No existe archivo"): an expected outcome, told to the
// user as a plain message rather than as an error.
class MissingInputError : public Error {
public:
    using Error::Error;
};

// Spanish description of an errno value, for messages about files.
std::string describeErrno(int err);

} // namespace ponteva
