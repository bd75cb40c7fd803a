#pragma once
// Numbers in and out of the NUT protocol and its settings: always '.' as the decimal point, no
// grouping and no exponent, whatever locale the front end has set.

#include <optional>
#include <string>
#include <string_view>

namespace zelto {

// A status-record field such as "230.0", "020" or "-5.5", surrounding spaces allowed. Nothing
// for anything else ("--.-", "", "1e3", "0x10").
std::optional<double> ParseNutDecimal(std::string_view text);

// The value with exactly `decimals` digits after the point, rounded as printf's "%.Nf" does.
std::string FormatNutFixed(double value, int decimals);

// A whole decimal number within [low, high], surrounding spaces allowed; nothing otherwise.
std::optional<int> ParseNutInt(std::string_view text, int low, int high);

}  // namespace zelto
