// The widget set: side bars, the status bar with its gauge, hints, check labels, the floor
// tab control and the drawing area.

#include "widgets/controls.h"
#include "widgets/hints.h"
#include "widgets/sidebar.h"
#include "widgets/statusbar.h"

#include "widgets/selectedtests.h"
#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QSignalSpy>
#include <QStyle>
#include <QTabBar>

#include <QTest>
#include <QToolButton>
#include <cmath>

using namespace tovera;

class TestWidgets : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void sideBarItemsAndPanels();
    void sideBarSecondPanelOpensByCaption();
    void sideBarCaptionsReadableInEveryState_data();
    void sideBarCaptionsReadableInEveryState();
    void statusBarPanelsAndGauge();
    void gaugeClamps_data();
    void gaugeClamps();
    void effectiveHintRules_data();
    void effectiveHintRules();
    void popupOnlyWhenAsked();
    void checkLabelReportsReleases();
    void floorTabsChangeBeforeHandler();
    void paintBoxAsksForFrameWhilePainting();
};

void TestWidgets::sideBarItemsAndPanels() {
    SideBar bar;
    bar.resize(140, 441);
    const int first = bar.addPanel(QStringLiteral("明細メニュー"));
    const int second = bar.addPanel(QStringLiteral("その他"));
    for (const char* caption : {"明細表示", "明細消去", "明細登録", "明細書出"})
        bar.addItem(first, QString::fromUtf8(caption), QIcon());
    bar.addItem(second, QStringLiteral("A"), QIcon());
    bar.addItem(second, QStringLiteral("B"), QIcon());
    bar.show();
    QVERIFY(QTest::qWaitForWindowExposed(&bar));
    QCOMPARE(bar.itemCount(first), 4);
    QCOMPARE(bar.itemButton(first, 3)->text(), QStringLiteral("明細書出"));
    QCOMPARE(bar.itemButton(first, 0)->height(), 48);
    QCOMPARE(bar.itemButton(first, 0)->iconSize(), QSize(32, 32));
    // Items of a panel are stacked one under the other.
    QCOMPARE(bar.itemButton(first, 1)->y() - bar.itemButton(first, 0)->y(), 48);

    QSignalSpy spy(&bar, &SideBar::itemClicked);
    QTest::mouseClick(bar.itemButton(first, 2), Qt::LeftButton);
    QTest::mouseClick(bar.itemButton(second, 1), Qt::LeftButton);
    QCOMPARE(spy.count(), 2);
    QCOMPARE(spy.at(0), (QVariantList{0, 2}));
    QCOMPARE(spy.at(1), (QVariantList{1, 1}));
    // Out-of-range questions answer harmlessly.
    QVERIFY(!bar.itemButton(first, 4));
    QVERIFY(!bar.itemButton(5, 0));
    QCOMPARE(bar.itemCount(-1), 0);
}

namespace {

double luminance(QRgb rgb) {
    const auto channel = [](int v) {
        const double c = v / 255.0;
        return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(qRed(rgb)) + 0.7152 * channel(qGreen(rgb)) +
           0.0722 * channel(qBlue(rgb));
}

double contrast(QRgb a, QRgb b) {
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// The contrast between the caption's strongest glyph pixels and the colour behind them,
// measured on the picture of the caption strip (below the icon) of `button`.
double captionContrast(const QImage& picture, int captionTop) {
    QHash<QRgb, int> counts;
    const QRect strip(4, captionTop, picture.width() - 8, picture.height() - captionTop - 2);
    for (int y = strip.top(); y <= strip.bottom(); ++y)
        for (int x = strip.left(); x <= strip.right(); ++x) ++counts[picture.pixel(x, y)];
    QRgb background = 0;
    int most = -1;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it)
        if (it.value() > most) most = it.value(), background = it.key();
    double best = 1.0;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it)
        best = std::max(best, contrast(it.key(), background));
    return best;
}

} // namespace

