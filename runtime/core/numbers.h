#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// The conversions the programs rely on. Each raises RuntimeError on a value it
// cannot represent instead of wrapping or saturating.
namespace pellavin::runtime {

// Nearest integer, halves to even; Overflow outside -32768..32767 (and for NaN).
int16_t round_to_int16(double value);

// Nearest integer, halves to even; Overflow outside the 32-bit range.
int32_t round_to_int32(double value);

// Nearest single, ties to even; Overflow when the value leaves the single
// range or is not a number.
float round_to_single(double value);

// Largest integer not above the value; Overflow outside the 32-bit range.
int32_t floor_to_int32(double value);

// Numeric text to a 16-bit integer: surrounding blanks, an optional sign,
// digits with an optional decimal point, an optional exponent (e or d).
// Halves round to even. Type mismatch for text that is no number (the empty
// text included), Overflow for a number outside -32768..32767.
int16_t text_to_int16(std::string_view text);

// Decimal text, no leading blank; a minus sign for negative values.
std::string int16_to_text(int16_t value);

}  // namespace pellavin::runtime
