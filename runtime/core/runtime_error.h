#pragma once

#include <stdexcept>
#include <string>

namespace pellavin::runtime {

// The runtime's own error numbers; their descriptions are the ones users of
// form-based programs know from the message box.
namespace error_number {
inline constexpr int kOverflow = 6;
inline constexpr int kOutOfMemory = 7;
inline constexpr int kDivisionByZero = 11;
inline constexpr int kTypeMismatch = 13;
inline constexpr int kFileNotFound = 53;
inline constexpr int kDeviceIo = 57;
inline constexpr int kDiskFull = 61;
inline constexpr int kPermissionDenied = 70;
inline constexpr int kPathFileAccess = 75;
inline constexpr int kPathNotFound = 76;
}  // namespace error_number

// A runtime error: a number, its standard description, and what failed in
// plain words (a path, the operating system's reason) where there is one.
class RuntimeError : public std::runtime_error {
public:
    RuntimeError(int number, std::string detail = {});

    int number() const { return number_; }
    const std::string& description() const { return description_; }
    const std::string& detail() const { return detail_; }

private:
    int number_;
    std::string description_;
    std::string detail_;
};

std::string describe_error_number(int number);

// The error for a failed file or process operation: `what` names the
// object (a path), `err` is the errno the operating system gave.
RuntimeError os_error(const std::string& what, int err);

}  // namespace pellavin::runtime
