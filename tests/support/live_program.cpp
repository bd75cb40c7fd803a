#include "support/live_program.h"

#include "support/private_bus.h"

namespace zelto::test {
namespace {

// Checked before anything is built, so no part ever holds the address of the real bus.
const QString& PrivateAddress(const QString& address) {
    RequirePrivateBus(address);
    return address;
}

}  // namespace

LiveProgram::LiveProgram(const QString& systemBusAddress, const QString& sessionBusAddress,
                         Clock* clock)
    : ZeltoApplication(
          PrivateAddress(systemBusAddress),
          PrivateAddress(sessionBusAddress.isEmpty() ? systemBusAddress : sessionBusAddress),
          clock) {}

}  // namespace zelto::test
