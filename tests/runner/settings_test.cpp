#include "runner/settings.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

namespace pellavin {
namespace {

using testing::read_file;
using testing::write_file;

TEST(SettingsRecord, SixLittleEndianFieldsInOrder)
{
    SettingsRecord record;
    record.GameType = 1;
    record.NoAutoplay = -1;
    record.NoResumeOnClick = 0x1234;
    record.DelayMinutes = 30;
    record.RandomColors = 1;
    record.NoScreensaver = -32768;
    const auto bytes = record.to_bytes();
    const unsigned char expected[] = {0x01, 0x00, 0xFF, 0xFF, 0x34, 0x12, 0x1E, 0x00, 0x01, 0x00, 0x00, 0x80};
    for (size_t i = 0; i < bytes.size(); ++i) EXPECT_EQ(std::to_integer<unsigned>(bytes[i]), expected[i]) << i;
    EXPECT_EQ(SettingsRecord::from_bytes(bytes), record);
}

TEST(SettingsRecord, StoreAndLoadGoThroughTheFile)
{
    testing::TempDir dir;
    const std::string path = settings_path(dir.path().string());
    EXPECT_EQ(path, dir.file("Settings.dat"));

    write_file(path, std::string(12, '\0') + "tail that stays");
    SettingsRecord record;
    record.DelayMinutes = 45;
    record.RandomColors = 2;
    record.Store(path);
    EXPECT_EQ(read_file(path).size(), 27u);
    EXPECT_EQ(read_file(path).substr(12), "tail that stays");
    EXPECT_EQ(SettingsRecord::Load(path), record);
}

TEST(SettingsRecord, AShortFileReadsAsZeroWhereItEnds)
{
    testing::TempDir dir;
    const std::string path = dir.file("Settings.dat");
    write_file(path, std::string("\x01\x00\xFF", 3));
    const SettingsRecord record = SettingsRecord::Load(path);
    EXPECT_EQ(record.GameType, 1);
    EXPECT_EQ(record.NoAutoplay, 0x00FF);
    EXPECT_EQ(record.NoResumeOnClick, 0);
}

}  // namespace
}  // namespace pellavin
