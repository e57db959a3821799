#pragma once
// The face of a date picker: its whole date readable at the picker's size, and typing into
// it as into a date field of the platform's pickers.

#include <QObject>

class QDateTimeEdit;
class QLineEdit;

namespace tovera {

// Attached to `edit` (and owned by it):
// - the drop-down button is narrow, and the face takes the largest font, at most the one
//   the picker inherits and at least 9 pixels high (narrowed slightly where that is
//   needed), in which the widest date of the display format fits; it is chosen again
//   whenever the picker changes size;
// - a click into the face selects the date field under the pointer (year, month, day), so
//   that digits typed next replace that field.
// Install it before other event filters on the picker's face, so that they still see the
// clicks it takes.
class DateFace : public QObject {
    Q_OBJECT
public:
    explicit DateFace(QDateTimeEdit* edit);
    // The face's text box inside the picker.
    QLineEdit* face() const { return face_; }
    // Width in pixels of the drop-down button of every picker with a DateFace.
    static constexpr int kButtonWidth = 13;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void fit();
    void selectFieldAt(int x);

    QDateTimeEdit* edit_;
    QLineEdit* face_;
    bool fitting_ = false;
};

} // namespace tovera
