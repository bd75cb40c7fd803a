#include "core/nut/nut_fsd_wait.h"

namespace zelto {

NutFsdWait NutFsdWaitState(std::chrono::steady_clock::time_point committed,
                           std::chrono::steady_clock::time_point now, int loggedInSecondaries,
                           std::chrono::seconds wait) {
    if (loggedInSecondaries <= 0) {
        return NutFsdWait::SecondariesGone;
    }
    if (now - committed >= wait) {
        return NutFsdWait::TimedOut;
    }
    return NutFsdWait::Wait;
}

}  // namespace zelto
