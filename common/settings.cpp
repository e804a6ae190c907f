#include "common/settings.h"

#include "runtime/core/record_file.h"

namespace pellavin {
namespace {

void put(std::array<std::byte, SettingsRecord::kSize>& bytes, size_t offset, int16_t value)
{
    const auto bits = static_cast<uint16_t>(value);
    bytes[offset] = static_cast<std::byte>(bits & 0xFF);
    bytes[offset + 1] = static_cast<std::byte>(bits >> 8);
}

int16_t get(const std::array<std::byte, SettingsRecord::kSize>& bytes, size_t offset)
{
    const auto bits = static_cast<uint16_t>(std::to_integer<uint16_t>(bytes[offset])
        | (std::to_integer<uint16_t>(bytes[offset + 1]) << 8));
    return static_cast<int16_t>(bits);
}

}  // namespace

std::array<std::byte, SettingsRecord::kSize> SettingsRecord::to_bytes() const
{
    std::array<std::byte, kSize> bytes{};
    put(bytes, 0, GameType);
    put(bytes, 2, NoAutoplay);
    put(bytes, 4, NoResumeOnClick);
    put(bytes, 6, DelayMinutes);
    put(bytes, 8, RandomColors);
    put(bytes, 10, NoScreensaver);
    return bytes;
}

SettingsRecord SettingsRecord::from_bytes(const std::array<std::byte, kSize>& bytes)
{
    SettingsRecord record;
    record.GameType = get(bytes, 0);
    record.NoAutoplay = get(bytes, 2);
    record.NoResumeOnClick = get(bytes, 4);
    record.DelayMinutes = get(bytes, 6);
    record.RandomColors = get(bytes, 8);
    record.NoScreensaver = get(bytes, 10);
    return record;
}

SettingsRecord SettingsRecord::Load(const std::string& path)
{
    std::array<std::byte, kSize> bytes{};
    runtime::read_record(path, bytes);
    return from_bytes(bytes);
}

SettingsRecord SettingsRecord::LoadExisting(const std::string& path)
{
    std::array<std::byte, kSize> bytes{};
    runtime::read_existing_record(path, bytes);
    return from_bytes(bytes);
}

void SettingsRecord::Store(const std::string& path) const
{
    const std::array<std::byte, kSize> bytes = to_bytes();
    runtime::write_record(path, bytes);
}

std::string settings_path(const std::string& app_path) { return app_path + "/Settings.dat"; }

}  // namespace pellavin