void TestWidgets::sideBarCaptionsReadableInEveryState_data() {
    QTest::addColumn<QString>("state");
    for (const char* state : {"normal", "hover", "pressed", "checked", "disabled"})
        QTest::newRow(state) << QString::fromLatin1(state);
}

void TestWidgets::sideBarCaptionsReadableInEveryState() {
    QFETCH(QString, state);
    SideBar bar;
    bar.resize(140, 300);
    const int panel = bar.addPanel(QStringLiteral("メニュー"));
    bar.addItem(panel, QStringLiteral("システム終了"),
                QApplication::style()->standardIcon(QStyle::SP_BrowserStop));
    bar.addItem(panel, QStringLiteral("基本項目"),
                QApplication::style()->standardIcon(QStyle::SP_FileIcon));
    bar.move(0, 0);
    bar.show();
    QVERIFY(QTest::qWaitForWindowExposed(&bar));
    QToolButton* item = bar.itemButton(panel, 0);
    const QPoint centre = item->rect().center();
    if (state == QLatin1String("hover")) {
        QTest::mouseMove(item, centre);
        QTRY_VERIFY(item->underMouse());
    } else if (state == QLatin1String("pressed")) {
        QTest::mouseMove(item, centre);
        QTest::mousePress(item, Qt::LeftButton, {}, centre);
        QVERIFY(item->isDown());
    } else if (state == QLatin1String("checked")) {
        item->setCheckable(true);
        item->setChecked(true);
    } else if (state == QLatin1String("disabled")) {
        item->setEnabled(false);
    }
    // The item as it shows on the side bar (its ground is the bar's).
    const QImage picture = bar.grab(QRect(item->mapTo(&bar, QPoint(0, 0)), item->size())).toImage();
    if (state == QLatin1String("pressed")) QTest::mouseRelease(item, Qt::LeftButton, {}, centre);
    if (qEnvironmentVariableIsSet("TOVERA_SCREENSHOTS"))
        picture.save(qEnvironmentVariable("TOVERA_SCREENSHOTS") + "/sidebar-" + state + ".png");
    // The caption sits under the 32 px icon.
    const double ratio = captionContrast(picture, SideBar::IconSize + 2);
    QVERIFY2(ratio >= 3.0, qPrintable(QStringLiteral("contrast %1").arg(ratio)));
}

void TestWidgets::sideBarSecondPanelOpensByCaption() {
    SideBar bar;
    bar.resize(140, 449);
    const int menu = bar.addPanel(QStringLiteral("図面メニュー"));
    bar.addItem(menu, QStringLiteral("図面表示"), QIcon());
    auto* list = new QLabel(QStringLiteral("list"));
    const int files = bar.addHostPanel(QStringLiteral("図面ファイル"), list);
    bar.setPanelOpen(files, false);
    bar.show();
    QVERIFY(QTest::qWaitForWindowExposed(&bar));
    QCOMPARE(list->parentWidget(), &bar);
    QVERIFY(bar.isPanelOpen(menu));
    QVERIFY(!bar.isPanelOpen(files));
    QVERIFY(!list->isVisible());
    QVERIFY(bar.captionBar(files)->isVisible());

    QTest::mouseClick(bar.captionBar(files), Qt::LeftButton);
    QVERIFY(bar.isPanelOpen(files));
    QVERIFY(list->isVisible());
    QVERIFY(list->height() > 0);
    // The hosted control lies below its caption bar.
    QVERIFY(list->y() >= bar.captionBar(files)->geometry().bottom());
    QCOMPARE(bar.panelCaption(files), QStringLiteral("図面ファイル"));
}

