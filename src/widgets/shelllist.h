#pragma once
// The side-bar file list: the folders and files of one folder as small icons, or, at the
// computer's top level, the mounted file systems. It is the only source of drags inside the
// window: a drag carries the list it came from (filedrop.h), and the drop target asks the
// list for its selected item.

#include <QListView>
#include <QPoint>
#include <QStringList>

class QFileSystemModel;
class QFileSystemWatcher;
class QMimeData;
class QStandardItemModel;

namespace tovera {

class ShellList : public QListView {
    Q_OBJECT
public:
    // Starts at the top level.
    explicit ShellList(QWidget* parent = nullptr);

    // The mount points shown at the top level: the root first, then the others by path.
    // Pseudo and memory file systems (proc, sysfs, cgroup, tmpfs, devpts, overlay layers
    // and the like) and everything mounted under /proc, /sys, /dev, /snap and /run (except
    // /run/media, where removable media appear) are left out, as are mount points that are
    // not folders. Never fails; the root is always there.
    static QStringList topLevelVolumes();

    // Shows the top level (the mounted file systems).
    void showTopLevel();
    // Shows the folder at `path` (made absolute and clean); a path that is not a folder
    // shows the top level instead. The folder is read in the background: its items appear
    // once directoryLoaded has been emitted. From then on the list follows the folder:
    // items made, removed or renamed there by any program appear and go by themselves, and
    // when the folder itself goes, the list shows the nearest folder above it still there.
    void showFolder(const QString& path);
    // Shows the parent of the folder shown; from the root or another top-level volume, the
    // top level; at the top level, nothing changes.
    void showParent();

    // The folder shown, absolute; empty at the top level.
    QString folder() const { return folder_; }
    bool atTopLevel() const { return folder_.isEmpty(); }
    // Full paths of the items shown, in display order (for the top level, the mount points).
    QStringList shownPaths() const;
    // The full path of the selected item; empty when nothing is selected.
    QString selectedPath() const;
    // Selects the item whose full path is `path`; false when it is not shown.
    bool selectPath(const QString& path);
    // The data of a drag of this list (filedrop.h); the caller owns it.
    QMimeData* dragData() const;

Q_SIGNALS:
    // The folder shown has been read (also emitted at once for the top level).
    void directoryLoaded(const QString& folder);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    // Enter on a folder opens it, as a double-click does; Backspace shows the parent.
    void keyPressEvent(QKeyEvent* event) override;

private:
    QString pathAt(const QModelIndex& index) const;
    bool isFolderAt(const QModelIndex& index) const;
    void startItemDrag(const QModelIndex& index);
    void folderChanged();

    QFileSystemModel* files_ = nullptr;
    QStandardItemModel* volumes_ = nullptr;
    QFileSystemWatcher* watcher_ = nullptr; // the folder shown, to notice it going
    QString folder_;
    QPoint pressPos_;
    QPersistentModelIndex pressed_;
};

} // namespace tovera
