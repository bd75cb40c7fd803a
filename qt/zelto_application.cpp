#include "qt/zelto_application.h"

namespace zelto {
namespace {

std::unique_ptr<LogindPowerRequests> MakePowerRequests(const std::optional<QString>& address) {
    return address ? std::make_unique<LogindPowerRequests>(*address)
                   : std::make_unique<LogindPowerRequests>();
}

}  // namespace

void ConnectWindowToProgram(TForm1& form, Program& program) {
    QObject::connect(&form, &TForm1::startingUp, [&program] { program.FormCreate(); });
    QObject::connect(&form, &TForm1::policyChosen, [&program](PolicyList list, int index) {
        program.PolicyChanged(list, index);
    });
    QObject::connect(&form, &TForm1::portListOpening, [&program] { program.RefreshPortList(); });
    QObject::connect(&form, &TForm1::portChosen,
                     [&program](int index) { program.ComboBox4Change(index); });
    QObject::connect(&form, &TForm1::beeperToggleRequested, [&program] { program.Image5Click(); });
    QObject::connect(&form, &TForm1::pollTick, [&program] { program.Timer1Timer(); });
    form.ShareWindowHidden(program.State().WindowHidden);
}

ZeltoApplication::ZeltoApplication(const std::optional<QString>& powerBusAddress)
    : power_(MakePowerRequests(powerBusAddress)),
      // The program keeps a reference to the countdown, so the dialog exists (hidden) before
      // start-up runs. It is modal for the main window only, so the tray icon still answers
      // while it counts (Exit from the tray menu ends it).
      countdown_(&form_),
      program_(Platform{store_, port_, portTable_, form_, form_, countdown_, *power_, errors_}) {
    countdown_.setWindowModality(Qt::WindowModal);
    form_.SetCountdownDialog(countdown_);
    ConnectWindowToProgram(form_, program_);
}

}  // namespace zelto