void TestWidgets::statusBarPanelsAndGauge() {
    GaugeStatusBar bar({57, 100, 300, 400, 45}, 1);
    bar.resize(882, GaugeStatusBar::BarHeight);
    bar.show();
    QVERIFY(QTest::qWaitForWindowExposed(&bar));
    QCOMPARE(bar.height(), 24);
    QCOMPARE(bar.panelCount(), 5);
    QCOMPARE(bar.panelRect(0).width(), 57);
    QCOMPARE(bar.panelRect(1).width(), 100);
    QCOMPARE(bar.panelRect(2).width(), 300);
    QCOMPARE(bar.panelRect(3).width(), 400);
    QVERIFY(bar.panelRect(4).width() >= 45);
    for (int i = 1; i < 5; ++i) QVERIFY(bar.panelRect(i).left() > bar.panelRect(i - 1).right());

    // The gauge is centred in panel 1.
    const QRect panel = bar.panelRect(1);
    const QRect gauge = bar.gaugeWidget()->geometry();
    QVERIFY(panel.contains(gauge));
    QVERIFY(qAbs(gauge.center().x() - panel.center().x()) <= 1);
    QVERIFY(qAbs(gauge.center().y() - panel.center().y()) <= 1);

    bar.setPanelText(2, QStringLiteral("切替え"));
    QCOMPARE(bar.panelText(2), QStringLiteral("切替え"));
    bar.setPanelText(1, QStringLiteral("x")); // the gauge panel holds no text
    QCOMPARE(bar.panelText(1), QString());
    bar.setPanelText(7, QStringLiteral("x"));
    QCOMPARE(bar.panelText(7), QString());
}

void TestWidgets::gaugeClamps_data() {
    QTest::addColumn<int>("position");
    QTest::addColumn<int>("shown");
    QTest::newRow("start") << 0 << 0;
    QTest::newRow("middle") << 37 << 37;
    QTest::newRow("end") << 100 << 100;
    QTest::newRow("below") << -5 << 0;
    QTest::newRow("above") << 250 << 100;
}

void TestWidgets::gaugeClamps() {
    QFETCH(int, position);
    QFETCH(int, shown);
    GaugeStatusBar bar({57, 100, 300}, 1);
    bar.setGauge(50);
    bar.setGauge(position);
    QCOMPARE(bar.gauge(), shown);
}

void TestWidgets::effectiveHintRules_data() {
    QTest::addColumn<QString>("outer");
    QTest::addColumn<QString>("group");
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("shown");
    QTest::newRow("own hint") << "page"
                              << "group"
                              << "own"
                              << "own";
    QTest::newRow("nearest enclosing") << "page"
                                       << "group"
                                       << ""
                                       << "group";
    QTest::newRow("skips empty levels") << "page"
                                        << ""
                                        << ""
                                        << "page";
    QTest::newRow("none at all") << ""
                                 << ""
                                 << ""
                                 << "";
    QTest::newRow("bar: part after it") << "page"
                                        << ""
                                        << "short|long text"
                                        << "long text";
    QTest::newRow("bar on the parent") << "page"
                                       << "a|b"
                                       << ""
                                       << "b";
    QTest::newRow("bar at the end") << "page"
                                    << ""
                                    << "tip|"
                                    << "";
    QTest::newRow("first bar counts") << ""
                                      << ""
                                      << "a|b|c"
                                      << "b|c";
}

void TestWidgets::effectiveHintRules() {
    QFETCH(QString, outer);
    QFETCH(QString, group);
    QFETCH(QString, control);
    QFETCH(QString, shown);
    QWidget window;
    auto* page = new QWidget(&window);
    auto* box = new QWidget(page);
    auto* label = new QLabel(box);
    setHint(page, outer);
    setHint(box, group);
    setHint(label, control);
    QCOMPARE(effectiveHint(label), shown);
    QCOMPARE(effectiveHint(nullptr), QString());
    // A separate window does not take the hint of the widget that created it.
    QWidget popup(label, Qt::Window);
    QCOMPARE(effectiveHint(&popup), QString());
}

void TestWidgets::popupOnlyWhenAsked() {
    QWidget plain, popup;
    setHint(&plain, QStringLiteral("終了"));
    setHint(&popup, QStringLiteral("明細読込!"), true);
    QCOMPARE(plain.toolTip(), QString());
    QCOMPARE(hintOf(&plain), QStringLiteral("終了"));
    QCOMPARE(popup.toolTip(), QStringLiteral("明細読込!"));
    QWidget both;
    setHint(&both, QStringLiteral("tip|status"), true);
    QCOMPARE(both.toolTip(), QStringLiteral("tip"));
    QCOMPARE(effectiveHint(&both), QStringLiteral("status"));
}

