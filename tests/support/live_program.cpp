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

LiveProgram::LiveProgram(const QString& systemBusAddress)
    : power_(PrivateAddress(systemBusAddress)),
      // Modal for the main window only, so that the tray icon still answers while it counts.
      countdown_(&form_),
      program_(Platform{store_, port_, portTable_, form_, form_, countdown_, power_, errors_}) {
    countdown_.setWindowModality(Qt::WindowModal);
    form_.SetCountdownDialog(countdown_);
    form_.Attach(program_);
}

void LiveProgram::Start() {
    form_.FormCreate();
}

}  // namespace zelto::test
