#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace pellavin {

// All configuration of both programs: six little-endian 16-bit integers,
// packed, at the start of Settings.dat beside the programs. Zero in every
// field is the default configuration.
struct SettingsRecord {
    static constexpr size_t kSize = 12;

    int16_t GameType = 0;         // 0 Pong, 1 Bricks
    int16_t NoAutoplay = 0;       // nonzero: the bottom paddle is the user's
    int16_t NoResumeOnClick = 0;  // nonzero: clicks do not end the runner
    int16_t DelayMinutes = 0;
    int16_t RandomColors = 0;     // exactly 1: new colours at each bounce
    int16_t NoScreensaver = 0;

    std::array<std::byte, kSize> to_bytes() const;
    static SettingsRecord from_bytes(const std::array<std::byte, kSize>& bytes);

    // Open, read the first 12 bytes (missing bytes read as zero), close.
    // A missing file is created empty.
    static SettingsRecord Load(const std::string& path);
    // Load for a reader that never changes the directory: a missing file
    // is an error (File not found) and nothing is created.
    static SettingsRecord LoadExisting(const std::string& path);
    // Open, write the 12 bytes in place at the start, close. A longer file
    // keeps the rest of its bytes.
    void Store(const std::string& path) const;

    bool operator==(const SettingsRecord&) const = default;
};

// The settings file in the programs' directory.
std::string settings_path(const std::string& app_path);

}  // namespace pellavin
