#include "qt/tray_icon.h"

#include <QAction>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QFont>
#include <QGuiApplication>

#include "core/monitor/tray_tip_limit.h"
#include "core/program/tray_menu.h"
#include "qt/images.h"
#include "qt/widgets.h"

namespace zelto {

namespace {

constexpr auto kWatcher = "org.kde.StatusNotifierWatcher";
constexpr auto kWatcherPath = "/StatusNotifierWatcher";

// X11 has the XEmbed tray besides, which Qt follows by itself as it comes and goes; offscreen
// has no tray to wait for.
bool TrayOnlyOverTheBus() {
    const QString platform = QGuiApplication::platformName();
    return platform != QLatin1String("xcb") && platform != QLatin1String("offscreen");
}

}  // namespace

TrayIcon::TrayIcon(QObject* parent) : QObject(parent) {
    BuildPopupMenu1();
    if (!TrayOnlyOverTheBus()) {
        MakeIcon();
        return;
    }
    QDBusConnection bus = QDBusConnection::sessionBus();
    const QString watcher = QString::fromLatin1(kWatcher);
    hostWatch_ = std::make_unique<QDBusServiceWatcher>(
        watcher, bus,
        QDBusServiceWatcher::WatchForRegistration | QDBusServiceWatcher::WatchForUnregistration);
    connect(hostWatch_.get(), &QDBusServiceWatcher::serviceRegistered, this, [this] {
        hostOnBus_ = true;
        HostRegistered();
    });
    connect(hostWatch_.get(), &QDBusServiceWatcher::serviceUnregistered, this,
            [this] { hostOnBus_ = false; });
    // A panel registers the watcher first and its host a moment later.
    bus.connect(watcher, QString::fromLatin1(kWatcherPath), watcher,
                QStringLiteral("StatusNotifierHostRegistered"), this, SLOT(HostRegistered()));
    hostOnBus_ = bus.interface() != nullptr && bus.interface()->isServiceRegistered(watcher);
    if (hostOnBus_) {
        HostRegistered();
    }
}

void TrayIcon::HostRegistered() {
    if (icon_) {
        return;  // Qt's item follows the host from here on, a host restarted included
    }
    // Qt takes the bus for its tray only if a host is there when the tray object is made. Asked
    // while waiting, so that the program does not start with its window hidden and no icon; a
    // watcher that does not answer at once is asked again at its next signal.
    const QString watcher = QString::fromLatin1(kWatcher);
    QDBusMessage ask = QDBusMessage::createMethodCall(
        watcher, QString::fromLatin1(kWatcherPath),
        QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    ask << watcher << QStringLiteral("IsStatusNotifierHostRegistered");
    constexpr int kAnswerMilliseconds = 1000;
    const QDBusReply<QDBusVariant> hosted =
        QDBusConnection::sessionBus().call(ask, QDBus::Block, kAnswerMilliseconds);
    if (hosted.isValid() && hosted.value().variant().toBool()) {
        MakeIcon();
    }
}

void TrayIcon::MakeIcon() {
    icon_ = std::make_unique<QSystemTrayIcon>();
    icon_->setContextMenu(&popupMenu1_);
    connect(icon_.get(), &QSystemTrayIcon::activated, this, &TrayIcon::IconActivated);
    if (present_) {
        ShowWanted();
    }
}

void TrayIcon::ShowWanted() {
    if (icon_) {
        icon_->setIcon(picture_);
        icon_->setToolTip(tip_);
        icon_->show();
    }
}

TrayIcon::~TrayIcon() = default;

void TrayIcon::BuildPopupMenu1() {
    popupMenu1_.setObjectName("PopupMenu1");
    for (const TrayMenuEntry& entry : kTrayMenu) {
        QAction* action = entry.text
                              ? popupMenu1_.addAction(ShownText(Language::Russian, *entry.text))
                              : popupMenu1_.addSeparator();
        action->setObjectName(QString::fromLatin1(entry.name.data(), entry.name.size()));
        if (entry.picture != kPictureProgram) {
            action->setIcon(QIcon(ListImage16(entry.picture)));
        }
        if (entry.isDefault) {
            QFont bold = action->font();
            bold.setBold(true);
            action->setFont(bold);
            popupMenu1_.setDefaultAction(action);
        }
        switch (entry.command) {
            case TrayCommand::ShowHide:
                N3_ = action;
                connect(action, &QAction::triggered, this, &TrayIcon::ShowHide);
                break;
            case TrayCommand::Journal:
                // The past of the power: the chart and the journal's latest lines.
                N4_ = action;
                connect(action, &QAction::triggered, this, &TrayIcon::JournalRequested);
                break;
            case TrayCommand::Exit:
                N1_ = action;
                connect(action, &QAction::triggered, this, &TrayIcon::N1Click);
                break;
            case TrayCommand::Separator:
                break;
        }
    }
}

void TrayIcon::SetLanguage(Language language) {
    const QList<QAction*> actions = popupMenu1_.actions();
    for (std::size_t at = 0; at < kTrayMenu.size() && at < static_cast<std::size_t>(actions.size());
         ++at) {
        if (const auto text = kTrayMenu[at].text) {
            actions[static_cast<int>(at)]->setText(ShownText(language, *text));
        }
    }
}

void TrayIcon::SetTrayIcon(int action, const QIcon& icon, const std::string& tip) {
    const QString shown = QString::fromStdString(LimitTrayTip(tip));
    switch (action) {
        case TrayAdd:
            // Adding an icon that is already there fails in the tray and leaves it as it is.
            if (!present_) {
                picture_ = icon;
                tip_ = shown;
                present_ = true;
                ShowWanted();
            }
            break;
        case TrayDelete:
            if (icon_) {
                icon_->hide();
            }
            present_ = false;
            break;
        case TrayModify:
            // Only an icon in the tray can change; after delete it stays gone.
            if (present_) {
                picture_ = icon;
                tip_ = shown;
                if (icon_) {
                    icon_->setIcon(icon);
                    icon_->setToolTip(shown);
                }
            }
            break;
        default:
            break;
    }
}

bool TrayIcon::Shown() const {
    // Offscreen draws nowhere: no window of it ever reaches a screen, so there is nothing to keep
    // reachable without a tray either.
    if (!present_ || !icon_) {
        return false;
    }
    if (hostWatch_) {
        return hostOnBus_;
    }
    return QGuiApplication::platformName() == QLatin1String("offscreen") ||
           QSystemTrayIcon::isSystemTrayAvailable();
}

void TrayIcon::IconActivated(QSystemTrayIcon::ActivationReason reason) {
    switch (reason) {
        case QSystemTrayIcon::Trigger:
            emit ShowHide();
            break;
        case QSystemTrayIcon::DoubleClick:
            // A double click toggles on each release and again on the double click itself,
            // three times in all: Qt reports the first release as Trigger and folds the
            // second press and release into this one event, so it stands for two toggles.
            emit ShowHide();
            emit ShowHide();
            break;
        default:
            // The right button opens PopupMenu1 by itself, as the tray's context menu.
            break;
    }
}

}  // namespace zelto
