#pragma once
// The bounds every transport of the NUT server enforces, so that no client, or flood of clients,
// can make the program hold unbounded memory or wait on the network.

#include <chrono>
#include <cstddef>

namespace zelto {

struct NutLimits {
    int maxClients = 32;
    int maxClientsPerAddress = 8;
    // A connection that completes no request line for this long is closed. Longer than upsd's
    // 60 s, so Home Assistant's 60 s polls keep their connection.
    int idleTimeoutSeconds = 120;
    // Replies queued for a client that does not read; past this the client is dropped.
    std::size_t outputCapBytes = 64 * 1024;
    // Before the reply to a failed LOGIN, during which the connection reads nothing.
    int failedLoginDelayMs = 1000;
};

// Whether a new connection may stay, counting those already open (not the new one).
bool NutAdmitClient(const NutLimits& limits, int openTotal, int openFromSameAddress);

// Whether a connection silent for `sinceLastLine` (time since its last complete line, or since
// it connected) is to be closed.
bool NutIdleExpired(const NutLimits& limits, std::chrono::steady_clock::duration sinceLastLine);

// Whether a client with this many unsent bytes is to be dropped.
bool NutOutputOverCap(const NutLimits& limits, std::size_t unsentBytes);

}  // namespace zelto
