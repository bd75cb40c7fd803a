#pragma once
// The ups.status word list upsmon, Home Assistant and the NAS clients act on.

#include <string>

#include "core/nut/nut_snapshot.h"

namespace zelto {

// From the record's flags: OL or OB (b7); LB (b6, or the program's own trigger while on
// battery); TRIM or BOOST (b5, told apart by comparing output and input voltage); CAL (b2); FSD
// (b1). A committed shutdown of this program puts FSD first. BYPASS, OFF and ALARM are never
// sent: newer upsmon treats a lost link after them as critical.
std::string NutUpsStatus(const NutRecordFields& record, const NutSnapshot& snapshot);

}  // namespace zelto
