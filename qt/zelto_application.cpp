#include "qt/zelto_application.h"

namespace zelto {
namespace {

std::unique_ptr<LogindPowerRequests> MakePowerRequests(const std::optional<QString>& address) {
    return address ? std::make_unique<LogindPowerRequests>(*address)
                   : std::make_unique<LogindPowerRequests>();
}

}  // namespace

ZeltoApplication::ZeltoApplication(const std::optional<QString>& powerBusAddress)
    : power_(MakePowerRequests(powerBusAddress)),
      // The program keeps a reference to the countdown, so the dialog exists (hidden) before
      // start-up runs. It is modal for the main window only, so the tray icon still answers
      // while it counts (Exit from the tray menu ends it).
      countdown_(&form_),
      program_(Platform{store_, port_, portTable_, form_, form_, countdown_, *power_, errors_}) {
    countdown_.setWindowModality(Qt::WindowModal);
    form_.SetCountdownDialog(countdown_);
    form_.Attach(program_);
}

void ZeltoApplication::StartNutServer() {
    Settings settings(store_);
    nut_ = NutServer::Start(settings, errors_, program_.Nut());
}

}  // namespace zelto
