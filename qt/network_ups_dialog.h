#pragma once
// "Сетевой UPS": where the UPS another machine serves is, and the login for its server. Modeless:
// the ticks go on while it shows. "Проверить" and OK go to the program, which answers in the
// line under the fields.

#include <QDialog>

#include "core/base/texts.h"
#include "core/program/network_ups.h"

class QLabel;
class QLineEdit;

namespace zelto {

class UserActions;

class NetworkUpsDialog : public QDialog {
    Q_OBJECT

public:
    NetworkUpsDialog(UserActions*& actions, Language language, QWidget* parent);

    // Shows the dialog with these fields, the password field empty.
    void Open(const NetworkUpsForm& form);
    void ShowCheck(const std::string& text);

    QLineEdit* HostEdit;
    QLineEdit* UpsEdit;
    QLineEdit* UserEdit;
    QLineEdit* PasswordEdit;
    QLabel* CheckLabel;

protected:
    void accept() override;

private:
    NetworkUpsForm Fields() const;

    UserActions*& actions_;
};

}  // namespace zelto
