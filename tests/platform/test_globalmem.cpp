#include "platform/globalmem.h"

#include <QTest>
#include <cstring>
#include <thread>
#include <vector>

using namespace tovera;

class TestGlobalMem : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void lockCountsAndSize() {
        const std::size_t before = globalBlockCount();
        const HGLOBAL h = GlobalAlloc(GHND, 100);
        QVERIFY(h != 0);
        QCOMPARE(GlobalSize(h), std::size_t(100));
        QCOMPARE(GlobalFlags(h) & GMEM_LOCKCOUNT, 0u);
        auto* p = static_cast<unsigned char*>(GlobalLock(h));
        QVERIFY(p);
        for (int i = 0; i < 100; ++i) QCOMPARE(p[i], 0); // GMEM_ZEROINIT
        void* q = GlobalLock(h);
        QCOMPARE(q, static_cast<void*>(p)); // the block does not move while locked
        QCOMPARE(GlobalFlags(h) & GMEM_LOCKCOUNT, 2u);
        QCOMPARE(GlobalHandle(p), h);
        QVERIFY(GlobalUnlock(h)); // still locked once
        QVERIFY(!GlobalUnlock(h));
        QCOMPARE(globalLastError(), ERROR_SUCCESS);
        QVERIFY(!GlobalUnlock(h)); // not locked any more
        QCOMPARE(globalLastError(), ERROR_NOT_LOCKED);
        QCOMPARE(globalBlockCount(), before + 1);
        QCOMPARE(GlobalFree(h), HGLOBAL(0));
        QCOMPARE(globalBlockCount(), before);
    }

    void invalidHandles_data() {
        QTest::addColumn<HGLOBAL>("handle");
        QTest::newRow("zero") << HGLOBAL(0);
        QTest::newRow("never allocated") << HGLOBAL(0x7FFFFFF0);
        const HGLOBAL freed = GlobalAlloc(GMEM_MOVEABLE, 8);
        GlobalFree(freed);
        QTest::newRow("freed") << freed;
    }
    void invalidHandles() {
        QFETCH(HGLOBAL, handle);
        QVERIFY(GlobalLock(handle) == nullptr);
        QCOMPARE(globalLastError(), ERROR_INVALID_HANDLE);
        QVERIFY(!GlobalUnlock(handle));
        QCOMPARE(globalLastError(), ERROR_INVALID_HANDLE);
        QCOMPARE(GlobalSize(handle), std::size_t(0));
        QCOMPARE(GlobalFlags(handle), GMEM_INVALID_HANDLE);
        QCOMPARE(GlobalFree(handle), handle); // failure gives the handle back
    }

    void emptyMovableBlockIsDiscarded() {
        const HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, 0);
        QVERIFY(h != 0);
        QVERIFY(GlobalLock(h) == nullptr);
        QCOMPARE(GlobalSize(h), std::size_t(0));
        QVERIFY(GlobalFlags(h) & GMEM_DISCARDED);
        QCOMPARE(GlobalFree(h), HGLOBAL(0));
    }

    void handleFromAddress() {
        const HGLOBAL a = GlobalAlloc(GMEM_MOVEABLE, 16);
        const HGLOBAL b = GlobalAlloc(GMEM_MOVEABLE, 16);
        QVERIFY(a != b);
        auto* pa = static_cast<char*>(GlobalLock(a));
        auto* pb = static_cast<char*>(GlobalLock(b));
        QCOMPARE(GlobalHandle(pa), a);
        QCOMPARE(GlobalHandle(pb), b);
        QCOMPARE(GlobalHandle(pa + 1), HGLOBAL(0)); // not the start of a block
        QCOMPARE(GlobalHandle(nullptr), HGLOBAL(0));
        std::memset(pb, 7, 16);
        GlobalFree(a); // freeing a locked block is allowed
        QCOMPARE(GlobalHandle(pa == pb ? nullptr : pa), HGLOBAL(0));
        // The other block is untouched and still usable.
        QCOMPARE(GlobalHandle(pb), b);
        QCOMPARE(QByteArray(pb, 16), QByteArray(16, char(7)));
        pb[15] = 9;
        QCOMPARE(static_cast<char*>(GlobalLock(b))[15], char(9));
        GlobalUnlock(b);
        GlobalUnlock(b);
        GlobalFree(b);
    }

    void hugeRequestFailsCleanly() {
        const HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, std::size_t(1) << 62);
        QCOMPARE(h, HGLOBAL(0));
        QCOMPARE(globalLastError(), ERROR_NOT_ENOUGH_MEMORY);
    }

    void concurrentUse() {
        const std::size_t before = globalBlockCount();
        std::vector<std::thread> threads;
        for (int t = 0; t < 4; ++t)
            threads.emplace_back([] {
                for (int i = 0; i < 2000; ++i) {
                    const HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, 32);
                    auto* p = static_cast<char*>(GlobalLock(h));
                    if (!p || GlobalHandle(p) != h) std::abort();
                    GlobalUnlock(h);
                    if (GlobalFree(h) != 0) std::abort();
                }
            });
        for (auto& th : threads) th.join();
        QCOMPARE(globalBlockCount(), before);
    }
};

QTEST_GUILESS_MAIN(TestGlobalMem)
#include "test_globalmem.moc"
