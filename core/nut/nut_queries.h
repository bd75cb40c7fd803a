#pragma once
// The read-only requests, GET and LIST, shared between the session and its two handler files.
// Not for the transport: it calls NutAnswer.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/nut/nut_replies.h"
#include "core/nut/nut_session.h"

namespace zelto {

// The words after the command word.
using NutArgs = std::vector<std::string>;

// Whether a request may go on with this UPS name: UNKNOWN-UPS for another name; with
// `needsData`, DRIVER-NOT-CONNECTED or DATA-STALE while the readings are not fresh.
std::optional<NutError> NutCheckUps(const NutServerView& view, std::string_view ups,
                                    bool needsData);

// `VAR <ups> <name> "<value>"` and the like: words separated by spaces, the value quoted.
std::string NutReplyLine(std::string_view kind, std::string_view ups, std::string_view name,
                         std::string_view value);

std::string NutAnswerGet(const NutServerView& view, const NutArgs& args);
std::string NutAnswerList(const NutServerView& view, const NutArgs& args);

}  // namespace zelto
