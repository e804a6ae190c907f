#include "runtime/core/no_display.h"

namespace pellavin::runtime {

std::string no_display_line(const std::vector<DisplayTried>& tried)
{
    std::string line = "no display to show on:";
    for (size_t i = 0; i < tried.size(); ++i) {
        if (i > 0) line += i + 1 == tried.size() ? ", and" : ",";
        const DisplayTried& way = tried[i];
        line += " " + way.variable
            + (way.value.empty() ? " is not set" : " \"" + way.value + "\" cannot be reached");
    }
    return line;
}

}  // namespace pellavin::runtime
