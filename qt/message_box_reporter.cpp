#include "qt/message_box_reporter.h"

#include <QMessageBox>

#include "core/base/errors.h"
#include "core/base/product.h"

namespace zelto {

MessageBoxReporter::~MessageBoxReporter() {
    // The box deletes itself when closed; one still open at exit goes with the reporter, without
    // telling the queue, which would open the next box on the way out.
    if (!box_.isNull()) {
        QObject::disconnect(box_.data(), nullptr, nullptr, nullptr);
        delete box_.data();
    }
}

void MessageBoxReporter::ShowBox(const std::string& text) {
    auto box = new QMessageBox(QMessageBox::Critical, QString::fromUtf8(kApplicationTitle),
                               QString::fromStdString(MessageBoxText(text)), QMessageBox::Ok);
    box->setTextFormat(Qt::PlainText);
    box->setAttribute(Qt::WA_DeleteOnClose);
    // Modeless: the tray icon, its menu, the main window and the countdown all stay in reach
    // while the box is open, and show() returns at once so the caller's handler and the poll
    // timer carry on.
    box->setWindowModality(Qt::NonModal);
    QObject::connect(box, &QDialog::finished, box, [this] { queue_.BoxClosed(); });
    box_ = box;
    box->show();
}

QMessageBox* MessageBoxReporter::OpenBox() const {
    return (!box_.isNull() && box_->isVisible()) ? box_.data() : nullptr;
}

}  // namespace zelto
