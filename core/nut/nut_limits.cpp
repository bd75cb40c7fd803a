#include "core/nut/nut_limits.h"

namespace zelto {

bool NutAdmitClient(const NutLimits& limits, int openTotal, int openFromSameAddress) {
    return openTotal < limits.maxClients && openFromSameAddress < limits.maxClientsPerAddress;
}

bool NutIdleExpired(const NutLimits& limits, std::chrono::steady_clock::duration sinceLastLine) {
    return sinceLastLine >= std::chrono::seconds(limits.idleTimeoutSeconds);
}

bool NutOutputOverCap(const NutLimits& limits, std::size_t unsentBytes) {
    return unsentBytes > limits.outputCapBytes;
}

}  // namespace zelto
