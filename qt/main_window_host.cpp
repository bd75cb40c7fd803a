#include "qt/main_window_host.h"

#include <QCoreApplication>

#include "core/program/tray_presence.h"
#include "qt/about_box.h"
#include "qt/countdown_dialog.h"
#include "qt/images.h"
#include "qt/main_window.h"
#include "qt/network_ups_dialog.h"
#include "qt/window_visibility.h"

namespace zelto {

MainWindowHost::MainWindowHost() {
    timer1_.setObjectName("Timer1");
    timer1_.setTimerType(Qt::PreciseTimer);
    timer1_.setInterval(1000);
    connect(&timer1_, &QTimer::timeout, this, &MainWindowHost::Timer1Timer);

    connect(&tray_, &TrayIcon::ShowHide, this, &MainWindowHost::ShowHideExecute);
    connect(&tray_, &TrayIcon::N1Click, this, &MainWindowHost::N1Click);
}

MainWindowHost::~MainWindowHost() = default;

TForm1& MainWindowHost::Window() {
    if (!window_) {
        window_ = std::make_unique<TForm1>(*contents_, language_);
        TForm1* window = window_.get();
        connect(window, &TForm1::policyChosen, this,
                [this](PolicyList list, int index) { actions_->PolicyChanged(list, index); });
        connect(window, &TForm1::portChosen, this,
                [this](int index) { actions_->ComboBox4Change(index); });
        connect(window, &TForm1::portListOpening, this, [this] { actions_->RefreshPortList(); });
        connect(window, &TForm1::beeperToggleRequested, this, [this] { actions_->Image5Click(); });
        connect(window, &TForm1::aboutRequested, this, &MainWindowHost::aboutRequested);
        connect(window, &TForm1::exitChosen, this, &MainWindowHost::ExitAppExecute);
        connect(window, &TForm1::hideRequested, this, [this] {
            if (CloseActionFor(tray_.Shown()) == CloseAction::Minimise) {
                // No icon to bring it back from.
                window_->showMinimized();
                return;
            }
            HideToTray(*window_, *windowHidden_);
        });
    }
    return *window_;
}

TForm2& MainWindowHost::CountdownWindow() {
    if (!countdown_) {
        countdown_ = std::make_unique<TForm2>(language_, &Window());
        connect(countdown_.get(), &TForm2::answered, this,
                [this](int result) { actions_->CountdownAnswered(result); });
    }
    return *countdown_;
}

TAboutBox& MainWindowHost::AboutBox() {
    return Window().AboutBox();
}

TForm1* MainWindowHost::Open() const {
    return window_ && window_->isVisible() ? window_.get() : nullptr;
}

void MainWindowHost::Attach(UserActions& actions, bool& windowHidden,
                            const MainWindowContents& contents, Language language) {
    actions_ = &actions;
    windowHidden_ = &windowHidden;
    contents_ = &contents;
    language_ = language;
    tray_.SetLanguage(language);
}

void MainWindowHost::FormCreate() {
    actions_->FormCreate();
    timer1_.start();
}

// MainView

void MainWindowHost::SetPolicyIndex(PolicyList list, int index) {
    if (TForm1* window = Open()) {
        window->SetPolicyIndex(list, index);
    }
}

void MainWindowHost::SetPortList(const std::vector<std::string>& names) {
    if (TForm1* window = Open()) {
        window->SetPortList(names);
    }
}

void MainWindowHost::SetPortIndex(int index) {
    if (TForm1* window = Open()) {
        window->SetPortIndex(index);
    }
}

void MainWindowHost::SetCaption(const std::string& caption) {
    if (TForm1* window = Open()) {
        window->SetCaption(caption);
    }
}

void MainWindowHost::AddTrayIcon() {
    tray_.SetTrayIcon(TrayAdd, AppIcon(), "");
    KeepReachable();
}

void MainWindowHost::KeepReachable() {
    const bool shown = tray_.Shown();
    if (!shown && !trayMissingTold_) {
        trayMissingTold_ = true;
        emit trayMissing();
    }
    if (MustShowWindow(shown, *windowHidden_)) {
        ShowHide(Window(), *windowHidden_);
    }
}

// Display

void MainWindowHost::ShowLinkState(bool ok) {
    if (TForm1* window = Open()) {
        window->ShowLinkState(ok);
    }
}

void MainWindowHost::ShowReading(Reading which, const std::string& text) {
    if (TForm1* window = Open()) {
        window->ShowReading(which, text);
    }
}

void MainWindowHost::ShowLoadBar(int percent) {
    if (TForm1* window = Open()) {
        window->ShowLoadBar(percent);
    }
}

void MainWindowHost::ShowBeeperPicture(int picture) {
    if (TForm1* window = Open()) {
        window->ShowBeeperPicture(picture);
    }
}

void MainWindowHost::ShowBatteryPicture(int picture) {
    if (TForm1* window = Open()) {
        window->ShowBatteryPicture(picture);
    }
}

void MainWindowHost::ShowCharge(const std::string& text) {
    if (TForm1* window = Open()) {
        window->ShowCharge(text);
    }
}

void MainWindowHost::ShowClockVisible(bool visible) {
    if (TForm1* window = Open()) {
        window->ShowClockVisible(visible);
    }
}

void MainWindowHost::ShowClock(const std::string& text) {
    if (TForm1* window = Open()) {
        window->ShowClock(text);
    }
}

void MainWindowHost::ShowTray(int picture, const std::string& tip) {
    // Only a change comes here: the core keeps what the tray shows.
    trayPicture_ = picture;
    trayTip_ = QString::fromStdString(tip);
    tray_.SetTrayIcon(TrayModify,
                      picture == kPictureProgram ? AppIcon() : QIcon(ListImage16(picture)), tip);
    emit trayChanged(trayPicture_, trayTip_);
}

// Countdown

void MainWindowHost::OpenCountdown(std::uint16_t seconds, const std::string& caption) {
    CountdownWindow().OpenCountdown(seconds, caption);
}

void MainWindowHost::SetUpsOffEnabled(bool enabled) {
    if (TForm1* window = Open()) {
        window->SetUpsOffEnabled(enabled);
    }
}

void MainWindowHost::OpenNetworkUpsDialog(const NetworkUpsForm& form) {
    if (!networkUps_) {
        networkUps_ = std::make_unique<NetworkUpsDialog>(actions_, language_, &Window());
    }
    networkUps_->Open(form);
}

void MainWindowHost::ShowNetworkUpsCheck(const std::string& text) {
    if (networkUps_) {
        networkUps_->ShowCheck(text);
    }
}

void MainWindowHost::ShowCountdownSeconds(std::uint16_t seconds) {
    if (countdown_) {
        countdown_->ShowCountdownSeconds(seconds);
    }
}

void MainWindowHost::CloseCountdown() {
    if (countdown_) {
        countdown_->CloseCountdown();
    }
}

// Events

void MainWindowHost::ExitAppExecute() {
    tray_.SetTrayIcon(TrayDelete, QIcon(), "");
    // A countdown showing now ends as "program ending": no power action follows.
    actions_->CountdownAnswered(CountdownProgramEnding);
    emit exitRequested();
    // exit(), not quit(): quit() would first ask the windows to close, and the main window
    // refuses.
    QCoreApplication::exit(0);
}

void MainWindowHost::ShowHideExecute() {
    if (*windowHidden_) {
        ShowHide(Window(), *windowHidden_);
    } else if (window_) {
        ShowHide(*window_, *windowHidden_);
    } else {
        // Shown by the flag alone, never built: there is nothing to hide.
        *windowHidden_ = true;
    }
}

void MainWindowHost::ShowMainWindow() {
    if (*windowHidden_) {
        ShowHide(Window(), *windowHidden_);
        return;
    }
    TForm1& window = Window();
    window.showNormal();
    window.raise();
    window.activateWindow();
}

void MainWindowHost::N1Click() {
    ExitAppExecute();
}

void MainWindowHost::Timer1Timer() {
    actions_->Timer1Timer();
    // A tray that went away (its host ended) takes the only way to the window with it. Asked
    // every few ticks, not every one: on a StatusNotifierItem desktop Qt asks the session bus.
    if (++ticksSinceTrayCheck_ >= kTrayCheckTicks) {
        ticksSinceTrayCheck_ = 0;
        KeepReachable();
    }
}

}  // namespace zelto
