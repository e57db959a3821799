#pragma once
// A side bar: a column of panels, each with a caption bar and below it either a column of
// large-icon items (48 px high, a 32 x 32 icon above the caption) or one hosted control.
// Clicking a caption bar opens or closes its panel; open panels share the height left
// by the caption bars. A click on an item reports (panel index, item index), both from 0.

#include <QIcon>
#include <QWidget>
#include <vector>

class QAbstractButton;
class QToolButton;
class QVBoxLayout;

namespace tovera {

class SideBar : public QWidget {
    Q_OBJECT
public:
    static constexpr int ItemHeight = 48;
    static constexpr int IconSize = 32;
    static constexpr int CaptionHeight = 20;

    explicit SideBar(QWidget* parent = nullptr);

    // Adds a panel of large-icon items; returns its index. The panel starts open.
    int addPanel(const QString& caption);
    // Adds a panel hosting `control` (the side bar takes it as a child); returns its index.
    int addHostPanel(const QString& caption, QWidget* control);
    // Adds an item to an item panel; returns its index within the panel.
    int addItem(int panel, const QString& caption, const QIcon& icon);

    int panelCount() const { return static_cast<int>(panels_.size()); }
    int itemCount(int panel) const;
    QString panelCaption(int panel) const;
    void setPanelOpen(int panel, bool open);
    bool isPanelOpen(int panel) const;
    // The caption bar of a panel and the button of an item (for layout checks and tests).
    QAbstractButton* captionBar(int panel) const;
    QToolButton* itemButton(int panel, int item) const;
    // The content area of a panel (the item column or the hosted control).
    QWidget* panelBody(int panel) const;

Q_SIGNALS:
    void itemClicked(int panel, int item);

private:
    struct Panel {
        QAbstractButton* caption = nullptr;
        QWidget* body = nullptr;
        QVBoxLayout* items = nullptr; // null for a host panel
        std::vector<QToolButton*> buttons;
        bool open = true;
    };
    int addPanelFrame(const QString& caption, QWidget* body, QVBoxLayout* items);
    void relayout();

    QVBoxLayout* layout_;
    std::vector<Panel> panels_;
};

} // namespace tovera
