#include "runtime/core/numbers.h"

#include "runtime/core/runtime_error.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <optional>

namespace pellavin::runtime {
namespace {

// Halves to even is the default rounding mode of the floating-point unit.
double nearest_even(double value) { return std::nearbyint(value); }

template <typename Int>
Int round_to(double value)
{
    const double rounded = nearest_even(value);
    if (!(rounded >= static_cast<double>(std::numeric_limits<Int>::min())
            && rounded <= static_cast<double>(std::numeric_limits<Int>::max()))) {
        throw RuntimeError(error_number::kOverflow);
    }
    return static_cast<Int>(rounded);
}

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }
bool is_digit(char c) { return c >= '0' && c <= '9'; }

// The text as a number, or nothing when it is not numeric text.
std::optional<double> parse_number(std::string_view text)
{
    size_t i = 0;
    size_t end = text.size();
    while (i < end && is_blank(text[i])) ++i;
    while (end > i && is_blank(text[end - 1])) --end;

    bool negative = false;
    if (i < end && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }

    std::string mantissa;
    int integer_digits = 0;   // significant digits before the point
    int leading_fraction_zeros = 0;
    bool any_digit = false;
    bool any_nonzero = false;
    for (; i < end && is_digit(text[i]); ++i) {
        any_digit = true;
        any_nonzero |= text[i] != '0';
        if (any_nonzero) ++integer_digits;
        mantissa += text[i];
    }
    if (i < end && text[i] == '.') {
        mantissa += '.';
        for (++i; i < end && is_digit(text[i]); ++i) {
            any_digit = true;
            if (!any_nonzero && text[i] == '0') ++leading_fraction_zeros;
            any_nonzero |= text[i] != '0';
            mantissa += text[i];
        }
    }
    if (!any_digit) return std::nullopt;

    // The exponent saturates: anything beyond a few hundred is out of range
    // either way, and a saturated value keeps the sign of the answer. The
    // limit lies far beyond the length of any text, so that the digits of the
    // mantissa can never bring a saturated exponent back into range.
    constexpr long kExponentLimit = 1'000'000'000'000'000;
    long exponent = 0;
    if (i < end && (text[i] == 'e' || text[i] == 'E' || text[i] == 'd' || text[i] == 'D')) {
        ++i;
        bool negative_exponent = false;
        if (i < end && (text[i] == '+' || text[i] == '-')) {
            negative_exponent = text[i] == '-';
            ++i;
        }
        if (i >= end || !is_digit(text[i])) return std::nullopt;
        for (; i < end && is_digit(text[i]); ++i) {
            exponent = std::min(kExponentLimit, exponent * 10 + (text[i] - '0'));
        }
        if (negative_exponent) exponent = -exponent;
    }
    if (i != end) return std::nullopt;
    if (!any_nonzero) return 0.0;

    const std::string normalized = mantissa + "e" + std::to_string(exponent);
    double value = 0.0;
    const auto result = std::from_chars(normalized.data(), normalized.data() + normalized.size(), value,
        std::chars_format::general);
    if (result.ec == std::errc::result_out_of_range) {
        // Too large for a double, or so small that it is zero.
        const long magnitude = (integer_digits > 0 ? integer_digits : -leading_fraction_zeros) + exponent;
        value = magnitude > 0 ? std::numeric_limits<double>::infinity() : 0.0;
    } else if (result.ec != std::errc() || result.ptr != normalized.data() + normalized.size()) {
        return std::nullopt;
    }
    return negative ? -value : value;
}

}  // namespace

int16_t round_to_int16(double value) { return round_to<int16_t>(value); }

int32_t round_to_int32(double value) { return round_to<int32_t>(value); }

float round_to_single(double value)
{
    if (std::isnan(value)) throw RuntimeError(error_number::kOverflow);
    const float single = static_cast<float>(value);
    if (std::isinf(single)) throw RuntimeError(error_number::kOverflow);
    return single;
}

int32_t floor_to_int32(double value)
{
    const double floored = std::floor(value);
    if (!(floored >= std::numeric_limits<int32_t>::min() && floored <= std::numeric_limits<int32_t>::max())) {
        throw RuntimeError(error_number::kOverflow);
    }
    return static_cast<int32_t>(floored);
}

int16_t text_to_int16(std::string_view text)
{
    const std::optional<double> number = parse_number(text);
    if (!number) throw RuntimeError(error_number::kTypeMismatch);
    return round_to_int16(*number);
}

std::string int16_to_text(int16_t value) { return std::to_string(value); }

}  // namespace pellavin::runtime
