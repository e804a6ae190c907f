#include "common/settings.h"
#include "runtime/core/runtime_error.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>

namespace pellavin {
namespace {

using runtime::RuntimeError;
using testing::read_file;
using testing::TempDir;
using testing::write_file;
namespace error_number = runtime::error_number;

constexpr size_t kMegabyte = 1 << 20;

// The kernel's count of bytes this process has read, as it stood before
// this read of it; `length` is what this read itself took.
uint64_t read_count(size_t& length)
{
    char text[512] = {};
    const int fd = ::open("/proc/self/io", O_RDONLY | O_CLOEXEC);
    const ssize_t got = fd < 0 ? -1 : ::read(fd, text, sizeof text - 1);
    if (fd >= 0) ::close(fd);
    const char* count = got > 0 ? std::strstr(text, "rchar: ") : nullptr;
    if (count == nullptr) throw std::runtime_error("no read count in /proc/self/io");
    length = static_cast<size_t>(got);
    return std::strtoull(count + std::strlen("rchar: "), nullptr, 10);
}

// The bytes that `action` read, by the kernel's count.
uint64_t bytes_read_by(const std::function<void()>& action)
{
    size_t count_length = 0;
    const uint64_t before = read_count(count_length);
    action();
    size_t unused = 0;
    return read_count(unused) - before - count_length;
}

// Field `index` as the file's bytes say: little-endian, zero past the end.
int16_t field_in(const std::string& bytes, size_t index)
{
    const auto byte = [&](size_t i) { return i < bytes.size() ? static_cast<uint8_t>(bytes[i]) : 0u; };
    return static_cast<int16_t>(byte(2 * index) | byte(2 * index + 1) << 8);
}

std::array<int16_t, 6> fields_of(const SettingsRecord& r)
{
    return {r.GameType, r.NoAutoplay, r.NoResumeOnClick, r.DelayMinutes, r.RandomColors, r.NoScreensaver};
}

std::string bytes_of(const SettingsRecord& record)
{
    const auto bytes = record.to_bytes();
    return std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

// No byte of it is zero, so a field read from the wrong place shows.
std::string file_of_length(size_t length)
{
    std::string bytes(length, '\0');
    for (size_t i = 0; i < length; ++i) bytes[i] = static_cast<char>(1 + (i * 37) % 255);
    return bytes;
}

TEST(SettingsFile, LoadReadsTwelveBytesAtMostAndStoreKeepsTheRest)
{
    std::vector<size_t> lengths;
    for (size_t length = 0; length <= 13; ++length) lengths.push_back(length);
    lengths.push_back(kMegabyte);

    SettingsRecord stored;
    stored.GameType = 1;
    stored.NoAutoplay = -1;
    stored.DelayMinutes = 30;
    stored.RandomColors = 1;
    for (const size_t length : lengths) {
        TempDir dir;
        const std::string path = settings_path(dir.path().string());
        const std::string contents = file_of_length(length);
        write_file(path, contents);

        for (const auto load : {&SettingsRecord::Load, &SettingsRecord::LoadExisting}) {
            SettingsRecord loaded;
            const uint64_t read = bytes_read_by([&] { loaded = load(path); });
            EXPECT_EQ(read, std::min(length, SettingsRecord::kSize)) << length << " bytes";

            for (size_t i = 0; i < 6; ++i) {
                EXPECT_EQ(fields_of(loaded)[i], field_in(contents, i)) << length << " bytes, field " << i;
            }
            EXPECT_EQ(read_file(path), contents) << length << " bytes: the load changed the file";
        }

        stored.Store(path);
        const std::string after = read_file(path);
        EXPECT_EQ(after.substr(0, SettingsRecord::kSize), bytes_of(stored)) << length;
        EXPECT_EQ(after.size(), std::max(length, SettingsRecord::kSize)) << length;
        if (length > SettingsRecord::kSize) {
            EXPECT_TRUE(after.substr(SettingsRecord::kSize) == contents.substr(SettingsRecord::kSize)) << length;
        }
    }
}

int error_of(const std::function<void()>& operation)
{
    try {
        operation();
        return 0;
    } catch (const RuntimeError& e) {
        return e.number();
    }
}

// Something in the settings file's place, or permissions that refuse it.
// Load and Store run as an unprivileged user, since root ignores permissions.
struct PlaceCase {
    const char* name;
    std::function<void(const std::string& path)> make;  // nothing made: no file
    mode_t dir_mode;
    int load_error;      // 0: the load gives the file's record
    int existing_error;  // the same for the load that creates nothing
    int store_error;     // 0: the store writes the record
};

TEST(SettingsFile, RefusesWhatIsNoFileItMayUse)
{
    constexpr int kNotAFile = error_number::kPathFileAccess;
    constexpr int kDenied = error_number::kPermissionDenied;
    SettingsRecord on_disk;
    on_disk.DelayMinutes = 5;
    const auto file_with_mode = [&](mode_t mode) {
        return [&on_disk, mode](const std::string& path) {
            write_file(path, bytes_of(on_disk));
            chmod(path.c_str(), mode);
        };
    };
    const PlaceCase cases[] = {
        {"a directory", [](const std::string& path) { std::filesystem::create_directory(path); }, 0755, kNotAFile,
            kNotAFile, kNotAFile},
        {"a named pipe", [](const std::string& path) { mkfifo(path.c_str(), 0666); }, 0755, kNotAFile, kNotAFile,
            kNotAFile},
        {"an unreadable file", file_with_mode(0000), 0755, kDenied, kDenied, kDenied},
        {"a write-only file", file_with_mode(0200), 0755, kDenied, kDenied, 0},
        {"a read-only file", file_with_mode(0444), 0755, 0, 0, kDenied},
        {"a file in a read-only directory", file_with_mode(0644), 0555, 0, 0, 0},
        {"no file in a read-only directory", nullptr, 0555, kDenied, error_number::kFileNotFound, kDenied},
    };
    SettingsRecord fresh;
    fresh.GameType = 1;
    for (const PlaceCase& c : cases) {
        TempDir dir;
        const std::string path = settings_path(dir.path().string());
        if (c.make) {
            c.make(path);
            testing::give_to_unprivileged_user(path);
        }
        testing::give_to_unprivileged_user(dir.path().string());
        chmod(dir.path().c_str(), c.dir_mode);

        const auto load_error = [&](SettingsRecord (*load)(const std::string&)) {
            return testing::as_unprivileged_user([&] {
                SettingsRecord loaded;
                const int error = error_of([&] { loaded = load(path); });
                return error != 0 || loaded == on_disk ? error : 200;
            });
        };
        EXPECT_EQ(load_error(&SettingsRecord::LoadExisting), c.existing_error) << c.name;
        EXPECT_EQ(load_error(&SettingsRecord::Load), c.load_error) << c.name;
        const int store_error = testing::as_unprivileged_user([&] { return error_of([&] { fresh.Store(path); }); });
        EXPECT_EQ(store_error, c.store_error) << c.name;
        chmod(dir.path().c_str(), 0700);
        if (c.store_error == 0) {
            EXPECT_EQ(read_file(path), bytes_of(fresh)) << c.name;
        }
    }
}

TEST(SettingsFile, TheLoadThatCreatesNothingFindsNoFileAndLeavesNone)
{
    TempDir dir;
    const std::string path = settings_path(dir.path().string());
    EXPECT_EQ(error_of([&] { SettingsRecord::LoadExisting(path); }), error_number::kFileNotFound);
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

}  // namespace
}  // namespace pellavin
