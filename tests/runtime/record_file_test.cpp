#include "runtime/core/record_file.h"
#include "runtime/core/runtime_error.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <functional>
#include <sys/stat.h>

namespace pellavin::runtime {
namespace {

// What a record file's failures tell the user: the runtime's number, the
// file's path and the reason in plain words. (What is read and written, and
// which files and permissions are refused, is tested through the settings
// file that both programs use.)
struct FailureCase {
    const char* name;
    std::function<void(const std::string& path)> make;
    const char* file;  // relative to the test's directory
    int number;
    const char* reason;
};

TEST(RecordFile, AFailureNamesTheFileAndTheReason)
{
    const FailureCase cases[] = {
        {"a directory", [](const std::string& path) { std::filesystem::create_directory(path); }, "Settings.dat",
            error_number::kPathFileAccess, "Is a directory"},
        {"a named pipe", [](const std::string& path) { mkfifo(path.c_str(), 0666); }, "Settings.dat",
            error_number::kPathFileAccess, "not a regular file"},
        {"a missing directory", [](const std::string&) {}, "gone/Settings.dat", error_number::kFileNotFound,
            "No such file or directory"},
    };
    for (const FailureCase& c : cases) {
        testing::TempDir dir;
        const std::string path = dir.file(c.file);
        c.make(path);
        std::array<std::byte, 12> bytes{};
        for (const auto& transfer : {std::function<void()>([&] { read_record(path, bytes); }),
                 std::function<void()>([&] { write_record(path, bytes); })}) {
            try {
                transfer();
                ADD_FAILURE() << c.name << ": no error";
            } catch (const RuntimeError& e) {
                EXPECT_EQ(e.number(), c.number) << c.name;
                EXPECT_NE(e.detail().find(path), std::string::npos) << c.name << ": " << e.what();
                EXPECT_NE(e.detail().find(c.reason), std::string::npos) << c.name << ": " << e.what();
            }
        }
    }
}

}  // namespace
}  // namespace pellavin::runtime
