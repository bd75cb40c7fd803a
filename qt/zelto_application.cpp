#include "qt/zelto_application.h"

namespace zelto {
namespace {

std::unique_ptr<LogindPowerRequests> MakePowerRequests(const std::optional<QString>& address) {
    return address ? std::make_unique<LogindPowerRequests>(*address)
                   : std::make_unique<LogindPowerRequests>();
}

}  // namespace

void ConnectWindowToProgram(MainWindowHost& form, Program& program) {
    form.Attach(program, program.State().WindowHidden, program.Shown().Contents(),
                program.State().language);
}

ZeltoApplication::ZeltoApplication(const std::optional<QString>& powerBusAddress,
                                   const std::optional<QString>& notificationBusAddress,
                                   Clock* clock)
    : power_(MakePowerRequests(powerBusAddress)),
      time_(clock != nullptr ? *clock : clock_),
      journalFile_(Settings(store_).PathBeside(kJournalFileName)),
      balloon_(*form_.Tray()),
      notifier_(balloon_, notificationBusAddress),
      events_(time_, journalFile_, notifier_, errors_),
      program_(Platform{store_, port_, portTable_, form_, form_, form_, *power_, events_, &events_,
                        &nutClient_, &nutCheck_, &time_}) {
    ConnectWindowToProgram(form_, program_);
    nutClient_.OnAnswer([this] { program_.FollowedUpsAnswered(); });
    QObject::connect(&form_, &MainWindowHost::trayMissing, [this] { events_.TrayMissing(); });
}

void ZeltoApplication::StartNutServer() {
    Settings settings(store_);
    nut_ = NutServer::Start(settings, events_, program_.Nut());
}

}  // namespace zelto
