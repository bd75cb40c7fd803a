#include "qt/network_ups_dialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/program/user_actions.h"
#include "qt/widgets.h"

namespace zelto {

NetworkUpsDialog::NetworkUpsDialog(UserActions*& actions, Language language, QWidget* parent)
    : QDialog(parent), actions_(actions) {
    setObjectName("NetworkUpsDialog");
    setWindowTitle(ShownText(language, TextId::NetworkUpsCaption));
    HostEdit = new QLineEdit(this);
    HostEdit->setPlaceholderText(ShownText(language, TextId::ServerAddressHint));
    UpsEdit = new QLineEdit(this);
    UpsEdit->setPlaceholderText(QStringLiteral("ups"));
    UserEdit = new QLineEdit(this);
    PasswordEdit = new QLineEdit(this);
    PasswordEdit->setEchoMode(QLineEdit::Password);
    PasswordEdit->setPlaceholderText(ShownText(language, TextId::PasswordHint));
    CheckLabel = new QLabel(this);
    CheckLabel->setWordWrap(true);
    CheckLabel->setMinimumWidth(280);

    auto* fields = new QFormLayout;
    fields->addRow(ShownText(language, TextId::ServerAddress), HostEdit);
    fields->addRow(ShownText(language, TextId::UpsName), UpsEdit);
    fields->addRow(ShownText(language, TextId::User), UserEdit);
    fields->addRow(ShownText(language, TextId::Password), PasswordEdit);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* check =
        buttons->addButton(ShownText(language, TextId::Check), QDialogButtonBox::ActionRole);
    buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    buttons->addButton(ShownText(language, TextId::Cancel), QDialogButtonBox::RejectRole);
    connect(check, &QPushButton::clicked, this, [this] { actions_->CheckNetworkUps(Fields()); });
    connect(buttons, &QDialogButtonBox::accepted, this, &NetworkUpsDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &NetworkUpsDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addWidget(CheckLabel);
    layout->addWidget(buttons);
}

void NetworkUpsDialog::Open(const NetworkUpsForm& form) {
    HostEdit->setText(QString::fromStdString(form.host));
    UpsEdit->setText(QString::fromStdString(form.ups));
    UserEdit->setText(QString::fromStdString(form.user));
    PasswordEdit->clear();
    CheckLabel->clear();
    show();
    raise();
    activateWindow();
}

void NetworkUpsDialog::ShowCheck(const std::string& text) {
    CheckLabel->setText(QString::fromStdString(text));
}

NetworkUpsForm NetworkUpsDialog::Fields() const {
    return NetworkUpsForm{
        HostEdit->text().trimmed().toStdString(), UpsEdit->text().trimmed().toStdString(),
        UserEdit->text().trimmed().toStdString(), PasswordEdit->text().toStdString()};
}

void NetworkUpsDialog::accept() {
    // The program says whether the fields name a UPS; if not, the dialog stays with the reason.
    if (actions_->NetworkUpsChosen(Fields())) {
        QDialog::accept();
    }
}

}  // namespace zelto
