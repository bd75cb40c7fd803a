#pragma once

#include <cstddef>

namespace zelto::bench {

// Puts `warmUp` and then `records` status records through the real program and its main window
// (offscreen, shown, painted after every record), one per tick without waiting, and prints the
// memory before and after the measured records. Returns the process exit status.
int RunRecordMemory(std::size_t records, std::size_t warmUp);

}  // namespace zelto::bench
