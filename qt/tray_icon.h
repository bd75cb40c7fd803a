#pragma once
// The program's icon in the notification area: its picture and tool tip, the clicks on it and
// PopupMenu1. SetTrayIcon mirrors the tray's own add / delete / modify requests, each with the
// picture and tip it asks for.
//
// Qt decides once per process whether its tray icon goes to a StatusNotifierItem host, at the
// first tray object or question. On Wayland, where a StatusNotifierItem host is the only kind of
// tray, no tray object is made and Qt is not asked until a host is on the session bus, so that a
// host that starts after the program (a panel started late, a desktop extension switched on)
// still gets the icon.

#include <QIcon>
#include <QMenu>
#include <QObject>
#include <QString>
#include <QSystemTrayIcon>

#include <memory>
#include <string>

#include "core/base/texts.h"

class QAction;
class QDBusServiceWatcher;

namespace zelto {

enum TrayAction : int {
    TrayAdd = 1,
    TrayDelete = 2,
    TrayModify = 3,
};

class TrayIcon : public QObject {
    Q_OBJECT

public:
    explicit TrayIcon(QObject* parent = nullptr);
    ~TrayIcon() override;

    // The menu's entries in the language; they are built in Russian.
    void SetLanguage(Language language);

    // Add puts the icon into the tray (once: a second add changes nothing), modify changes the
    // picture and tip of an icon that is there, delete takes it out; any other action does
    // nothing. The tip (UTF-8) is cut to the 63 characters the tray holds.
    void SetTrayIcon(int action, const QIcon& icon, const std::string& tip);

    // Whether the icon is in the tray, and what it carries.
    bool Present() const { return present_; }
    // Whether the desktop shows the icon now: it is added and there is a tray for it.
    bool Shown() const;
    QIcon Icon() const { return picture_; }
    QString ToolTip() const { return tip_; }

    QMenu& PopupMenu1() { return popupMenu1_; }
    QAction& N1() { return *N1_; }  // "Закрыть"
    QAction& N3() { return *N3_; }  // "Открыть / скрыть"
    QAction& N4() { return *N4_; }  // "Журнал"
    // The tray's own object, for whoever needs its signals (tests send clicks through it); none
    // while a Wayland desktop has no tray host.
    QSystemTrayIcon* SystemTrayIcon() { return icon_.get(); }

signals:
    // A left click or double click on the icon, or N3: the window shows or hides.
    void ShowHide();
    // N1Click: the user chose "Закрыть"; the Exit command follows.
    void N1Click();
    // N4: the user chose "Журнал".
    void JournalRequested();

private slots:
    // A StatusNotifierItem host may be there now: the tray object is made if it is.
    void HostRegistered();

private:
    void BuildPopupMenu1();
    void IconActivated(QSystemTrayIcon::ActivationReason reason);
    // Makes the tray object and gives it what the program asked for so far.
    void MakeIcon();
    void ShowWanted();

    // The menu outlives the icon that shows it.
    QMenu popupMenu1_;
    std::unique_ptr<QSystemTrayIcon> icon_;
    // Where the bus is the only way to a tray: whether a StatusNotifierItem host is on it.
    std::unique_ptr<QDBusServiceWatcher> hostWatch_;
    bool hostOnBus_ = false;
    QIcon picture_;
    QString tip_;
    QAction* N1_ = nullptr;
    QAction* N3_ = nullptr;
    QAction* N4_ = nullptr;
    bool present_ = false;
};

}  // namespace zelto
