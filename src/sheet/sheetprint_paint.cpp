// Painting printed pages: the cells, headings, header and footer, and the print run.

#include "sheet/sheetprint.h"

#include "platform/errors.h"
#include "sheet/cellpaint.h"
#include "sheet/sheetgeometry.h"
#include "sheet/sheetobjects.h"

#include <QDateTime>
#include <QFileInfo>
#include <QPagedPaintDevice>
#include <QPainter>
#include <algorithm>
#include <cmath>

namespace tovera {

namespace {

struct HeaderText {
    QString left, center, right;
};

// Header and footer codes: &L &C &R start a section (text before any of them is centred),
// &P page, &N pages, &A sheet name, &F file name, &D date, &T time, && an ampersand. Font
// codes (&"face,style", &12, &B &I &U &S ...) and others are left out.
HeaderText expandCodes(const QString& code, const PrintPage& page, const QString& sheetName,
                       const QString& fileName, const QDateTime& now) {
    HeaderText out;
    QString* section = &out.center;
    for (int i = 0; i < code.size(); ++i) {
        const QChar ch = code[i];
        if (ch != u'&' || i + 1 >= code.size()) {
            if (ch != u'&') *section += ch;
            continue;
        }
        const QChar n = code[++i];
        switch (n.toUpper().unicode()) {
        case 'L':
            section = &out.left;
            break;
        case 'C':
            section = &out.center;
            break;
        case 'R':
            section = &out.right;
            break;
        case 'P':
            *section += QString::number(page.number);
            break;
        case 'N':
            *section += QString::number(page.count);
            break;
        case 'A':
            *section += sheetName;
            break;
        case 'F':
            *section += QFileInfo(fileName).fileName();
            break;
        case 'D':
            *section += now.date().toString(QStringLiteral("yyyy/M/d"));
            break;
        case 'T':
            *section += now.time().toString(QStringLiteral("H:mm"));
            break;
        case '&':
            *section += u'&';
            break;
        case '"': {
            const int end = code.indexOf(u'"', i + 1);
            i = end < 0 ? int(code.size()) : end;
            break;
        }
        default:
            while (n.isDigit() && i + 1 < code.size() && code[i + 1].isDigit()) ++i;
            break;
        }
    }
    return out;
}

QString columnName(int column) {
    QString name;
    for (int c = column + 1; c > 0; c = (c - 1) / 26) name.prepend(QChar(u'A' + (c - 1) % 26));
    return name;
}

void paintHeadings(QPainter& p, double dpi, const Workbook& book, const PrintPage& page) {
    const Sheet& sheet = book.sheets[size_t(page.sheet)];
    const SheetGeometry geo(book, sheet);
    const double k = dpi / 72;             // device px per point
    const double s = page.zoom * dpi / 96; // device px per sheet pixel
    Font f = book.fonts.empty() ? Font{} : book.fonts[0];
    QFont font = paintFont(f, s);
    p.setFont(font);
    p.setPen(Qt::black);
    const double left = page.cellArea.left() * k, top = page.cellArea.top() * k;
    const double hw = page.headingWidth * k, hh = page.headingHeight * k;
    const QColor line(0x80, 0x80, 0x80);
    for (int c = page.cells.firstColumn; c <= page.cells.lastColumn; ++c) {
        const double x0 = left + (geo.columnX(c) - geo.columnX(page.cells.firstColumn)) * s;
        const double w = geo.columnWidth(c) * s;
        if (w <= 0) continue;
        const QRectF r(x0, top - hh, w, hh);
        p.fillRect(r, QColor(0xF0, 0xF0, 0xF0));
        p.setPen(line);
        p.drawRect(r);
        p.setPen(Qt::black);
        p.drawText(r, Qt::AlignCenter, columnName(c));
    }
    for (int r = page.cells.firstRow; r <= page.cells.lastRow; ++r) {
        const double y0 = top + (geo.rowY(r) - geo.rowY(page.cells.firstRow)) * s;
        const double h = geo.rowHeight(r) * s;
        if (h <= 0) continue;
        const QRectF rect(left - hw, y0, hw, h);
        p.fillRect(rect, QColor(0xF0, 0xF0, 0xF0));
        p.setPen(line);
        p.drawRect(rect);
        p.setPen(Qt::black);
        p.drawText(rect, Qt::AlignCenter, QString::number(r + 1));
    }
}

void paintHeaderFooter(QPainter& p, double dpi, const Workbook& book, const PrintPage& page,
                       const QString& fileName) {
    const Sheet& sheet = book.sheets[size_t(page.sheet)];
    const PageSetup& ps = sheet.pageSetup;
    if (ps.header.isEmpty() && ps.footer.isEmpty()) return;
    const double k = dpi / 72;
    const QDateTime now = QDateTime::currentDateTime();
    Font f = book.fonts.empty() ? Font{} : book.fonts[0];
    p.setFont(paintFont(f, dpi / 96));
    p.setPen(Qt::black);
    const double x0 = page.printableArea.left() * k;
    const double w = page.printableArea.width() * k;
    const double lineH = p.fontMetrics().height() * 4.0;
    auto draw = [&](const HeaderText& t, double y, int valign) {
        const QRectF box(x0, valign == Qt::AlignTop ? y : y - lineH, w, lineH);
        p.drawText(box, Qt::AlignLeft | valign, t.left);
        p.drawText(box, Qt::AlignHCenter | valign, t.center);
        p.drawText(box, Qt::AlignRight | valign, t.right);
    };
    if (!ps.header.isEmpty())
        draw(expandCodes(ps.header, page, sheet.name, fileName, now), page.headerY * k,
             Qt::AlignTop);
    if (!ps.footer.isEmpty())
        draw(expandCodes(ps.footer, page, sheet.name, fileName, now), page.footerY * k,
             Qt::AlignBottom);
}

// The pictures of the sheet over the cells of `page`, cut at the page's cells.
void paintPictures(QPainter& p, double dpi, const Workbook& book, const PrintPage& page) {
    const Sheet& sheet = book.sheets[size_t(page.sheet)];
    if (sheet.pictures.empty()) return;
    const SheetGeometry geo(book, sheet);
    const double k = dpi / 72;
    const double s = page.zoom * dpi / 96;
    const QPointF origin = page.cellArea.topLeft() * k;
    const int firstColumn = page.cells.firstColumn, firstRow = page.cells.firstRow;
    auto columnX = [&](int c) {
        return origin.x() + (geo.columnX(c) - geo.columnX(firstColumn)) * s;
    };
    auto rowY = [&](int r) { return origin.y() + (geo.rowY(r) - geo.rowY(firstRow)) * s; };
    const QRectF cells(QPointF(columnX(firstColumn), rowY(firstRow)),
                       QPointF(columnX(page.cells.lastColumn + 1), rowY(page.cells.lastRow + 1)));
    p.save();
    p.setClipRect(cells, Qt::IntersectClip);
    p.setRenderHint(QPainter::SmoothPixmapTransform, true);
    for (const SheetPicture& picture : sheet.pictures) {
        const QRectF rect = anchorRect(picture.anchor, columnX, rowY);
        if (!rect.isEmpty() && rect.intersects(cells)) p.drawImage(rect, picture.image);
    }
    p.restore();
}

// Asks the device for a layout; a printer that refuses it whole (margins below its minimum)
// still gets the paper and orientation, and pages are placed from the paper's corner.
void applyLayout(QPagedPaintDevice& device, const QPageLayout& layout) {
    if (device.setPageLayout(layout)) return;
    device.setPageSize(layout.pageSize());
    device.setPageOrientation(layout.orientation());
}

} // namespace

void paintPage(QPainter& p, double dpi, const Workbook& book, const PrintPage& page,
               const QString& fileName) {
    if (page.sheet < 0 || size_t(page.sheet) >= book.sheets.size() || !(dpi > 0)) return;
    const Sheet& sheet = book.sheets[size_t(page.sheet)];
    p.save();
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setRenderHint(QPainter::TextAntialiasing, true);
    paintHeaderFooter(p, dpi, book, page, fileName);
    if (!page.empty) {
        const double k = dpi / 72;
        if (page.headings) paintHeadings(p, dpi, book, page);
        p.setClipRect(QRectF(page.printableArea.topLeft() * k, page.printableArea.size() * k));
        CellPaintContext ctx{&book, &sheet, page.zoom * dpi / 96, page.gridlines};
        paintSheetArea(p, ctx, page.cells, page.cellArea.topLeft() * k);
        paintPictures(p, dpi, book, page);
    }
    p.restore();
}

void printWorkbook(QPagedPaintDevice& device, const Workbook& book, const QString& fileName) {
    // Every visible sheet, laid out on the paper the device gives for its page setup.
    std::vector<PrintPage> pages;
    std::vector<QPageLayout> layouts;
    for (size_t i = 0; i < book.sheets.size(); ++i) {
        if (book.sheets[i].visibility != 0) continue;
        QPageLayout wanted = sheetPageLayout(book.sheets[i]);
        wanted.setMargins(QMarginsF(0, 0, 0, 0));
        applyLayout(device, wanted);
        const QPageLayout got = device.pageLayout();
        for (PrintPage& page : paginate(book, int(i), got.fullRectPoints().size())) {
            pages.push_back(page);
            layouts.push_back(got);
        }
    }
    if (pages.empty()) {
        PrintPage blank;
        blank.empty = true;
        blank.sheet = -1;
        pages.push_back(blank);
        QPageLayout a4(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF());
        layouts.push_back(a4);
    }
    for (size_t i = 0; i < pages.size(); ++i) {
        pages[i].number = int(i) + 1;
        pages[i].count = int(pages.size());
    }

    applyLayout(device, layouts[0]);
    QPainter painter;
    if (!painter.begin(&device))
        throw EOleException(QStringLiteral("印刷を開始できません: %1").arg(fileName));
    const double dpi = device.logicalDpiX();
    for (size_t i = 0; i < pages.size(); ++i) {
        if (i > 0) {
            applyLayout(device, layouts[i]);
            if (!device.newPage()) {
                painter.end();
                throw EOleException(
                    QStringLiteral("印刷できません: ページ %1 を作れません").arg(i + 1));
            }
        }
        // The painter's origin is the corner of the paint rectangle; pages are laid out from
        // the corner of the paper.
        const QRect paint = device.pageLayout().paintRectPixels(int(dpi));
        painter.save();
        painter.translate(-paint.left(), -paint.top());
        paintPage(painter, dpi, book, pages[i], fileName);
        painter.restore();
    }
    if (!painter.end())
        throw EOleException(QStringLiteral("印刷を終了できません: %1").arg(fileName));
}

} // namespace tovera
