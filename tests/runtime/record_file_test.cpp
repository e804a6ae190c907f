#include "runtime/core/record_file.h"
#include "runtime/core/runtime_error.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <sys/stat.h>

namespace pellavin::runtime {
namespace {

using testing::read_file;
using testing::TempDir;
using testing::write_file;

std::array<std::byte, 12> bytes_of(const std::string& text)
{
    std::array<std::byte, 12> bytes{};
    for (size_t i = 0; i < bytes.size() && i < text.size(); ++i) bytes[i] = static_cast<std::byte>(text[i]);
    return bytes;
}

std::string text_of(const std::array<std::byte, 12>& bytes)
{
    return std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

// What a read gives for a file that starts as `contents`.
struct ReadCase {
    const char* name;
    std::optional<std::string> contents;  // nothing: no file
    std::string expected;
};

TEST(RecordFile, ReadsTheFirstBytesAndZeroFillsWhatIsMissing)
{
    const std::string zeros(12, '\0');
    const ReadCase cases[] = {
        {"missing", std::nullopt, zeros},
        {"empty", std::string(), zeros},
        {"five bytes", std::string("ABCDE"), std::string("ABCDE") + std::string(7, '\0')},
        {"twelve bytes", std::string("ABCDEFGHIJKL"), "ABCDEFGHIJKL"},
        {"forty bytes", std::string("ABCDEFGHIJKL") + std::string(28, 'z'), "ABCDEFGHIJKL"},
    };
    for (const ReadCase& c : cases) {
        TempDir dir;
        const std::string path = dir.file("Settings.dat");
        if (c.contents) write_file(path, *c.contents);
        std::array<std::byte, 12> bytes = bytes_of("garbage here");
        read_record(path, bytes);
        EXPECT_EQ(text_of(bytes), c.expected) << c.name;
        ASSERT_TRUE(std::filesystem::exists(path)) << c.name;
        EXPECT_EQ(read_file(path), c.contents.value_or("")) << c.name << ": reading changed the file";
    }
}

TEST(RecordFile, WritesInPlaceAndNeverShortens)
{
    TempDir dir;
    const std::string path = dir.file("Settings.dat");
    const std::string tail(28, 'z');
    write_file(path, std::string(12, 'a') + tail);
    write_record(path, bytes_of("ABCDEFGHIJKL"));
    EXPECT_EQ(read_file(path), "ABCDEFGHIJKL" + tail);

    const std::string fresh = dir.file("New.dat");
    write_record(fresh, bytes_of("ABCDEFGHIJKL"));
    EXPECT_EQ(read_file(fresh), "ABCDEFGHIJKL");

    const std::string shorter = dir.file("Short.dat");
    write_file(shorter, "xyz");
    write_record(shorter, bytes_of("ABCDEFGHIJKL"));
    EXPECT_EQ(read_file(shorter), "ABCDEFGHIJKL");
}

int error_number_of(const std::function<void()>& operation)
{
    try {
        operation();
        return 0;
    } catch (const RuntimeError& e) {
        return e.number();
    }
}

TEST(RecordFile, RefusesADirectoryInTheFilesPlaceAndSaysSo)
{
    TempDir dir;
    const std::string path = dir.file("Settings.dat");
    std::filesystem::create_directory(path);
    std::array<std::byte, 12> bytes{};
    try {
        read_record(path, bytes);
        FAIL() << "a directory was read as a record";
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.number(), error_number::kPathFileAccess);
        EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
        EXPECT_NE(std::string(e.what()).find("s a directory"), std::string::npos) << e.what();
    }
    EXPECT_EQ(error_number_of([&] { write_record(path, bytes); }), error_number::kPathFileAccess);
}

TEST(RecordFile, RefusesANamedPipeWithoutWaitingForAWriter)
{
    TempDir dir;
    const std::string path = dir.file("Settings.dat");
    ASSERT_EQ(mkfifo(path.c_str(), 0666), 0);
    std::array<std::byte, 12> bytes{};
    EXPECT_EQ(error_number_of([&] { read_record(path, bytes); }), error_number::kPathFileAccess);
    EXPECT_EQ(error_number_of([&] { write_record(path, bytes); }), error_number::kPathFileAccess);
}

TEST(RecordFile, MissingDirectoryIsPathNotFoundOrFileNotFound)
{
    TempDir dir;
    std::array<std::byte, 12> bytes{};
    const int number = error_number_of([&] { read_record(dir.file("gone/Settings.dat"), bytes); });
    EXPECT_EQ(number, error_number::kFileNotFound);
}

// Permission cases run as an unprivileged user, since root ignores them.
struct PermissionCase {
    const char* name;
    bool file_exists;
    mode_t file_mode;
    mode_t dir_mode;
    int read_error;   // 0: the read works
    int write_error;  // 0: the write works
};

TEST(RecordFile, FollowsPermissionsReadingWhatMayBeRead)
{
    constexpr int kDenied = error_number::kPermissionDenied;
    const PermissionCase cases[] = {
        {"writable file", true, 0644, 0755, 0, 0},
        {"read-only file", true, 0444, 0755, 0, kDenied},
        {"unreadable file", true, 0200, 0755, kDenied, 0},
        {"no access at all", true, 0000, 0755, kDenied, kDenied},
        {"existing file in read-only directory", true, 0644, 0555, 0, 0},
        {"read-only file in read-only directory", true, 0444, 0555, 0, kDenied},
        {"missing file in read-only directory", false, 0, 0555, kDenied, kDenied},
    };
    for (const PermissionCase& c : cases) {
        TempDir dir;
        const std::string path = dir.file("Settings.dat");
        if (c.file_exists) {
            write_file(path, "ABCDEFGHIJKL");
            testing::give_to_unprivileged_user(path);
            chmod(path.c_str(), c.file_mode);
        }
        testing::give_to_unprivileged_user(dir.path().string());
        chmod(dir.path().c_str(), c.dir_mode);
        const int read_error = testing::as_unprivileged_user([&] {
            std::array<std::byte, 12> bytes{};
            const int number = error_number_of([&] { read_record(path, bytes); });
            if (number != 0) return number;
            return text_of(bytes) == "ABCDEFGHIJKL" ? 0 : 200;
        });
        EXPECT_EQ(read_error, c.read_error) << c.name;
        const int write_error = testing::as_unprivileged_user(
            [&] { return error_number_of([&] { write_record(path, bytes_of("NEWNEWNEWNEW")); }); });
        EXPECT_EQ(write_error, c.write_error) << c.name;
        chmod(dir.path().c_str(), 0700);
    }
}

}  // namespace
}  // namespace pellavin::runtime
