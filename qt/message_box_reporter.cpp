#include "qt/message_box_reporter.h"

#include <QMessageBox>

#include "core/base/errors.h"
#include "core/base/product.h"

namespace zelto {

MessageBoxReporter::~MessageBoxReporter() {
    // The box deletes itself when closed; one still open at exit goes with the reporter.
    delete box_.data();
}

void MessageBoxReporter::Report(const std::string& text) {
    if (OpenBox() != nullptr) {
        return;
    }
    auto box = new QMessageBox(QMessageBox::Critical, QString::fromUtf8(kApplicationTitle),
                               QString::fromStdString(MessageBoxText(text)), QMessageBox::Ok);
    box->setTextFormat(Qt::PlainText);
    box->setAttribute(Qt::WA_DeleteOnClose);
    // The other windows are disabled while the box is open, but show() returns at once so the
    // caller's handler and the poll timer carry on.
    box->setWindowModality(Qt::ApplicationModal);
    box_ = box;
    box->show();
}

QMessageBox* MessageBoxReporter::OpenBox() const {
    return (!box_.isNull() && box_->isVisible()) ? box_.data() : nullptr;
}

}  // namespace zelto
