#include "widgets/shelllist.h"

#include "widgets/filedrop.h"
#include "widgets/icons.h"

#include <QApplication>
#include <QDir>
#include <QDrag>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QFileSystemWatcher>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QStandardItemModel>
#include <QStorageInfo>
#include <algorithm>

namespace tovera {

namespace {

constexpr int PathRole = Qt::UserRole + 1;

// File systems that hold no user files.
bool isPseudoFileSystem(const QByteArray& type) {
    static const char* const pseudo[] = {
        "proc",        "sysfs",           "tmpfs",     "devtmpfs",
        "devpts",      "cgroup",          "cgroup2",   "securityfs",
        "pstore",      "debugfs",         "tracefs",   "configfs",
        "fusectl",     "mqueue",          "hugetlbfs", "bpf",
        "autofs",      "binfmt_misc",     "efivarfs",  "nsfs",
        "rpc_pipefs",  "ramfs",           "squashfs",  "overlay",
        "fuse.portal", "fuse.gvfsd-fuse", "nfsd"};
    for (const char* name : pseudo)
        if (type == name) return true;
    return false;
}

bool isSystemMountPoint(const QString& root) {
    const auto under = [&root](const char* top) {
        const QString t = QString::fromLatin1(top);
        return root == t || root.startsWith(t + QLatin1Char('/'));
    };
    if (under("/run")) return !under("/run/media") || root == QLatin1String("/run/media");
    return under("/proc") || under("/sys") || under("/dev") || under("/snap");
}

// Small pictures for the items: the desktop's own when it has them, else the style's
// folder, file and drive pictures, so every item shows what it is on any desktop. The
// pictures are made once, on the thread that builds the first list; the models' reading
// threads only hand them out.
class ListIcons : public QFileIconProvider {
public:
    ListIcons()
        : drive_(themeIcon("drive-harddisk", QStyle::SP_DriveHDIcon)),
          folder_(themeIcon("folder", QStyle::SP_DirIcon)),
          file_(themeIcon("text-x-generic", QStyle::SP_FileIcon)) {}

    QIcon icon(IconType type) const override {
        switch (type) {
        case Drive:
        case Computer:
        case Network:
            return drive_;
        case Folder:
            return folder_;
        default:
            return file_;
        }
    }
    QIcon icon(const QFileInfo& info) const override {
        const QIcon own = QFileIconProvider::icon(info);
        // A theme icon has a name; any other one has pictures of given sizes.
        if (!own.isNull() && (!own.name().isEmpty() || !own.availableSizes().isEmpty())) return own;
        if (info.isRoot()) return drive_;
        return info.isDir() ? folder_ : file_;
    }

private:
    QIcon drive_;
    QIcon folder_;
    QIcon file_;
};

// One provider for every list; the models read it from their own threads for as long as
// they live.
QFileIconProvider& listIcons() {
    static ListIcons icons;
    return icons;
}

} // namespace

QStringList ShellList::topLevelVolumes() {
    QStringList roots;
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
        const QString root = volume.rootPath();
        if (root.isEmpty() || root == QLatin1String("/")) continue;
        if (!volume.isValid() || isPseudoFileSystem(volume.fileSystemType())) continue;
        if (isSystemMountPoint(root) || !QFileInfo(root).isDir()) continue;
        if (!roots.contains(root)) roots << root;
    }
    std::sort(roots.begin(), roots.end());
    roots.prepend(QStringLiteral("/"));
    return roots;
}

ShellList::ShellList(QWidget* parent) : QListView(parent) {
    setViewMode(QListView::ListMode);
    setIconSize(QSize(16, 16));
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setDragEnabled(false); // drags are started by hand, with the program's own type
    setUniformItemSizes(true);
    // The selection stays shown, in the same colours, when the list loses the focus.
    QPalette pal = palette();
    for (auto role : {QPalette::Highlight, QPalette::HighlightedText})
        pal.setColor(QPalette::Inactive, role, pal.color(QPalette::Active, role));
    setPalette(pal);

    files_ = new QFileSystemModel(this);
    files_->setFilter(QDir::AllDirs | QDir::Files | QDir::NoDotAndDotDot | QDir::Drives);
    files_->setReadOnly(true);
    files_->setIconProvider(&listIcons());
    connect(files_, &QFileSystemModel::directoryLoaded, this, [this](const QString& path) {
        if (!folder_.isEmpty() && QDir(path) == QDir(folder_)) {
            files_->sort(0, Qt::AscendingOrder);
            Q_EMIT directoryLoaded(folder_);
        }
    });
    volumes_ = new QStandardItemModel(this);
    watcher_ = new QFileSystemWatcher(this);
    connect(watcher_, &QFileSystemWatcher::directoryChanged, this, &ShellList::folderChanged);
    showTopLevel();
}

void ShellList::showTopLevel() {
    folder_.clear();
    if (!watcher_->directories().isEmpty()) watcher_->removePaths(watcher_->directories());
    volumes_->clear();
    const QIcon drive = listIcons().icon(QFileIconProvider::Drive);
    for (const QString& root : topLevelVolumes()) {
        auto* item = new QStandardItem(drive, root);
        item->setData(root, PathRole);
        item->setEditable(false);
        volumes_->appendRow(item);
    }
    if (model() != volumes_) setModel(volumes_);
    setRootIndex(QModelIndex());
    clearSelection();
    Q_EMIT directoryLoaded(QString());
}

