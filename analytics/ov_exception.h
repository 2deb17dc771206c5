// The analytics module's exception type. It is raised by validation and initialisation
// inside orvan::analytics and caught at TrackerWrapper; it never leaves the module.
#pragma once

#include <stdexcept>
#include <string>

namespace orvan::analytics {

class OvException : public std::exception {
public:
    OvException(std::string message, std::string file, std::string function, int line)
        : message_(std::move(message)),
          file_(std::move(file)),
          function_(std::move(function)),
          line_(line) {}

    /// The message alone.
    const char* what() const noexcept override { return message_.c_str(); }
    const std::string& message() const { return message_; }
    const std::string& file() const { return file_; }
    const std::string& function() const { return function_; }
    int line() const { return line_; }
    /// Two codes kept for the exception's callers; this module always leaves them at -1.
    int code() const { return code_; }
    int subCode() const { return subCode_; }

private:
    std::string message_;
    std::string file_;
    std::string function_;
    int line_;
    int code_ = -1;
    int subCode_ = -1;
};

}  // namespace orvan::analytics

/// Raises OvException naming this source file and line and the given function name.
#define OV_THROW(function, message) \
    throw ::orvan::analytics::OvException((message), __FILE__, (function), __LINE__)
