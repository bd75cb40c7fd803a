#pragma once
// The journal's text: one line per event, made to be read by people and by grep alike.
//   2024-03-01T02:59:59+03:00 mains-lost mains=0.0V battery=13.5V charge=96% load=15%
//   2024-03-01T03:00:09+03:00 power-refused mains=0.0V ... action=hibernate reason="Not allowed"

#include <string>
#include <string_view>

#include "core/events/event.h"

namespace zelto {

// Local time with its offset from UTC, to the second: "2024-03-01T02:59:59+03:00".
std::string IsoLocalTime(const Moment& moment);

// The event's word in the journal: "mains-lost", "countdown-started" ...
std::string_view EventWord(EventKind kind);

// "name=value"; the value is quoted when it is empty or holds a blank, a quote or a backslash,
// and control characters become blanks, so a field never breaks the line.
std::string Field(std::string_view name, std::string_view value);

// "mains=228.0V battery=13.6V charge=100% load=15%", "?" for a reading that is not known.
std::string ReadingsText(const Readings& readings);

// The whole line, without its line end.
std::string JournalLine(const Event& event);

}  // namespace zelto
