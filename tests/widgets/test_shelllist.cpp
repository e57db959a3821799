// The side-bar file list over real folders: top level, opening folders, the parent on a
// right-button release, a double-click on a file, and a drag of an item.

#include "widgets/filedrop.h"
#include "widgets/shelllist.h"

#include <QApplication>
#include <QDir>
#include <QDrag>
#include <QFile>
#include <QMimeData>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QStorageInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace tovera;

namespace {

void touch(const QString& path) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("x");
}

// Shows `folder` and waits until it has been read.
bool showAndWait(ShellList& list, const QString& folder) {
    QSignalSpy loaded(&list, &ShellList::directoryLoaded);
    list.showFolder(folder);
    return !loaded.isEmpty() || loaded.wait(5000);
}

QPoint centreOf(ShellList& list, const QString& path) {
    for (int row = 0; row < list.model()->rowCount(list.rootIndex()); ++row) {
        const QModelIndex index = list.model()->index(row, 0, list.rootIndex());
        if (list.shownPaths().value(row) == path) return list.visualRect(index).center();
    }
    return QPoint(-1, -1);
}

} // namespace

class TestShellList : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void topLevelIsTheMountedVolumes();
    void folderItemsSortedFoldersFirst();
    void doubleClickOpensAFolderOnly();
    void rightReleaseShowsTheParentUpToTheTopLevel();
    void selectionStaysShownWithoutFocus();
    void leftPressAndMoveDragsTheItem();
    void dragDataNamesTheList();
    void itemsShowFolderAndFileIcons();
    void followsChangesOfTheFolderShown();
    void removedFolderShowsWhatIsLeft();
    void keysOpenAFolderAndGoUp();

private:
    QTemporaryDir dir_;
    QString root_;
};

void TestShellList::init() {
    QVERIFY(dir_.isValid());
    root_ = QDir(dir_.path()).filePath(QStringLiteral("files"));
    QDir(root_).removeRecursively(); // each test starts from the same files
    QDir().mkpath(root_ + QStringLiteral("/b_dir/inner"));
    QDir().mkpath(root_ + QStringLiteral("/A_dir"));
    touch(root_ + QStringLiteral("/c.txt"));
    touch(root_ + QStringLiteral("/B.hbd"));
    touch(root_ + QStringLiteral("/b_dir/plan.hbd"));
}

void TestShellList::topLevelIsTheMountedVolumes() {
    ShellList list;
    QVERIFY(list.atTopLevel());
    const QStringList shown = list.shownPaths();
    QCOMPARE(shown, ShellList::topLevelVolumes());
    QCOMPARE(shown.value(0), QStringLiteral("/"));
    QCOMPARE(shown.count(QStringLiteral("/")), 1);
    for (const QString& path : shown) {
        QVERIFY2(QFileInfo(path).isDir(), qPrintable(path));
        for (const char* hidden : {"/proc", "/sys", "/dev"})
            QVERIFY2(!path.startsWith(QLatin1String(hidden)), qPrintable(path));
        QVERIFY2(QStorageInfo(path).fileSystemType() != "tmpfs" || path == QLatin1String("/"),
                 qPrintable(path));
    }
}

void TestShellList::folderItemsSortedFoldersFirst() {
    ShellList list;
    QVERIFY(showAndWait(list, root_));
    QCOMPARE(list.folder(), root_);
    QTRY_COMPARE(list.shownPaths(), (QStringList{root_ + "/A_dir", root_ + "/b_dir",
                                                 root_ + "/B.hbd", root_ + "/c.txt"}));
    QCOMPARE(list.iconSize(), QSize(16, 16));
    QVERIFY(list.selectedPath().isEmpty());
    QVERIFY(list.selectPath(root_ + "/c.txt"));
    QCOMPARE(list.selectedPath(), root_ + "/c.txt");
    QVERIFY(!list.selectPath(root_ + "/missing"));
    // A path that is not a folder shows the top level.
    list.showFolder(root_ + "/c.txt");
    QVERIFY(list.atTopLevel());
}

