// The layout of the main window: the toolbar dock, the three pages, the strip of controls
// below the pages and the status bar. Positions are those of the window's client area;
// the content below the dock is shifted up by the dock's height.

#include "app/application.h"
#include "app/page_drawing.h"
#include "app/page_sheet.h"
#include "app/tovmain.h"
#include "widgets/controls.h"
#include "widgets/hints.h"
#include "widgets/icons.h"
#include "widgets/navigator.h"
#include "widgets/sidebar.h"
#include "widgets/statusbar.h"

#include <QEvent>
#include <QLayout>
#include <QMenu>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace tovera {

namespace {

constexpr int Dock = Tovmain::DockHeight;

QToolBar* makeToolBar(QMainWindow* window, const QString& caption, const char* name) {
    auto* bar = new QToolBar(caption, window);
    bar->setObjectName(QString::fromLatin1(name));
    bar->setAllowedAreas(Qt::TopToolBarArea);
    bar->setMovable(true);
    bar->setFloatable(true);
    bar->setIconSize(QSize(24, 24));
    bar->setFixedHeight(Dock);
    bar->layout()->setContentsMargins(1, 1, 1, 1);
    bar->layout()->setSpacing(0);
    window->addToolBar(Qt::TopToolBarArea, bar);
    return bar;
}

// A 25 x 25 toolbar button with a 24 x 24 glyph.
QToolButton* makeButton(QToolBar* bar, const char* name, const QIcon& icon, const QString& hint,
                        bool popup) {
    auto* button = new QToolButton(bar);
    button->setObjectName(QString::fromLatin1(name));
    button->setIcon(icon);
    button->setIconSize(QSize(24, 24));
    button->setFixedSize(25, 25);
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::NoFocus);
    setHint(button, hint, popup);
    bar->addWidget(button);
    return button;
}

// Keeps page 1's side bar and content area as high as the page itself.
class FollowPage : public QObject {
public:
    FollowPage(QWidget* page, QWidget* sideBar, QWidget* area)
        : QObject(page), sideBar_(sideBar), area_(area) {
        page->installEventFilter(this);
    }
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Resize) {
            const QSize size = static_cast<QWidget*>(watched)->size();
            sideBar_->resize(sideBar_->width(), size.height());
            area_->resize(size);
        }
        return false;
    }

private:
    QWidget* sideBar_;
    QWidget* area_;
};

} // namespace

void Tovmain::buildLayout() {
    setFont(windowFont());
    setWindowIcon(applicationIcon());
    setGeometry(StartLeft, StartTop, OuterWidth, OuterHeight);
    move(StartLeft, StartTop);
    setContextMenuPolicy(Qt::NoContextMenu); // no menu to hide the toolbars

    buildToolbars();

    auto* central = new QWidget(this);
    central->setObjectName(QStringLiteral("central"));
    auto* column = new QVBoxLayout(central);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    auto* content = new QWidget(central);
    content->setObjectName(QStringLiteral("content"));
    column->addWidget(content, 1);
    StatusBar1 = new GaugeStatusBar({57, 100, 300, 400, 45}, 1, central);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setPanelText(0, QStringLiteral(" Tovera"));
    column->addWidget(StatusBar1);
    setCentralWidget(central);
    central_ = central;

    buildPages(content);
    buildStrip(content);
    installDrops();
    connect(ZmRead, &QToolButton::clicked, drawingPage_, &DrawingPage::ZmReadClick);
}

