#include "common/settings.h"
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

}  // namespace
}  // namespace pellavin
