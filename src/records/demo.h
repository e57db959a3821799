#pragma once
// Demo stores: a house-record store filled with invented but realistic content.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

namespace tovera {

struct DemoOptions {
    int records = 60;
    // Every n-th record holds a stored drawing, every (n+1)-th a stored sheet (0: none).
    int drawingEvery = 3;
    int sheetEvery = 4;
    // When above 0, the stored drawings are grown to at least this many bytes (more
    // rooms and fittings) and the stored sheets padded with empty sectors to this size;
    // benchmarks use this for large registers.
    int drawingMinBytes = 0;
    int sheetMinBytes = 0;
    quint32 seed = 20020113;
    // Called now and then while the store is built, with the work done so far out of
    // `total` (the records written, then the indexes sorted, counted in records), and once
    // when the store is in place with done == total.
    std::function<void(qint64 done, qint64 total)> progress;
};

// The options of a register of `records` house records. Small ones are the default demo;
// from 10 000 records on, one record in twenty holds a drawing and one in fifty a sheet,
// of their natural sizes (the plans and sample workbooks of the small demo), as in a
// city's register where only the buildings surveyed since the program came into use have
// their documents stored.
DemoOptions registerDemoOptions(int records);

// The districts of the demo stores, in table order.
QStringList demoDistricts();

// A floor-plan drawing in the text format of header kind 1 ("$headerpas", one value per
// line, CR LF, code page 932): rooms as rectangles on a 45-unit grid with their walls, on
// one or two floors. `variant` picks the plan; the result has at least `minBytes` bytes.
QByteArray demoDrawing(int variant, int minBytes = 0);

struct SampleSheet {
    QString name;
    QByteArray bytes;
};
// The sample workbooks shipped with the program: from `samples/` beside the executable,
// else the source tree's data/samples, else the copies compiled into the program.
QList<SampleSheet> sampleSheets();

// Creates a new store at `path` (refuses an existing file, as createSchema) and fills it:
// the districts, then `options.records` house records. The store is built under a hidden
// name in the same folder, synced, and only then given its name (never replacing a file
// that took the name meanwhile), so `path` either holds the whole register or does not
// exist. Raises EInOutError or EDatabaseError; the half-made file is removed.
void createDemo(const QString& path, const DemoOptions& options);

} // namespace tovera
