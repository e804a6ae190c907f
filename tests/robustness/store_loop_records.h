#pragma once

#include "common/settings.h"

namespace pellavin::testing {

// The two records the store loop writes in turn. No byte of one equals the
// byte at the same place in the other, so any mix of the two shows.
inline constexpr SettingsRecord kLoopFirst{0x1211, 0x1413, 0x1615, 0x1817, 0x1A19, 0x1C1B};
inline constexpr SettingsRecord kLoopSecond{0x2221, 0x2423, 0x2625, 0x2827, 0x2A29, 0x2C2B};

}  // namespace pellavin::testing
