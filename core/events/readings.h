#pragma once
// The numbers of a status record, for the journal and the history.

#include <optional>
#include <string_view>

#include "core/events/event.h"

namespace zelto {

class StatusRecord;

// A voltage field such as "228.0" or " 13.6" in tenths; nothing when it is not one. Blanks
// around the number are allowed, a sign is not.
std::optional<int> ParseTenths(std::string_view text);

// Every field that reads as a number; a bad field is left at -1 and never throws. The charge is
// the estimate the window shows for the same record.
Readings ReadingsOf(const StatusRecord& record);

}  // namespace zelto
