#include "qt/tray_icon.h"

#include <QAction>
#include <QFont>
#include <QGuiApplication>

#include "core/monitor/tray_tip_limit.h"
#include "qt/images.h"

namespace zelto {
namespace {

constexpr int kPictureClose = 10;     // 16 px list: a black cross
constexpr int kPictureShowHide = 11;  // 16 px list: a green arrow

}  // namespace

TrayIcon::TrayIcon(QObject* parent) : QObject(parent) {
    BuildPopupMenu1();
    icon_.setContextMenu(&popupMenu1_);
    connect(&icon_, &QSystemTrayIcon::activated, this, &TrayIcon::IconActivated);
}

TrayIcon::~TrayIcon() = default;

void TrayIcon::BuildPopupMenu1() {
    popupMenu1_.setObjectName("PopupMenu1");

    N3_ = popupMenu1_.addAction(QIcon(ListImage16(kPictureShowHide)),
                                QString::fromUtf8("Открыть / скрыть"));
    N3_->setObjectName("N3");
    QFont bold = N3_->font();
    bold.setBold(true);
    N3_->setFont(bold);
    popupMenu1_.setDefaultAction(N3_);
    connect(N3_, &QAction::triggered, this, &TrayIcon::ShowHide);

    // The past of the power: the chart and the journal's latest lines.
    N4_ = popupMenu1_.addAction(QString::fromUtf8("Журнал"));
    N4_->setObjectName("N4");
    connect(N4_, &QAction::triggered, this, &TrayIcon::JournalRequested);

    QAction* N2 = popupMenu1_.addSeparator();
    N2->setObjectName("N2");

    N1_ = popupMenu1_.addAction(QIcon(ListImage16(kPictureClose)), QString::fromUtf8("Закрыть"));
    N1_->setObjectName("N1");
    connect(N1_, &QAction::triggered, this, &TrayIcon::N1Click);
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
