#pragma once
// The two ways files reach a control by the mouse. FileDrop makes a control a target of
// files dropped from outside the program (local files given as a URI list). InsideDrop makes
// it a target of drags of an item of a side-bar file list (ShellList), the only drags the
// program itself starts. Both watch their control through an event filter and are children
// of it.

#include <QObject>
#include <QStringList>
#include <functional>

class QDropEvent;
class QMimeData;
class QWidget;

namespace tovera {

class ShellList;

// The MIME type of a drag started by a side-bar file list. Its data is the process id and
// the list's object name, "pid:name", so a drag from another running copy is refused.
inline constexpr char InsideDragMimeType[] = "application/x-tovera-list-item";

// Writes the data naming `list` as the source of an inside drag into `data`.
void setInsideDragSource(QMimeData& data, const ShellList& list);
// The list among `lists` that an inside drag with `data` came from; null for a drag of
// anything else (including a drag of files from outside).
ShellList* insideDragSource(const QMimeData* data, const QList<ShellList*>& lists);

// Outside drop target. Accepts drags of one or more local files; on a drop, collects their
// full local paths in the order delivered into files() and calls `onDrop`. Errors the
// handler raises pass through to the application's error dialog.
class FileDrop : public QObject {
    Q_OBJECT
public:
    FileDrop(QWidget* target, std::function<void()> onDrop);
    // The paths of the last drop, in the order delivered.
    const QStringList& files() const { return files_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::function<void()> onDrop_;
    QStringList files_;
};

// Inside drag target: accepts a drag only from one of `sources` and only while `dragOver`
// (when given) agrees; on release calls `onDrop` with the source list.
class InsideDrop : public QObject {
    Q_OBJECT
public:
    InsideDrop(QWidget* target, QList<ShellList*> sources, std::function<void(ShellList*)> onDrop,
               std::function<bool(ShellList*)> dragOver = {});

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QList<ShellList*> sources_;
    std::function<void(ShellList*)> onDrop_;
    std::function<bool(ShellList*)> dragOver_;
};

// Whether `widget` was made a drop target by FileDrop or InsideDrop (DropGuard lets only
// those take drops).
bool isDropTarget(const QWidget* widget);

// The full local paths of the files in `data`, in order; empty when it holds none.
QStringList droppedLocalFiles(const QMimeData* data);

} // namespace tovera
