#pragma once
// The record navigator panel: two text rows (caption and edit box) above a row of ten
// buttons. The panel knows nothing of records: its owner binds the rows, enables the
// buttons and acts on their clicks.

#include <QWidget>

class QLabel;
class QLineEdit;
class QToolButton;

namespace tovera {

class RecordNavigator : public QWidget {
    Q_OBJECT
public:
    enum Button { First, Prior, Next, Last, Insert, Delete, Edit, Post, Cancel, Refresh };
    static constexpr int kButtonCount = 10;
    static constexpr int kRowCount = 2;

    // Rows "所有者コード" and "氏名"; buttons with their hints ("First record" ...), all
    // disabled until the owner enables them.
    explicit RecordNavigator(QWidget* parent = nullptr);
    // Size of the ten buttons in pixels (FormShow sets 18; the panel starts at 15). The
    // buttons stand one every size + 3 pixels.
    void setButtonSize(int pixels);
    int buttonSize() const { return buttonSize_; }
    QToolButton* button(Button which) const { return buttons_[which]; }
    void setButtonEnabled(Button which, bool enabled);
    // The edit box of row 0 (所有者コード) or 1 (氏名); owned by the panel.
    QLineEdit* rowEdit(int row) const { return edits_[row]; }
    QLabel* rowCaption(int row) const { return captions_[row]; }
    // The hint of a button as shown in the pop-up and the message panel.
    static QString buttonHint(Button which);

Q_SIGNALS:
    void buttonClicked(tovera::RecordNavigator::Button which);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void place();
    int buttonSize_ = 15;
    QToolButton* buttons_[kButtonCount] = {};
    QLineEdit* edits_[kRowCount] = {};
    QLabel* captions_[kRowCount] = {};
};

} // namespace tovera
