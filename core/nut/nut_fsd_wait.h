#pragma once
// The primary's part at shutdown: once this program's shutdown is committed, ups.status carries
// FSD and the program holds back its own UPS command and power request until the secondaries
// have had their chance to shut down.

#include <chrono>

namespace zelto {

// How long the program waits for secondaries by default: enough for upsmon's default poll
// interval and final delay (5 s + 5 s) with room to spare.
inline constexpr int kNutDefaultFsdWaitSeconds = 20;

enum class NutFsdWait {
    Wait,             // secondaries still logged in, time left
    SecondariesGone,  // no login left: go on now
    TimedOut,         // the wait is over, whoever is still logged in
};

// Where the wait stands `now`, for a shutdown committed at `committed`. A secondary that shuts
// down drops its connection without LOGOUT, which the login count already reflects.
NutFsdWait NutFsdWaitState(std::chrono::steady_clock::time_point committed,
                           std::chrono::steady_clock::time_point now, int loggedInSecondaries,
                           std::chrono::seconds wait);

// True for both ways the wait ends.
inline bool NutFsdWaitOver(NutFsdWait state) {
    return state != NutFsdWait::Wait;
}

}  // namespace zelto