void Tovmain::buildToolbars() {
    // 明細: open, save, print.
    sheetToolBar = makeToolBar(this, QStringLiteral("明細"), "ToolBar1");
    MMenu =
        makeButton(sheetToolBar, "MMenu", themeIcon("document-open", QStyle::SP_DialogOpenButton),
                   QStringLiteral("明細読込!"), true);
    ToolbarButton973 = makeButton(sheetToolBar, "ToolbarButton973",
                                  themeIcon("document-save", QStyle::SP_DialogSaveButton),
                                  QStringLiteral("明細保存!"), true);
    ToolbarButton971 = makeButton(sheetToolBar, "ToolbarButton971",
                                  themeIcon("document-print", QStyle::SP_FileDialogDetailedView),
                                  QStringLiteral("明細印刷!"), true);

    // 図面: open a drawing file.
    drawingToolBar = makeToolBar(this, QStringLiteral("図面"), "ToolBar2");
    ZmRead =
        makeButton(drawingToolBar, "ZmRead", themeIcon("image-x-generic", QStyle::SP_DirOpenIcon),
                   QStringLiteral("図面読込!"), true);

    // Tool window: registration of a sheet file and of a drawing file.
    registerWindow = makeToolBar(this, QString(), "ToolWindow1");
    ToolbarButton974 = makeButton(registerWindow, "ToolbarButton974",
                                  themeIcon("x-office-spreadsheet", QStyle::SP_FileIcon),
                                  QStringLiteral("ファイル指定読込みで明細を登録します。"), false);
    ToolbarButton975 = makeButton(registerWindow, "ToolbarButton975",
                                  themeIcon("insert-image", QStyle::SP_FileLinkIcon),
                                  QStringLiteral("ファイル指定読込みで図面を登録します。"), false);

    // Help (a drop-down menu with its one item) and exit.
    commandToolBar = makeToolBar(this, QString(), "ToolBar3");
    helpButton = new QToolButton(commandToolBar);
    helpButton->setObjectName(QStringLiteral("helpButton"));
    helpButton->setIcon(themeIcon("help-browser", QStyle::SP_MessageBoxQuestion));
    helpButton->setIconSize(QSize(24, 24));
    helpButton->setFixedSize(36, 25);
    helpButton->setAutoRaise(true);
    helpButton->setFocusPolicy(Qt::NoFocus);
    helpButton->setPopupMode(QToolButton::InstantPopup);
    auto* helpMenu = new QMenu(helpButton);
    herupu1 = helpMenu->addAction(QStringLiteral("ヘルプ"));
    herupu1->setObjectName(QStringLiteral("herupu1"));
    helpButton->setMenu(helpMenu);
    commandToolBar->addWidget(helpButton);
    connect(herupu1, &QAction::triggered, this, &Tovmain::herupu1Click);
    Owari = makeButton(commandToolBar, "Owari",
                       themeIcon("application-exit", QStyle::SP_DialogCloseButton),
                       QStringLiteral("終了"), false);
    connect(Owari, &QToolButton::clicked, this, &Tovmain::OwariClick);

    // Tool window of the two file-name boxes.
    fileNameWindow = makeToolBar(this, QString(), "ToolWindow2");
    auto* names = new QWidget(fileNameWindow);
    names->setFixedSize(596, 26);
    exfile = new FlatEdit(names);
    exfile->setObjectName(QStringLiteral("exfile"));
    exfile->setGeometry(8, 4, 275, 17);
    exfile->setText(QStringLiteral("明細"));
    zmfile = new FlatEdit(names);
    zmfile->setObjectName(QStringLiteral("zmfile"));
    zmfile->setGeometry(304, 4, 275, 17);
    zmfile->setText(QStringLiteral("図面"));
    fileNameWindow->addWidget(names);
}

QWidget* Tovmain::buildPages(QWidget* content) {
    PageControl1 = new QTabWidget(content);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    PageControl1->setGeometry(5, 34 - Dock, 871, 479);
    PageControl1->setDocumentMode(false);
    setHint(PageControl1,
            QStringLiteral("ページ選択・明細シート＆図面ファイルのドロップが出来ます。"));

    // Page 1: the side bar of page navigation over the record groups.
    TabSheet1 = new QWidget;
    TabSheet1->setObjectName(QStringLiteral("TabSheet1"));
    PageControl1->addTab(TabSheet1, QStringLiteral("基本項目"));
    BasicArea = new QWidget(TabSheet1);
    BasicArea->setObjectName(QStringLiteral("BasicArea"));
    BasicArea->setGeometry(0, 0, 871, 479);
    InspectorBar1 = new SideBar(TabSheet1);
    InspectorBar1->setObjectName(QStringLiteral("InspectorBar1"));
    InspectorBar1->setGeometry(0, 0, 140, 479);
    const int menu = InspectorBar1->addPanel(QStringLiteral("メニュー"));
    InspectorBar1->addItem(menu, QStringLiteral("基本項目"),
                           themeIcon("x-office-address-book", QStyle::SP_FileDialogInfoView));
    InspectorBar1->addItem(menu, QStringLiteral("評点明細"),
                           themeIcon("x-office-spreadsheet", QStyle::SP_FileDialogDetailedView));
    InspectorBar1->addItem(menu, QStringLiteral("家屋図面"),
                           themeIcon("image-x-generic", QStyle::SP_FileDialogContentsView));
    InspectorBar1->addItem(menu, QStringLiteral("システム終了"),
                           themeIcon("system-shutdown", QStyle::SP_BrowserStop));
    connect(InspectorBar1, &SideBar::itemClicked, this, &Tovmain::InspectorBar1ItemClick);
    new FollowPage(TabSheet1, InspectorBar1, BasicArea);
    FlatButton1 = new QPushButton(QStringLiteral("明細から転記"), TabSheet1);
    FlatButton1->setObjectName(QStringLiteral("FlatButton1"));
    FlatButton1->setGeometry(205, 387, 120, 36);
    setHint(FlatButton1, QStringLiteral("氏名・面積・評点数の転記!"), true);

    // Page 2: the detail sheet.
    TabSheet2 = new QWidget;
    TabSheet2->setObjectName(QStringLiteral("TabSheet2"));
    setHint(TabSheet2, QStringLiteral("評点明細"));
    PageControl1->addTab(TabSheet2, QStringLiteral("評点明細"));
    sheetPage_ = new SheetPage(TabSheet2, this);

    // Page 3: the floor-plan drawing.
    TabSheet3 = new QWidget;
    TabSheet3->setObjectName(QStringLiteral("TabSheet3"));
    setHint(TabSheet3, QStringLiteral("家屋図面ファイルのドロップが出来ます。"));
    PageControl1->addTab(TabSheet3, QStringLiteral("家屋図面"));
    drawingPage_ = new DrawingPage(TabSheet3, *StatusBar1, dialogs_, this);

    PageControl1->setCurrentIndex(0);
    return PageControl1;
}

