#include "drawing/helper.h"

#include <QSemaphore>
#include <QThread>
#include <QThreadPool>

namespace tovera::readerdetail {

void inParallel(const std::function<void()>& here, const std::function<void()>& there) {
    // One thread, kept between calls: starting a thread costs about as much as converting
    // a tenth of a large drawing.
    static QThreadPool* const helpers = [] {
        auto* pool = new QThreadPool; // lives as long as the program
        pool->setMaxThreadCount(1);
        return pool;
    }();
    if (QThread::idealThreadCount() < 2) {
        here();
        there();
        return;
    }
    QSemaphore done;
    helpers->start([&] {
        there();
        done.release();
    });
    here();
    done.acquire();
}

} // namespace tovera::readerdetail
