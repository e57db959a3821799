#include "bench.h"

#include "app/page_search.h"
#include "app/tovmain.h"
#include "platform/dialogs.h"
#include "records/demo.h"
#include "records/recordset.h"
#include "widgets/helpviewer.h"

#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QDateTimeEdit>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <vector>

namespace tovera::bench {

namespace {

// Median of `rounds` runs of `action`, in ms; `reset` runs untimed before each.
double medianMs(int rounds, const std::function<void()>& reset,
                const std::function<void()>& action) {
    std::vector<double> times;
    for (int i = 0; i < rounds; ++i) {
        reset();
        const auto start = std::chrono::steady_clock::now();
        action();
        times.push_back(msSince(start));
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

void pressEnter(QWidget* box) {
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
    QCoreApplication::sendEvent(box, &press);
}

} // namespace

// Each figure runs from the user's action (key, text change, click, double-click) to the
// first record of the result shown in the window's controls, on the main window over the
// 100 000-record store.
namespace {

QByteArray figure(const char* what, const char* size) {
    return QByteArray("search_") + what + "_" + size + "_ms";
}

void searchOn(const QString& store, const char* size) {
    try {
        QTemporaryDir folder;
        if (!QFile::link(store, QDir(folder.path()).filePath(QStringLiteral("評価調書.mdb")))) {
            std::fprintf(stderr, "search: cannot link the store\n");
            return;
        }
        ScriptedDialogs dialogs;
        HelpViewer help(dialogs);
        Tovmain window(dialogs, help, folder.path(), {});
        SearchPage& page = window.searchPage();
        RecordSet& records = window.ADOQuery1();
        if (!records.isOpen() || !dialogs.shown.empty()) {
            std::fprintf(stderr, "search: the store did not open\n");
            return;
        }
        const int rounds = 9;
        // Each timed search starts from a different result, as after a previous search.
        const auto narrowOther = [&] {
            page.Edit2->setText(QStringLiteral("要再"));
            pressEnter(page.Edit2);
        };
        int found = 0;

        report(figure("owner", size).constData(),
               medianMs(rounds, narrowOther,
                        [&] {
                            page.Edit1->setText(QStringLiteral("山田"));
                            pressEnter(page.Edit1);
                        }),
               "ms");
        found = records.recordCount();
        std::fprintf(stderr, "search: owner 山田 finds %d\n", found);

        report(figure("district", size).constData(),
               medianMs(
                   rounds,
                   [&] {
                       narrowOther();
                       const QSignalBlocker block(page.ComboBox1);
                       page.ComboBox1->setEditText(QString());
                   },
                   [&] { page.ComboBox1->setEditText(page.ComboBox1->itemText(3)); }),
               "ms");
        found = records.recordCount();
        std::fprintf(stderr, "search: district finds %d\n", found);

        report(figure("remarks", size).constData(),
               medianMs(
                   rounds,
                   [&] {
                       page.Edit1->setText(QStringLiteral("林"));
                       pressEnter(page.Edit1);
                   },
                   [&] {
                       page.Edit2->setText(QStringLiteral("附属家"));
                       pressEnter(page.Edit2);
                   }),
               "ms");
        found = records.recordCount();
        std::fprintf(stderr, "search: remarks 附属家 finds %d\n", found);

        page.DateTimePicker1->setDate(QDate(2002, 10, 1));
        page.DateTimePicker2->setDate(QDate(2002, 10, 31));
        // The click also opens the calendar; it is closed again before the next one.
        const auto closeCalendar = [&] {
            if (QWidget* popup = QApplication::activePopupWidget()) popup->close();
            narrowOther();
        };
        report(figure("date", size).constData(),
               medianMs(rounds, closeCalendar,
                        [&] {
                            QMouseEvent press(QEvent::MouseButtonPress, QPointF(10, 10),
                                              QPointF(10, 10), Qt::LeftButton, Qt::LeftButton,
                                              Qt::NoModifier);
                            // A click on the date text of the end picker.
                            QCoreApplication::sendEvent(
                                page.DateTimePicker2->findChild<QLineEdit*>(), &press);
                        }),
               "ms");
        found = records.recordCount();
        std::fprintf(stderr, "search: date %s to %s finds %d\n",
                     qPrintable(records.params().value(QStringLiteral("Date_s")).toString()),
                     qPrintable(records.params().value(QStringLiteral("Date_e")).toString()),
                     found);

        report(figure("full", size).constData(),
               medianMs(rounds, narrowOther,
                        [&] {
                            QMouseEvent dbl(QEvent::MouseButtonDblClick, QPointF(10, 10),
                                            QPointF(10, 10), Qt::LeftButton, Qt::LeftButton,
                                            Qt::NoModifier);
                            QCoreApplication::sendEvent(page.ComboBox1->lineEdit(), &dbl);
                        }),
               "ms");
        found = records.recordCount();
        std::fprintf(stderr, "search: full list holds %d\n", found);
        if (!dialogs.shown.empty())
            std::fprintf(stderr, "search: error %s\n", qPrintable(dialogs.shown.front().text));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "search: %s\n", e.what());
    }
}

} // namespace

void benchSearch() {
    searchOn(largeStore(), "100k");
    searchOn(millionStore(), "1m");
}

} // namespace tovera::bench