void ShellList::showFolder(const QString& path) {
    const QFileInfo info(path);
    if (path.isEmpty() || !info.isDir()) {
        showTopLevel();
        return;
    }
    folder_ = QDir::cleanPath(info.absoluteFilePath());
    if (!watcher_->directories().isEmpty()) watcher_->removePaths(watcher_->directories());
    watcher_->addPath(folder_);
    if (model() != files_) setModel(files_);
    const QModelIndex root = files_->setRootPath(folder_);
    files_->sort(0, Qt::AscendingOrder);
    setRootIndex(root);
    clearSelection();
    setCurrentIndex(QModelIndex());
}

void ShellList::showParent() {
    if (atTopLevel()) return;
    if (topLevelVolumes().contains(folder_)) {
        showTopLevel();
        return;
    }
    QDir up(folder_);
    if (!up.cdUp()) {
        showTopLevel();
        return;
    }
    showFolder(up.absolutePath());
}

void ShellList::folderChanged() {
    if (folder_.isEmpty() || QFileInfo(folder_).isDir()) return;
    // The folder shown went away: show the nearest folder above it that is still there.
    QString above = folder_;
    do {
        above = QFileInfo(above).absolutePath();
    } while (!QFileInfo(above).isDir() && above != QDir::rootPath());
    showFolder(above);
}

QString ShellList::pathAt(const QModelIndex& index) const {
    if (!index.isValid()) return {};
    if (index.model() == volumes_) return index.data(PathRole).toString();
    if (index.model() == files_) return QDir::toNativeSeparators(files_->filePath(index));
    return {};
}

bool ShellList::isFolderAt(const QModelIndex& index) const {
    if (!index.isValid()) return false;
    if (index.model() == volumes_) return true;
    return files_->isDir(index);
}

QStringList ShellList::shownPaths() const {
    QStringList paths;
    const QAbstractItemModel* m = model();
    const int rows = m->rowCount(rootIndex());
    for (int row = 0; row < rows; ++row) paths << pathAt(m->index(row, 0, rootIndex()));
    return paths;
}

QString ShellList::selectedPath() const {
    const QModelIndexList selected =
        selectionModel() ? selectionModel()->selectedIndexes() : QModelIndexList();
    return selected.isEmpty() ? QString() : pathAt(selected.first());
}

bool ShellList::selectPath(const QString& path) {
    const QAbstractItemModel* m = model();
    const int rows = m->rowCount(rootIndex());
    for (int row = 0; row < rows; ++row) {
        const QModelIndex index = m->index(row, 0, rootIndex());
        if (pathAt(index) == path) {
            setCurrentIndex(index);
            selectionModel()->select(index, QItemSelectionModel::ClearAndSelect);
            return true;
        }
    }
    return false;
}

QMimeData* ShellList::dragData() const {
    auto* data = new QMimeData;
    setInsideDragSource(*data, *this);
    return data;
}

void ShellList::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        pressPos_ = event->position().toPoint();
        pressed_ = indexAt(pressPos_);
    }
    QListView::mousePressEvent(event);
}

void ShellList::mouseMoveEvent(QMouseEvent* event) {
    if ((event->buttons() & Qt::LeftButton) && pressed_.isValid() &&
        (event->position().toPoint() - pressPos_).manhattanLength() >=
            QApplication::startDragDistance()) {
        const QModelIndex index = pressed_;
        pressed_ = QPersistentModelIndex();
        startItemDrag(index);
        return;
    }
    QListView::mouseMoveEvent(event);
}

void ShellList::mouseReleaseEvent(QMouseEvent* event) {
    pressed_ = QPersistentModelIndex();
    if (event->button() == Qt::RightButton) {
        showParent();
        event->accept();
        return;
    }
    QListView::mouseReleaseEvent(event);
}

void ShellList::mouseDoubleClickEvent(QMouseEvent* event) {
    // A folder opens; a file only stays selected (it is opened by dragging it to a target).
    const QModelIndex index = indexAt(event->position().toPoint());
    if (event->button() == Qt::LeftButton && isFolderAt(index)) {
        const QString path = pathAt(index);
        showFolder(path);
        event->accept();
        return;
    }
    QListView::mouseDoubleClickEvent(event);
}

void ShellList::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    if ((key == Qt::Key_Return || key == Qt::Key_Enter) && isFolderAt(currentIndex())) {
        showFolder(pathAt(currentIndex()));
        event->accept();
        return;
    }
    if (key == Qt::Key_Backspace) {
        showParent();
        event->accept();
        return;
    }
    QListView::keyPressEvent(event);
}

void ShellList::startItemDrag(const QModelIndex& index) {
    setCurrentIndex(index);
    selectionModel()->select(index, QItemSelectionModel::ClearAndSelect);
    auto* drag = new QDrag(this);
    drag->setMimeData(dragData());
    drag->setPixmap(index.data(Qt::DecorationRole).value<QIcon>().pixmap(16, 16));
    drag->exec(Qt::CopyAction);
    drag->deleteLater();
}

} // namespace tovera