void TestShellList::doubleClickOpensAFolderOnly() {
    ShellList list;
    list.resize(300, 300);
    list.show();
    QVERIFY(QTest::qWaitForWindowExposed(&list));
    QVERIFY(showAndWait(list, root_));
    QTRY_COMPARE(list.shownPaths().size(), 4);

    // A file: selected, nothing else.
    const QPoint file = centreOf(list, root_ + "/c.txt");
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, file);
    QTest::mouseDClick(list.viewport(), Qt::LeftButton, {}, file);
    QCOMPARE(list.folder(), root_);
    QCOMPARE(list.selectedPath(), root_ + "/c.txt");

    // A folder opens.
    const QPoint folder = centreOf(list, root_ + "/b_dir");
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, folder);
    QTest::mouseDClick(list.viewport(), Qt::LeftButton, {}, folder);
    QCOMPARE(list.folder(), root_ + "/b_dir");
    QTRY_COMPARE(list.shownPaths(),
                 (QStringList{root_ + "/b_dir/inner", root_ + "/b_dir/plan.hbd"}));
    QVERIFY(list.selectedPath().isEmpty());

    // At the top level, a volume opens.
    list.showTopLevel();
    const QPoint rootVolume = centreOf(list, QStringLiteral("/"));
    QTest::mouseDClick(list.viewport(), Qt::LeftButton, {}, rootVolume);
    QCOMPARE(list.folder(), QStringLiteral("/"));
}

void TestShellList::rightReleaseShowsTheParentUpToTheTopLevel() {
    ShellList list;
    list.resize(300, 300);
    list.show();
    QVERIFY(QTest::qWaitForWindowExposed(&list));
    QVERIFY(showAndWait(list, root_ + "/b_dir/inner"));
    QVERIFY(list.shownPaths().isEmpty());
    const QPoint empty(290, 290); // below the items
    QTest::mouseRelease(list.viewport(), Qt::RightButton, {}, empty);
    QCOMPARE(list.folder(), root_ + "/b_dir");
    QTest::mouseRelease(list.viewport(), Qt::RightButton, {}, empty);
    QCOMPARE(list.folder(), root_);
    // Up through every folder to the root, then the top level; there it stays.
    const int depth = root_.count(QLatin1Char('/'));
    for (int i = 0; i < depth + 5 && !list.atTopLevel(); ++i)
        QTest::mouseRelease(list.viewport(), Qt::RightButton, {}, empty);
    QVERIFY(list.atTopLevel());
    QTest::mouseRelease(list.viewport(), Qt::RightButton, {}, empty);
    QVERIFY(list.atTopLevel());
    QCOMPARE(list.shownPaths(), ShellList::topLevelVolumes());

    // From the root volume, one release gives the top level.
    list.showFolder(QStringLiteral("/"));
    QTest::mouseRelease(list.viewport(), Qt::RightButton, {}, empty);
    QVERIFY(list.atTopLevel());
}

void TestShellList::selectionStaysShownWithoutFocus() {
    ShellList list;
    const QPalette pal = list.palette();
    QCOMPARE(pal.color(QPalette::Inactive, QPalette::Highlight),
             pal.color(QPalette::Active, QPalette::Highlight));
    QCOMPARE(pal.color(QPalette::Inactive, QPalette::HighlightedText),
             pal.color(QPalette::Active, QPalette::HighlightedText));
}

