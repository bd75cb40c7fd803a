#pragma once
// The standard string-to-integer conversion used for every settings value and every numeric
// field of a status record.

#include <cstdint>
#include <string_view>

namespace zelto {

// Leading blanks, then one optional sign, then an optional hexadecimal prefix ("$", "x", "X",
// "0x", "0X"), then digits and nothing after them. The value must fit a signed 32-bit integer.
// Anything else throws NotValidInteger with the whole text.
std::int32_t StrToInt(std::string_view text);

// StrToInt, then a check against [low, high] that throws RangeCheckError.
std::int32_t StrToIntInRange(std::string_view text, std::int32_t low, std::int32_t high);

}  // namespace zelto
