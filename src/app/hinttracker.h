#pragma once
// The application's current hint: whenever the program is idle after the mouse moved, the
// control under the pointer is looked up and its effective hint (widgets/hints.h) taken.
// When that text differs from the previous one, the installed handler receives it.

#include <QObject>
#include <QPointer>
#include <functional>

class QWidget;

namespace tovera {

class HintTracker : public QObject {
    Q_OBJECT
public:
    explicit HintTracker(QObject* parent = nullptr);
    ~HintTracker() override;

    // The application's hint handler; an empty function uninstalls it.
    void setHandler(std::function<void(const QString&)> handler);
    bool hasHandler() const { return static_cast<bool>(handler_); }
    // The current hint text.
    QString currentHint() const { return current_; }

    // Takes `widget` as the control under the pointer now (null: none).
    void update(QWidget* widget);
    // Looks up the control under the pointer and takes it.
    void checkNow();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::function<void(const QString&)> handler_;
    QString current_;
    bool pending_ = false;
};

} // namespace tovera
