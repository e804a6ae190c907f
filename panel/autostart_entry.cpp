#include "panel/autostart_entry.h"

#include "runtime/core/runtime_error.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <fcntl.h>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace pellavin::panel {
namespace {

namespace error_number = runtime::error_number;

constexpr char kGroup[] = "[Desktop Entry]";
constexpr size_t kLargestEntry = 64 * 1024;  // far beyond any real entry; a bound on what a store reads
constexpr mode_t kEntryMode = 0644;

// A desktop entry's string value: backslashes and control characters escaped.
std::string string_value(const std::string& text)
{
    std::string escaped;
    for (const char c : text) {
        switch (c) {
        case '\\': escaped += "\\\\"; break;
        case '\n': escaped += "\\n"; break;
        case '\t': escaped += "\\t"; break;
        case '\r': escaped += "\\r"; break;
        default: escaped += c;
        }
    }
    return escaped;
}

// The program as the one argument of Exec, quoted whatever the path holds,
// so that no character in it can split it or read as a field code.
std::string exec_argument(const std::string& path)
{
    std::string quoted = "\"";
    for (const char c : path) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
        if (c == '%') quoted += '%';
        quoted += c;
    }
    return string_value(quoted + "\"");
}

bool valid_utf8(const std::string& text)
{
    for (size_t at = 0; at < text.size();) {
        const auto lead = static_cast<unsigned char>(text[at]);
        const size_t length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : (lead >> 3) == 0x1E ? 4 : 0;
        if (length == 0 || at + length > text.size()) return false;
        uint32_t code = length == 1 ? lead : lead & (0x7F >> length);
        for (size_t next = 1; next < length; ++next) {
            const auto byte = static_cast<unsigned char>(text[at + next]);
            if ((byte & 0xC0) != 0x80) return false;
            code = (code << 6) | (byte & 0x3F);
        }
        // Overlong forms, surrogates and what lies beyond Unicode are not UTF-8.
        constexpr std::array<uint32_t, 5> kSmallest = {0, 0, 0x80, 0x800, 0x10000};
        if (code < kSmallest[length] || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF) return false;
        at += length;
    }
    return true;
}

std::vector<std::string> lines_of(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);) lines.push_back(line);
    return lines;
}

// A key line's key, blanks around the '=' allowed; nothing for any other line.
std::string key_of(const std::string& line)
{
    const size_t equals = line.find('=');
    if (equals == std::string::npos || line.starts_with('#')) return {};
    return line.substr(0, line.find_last_not_of(' ', equals - 1) + 1);
}

std::string value_of(const std::string& line)
{
    const size_t start = line.find_first_not_of(' ', line.find('=') + 1);
    return start == std::string::npos ? std::string() : line.substr(start);
}

using Lines = std::vector<std::string>;

// The lines of the [Desktop Entry] group, after its header.
std::pair<Lines::iterator, Lines::iterator> main_group(Lines& lines)
{
    const auto header = std::find(lines.begin(), lines.end(), kGroup);
    if (header == lines.end()) return {lines.end(), lines.end()};
    const auto body = header + 1;
    return {body, std::find_if(body, lines.end(), [](const std::string& line) { return line.starts_with('['); })};
}

}  // namespace

std::string entry_starting(const std::string& current, const std::string& watcher)
{
    if (!valid_utf8(watcher)) {
        throw runtime::RuntimeError(error_number::kPathFileAccess,
            watcher + ": not UTF-8, so no desktop entry can name it");
    }
    const std::vector<std::pair<std::string, std::string>> ours = {
        {"Type", "Application"},
        {"Name", "Pellavin Idle"},
        {"Comment", "Starts the Pellavin game when the computer has been left alone for its Time Delay"},
        {"Exec", exec_argument(watcher)},
        {"TryExec", string_value(watcher)},
        {"Terminal", "false"},
        {"NoDisplay", "true"},
    };
    Lines lines = lines_of(current);
    if (std::find(lines.begin(), lines.end(), kGroup) == lines.end()) lines.insert(lines.begin(), kGroup);
    const auto [body, end] = main_group(lines);
    const auto is_ours = [&ours](const std::string& line) {
        const std::string key = key_of(line);
        return std::any_of(ours.begin(), ours.end(), [&key](const auto& pair) { return pair.first == key; });
    };
    const auto body_at = body - lines.begin();
    lines.erase(std::remove_if(body, end, is_ours), end);
    Lines own;
    for (const auto& [key, value] : ours) own.push_back(key + "=" + value);
    lines.insert(lines.begin() + body_at, own.begin(), own.end());
    std::string text;
    for (const std::string& line : lines) text += line + "\n";
    return text;
}

bool starts_watcher(const std::string& entry, const std::string& watcher)
{
    Lines lines = lines_of(entry);
    const auto [body, end] = main_group(lines);
    return std::any_of(body, end, [&watcher](const std::string& line) {
        return key_of(line) == "Exec" && value_of(line) == exec_argument(watcher);
    });
}

std::optional<std::string> read_entry(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        if (errno == ENOENT) return std::nullopt;
        throw runtime::os_error(path, errno);
    }
    struct stat info {};
    const bool regular = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    std::string text;
    char buffer[4096];
    ssize_t got = 0;
    while (regular && text.size() <= kLargestEntry && (got = ::read(fd, buffer, sizeof buffer)) > 0) {
        text.append(buffer, static_cast<size_t>(got));
    }
    const int err = errno;
    ::close(fd);
    if (!regular) throw runtime::RuntimeError(error_number::kPathFileAccess, path + ": not a regular file");
    if (got < 0) throw runtime::os_error(path, err);
    if (text.size() > kLargestEntry) {
        throw runtime::RuntimeError(error_number::kPathFileAccess,
            path + ": larger than " + std::to_string(kLargestEntry / 1024) + " KiB, so no desktop entry");
    }
    return text;
}

void write_entry(const std::string& path, const std::string& text)
{
    const std::string partial = path + ".new";
    const int fd = ::open(partial.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, kEntryMode);
    if (fd < 0) throw runtime::os_error(path, errno);
    int failure = 0;
    for (size_t done = 0; failure == 0 && done < text.size();) {
        const ssize_t put = ::write(fd, text.data() + done, text.size() - done);
        if (put > 0) done += static_cast<size_t>(put);
        else if (put == 0 || errno != EINTR) failure = put == 0 ? ENOSPC : errno;
    }
    if (failure == 0 && ::fsync(fd) != 0) failure = errno;
    if (::close(fd) != 0 && failure == 0) failure = errno;
    if (failure == 0 && ::rename(partial.c_str(), path.c_str()) != 0) failure = errno;
    if (failure != 0) {
        ::unlink(partial.c_str());
        throw runtime::os_error(path, failure);
    }
}

}  // namespace pellavin::panel
