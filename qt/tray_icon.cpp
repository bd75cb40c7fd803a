#include "qt/tray_icon.h"

#include <QAction>
#include <QFont>
#include <QGuiApplication>

#include "core/monitor/tray_tip_limit.h"
#include "core/program/tray_menu.h"
#include "qt/images.h"

namespace zelto {

TrayIcon::TrayIcon(QObject* parent) : QObject(parent) {
    BuildPopupMenu1();
    icon_.setContextMenu(&popupMenu1_);
    connect(&icon_, &QSystemTrayIcon::activated, this, &TrayIcon::IconActivated);
}

TrayIcon::~TrayIcon() = default;

void TrayIcon::BuildPopupMenu1() {
    popupMenu1_.setObjectName("PopupMenu1");
    for (const TrayMenuEntry& entry : kTrayMenu) {
        QAction* action =
            entry.command == TrayCommand::Separator
                ? popupMenu1_.addSeparator()
                : popupMenu1_.addAction(QString::fromUtf8(entry.text.data(), entry.text.size()));
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

void TrayIcon::SetTrayIcon(int action, const QIcon& icon, const std::string& tip) {
    const QString shown = QString::fromStdString(LimitTrayTip(tip));
    switch (action) {
        case TrayAdd:
            // Adding an icon that is already there fails in the tray and leaves it as it is.
            if (!present_) {
                icon_.setIcon(icon);
                icon_.setToolTip(shown);
                icon_.show();
                present_ = true;
            }
            break;
        case TrayDelete:
            icon_.hide();
            present_ = false;
            break;
        case TrayModify:
            // Only an icon in the tray can change; after delete it stays gone.
            if (present_) {
                icon_.setIcon(icon);
                icon_.setToolTip(shown);
            }
            break;
        default:
            break;
    }
}

bool TrayIcon::Shown() const {
    // Offscreen draws nowhere: no window of it ever reaches a screen, so there is nothing to keep
    // reachable without a tray either.
    return present_ && (QGuiApplication::platformName() == QLatin1String("offscreen") ||
                        QSystemTrayIcon::isSystemTrayAvailable());
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
