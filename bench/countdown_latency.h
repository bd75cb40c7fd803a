#pragma once

namespace zelto::bench {

// The time from a mains failure at the UPS simulator to the countdown dialog's show event, with
// the whole program in this process on a real pseudo-terminal: `trials` outages, each starting
// at a different point of the one-second poll. Prints each time and the mean and worst; returns
// the process exit status.
int RunCountdownLatency(int trials);

}  // namespace zelto::bench