void TestShellList::leftPressAndMoveDragsTheItem() {
    ShellList list;
    list.setObjectName(QStringLiteral("ShellListView2"));
    list.resize(300, 300);
    list.show();
    QVERIFY(QTest::qWaitForWindowExposed(&list));
    QVERIFY(showAndWait(list, root_));
    QTRY_COMPARE(list.shownPaths().size(), 4);
    QVERIFY(list.selectPath(root_ + "/c.txt"));

    // A press and a move shorter than the drag distance start nothing.
    const QPoint from = centreOf(list, root_ + "/B.hbd");
    const auto moveTo = [&](QPoint to) {
        // With the left button held (QTest's moves carry no buttons).
        QMouseEvent move(QEvent::MouseMove, to, list.viewport()->mapToGlobal(to), Qt::NoButton,
                         Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(list.viewport(), &move);
    };
    QTest::mousePress(list.viewport(), Qt::LeftButton, {}, from);
    moveTo(from + QPoint(1, 0));
    QVERIFY(!list.findChild<QDrag*>());
    // Further on, the drag starts (the offscreen platform ends it at once); the drag object
    // lives until the events are next processed.
    moveTo(from + QPoint(30, 0));
    auto* drag = list.findChild<QDrag*>();
    QVERIFY(drag);
    QCOMPARE(insideDragSource(drag->mimeData(), {&list}), &list);
    QCOMPARE(list.selectedPath(), root_ + "/B.hbd");
    QCOMPARE(list.folder(), root_);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!list.findChild<QDrag*>());

    // A press on no item and a move start no drag.
    QTest::mouseRelease(list.viewport(), Qt::LeftButton, {}, from);
    QTest::mousePress(list.viewport(), Qt::LeftButton, {}, QPoint(290, 290));
    moveTo(QPoint(250, 250));
    QVERIFY(!list.findChild<QDrag*>());
}

void TestShellList::dragDataNamesTheList() {
    ShellList one, two, unnamed;
    one.setObjectName(QStringLiteral("ShellListView1"));
    two.setObjectName(QStringLiteral("ShellListView2"));
    std::unique_ptr<QMimeData> data(two.dragData());
    QVERIFY(data->hasFormat(QString::fromLatin1(InsideDragMimeType)));
    QVERIFY(!data->hasUrls());
    QCOMPARE(insideDragSource(data.get(), {&one, &two}), &two);
    QCOMPARE(insideDragSource(data.get(), {&one}), nullptr);
    // Files from outside are no inside drag; nor is a tag of another process.
    QMimeData files;
    files.setUrls({QUrl::fromLocalFile(root_ + "/B.hbd")});
    QCOMPARE(insideDragSource(&files, {&one, &two}), nullptr);
    QMimeData foreign;
    foreign.setData(QString::fromLatin1(InsideDragMimeType), "1:ShellListView2");
    QCOMPARE(insideDragSource(&foreign, {&one, &two}), nullptr);
    std::unique_ptr<QMimeData> none(unnamed.dragData());
    QCOMPARE(insideDragSource(none.get(), {&unnamed}), nullptr);
}

QImage iconPicture(const QModelIndex& index) {
    const QVariant decoration = index.data(Qt::DecorationRole);
    QIcon icon = decoration.value<QIcon>();
    if (icon.isNull() && decoration.canConvert<QPixmap>())
        icon = QIcon(decoration.value<QPixmap>());
    return icon.pixmap(16, 16).toImage();
}

void TestShellList::itemsShowFolderAndFileIcons() {
    ShellList list;
    list.resize(200, 300);
    list.show();
    QVERIFY(QTest::qWaitForWindowExposed(&list));
    // The top level: a drive picture for each volume.
    for (int row = 0; row < list.model()->rowCount(list.rootIndex()); ++row) {
        const QImage drive = iconPicture(list.model()->index(row, 0, list.rootIndex()));
        QVERIFY(!drive.isNull());
    }
    QVERIFY(showAndWait(list, root_));
    QTRY_COMPARE(list.shownPaths().size(), 4);
    QImage folder, file;
    for (int row = 0; row < 4; ++row) {
        const QModelIndex index = list.model()->index(row, 0, list.rootIndex());
        const QImage picture = iconPicture(index);
        QVERIFY2(!picture.isNull(), qPrintable(list.shownPaths().at(row)));
        // Something is drawn: not every pixel is the same.
        bool drawn = false;
        for (int y = 0; y < picture.height() && !drawn; ++y)
            for (int x = 0; x < picture.width() && !drawn; ++x)
                drawn = picture.pixel(x, y) != picture.pixel(0, 0);
        QVERIFY2(drawn, qPrintable(list.shownPaths().at(row)));
        (row < 2 ? folder : file) = picture;
    }
    // Folders and files look different.
    QVERIFY(folder != file);
    // The list shows small icons.
    QCOMPARE(list.iconSize(), QSize(16, 16));
    const QModelIndex first = list.model()->index(0, 0, list.rootIndex());
    QVERIFY(list.visualRect(first).height() <= 24);
}

