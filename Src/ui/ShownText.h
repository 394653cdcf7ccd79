#pragma once

// Numbers as the window writes them for the operator.

#include <cstddef>
#include <string>

namespace ui {

// Digits in groups of three, a space between: "35 008".
inline std::string GroupedNumber(std::size_t value)
{
    std::string digits = std::to_string(value);
    for (std::size_t at = digits.size(); at > 3; at -= 3)
        digits.insert(at - 3, 1, ' ');
    return digits;
}

} // namespace ui
