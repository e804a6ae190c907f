// Any contents of Settings.dat: the load reads the first 12 bytes as six
// little-endian 16-bit fields, zero where the file ends early, and leaves
// the file exactly as it was.
#include "common/settings.h"

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

namespace {

// One real file in a private directory, rewritten for every input.
class FuzzDirectory {
public:
    FuzzDirectory()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "pellavin-fuzz-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) std::abort();
        path_ = pattern;
    }
    ~FuzzDirectory() { std::filesystem::remove_all(path_); }

    std::string settings() const { return pellavin::settings_path(path_.string()); }

private:
    std::filesystem::path path_;
};

const FuzzDirectory directory;

void fail(const char* what)
{
    std::fprintf(stderr, "settings load: %s\n", what);
    std::abort();
}

int16_t field_at(std::string_view bytes, size_t offset)
{
    const auto byte = [&](size_t i) { return i < bytes.size() ? static_cast<uint8_t>(bytes[i]) : 0u; };
    return static_cast<int16_t>(byte(offset) | byte(offset + 1) << 8);
}

std::string contents_of(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string path = directory.settings();
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        if (!out) fail("cannot write the test file");
    }

    const pellavin::SettingsRecord record = pellavin::SettingsRecord::Load(path);
    const std::array<int16_t, 6> fields = {record.GameType, record.NoAutoplay, record.NoResumeOnClick,
        record.DelayMinutes, record.RandomColors, record.NoScreensaver};
    for (size_t i = 0; i < fields.size(); ++i) {
        if (fields[i] != field_at(bytes, 2 * i)) fail("a field differs from the file's bytes");
    }
    if (contents_of(path) != bytes) fail("loading changed the file");
    return 0;
}
