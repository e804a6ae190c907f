#include "runtime/core/runtime_error.h"

#include <cerrno>
#include <cstring>

namespace pellavin::runtime {
namespace {

std::string compose(int number, const std::string& description, const std::string& detail)
{
    std::string text = "Run-time error '" + std::to_string(number) + "': " + description;
    if (!detail.empty()) {
        text += " (" + detail + ")";
    }
    return text;
}

int number_for_errno(int err)
{
    switch (err) {
    case ENOENT:
        return error_number::kFileNotFound;
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP:
        return error_number::kPathNotFound;
    case EACCES:
    case EPERM:
        return error_number::kPermissionDenied;
    case ENOSPC:
    case EDQUOT:
        return error_number::kDiskFull;
    case EIO:
        return error_number::kDeviceIo;
    case ENOMEM:
        return error_number::kOutOfMemory;
    default:
        return error_number::kPathFileAccess;
    }
}

}  // namespace

std::string describe_error_number(int number)
{
    switch (number) {
    case error_number::kOverflow:
        return "Overflow";
    case error_number::kOutOfMemory:
        return "Out of memory";
    case error_number::kDivisionByZero:
        return "Division by zero";
    case error_number::kTypeMismatch:
        return "Type mismatch";
    case error_number::kFileNotFound:
        return "File not found";
    case error_number::kDeviceIo:
        return "Device I/O error";
    case error_number::kDiskFull:
        return "Disk full";
    case error_number::kPermissionDenied:
        return "Permission denied";
    case error_number::kPathFileAccess:
        return "Path/File access error";
    case error_number::kPathNotFound:
        return "Path not found";
    default:
        return "Application-defined or object-defined error";
    }
}

RuntimeError::RuntimeError(int number, std::string detail)
    : std::runtime_error(compose(number, describe_error_number(number), detail))
    , number_(number)
    , description_(describe_error_number(number))
    , detail_(std::move(detail))
{
}

RuntimeError os_error(const std::string& what, int err)
{
    return RuntimeError(number_for_errno(err), what + ": " + std::strerror(err));
}

}  // namespace pellavin::runtime
