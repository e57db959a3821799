#include "widgets/sidebar.h"

#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

namespace tovera {

namespace {

// Items are white captions on the side bar's grey; hovering, pressing and checking darken
// the item's ground instead of lightening it, so the caption stays readable in every state.
const char* const ItemStyle = "QToolButton { color: #ffffff; background: transparent;"
                              " border: 1px solid transparent; border-radius: 3px; }"
                              "QToolButton:hover { background: #5c5c5c; border-color: #b8b8b8; }"
                              "QToolButton:pressed, QToolButton:checked {"
                              " background: #3a3a3a; border-color: #d8d8d8; }"
                              "QToolButton:disabled { color: #e6e6e6; }";

} // namespace

SideBar::SideBar(QWidget* parent) : QWidget(parent), layout_(new QVBoxLayout(this)) {
    layout_->setContentsMargins(0, 0, 0, 0);
    layout_->setSpacing(0);
    layout_->addStretch(1);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(0x80, 0x80, 0x80));
    setPalette(pal);
}

int SideBar::addPanelFrame(const QString& caption, QWidget* body, QVBoxLayout* items) {
    const int index = panelCount();
    auto* bar = new QPushButton(caption, this);
    bar->setObjectName(QStringLiteral("caption%1").arg(index));
    bar->setFixedHeight(CaptionHeight);
    bar->setFocusPolicy(Qt::NoFocus);
    connect(bar, &QPushButton::clicked, this,
            [this, index] { setPanelOpen(index, !isPanelOpen(index)); });
    // Keep the trailing stretch last: insert before it.
    const int at = layout_->count() - 1;
    layout_->insertWidget(at, bar);
    layout_->insertWidget(at + 1, body, 1);
    panels_.push_back({bar, body, items, {}, true});
    relayout();
    return index;
}

int SideBar::addPanel(const QString& caption) {
    auto* body = new QWidget(this);
    auto* items = new QVBoxLayout(body);
    items->setContentsMargins(0, 4, 0, 0);
    items->setSpacing(0);
    items->addStretch(1);
    return addPanelFrame(caption, body, items);
}

int SideBar::addHostPanel(const QString& caption, QWidget* control) {
    control->setParent(this);
    return addPanelFrame(caption, control, nullptr);
}

int SideBar::addItem(int panel, const QString& caption, const QIcon& icon) {
    Panel& p = panels_.at(static_cast<size_t>(panel));
    if (!p.items) return -1;
    const int index = static_cast<int>(p.buttons.size());
    auto* button = new QToolButton(p.body);
    button->setObjectName(QStringLiteral("item%1_%2").arg(panel).arg(index));
    button->setText(caption);
    button->setIcon(icon);
    button->setIconSize(QSize(IconSize, IconSize));
    button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::NoFocus);
    button->setFixedHeight(ItemHeight);
    button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    button->setStyleSheet(QString::fromLatin1(ItemStyle));
    connect(button, &QToolButton::clicked, this,
            [this, panel, index] { Q_EMIT itemClicked(panel, index); });
    p.items->insertWidget(p.items->count() - 1, button);
    p.buttons.push_back(button);
    return index;
}

int SideBar::itemCount(int panel) const {
    if (panel < 0 || panel >= panelCount()) return 0;
    return static_cast<int>(panels_[static_cast<size_t>(panel)].buttons.size());
}

QString SideBar::panelCaption(int panel) const {
    if (panel < 0 || panel >= panelCount()) return QString();
    return panels_[static_cast<size_t>(panel)].caption->text();
}

void SideBar::setPanelOpen(int panel, bool open) {
    if (panel < 0 || panel >= panelCount()) return;
    panels_[static_cast<size_t>(panel)].open = open;
    relayout();
}

bool SideBar::isPanelOpen(int panel) const {
    if (panel < 0 || panel >= panelCount()) return false;
    return panels_[static_cast<size_t>(panel)].open;
}

QAbstractButton* SideBar::captionBar(int panel) const {
    if (panel < 0 || panel >= panelCount()) return nullptr;
    return panels_[static_cast<size_t>(panel)].caption;
}

QToolButton* SideBar::itemButton(int panel, int item) const {
    if (panel < 0 || panel >= panelCount()) return nullptr;
    const auto& buttons = panels_[static_cast<size_t>(panel)].buttons;
    if (item < 0 || item >= static_cast<int>(buttons.size())) return nullptr;
    return buttons[static_cast<size_t>(item)];
}

QWidget* SideBar::panelBody(int panel) const {
    if (panel < 0 || panel >= panelCount()) return nullptr;
    return panels_[static_cast<size_t>(panel)].body;
}

void SideBar::relayout() {
    bool anyOpen = false;
    for (const Panel& p : panels_) {
        p.body->setVisible(p.open);
        anyOpen = anyOpen || p.open;
    }
    // With every panel closed the caption bars sit at the top and the rest stays empty.
    layout_->setStretch(layout_->count() - 1, anyOpen ? 0 : 1);
}

} // namespace tovera
