#include "qt/zelto_application.h"

namespace zelto {
namespace {

std::unique_ptr<LogindPowerRequests> MakePowerRequests(const std::optional<QString>& address) {
    return address ? std::make_unique<LogindPowerRequests>(*address)
                   : std::make_unique<LogindPowerRequests>();
}

}  // namespace

void ConnectWindowToProgram(MainWindowHost& form, Program& program) {
    QObject::connect(&form, &MainWindowHost::startingUp, [&program] { program.FormCreate(); });
    QObject::connect(&form, &MainWindowHost::policyChosen, [&program](PolicyList list, int index) {
        program.PolicyChanged(list, index);
    });
    QObject::connect(&form, &MainWindowHost::portListOpening,
                     [&program] { program.RefreshPortList(); });
    QObject::connect(&form, &MainWindowHost::portChosen,
                     [&program](int index) { program.ComboBox4Change(index); });
    QObject::connect(&form, &MainWindowHost::beeperToggleRequested,
                     [&program] { program.Image5Click(); });
    QObject::connect(&form, &MainWindowHost::pollTick, [&program] { program.Timer1Timer(); });
    QObject::connect(&form, &MainWindowHost::countdownAnswered,
                     [&program](int result) { program.CountdownAnswered(result); });
    form.ShareWindowHidden(program.State().WindowHidden);
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
      program_(
          Platform{store_, port_, portTable_, form_, form_, form_, *power_, events_, &events_}) {
    ConnectWindowToProgram(form_, program_);
    QObject::connect(&form_, &MainWindowHost::trayMissing, [this] { events_.TrayMissing(); });
}

void ZeltoApplication::StartNutServer() {
    Settings settings(store_);
    nut_ = NutServer::Start(settings, events_, program_.Nut());
}

}  // namespace zelto
