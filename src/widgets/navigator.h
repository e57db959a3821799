#pragma once
// The record navigator panel: two data-bound text rows and ten buttons.

#include <QWidget>

namespace tovera {

class RecordNavigator : public QWidget {
    Q_OBJECT
public:
    explicit RecordNavigator(QWidget* parent = nullptr);
    // Size of the ten buttons in pixels (FormShow sets 18).
    void setButtonSize(int pixels);
};

} // namespace tovera
