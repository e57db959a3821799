#include "widgets/filedrop.h"

#include "widgets/shelllist.h"

#include <QCoreApplication>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>
#include <QWidget>

namespace tovera {

namespace {

QByteArray sourceTag(const QString& listName) {
    return QByteArray::number(QCoreApplication::applicationPid()) + ':' + listName.toUtf8();
}

constexpr char DropTargetProperty[] = "toveraDropTarget";

void markDropTarget(QWidget* target) {
    target->setProperty(DropTargetProperty, true);
    target->setAcceptDrops(true);
}

bool isDragEvent(const QEvent* event) {
    return event->type() == QEvent::DragEnter || event->type() == QEvent::DragMove;
}

} // namespace

void setInsideDragSource(QMimeData& data, const ShellList& list) {
    data.setData(QString::fromLatin1(InsideDragMimeType), sourceTag(list.objectName()));
}

ShellList* insideDragSource(const QMimeData* data, const QList<ShellList*>& lists) {
    const QString type = QString::fromLatin1(InsideDragMimeType);
    if (!data || !data->hasFormat(type)) return nullptr;
    const QByteArray tag = data->data(type);
    for (ShellList* list : lists)
        if (list && !list->objectName().isEmpty() && tag == sourceTag(list->objectName()))
            return list;
    return nullptr;
}

bool isDropTarget(const QWidget* widget) {
    return widget && widget->property(DropTargetProperty).toBool();
}

QStringList droppedLocalFiles(const QMimeData* data) {
    QStringList paths;
    if (!data || !data->hasUrls()) return paths;
    for (const QUrl& url : data->urls())
        if (url.isLocalFile() && !url.toLocalFile().isEmpty()) paths << url.toLocalFile();
    return paths;
}

FileDrop::FileDrop(QWidget* target, std::function<void()> onDrop)
    : QObject(target), onDrop_(std::move(onDrop)) {
    markDropTarget(target);
    target->installEventFilter(this);
}

bool FileDrop::eventFilter(QObject* watched, QEvent* event) {
    if (isDragEvent(event)) {
        auto* drag = static_cast<QDropEvent*>(event);
        if (droppedLocalFiles(drag->mimeData()).isEmpty()) return false; // not ours
        drag->setDropAction(Qt::CopyAction);
        drag->accept();
        return true;
    }
    if (event->type() == QEvent::Drop) {
        auto* drop = static_cast<QDropEvent*>(event);
        const QStringList paths = droppedLocalFiles(drop->mimeData());
        if (paths.isEmpty()) return false;
        drop->setDropAction(Qt::CopyAction);
        drop->accept();
        files_ = paths;
        if (onDrop_) onDrop_();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

InsideDrop::InsideDrop(QWidget* target, QList<ShellList*> sources,
                       std::function<void(ShellList*)> onDrop,
                       std::function<bool(ShellList*)> dragOver)
    : QObject(target), sources_(std::move(sources)), onDrop_(std::move(onDrop)),
      dragOver_(std::move(dragOver)) {
    markDropTarget(target);
    target->installEventFilter(this);
}

bool InsideDrop::eventFilter(QObject* watched, QEvent* event) {
    if (isDragEvent(event) || event->type() == QEvent::Drop) {
        auto* drag = static_cast<QDropEvent*>(event);
        ShellList* source = insideDragSource(drag->mimeData(), sources_);
        if (!source) return false; // not ours: another target may take it
        if (event->type() != QEvent::Drop) {
            if (dragOver_ && !dragOver_(source)) {
                drag->ignore();
                return true;
            }
            drag->setDropAction(Qt::CopyAction);
            drag->accept();
            return true;
        }
        drag->setDropAction(Qt::CopyAction);
        drag->accept();
        if (onDrop_) onDrop_(source);
        return true;
    }
    return QObject::eventFilter(watched, event);
}

} // namespace tovera