void TestShellList::followsChangesOfTheFolderShown() {
    ShellList list;
    list.show();
    QVERIFY(QTest::qWaitForWindowExposed(&list));
    QVERIFY(showAndWait(list, root_));
    QTRY_COMPARE(list.shownPaths().size(), 4);
    // Made, removed and renamed by another program: the list follows without being asked.
    touch(root_ + QStringLiteral("/new.xls"));
    QVERIFY(QDir(root_).mkdir(QStringLiteral("d_dir")));
    QTRY_VERIFY_WITH_TIMEOUT(list.shownPaths().contains(root_ + "/new.xls"), 10000);
    QTRY_VERIFY_WITH_TIMEOUT(list.shownPaths().contains(root_ + "/d_dir"), 10000);
    QVERIFY(QFile::remove(root_ + QStringLiteral("/c.txt")));
    QTRY_VERIFY_WITH_TIMEOUT(!list.shownPaths().contains(root_ + "/c.txt"), 10000);
    QVERIFY(QFile::rename(root_ + QStringLiteral("/B.hbd"), root_ + QStringLiteral("/z.hbd")));
    QTRY_VERIFY_WITH_TIMEOUT(list.shownPaths().contains(root_ + "/z.hbd"), 10000);
    QTRY_COMPARE_WITH_TIMEOUT(list.shownPaths(),
                              (QStringList{root_ + "/A_dir", root_ + "/b_dir", root_ + "/d_dir",
                                           root_ + "/new.xls", root_ + "/z.hbd"}),
                              10000);
}

void TestShellList::removedFolderShowsWhatIsLeft() {
    ShellList list;
    list.show();
    QVERIFY(QTest::qWaitForWindowExposed(&list));
    QVERIFY(showAndWait(list, root_ + QStringLiteral("/b_dir/inner")));
    QCOMPARE(list.shownPaths(), QStringList());
    // The folder shown and its parent go: the list shows the nearest folder still there.
    QVERIFY(QDir(root_ + QStringLiteral("/b_dir")).removeRecursively());
    QTRY_COMPARE_WITH_TIMEOUT(list.folder(), root_, 10000);
    QTRY_COMPARE_WITH_TIMEOUT(list.shownPaths(),
                              (QStringList{root_ + "/A_dir", root_ + "/B.hbd", root_ + "/c.txt"}),
                              10000);
}

void TestShellList::keysOpenAFolderAndGoUp() {
    ShellList list;
    list.show();
    QVERIFY(QTest::qWaitForWindowExposed(&list));
    QVERIFY(showAndWait(list, root_));
    QTRY_COMPARE(list.shownPaths().size(), 4);
    // Enter on a file keeps the folder.
    QVERIFY(list.selectPath(root_ + "/c.txt"));
    QTest::keyClick(&list, Qt::Key_Return);
    QCOMPARE(list.folder(), root_);
    QVERIFY(list.selectPath(root_ + "/b_dir"));
    QTest::keyClick(&list, Qt::Key_Return);
    QCOMPARE(list.folder(), root_ + "/b_dir");
    QTest::keyClick(&list, Qt::Key_Backspace);
    QCOMPARE(list.folder(), root_);
}

QTEST_MAIN(TestShellList)
#include "test_shelllist.moc"
