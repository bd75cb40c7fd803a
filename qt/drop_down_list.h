#pragma once
// A drop-down list that says when the user is about to see its entries, so the port list can
// be brought up to date with the devices plugged in at that moment.

#include <QComboBox>

namespace zelto {

class DropDownList : public QComboBox {
    Q_OBJECT

public:
    using QComboBox::QComboBox;

    void showPopup() override {
        emit popupAboutToShow();
        QComboBox::showPopup();
    }

signals:
    void popupAboutToShow();
};

}  // namespace zelto
