#pragma once
// The variables the server publishes for its one UPS, named and formatted as NUT's own serial
// driver for this record format publishes them.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/nut/nut_snapshot.h"

namespace zelto {

struct NutVariable {
    std::string name;
    std::string value;  // printable ASCII without '"', '\' or '#', at most 256 characters
};

// Every variable for the snapshot, ordered by name case-insensitively (upsd's order). Fields
// that do not read as numbers are left out, never guessed; without a record only the fixed
// device and driver variables remain.
std::vector<NutVariable> NutVariables(const NutSnapshot& snapshot);

// The variable of that name (case-insensitive), if published.
std::optional<NutVariable> FindNutVariable(const NutSnapshot& snapshot, std::string_view name);

// NUT's standard description of a variable, or "Description unavailable".
std::string_view NutVariableDescription(std::string_view name);

}  // namespace zelto
