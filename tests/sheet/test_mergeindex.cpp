// The merge index: which merged range covers a cell, and which ranges of a damaged or
// hostile sheet are left out.

#include "sheet/mergeindex.h"

#include <QTest>

using namespace tovera;

Q_DECLARE_METATYPE(CellRange)

namespace {

CellRange R(int r0, int c0, int r1, int c1) {
    return {r0, r1, c0, c1};
}

} // namespace

class TestMergeIndex : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void find_data();
    void find();
    void kept_data();
    void kept();
    void manyRanges();
};

void TestMergeIndex::find_data() {
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("column");
    QTest::addColumn<int>("expected"); // index into the merges below, -1 none
    // D4:H4, B10:C80 (across blocks of rows), A65535:IV65536 (the sheet's last rows)
    QTest::newRow("top-left of D4:H4") << 3 << 3 << 0;
    QTest::newRow("inside D4:H4") << 3 << 6 << 0;
    QTest::newRow("right of D4:H4") << 3 << 8 << -1;
    QTest::newRow("below D4:H4") << 4 << 3 << -1;
    QTest::newRow("tall range, first row") << 9 << 1 << 1;
    QTest::newRow("tall range, another block") << 70 << 2 << 1;
    QTest::newRow("tall range, last row") << 79 << 2 << 1;
    QTest::newRow("under the tall range") << 80 << 2 << -1;
    QTest::newRow("last cell of the sheet") << 65535 << 255 << 2;
    QTest::newRow("outside the sheet") << 65536 << 0 << -1;
    QTest::newRow("negative") << -1 << -1 << -1;
}

void TestMergeIndex::find() {
    QFETCH(int, row);
    QFETCH(int, column);
    QFETCH(int, expected);
    const std::vector<CellRange> merges{R(3, 3, 3, 7), R(9, 1, 79, 2), R(65534, 0, 65535, 255)};
    const MergeIndex index(merges);
    const CellRange* found = index.find(row, column);
    if (expected < 0) {
        QVERIFY(!found);
    } else {
        QVERIFY(found);
        QCOMPARE(*found, merges[size_t(expected)]);
    }
}

void TestMergeIndex::kept_data() {
    QTest::addColumn<QList<CellRange>>("merges");
    QTest::addColumn<QList<CellRange>>("kept");
    QTest::newRow("disjoint ranges all kept")
        << QList<CellRange>{R(0, 0, 0, 1), R(1, 0, 1, 1), R(0, 2, 5, 2)}
        << QList<CellRange>{R(0, 0, 0, 1), R(1, 0, 1, 1), R(0, 2, 5, 2)};
    QTest::newRow("overlap: the first counts")
        << QList<CellRange>{R(0, 0, 3, 3), R(2, 2, 6, 6), R(4, 4, 5, 5)}
        << QList<CellRange>{R(0, 0, 3, 3), R(4, 4, 5, 5)};
    QTest::newRow("a range inside a kept one")
        << QList<CellRange>{R(0, 0, 100, 10), R(50, 5, 51, 6)}
        << QList<CellRange>{R(0, 0, 100, 10)};
    QTest::newRow("single cells, inside out, outside the sheet")
        << QList<CellRange>{R(2, 2, 2, 2),         R(5, 5, 4, 6),  R(0, 250, 0, 256),
                            R(65535, 0, 65536, 1), R(-1, 0, 1, 1), R(7, 7, 8, 8)}
        << QList<CellRange>{R(7, 7, 8, 8)};
}

void TestMergeIndex::kept() {
    QFETCH(QList<CellRange>, merges);
    QFETCH(QList<CellRange>, kept);
    const MergeIndex index(std::vector<CellRange>(merges.begin(), merges.end()));
    QCOMPARE(QList<CellRange>(index.ranges().begin(), index.ranges().end()), kept);
    // Every cell of a kept range finds that range, and nothing else finds it.
    for (const CellRange& k : kept)
        for (int r = k.firstRow; r <= k.lastRow; ++r)
            for (int c = k.firstColumn; c <= k.lastColumn; ++c) {
                const CellRange* f = index.find(r, c);
                QVERIFY(f);
                QCOMPARE(*f, k);
            }
}

void TestMergeIndex::manyRanges() {
    // Thirty thousand ranges, a whole-sheet one first: only it is kept, and the rest of a
    // second, disjoint set are all found.
    std::vector<CellRange> merges{R(0, 0, 65535, 255)};
    for (int i = 0; i < 30000; ++i) merges.push_back(R(i, 0, i, 1));
    const MergeIndex whole(merges);
    QCOMPARE(whole.ranges().size(), size_t(1));
    QCOMPARE(*whole.find(40000, 200), R(0, 0, 65535, 255));

    merges.erase(merges.begin());
    const MergeIndex rows(merges);
    QCOMPARE(rows.ranges().size(), size_t(30000));
    QCOMPARE(*rows.find(29999, 1), R(29999, 0, 29999, 1));
    QVERIFY(!rows.find(29999, 2));
    QVERIFY(!rows.find(30000, 0));
}

QTEST_APPLESS_MAIN(TestMergeIndex)
#include "test_mergeindex.moc"
