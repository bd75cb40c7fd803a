#pragma once
// Bytes from the line made fit for a log line: control characters and non-ASCII as \xNN.

#include <string>
#include <string_view>

namespace upssim {

std::string Printable(std::string_view bytes);

}  // namespace upssim
