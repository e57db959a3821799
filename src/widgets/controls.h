#pragma once
// Small controls of the main window: the check label, the flat one-line edit box, the
// drawing area that shows a frame handed to it, and the tab control with its tabs along
// the bottom edge that holds one content area for all tabs.

#include <QImage>
#include <QLineEdit>
#include <QWidget>

class QTabBar;

namespace tovera {

// A caption with a check mark; the program sets the mark, the user cannot toggle it.
// Reports every mouse-button release over it.
class CheckLabel : public QWidget {
    Q_OBJECT
public:
    explicit CheckLabel(const QString& caption, QWidget* parent = nullptr);
    QString caption() const { return caption_; }
    void setChecked(bool checked);
    bool isChecked() const { return checked_; }
    QSize sizeHint() const override;

Q_SIGNALS:
    void mouseReleased(Qt::MouseButton button);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QString caption_;
    bool checked_ = false;
};

// A one-line edit box drawn flat: a thin line border and no 3-D frame.
class FlatEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit FlatEdit(QWidget* parent = nullptr);
};

// The drawing area. Its paint event first asks for a frame (signal paint), then copies
// the frame last handed to setFrame onto itself at (0, 0), unscaled.
class PaintBox : public QWidget {
    Q_OBJECT
public:
    explicit PaintBox(QWidget* parent = nullptr);
    // The frame to show. Outside a paint event this schedules a repaint.
    void setFrame(const QImage& frame);
    const QImage& frame() const { return frame_; }

Q_SIGNALS:
    void paint();
    void mousePressed(Qt::MouseButton button);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    QImage frame_;
    bool painting_ = false;
};

// A tab control (tabs along the bottom edge) over one content area shared by all tabs. A
// press on a tab other than the active one activates it and repaints the content area; then
// mousePressed follows, for any press on the control or its tabs.
class FlatTabControl : public QWidget {
    Q_OBJECT
public:
    explicit FlatTabControl(QWidget* parent = nullptr);
    int addTab(const QString& caption);
    int tabCount() const;
    int currentIndex() const;
    void setCurrentIndex(int index);
    QTabBar* tabBar() const { return tabs_; }
    // Spacing between tabs in pixels.
    void setTabSpacing(int pixels);

Q_SIGNALS:
    void mousePressed(Qt::MouseButton button);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void place();
    QTabBar* tabs_;
};

} // namespace tovera
