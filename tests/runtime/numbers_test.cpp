#include "runtime/core/numbers.h"
#include "runtime/core/runtime_error.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>

namespace pellavin::runtime {
namespace {

struct RoundCase {
    double value;
    std::optional<int> expected;  // nothing: Overflow
};

TEST(RoundToInt16, RoundsHalvesToEvenAndRefusesWhatDoesNotFit)
{
    const RoundCase cases[] = {
        {0.0, 0}, {0.5, 0}, {1.5, 2}, {2.5, 2}, {-0.5, 0}, {-1.5, -2}, {-2.5, -2}, {42.5, 42}, {47.5, 48},
        {2.4999999, 2}, {2.5000001, 3}, {32767.0, 32767}, {32767.49, 32767}, {32767.5, std::nullopt},
        {-32768.0, -32768}, {-32768.5, -32768}, {-32768.51, std::nullopt}, {1e10, std::nullopt},
        {std::numeric_limits<double>::infinity(), std::nullopt}, {std::nan(""), std::nullopt},
    };
    for (const RoundCase& c : cases) {
        if (c.expected) {
            EXPECT_EQ(round_to_int16(c.value), *c.expected) << c.value;
        } else {
            try {
                round_to_int16(c.value);
                ADD_FAILURE() << c.value << " did not overflow";
            } catch (const RuntimeError& e) {
                EXPECT_EQ(e.number(), error_number::kOverflow) << c.value;
            }
        }
    }
}

TEST(RoundToInt32, CoversScreenHeightsBeyondSixteenBits)
{
    EXPECT_EQ(round_to_int32(36000.0), 36000);
    EXPECT_EQ(round_to_int32(16200.5), 16200);
    EXPECT_EQ(round_to_int32(16201.5), 16202);
    EXPECT_THROW(round_to_int32(3e9), RuntimeError);
}

TEST(RoundToSingle, RoundsToNearestSingleAndRefusesInfinity)
{
    EXPECT_EQ(round_to_single(-47.5), -47.5f);
    EXPECT_EQ(round_to_single(0.1), 0.1f);
    // Exactly between two singles: ties to the even mantissa.
    EXPECT_EQ(round_to_single(16777217.0), 16777216.0f);
    EXPECT_EQ(round_to_single(16777219.0), 16777220.0f);
    EXPECT_THROW(round_to_single(1e39), RuntimeError);
    EXPECT_THROW(round_to_single(std::nan("")), RuntimeError);
}

TEST(FloorToInt32, FloorsTowardsMinusInfinity)
{
    EXPECT_EQ(floor_to_int32(65634.99), 65634);
    EXPECT_EQ(floor_to_int32(-0.5), -1);
    EXPECT_EQ(floor_to_int32(0.0), 0);
    EXPECT_THROW(floor_to_int32(1e12), RuntimeError);
}

struct TextCase {
    const char* text;
    std::optional<int> expected;
    int error = 0;
};

TEST(TextToInt16, ReadsNumericTextAndNamesWhatIsWrong)
{
    constexpr int kMismatch = error_number::kTypeMismatch;
    constexpr int kOverflow = error_number::kOverflow;
    const TextCase cases[] = {
        {"15", 15}, {"0", 0}, {"-7", -7}, {"+7", 7}, {"  45  ", 45}, {"\t3", 3},
        {"12.5", 12}, {"13.5", 14}, {"-12.5", -12}, {"0.5", 0}, {"1.5", 2}, {".5", 0}, {"5.", 5},
        {"1e3", 1000}, {"1E3", 1000}, {"2.5e1", 25}, {"1d2", 100}, {"15e-1", 2}, {"1e-400", 0},
        {"32767", 32767}, {"-32768", -32768}, {"32767.4", 32767},
        {"007", 7}, {"-0", 0},
        {"32768", std::nullopt, kOverflow}, {"-32769", std::nullopt, kOverflow}, {"1e5", std::nullopt, kOverflow},
        {"1e400", std::nullopt, kOverflow}, {"99999999999999999999", std::nullopt, kOverflow},
        {"", std::nullopt, kMismatch}, {"   ", std::nullopt, kMismatch}, {"abc", std::nullopt, kMismatch},
        {"-", std::nullopt, kMismatch}, {".", std::nullopt, kMismatch}, {"1 5", std::nullopt, kMismatch},
        {"12abc", std::nullopt, kMismatch}, {"1e", std::nullopt, kMismatch}, {"e5", std::nullopt, kMismatch},
        {"--5", std::nullopt, kMismatch}, {"- 5", std::nullopt, kMismatch}, {"inf", std::nullopt, kMismatch},
        {"nan", std::nullopt, kMismatch}, {"0x10", std::nullopt, kMismatch}, {"1,000", std::nullopt, kMismatch},
    };
    for (const TextCase& c : cases) {
        if (c.expected) {
            EXPECT_EQ(text_to_int16(c.text), *c.expected) << '"' << c.text << '"';
            continue;
        }
        try {
            text_to_int16(c.text);
            ADD_FAILURE() << '"' << c.text << "\" converted";
        } catch (const RuntimeError& e) {
            EXPECT_EQ(e.number(), c.error) << '"' << c.text << '"';
        }
    }
}

TEST(TextToInt16, ToleratesVeryLongText)
{
    EXPECT_EQ(text_to_int16(std::string(10000, '0') + "12"), 12);
    EXPECT_EQ(text_to_int16("0." + std::string(10000, '0') + "1"), 0);
    EXPECT_THROW(text_to_int16(std::string(10000, '9')), RuntimeError);
}

// Digits and exponent that balance out only when the exponent is read in full.
TEST(TextToInt16, ReadsLongExponentsInFullAgainstLongMantissas)
{
    const std::string many_zeros(150000, '0');
    EXPECT_EQ(text_to_int16("1" + many_zeros + "e-200000"), 0);
    EXPECT_EQ(text_to_int16("1" + many_zeros + "e-150000"), 1);
    EXPECT_EQ(text_to_int16("0." + many_zeros + "25e150002"), 25);
    try {
        text_to_int16("0." + many_zeros + "1e200000");
        ADD_FAILURE() << "a huge number converted";
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.number(), error_number::kOverflow);
    }
}

TEST(Int16ToText, WritesNoLeadingBlank)
{
    EXPECT_EQ(int16_to_text(45), "45");
    EXPECT_EQ(int16_to_text(-3), "-3");
    EXPECT_EQ(int16_to_text(0), "0");
    EXPECT_EQ(int16_to_text(-32768), "-32768");
}

}  // namespace
}  // namespace pellavin::runtime
