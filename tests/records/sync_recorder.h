#pragma once
// Records every sync and rename the test process makes, in order, with the path involved,
// and then performs it. Include in exactly one source file of a test executable and link
// it with --export-dynamic, so that shared libraries (SQLite) call these too.

#include <QByteArray>
#include <QList>
#include <QMutex>
#include <QString>
#include <fcntl.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace tovera::test {

struct FileEvent {
    QString kind; // "sync" or "rename"
    QString path; // the synced file or folder; the new name of a rename
    QString from; // the old name of a rename
};

inline QMutex& fileEventMutex() {
    static QMutex m;
    return m;
}
inline QList<FileEvent>& fileEvents() {
    static QList<FileEvent> events;
    return events;
}
inline bool& recordingFileEvents() {
    static bool on = false;
    return on;
}

// Starts recording afresh.
inline void startRecordingFileEvents() {
    QMutexLocker lock(&fileEventMutex());
    fileEvents().clear();
    recordingFileEvents() = true;
}

// Stops and returns what was recorded.
inline QList<FileEvent> stopRecordingFileEvents() {
    QMutexLocker lock(&fileEventMutex());
    recordingFileEvents() = false;
    return fileEvents();
}

inline QString pathOfDescriptor(int fd) {
    char buffer[4096];
    const QByteArray link = "/proc/self/fd/" + QByteArray::number(fd);
    const ssize_t n = ::readlink(link.constData(), buffer, sizeof buffer);
    return n > 0 ? QString::fromLocal8Bit(buffer, int(n)) : QString();
}

inline void recordFileEvent(const QString& kind, const QString& path,
                            const QString& from = QString()) {
    QMutexLocker lock(&fileEventMutex());
    if (recordingFileEvents()) fileEvents().push_back({kind, path, from});
}

} // namespace tovera::test

extern "C" {

int fsync(int fd) {
    tovera::test::recordFileEvent(QStringLiteral("sync"), tovera::test::pathOfDescriptor(fd));
    return int(::syscall(SYS_fsync, fd));
}

int fdatasync(int fd) {
    tovera::test::recordFileEvent(QStringLiteral("sync"), tovera::test::pathOfDescriptor(fd));
    return int(::syscall(SYS_fdatasync, fd));
}

int rename(const char* from, const char* to) noexcept {
    tovera::test::recordFileEvent(QStringLiteral("rename"), QString::fromLocal8Bit(to),
                                  QString::fromLocal8Bit(from));
    return int(::syscall(SYS_renameat, AT_FDCWD, from, AT_FDCWD, to));
}
}
