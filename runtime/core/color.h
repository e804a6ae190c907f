#pragma once

#include <cstdint>

namespace pellavin::runtime {

// A colour as 0x00BBGGRR: red in the low byte.
using Color = uint32_t;

inline constexpr Color kBlack = 0x000000;
inline constexpr Color kWhite = 0xFFFFFF;
// The system's colour for the face of dialogs; the view draws it in the
// platform's own window colour.
inline constexpr Color kSystemButtonFace = 0x8000000F;

inline constexpr int red_of(Color c) { return static_cast<int>(c & 0xFF); }
inline constexpr int green_of(Color c) { return static_cast<int>((c >> 8) & 0xFF); }
inline constexpr int blue_of(Color c) { return static_cast<int>((c >> 16) & 0xFF); }

}  // namespace pellavin::runtime
