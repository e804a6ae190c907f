// Numeric text to a 16-bit integer, checked against a second reading of the
// same rule written apart from the runtime's: a scan of the text by character
// classes, the C library's decimal reader for the value, and rounding by
// comparing with the midpoint. Both must agree on the value or on the error.
#include "runtime/core/numbers.h"
#include "runtime/core/runtime_error.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

namespace {

using pellavin::runtime::RuntimeError;
namespace error_number = pellavin::runtime::error_number;

constexpr std::string_view kBlanks = " \t\n\v\f\r";
constexpr std::string_view kDigits = "0123456789";
constexpr std::string_view kExponentMarks = "eEdD";

// The smallest and the first too large of the values that round into range.
constexpr double kLowestFitting = -32768.5;  // a tie: rounds to the even -32768
constexpr double kFirstTooHigh = 32767.5;    // a tie: rounds to the even 32768

struct Outcome {
    int error = 0;  // 0: converted to `value`
    int value = 0;
    bool operator==(const Outcome&) const = default;
};

// The text as the C library's decimal reader takes it, or nothing when it is
// not numeric text: blanks, sign, digits, point, digits (one digit at least),
// then an exponent mark, sign and digits, then blanks.
std::optional<std::string> as_c_number(std::string_view text)
{
    const size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) return std::nullopt;
    text = text.substr(first, text.find_last_not_of(kBlanks) - first + 1);

    std::string number;
    size_t i = 0;
    const auto take_sign = [&] {
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) number += text[i++];
    };
    const auto take_digits = [&] {
        size_t count = 0;
        for (; i < text.size() && kDigits.find(text[i]) != std::string_view::npos; ++i, ++count) number += text[i];
        return count;
    };

    take_sign();
    size_t mantissa_digits = take_digits();
    if (i < text.size() && text[i] == '.') {
        number += text[i++];
        mantissa_digits += take_digits();
    }
    if (mantissa_digits == 0) return std::nullopt;
    if (i < text.size() && kExponentMarks.find(text[i]) != std::string_view::npos) {
        number += 'e';
        ++i;
        take_sign();
        if (take_digits() == 0) return std::nullopt;
    }
    if (i != text.size()) return std::nullopt;
    return number;
}

Outcome reference(std::string_view text)
{
    const std::optional<std::string> number = as_c_number(text);
    if (!number) return {error_number::kTypeMismatch};
    const double x = std::strtod(number->c_str(), nullptr);
    if (!(x >= kLowestFitting && x < kFirstTooHigh)) return {error_number::kOverflow};

    const double magnitude = std::fabs(x);
    double whole = std::floor(magnitude);
    const double rest = magnitude - whole;  // exact for numbers this small
    if (rest > 0.5 || (rest == 0.5 && std::fmod(whole, 2.0) != 0.0)) whole += 1.0;
    const int value = static_cast<int>(whole);
    return {0, x < 0 ? -value : value};
}

Outcome converted(std::string_view text)
{
    try {
        return {0, pellavin::runtime::text_to_int16(text)};
    } catch (const RuntimeError& e) {
        return {e.number()};
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const Outcome expected = reference(text);
    const Outcome actual = converted(text);
    if (actual != expected) {
        std::fprintf(stderr, "text_to_int16 gave error %d value %d; the reference gives error %d value %d\n",
            actual.error, actual.value, expected.error, expected.value);
        std::abort();
    }
    return 0;
}
