#pragma once
// The tray keeps a tool tip of at most 63 characters; anything longer must be cut before it gets
// there.

#include <cstddef>
#include <string>
#include <string_view>

namespace zelto {

inline constexpr std::size_t kTrayTipMaxChars = 63;

// The first 63 characters of a UTF-8 tip. A character is never split: the bytes that continue
// a kept character stay with it, and a stray continuation byte at the start counts as one.
std::string LimitTrayTip(std::string_view tip);

}  // namespace zelto