void TestWidgets::checkLabelReportsReleases() {
    CheckLabel label(QStringLiteral("家屋図面"));
    label.resize(100, 17);
    label.show();
    QVERIFY(QTest::qWaitForWindowExposed(&label));
    QVERIFY(!label.isChecked());
    QSignalSpy spy(&label, &CheckLabel::mouseReleased);
    QTest::mouseClick(&label, Qt::RightButton);
    QTest::mouseClick(&label, Qt::LeftButton);
    QCOMPARE(spy.count(), 2);
    QCOMPARE(spy.at(0).at(0).value<Qt::MouseButton>(), Qt::RightButton);
    // Clicking does not toggle the mark; only the program sets it.
    QVERIFY(!label.isChecked());
    label.setChecked(true);
    QVERIFY(label.isChecked());
    // The mark shows: the checked picture differs from the unchecked one.
    const QImage on = label.grab().toImage();
    label.setChecked(false);
    QVERIFY(on != label.grab().toImage());
}

void TestWidgets::floorTabsChangeBeforeHandler() {
    FlatTabControl tabs;
    tabs.resize(597, 435);
    for (const char* caption : {"1F", "2F", "3F"}) tabs.addTab(QString::fromLatin1(caption));
    tabs.show();
    QVERIFY(QTest::qWaitForWindowExposed(&tabs));
    // Tabs run along the bottom edge.
    QVERIFY(tabs.tabBar()->geometry().bottom() >= tabs.height() - 2);
    QCOMPARE(tabs.tabBar()->shape(), QTabBar::RoundedSouth);

    QList<int> seen;
    connect(&tabs, &FlatTabControl::mousePressed, &tabs,
            [&](Qt::MouseButton) { seen << tabs.currentIndex(); });
    const QPoint tab2 = tabs.tabBar()->tabRect(1).center();
    QTest::mousePress(tabs.tabBar(), Qt::LeftButton, {}, tab2);
    QTest::mouseRelease(tabs.tabBar(), Qt::LeftButton, {}, tab2);
    // Press on the active tab, then on the control outside the tabs.
    QTest::mousePress(tabs.tabBar(), Qt::LeftButton, {}, tab2);
    QTest::mousePress(&tabs, Qt::LeftButton, {}, QPoint(300, 100));
    QCOMPARE(seen, (QList<int>{1, 1, 1}));
    QCOMPARE(tabs.currentIndex(), 1);
}

void TestWidgets::paintBoxAsksForFrameWhilePainting() {
    PaintBox box;
    box.resize(40, 30);
    int asked = 0;
    connect(&box, &PaintBox::paint, &box, [&] {
        ++asked;
        QImage frame(40, 30, QImage::Format_RGB32);
        frame.fill(QColor(0, 255, 0));
        box.setFrame(frame);
    });
    const QImage shot = box.grab().toImage();
    QCOMPARE(asked, 1);
    QCOMPARE(QColor(shot.pixel(10, 10)), QColor(0, 255, 0));
    QSignalSpy pressed(&box, &PaintBox::mousePressed);
    box.show();
    QVERIFY(QTest::qWaitForWindowExposed(&box));
    QTest::mousePress(&box, Qt::RightButton, {}, QPoint(5, 5));
    QCOMPARE(pressed.count(), 1);
    QCOMPARE(pressed.at(0).at(0).value<Qt::MouseButton>(), Qt::RightButton);
}

bool wantsWidgetTests(int argc, char** argv) {
    TestWidgets tests;
    return tovera::testing::namesFunctionOf(tests, argc, argv);
}

int runWidgetTests(int argc, char** argv) {
    TestWidgets tests;
    return QTest::qExec(&tests, argc, argv);
}

#include "test_widgets.moc"