void Tovmain::buildStrip(QWidget* content) {
    // Drop buttons.
    dropPanel = new QFrame(content);
    dropPanel->setObjectName(QStringLiteral("Panel1"));
    dropPanel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    dropPanel->setGeometry(8, 520 - Dock, 140, 65);
    BitBtn3 = new QPushButton(QStringLiteral("明細l直接登録"), dropPanel);
    BitBtn3->setObjectName(QStringLiteral("BitBtn3"));
    BitBtn3->setGeometry(9, 8, 120, 25);
    BitBtn3->setIcon(themeIcon("x-office-spreadsheet", QStyle::SP_FileIcon));
    BitBtn3->setIconSize(QSize(16, 16));
    setHint(BitBtn3, QStringLiteral("明細をドロップで登録します!"));
    BitBtn4 = new QPushButton(QStringLiteral("図面直接登録"), dropPanel);
    BitBtn4->setObjectName(QStringLiteral("BitBtn4"));
    BitBtn4->setGeometry(9, 32, 120, 25);
    BitBtn4->setIcon(themeIcon("image-x-generic", QStyle::SP_FileLinkIcon));
    BitBtn4->setIconSize(QSize(16, 16));
    setHint(BitBtn4, QStringLiteral("図面をドロップで登録します!"));

    // Attachment marks.
    markPanel = new QFrame(content);
    markPanel->setObjectName(QStringLiteral("Panel2"));
    markPanel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    markPanel->setGeometry(176, 520 - Dock, 121, 65);
    const QString markHint = QStringLiteral("右クリックで登録を消去します。（確認あり）");
    sheetMark = new CheckLabel(QStringLiteral("家屋明細書"), markPanel);
    sheetMark->setObjectName(QStringLiteral("CheckLabel1"));
    sheetMark->setGeometry(14, 12, 100, 17);
    setHint(sheetMark, markHint);
    drawingMark = new CheckLabel(QStringLiteral("家屋図面"), markPanel);
    drawingMark->setObjectName(QStringLiteral("CheckLabel2"));
    drawingMark->setGeometry(14, 36, 100, 17);
    setHint(drawingMark, markHint);

    // Record navigator.
    navigator = new RecordNavigator(content);
    navigator->setObjectName(QStringLiteral("DBNavigator1"));
    navigator->setGeometry(320, 520 - Dock, 249, 64);

    // Search tabs (tabs along the bottom edge).
    searchTabs = new QTabWidget(content);
    searchTabs->setObjectName(QStringLiteral("PageControl2"));
    searchTabs->setTabPosition(QTabWidget::South);
    // Four tabs side by side in 271 pixels.
    searchTabs->setStyleSheet(QStringLiteral("QTabBar::tab { padding: 2px 3px; }"));
    searchTabs->tabBar()->setUsesScrollButtons(false);
    searchTabs->setGeometry(588, 519 - Dock, 271, 65);
    for (const char* caption : {"氏名検索", "行政区検索", "日付検索", "備考検索"}) {
        auto* page = new QWidget;
        page->setObjectName(QStringLiteral("search%1").arg(searchTabs->count() + 1));
        searchTabs->addTab(page, QString::fromUtf8(caption));
    }
}

} // namespace tovera
