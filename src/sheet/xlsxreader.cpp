// The .xlsx workbook part, the order of reading the parts, and the formulas and names
// turned into tokens once every sheet is known.

#include "sheet/xlsxreader.h"

#include "sheet/calc.h"
#include "sheet/cfb.h"
#include "sheet/xlsreader.h"
#include "sheet/xlsreader_messages.h"
#include "sheet/xlsxreader_internal.h"

#include <QFile>
#include <gsf/gsf-infile-msole.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input-memory.h>
#include <gsf/gsf-utils.h>

namespace tovera {

namespace xlsx {
namespace {

struct SheetEntry {
    QString name;
    int visibility = 0;
    QString part;
    bool worksheet = false;
    int modelIndex = -1;
};

const std::pair<const char*, char16_t> kBuiltinNames[] = {
    {"Consolidate_Area", 0x00}, {"Auto_Open", 0x01},      {"Auto_Close", 0x02},
    {"Extract", 0x03},          {"Database", 0x04},       {"Criteria", 0x05},
    {"Print_Area", 0x06},       {"Print_Titles", 0x07},   {"Recorder", 0x08},
    {"Data_Form", 0x09},        {"Auto_Activate", 0x0A},  {"Auto_Deactivate", 0x0B},
    {"Sheet_Title", 0x0C},      {"_FilterDatabase", 0x0D}};

void readWorkbookPart(Archive& zip, Context& ctx, const QString& part,
                      std::vector<SheetEntry>& sheets, int& activeTab) {
    const auto rels = readRelationships(zip, ctx, part);
    const QByteArray data = zip.read(part);
    Xml x(data, ctx.name, part);
    if (!x.next() || !x.is("workbook")) xlsmsg::notWorkbook(ctx.name);
    struct RawName {
        QString name, text;
        int local = -1;
        bool hidden = false;
    };
    std::vector<RawName> raw;
    while (x.next()) {
        if (x.is("extLst") || x.is("AlternateContent")) {
            x.skip(); // extensions repeat element names with other meanings
        } else if (x.is("workbookPr")) {
            ctx.book.dateSystem1904 = x.boolAttr("date1904", false);
        } else if (x.is("workbookView")) {
            activeTab = x.intAttr("activeTab", 0);
        } else if (x.is("sheet")) {
            SheetEntry e;
            e.name = decodeEscapes(x.attr("name"));
            const QString state = x.attr("state");
            e.visibility = state == QLatin1String("hidden")       ? 1
                           : state == QLatin1String("veryHidden") ? 2
                                                                  : 0;
            const auto rel = rels.value(x.attr("id"));
            e.part = rel.second;
            e.worksheet = rel.first == QLatin1String("worksheet") && !e.part.isEmpty();
            if (sheets.size() < 4096) sheets.push_back(e);
        } else if (x.is("definedName")) {
            RawName n;
            n.name = x.attr("name");
            n.local = x.intAttr("localSheetId", -1);
            n.hidden = x.boolAttr("hidden", false);
            n.text = decodeEscapes(x.text()).trimmed();
            if (raw.size() < 65536) raw.push_back(n);
        }
    }
    // Each part the workbook refers to, by the type of its relationship.
    for (auto it = rels.begin(); it != rels.end(); ++it)
        if (it.value().first == QLatin1String("theme")) readTheme(zip, ctx, it.value().second);
    for (auto it = rels.begin(); it != rels.end(); ++it)
        if (it.value().first == QLatin1String("styles")) readStyles(zip, ctx, it.value().second);
    if (ctx.xfBase == 0) ctx.xfBase = int(ctx.book.xfs.size());
    for (auto it = rels.begin(); it != rels.end(); ++it)
        if (it.value().first == QLatin1String("sharedStrings"))
            readSharedStrings(zip, ctx, it.value().second);

    int model = 0;
    for (SheetEntry& e : sheets)
        if (e.worksheet) e.modelIndex = model++;
    for (const RawName& n : raw) {
        DefinedName d;
        d.name = n.name;
        d.flags = n.hidden ? 0x0001 : 0;
        if (n.name.startsWith(QLatin1String("_xlnm."))) {
            const QString rest = n.name.mid(6);
            for (const auto& [text, code] : kBuiltinNames)
                if (rest == QLatin1String(text)) {
                    d.name = QString(QChar(code));
                    d.flags |= 0x0020;
                }
        }
        d.sheet = -1;
        if (n.local >= 0) {
            d.sheet = size_t(n.local) < sheets.size() && sheets[size_t(n.local)].modelIndex >= 0
                          ? sheets[size_t(n.local)].modelIndex
                          : kNameNotKept;
        }
        ctx.names.push_back(PendingName{int(ctx.book.definedNames.size()), n.text, d.sheet});
        ctx.book.definedNames.push_back(d);
    }
}

// "Sheet1!$A$1:$D$10,Sheet1!$F$1:$G$2" -> the ranges.
std::vector<CellRange> rangesOf(const QString& text) {
    std::vector<CellRange> out;
    for (const QString& piece : text.split(u',')) {
        const QString ref = piece.mid(piece.lastIndexOf(u'!') + 1).remove(u'$').trimmed();
        CellRange r;
        if (parseRangeRef(ref, r)) out.push_back(r);
    }
    return out;
}

void finishNames(Context& ctx) {
    Workbook& book = ctx.book;
    for (const PendingName& n : ctx.names) {
        DefinedName& d = book.definedNames[size_t(n.index)];
        if (d.sheet == kNameNotKept) continue;
        if (d.builtin() && d.name == QString(QChar(0x06)) && d.sheet >= 0)
            book.sheets[size_t(d.sheet)].pageSetup.printArea = rangesOf(n.text);
        QString error;
        const auto f = parseFormula(book, std::max(d.sheet, 0), QLatin1Char('=') + n.text, error);
        if (f) {
            d.tokens = f->tokens;
            d.extra = f->extra;
        } else {
            d.sheet = kNameNotKept; // keeps its number; not written
        }
    }
}

void finishFormulas(Context& ctx) {
    Workbook& book = ctx.book;
    for (const PendingFormula& p : ctx.formulas) {
        Sheet& sheet = book.sheets[size_t(p.sheet)];
        QString error;
        const auto f = parseFormula(book, p.sheet, QLatin1Char('=') + p.text, error);
        if (!f) continue; // keeps its stored result
        if (!p.array) {
            for (Row& r : sheet.rows)
                if (r.index == p.row) {
                    for (Cell& c : r.cells)
                        if (c.column == p.column) c.formula = std::make_shared<Formula>(*f);
                    break;
                }
            continue;
        }
        sheet.arrayFormulas.push_back(ArrayFormula{p.arrayRange, *f});
        auto exp = std::make_shared<Formula>();
        const char tokens[5] = {0x01, char(p.row & 0xFF), char(p.row >> 8), char(p.column & 0xFF),
                                char(p.column >> 8)};
        exp->tokens = QByteArray(tokens, 5);
        for (Row& r : sheet.rows) {
            if (r.index < p.arrayRange.firstRow || r.index > p.arrayRange.lastRow) continue;
            for (Cell& c : r.cells)
                if (p.arrayRange.contains(r.index, c.column)) c.formula = exp;
        }
    }
}

} // namespace
} // namespace xlsx

bool isXlsxBytes(const QByteArray& bytes) {
    return xlsx::isZipArchive(bytes);
}

Workbook loadXlsxBytes(const QByteArray& bytes, const QString& nameForMessages) {
    using namespace xlsx;
    Archive zip(bytes, nameForMessages);
    Context ctx;
    ctx.name = nameForMessages;
    ctx.book = Workbook::createDefault();
    ctx.book.sheets.clear();
    ctx.book.biffVersion = 8;
    ctx.book.codepage = 1200;
    try {
        QString workbookPart;
        const auto root = readRelationships(zip, ctx, QString());
        for (auto it = root.begin(); it != root.end(); ++it)
            if (it.value().first == QLatin1String("officeDocument"))
                workbookPart = it.value().second;
        if (workbookPart.isEmpty() && zip.has(QStringLiteral("xl/workbook.xml")))
            workbookPart = QStringLiteral("xl/workbook.xml");
        if (workbookPart.isEmpty() || !zip.has(workbookPart)) xlsmsg::notWorkbook(nameForMessages);
        std::vector<SheetEntry> sheets;
        int activeTab = 0;
        readWorkbookPart(zip, ctx, workbookPart, sheets, activeTab);
        for (size_t k = 0; k < sheets.size(); ++k) {
            if (!sheets[k].worksheet) continue;
            Sheet sheet;
            sheet.name = sheets[k].name;
            sheet.visibility = sheets[k].visibility;
            ctx.book.sheets.push_back(std::move(sheet));
            readWorksheet(zip, ctx, sheets[k].part, ctx.book.sheets.back(),
                          int(ctx.book.sheets.size() - 1));
        }
        if (ctx.book.sheets.empty())
            xlsmsg::unsupported(nameForMessages, QStringLiteral("ワークシートがありません"));
        if (activeTab >= 0 && size_t(activeTab) < sheets.size() &&
            sheets[size_t(activeTab)].modelIndex >= 0)
            ctx.book.activeSheet = sheets[size_t(activeTab)].modelIndex;
        resolveColors(ctx);
        finishNames(ctx);
        finishFormulas(ctx);
    } catch (const std::bad_alloc&) {
        xlsmsg::damaged(nameForMessages, QStringLiteral("大きすぎるデータがあります"));
    }
    return std::move(ctx.book);
}

namespace {

// A compound file holding an encrypted package: an .xlsx protected by a password.
bool isEncryptedPackage(const QByteArray& bytes) {
    if (!cfb::isCompoundFile(bytes)) return false;
    gsf_init();
    GsfInput* source = gsf_input_memory_new(reinterpret_cast<const guint8*>(bytes.constData()),
                                            gsf_off_t(bytes.size()), FALSE);
    GError* err = nullptr;
    GsfInfile* infile = gsf_infile_msole_new(source, &err);
    if (err) g_error_free(err);
    bool found = false;
    if (infile) {
        const int n = gsf_infile_num_children(infile);
        for (int i = 0; i < n && !found; ++i) {
            const char* child = gsf_infile_name_by_index(infile, i);
            found = child && g_ascii_strcasecmp(child, "EncryptedPackage") == 0;
        }
        g_object_unref(infile);
    }
    g_object_unref(source);
    return found;
}

} // namespace

Workbook loadAnyWorkbookBytes(const QByteArray& bytes, const QString& nameForMessages) {
    if (isXlsxBytes(bytes)) return loadXlsxBytes(bytes, nameForMessages);
    if (isEncryptedPackage(bytes)) xlsmsg::passwordProtected(nameForMessages);
    return loadWorkbookBytes(bytes, nameForMessages);
}

Workbook loadAnyWorkbookFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return loadWorkbookFile(path); // reports the cause
    const QByteArray head = file.peek(4);
    if (!xlsx::isZipArchive(head)) {
        file.close();
        const QByteArray bytes = file.open(QIODevice::ReadOnly) ? file.read(8) : QByteArray();
        file.close();
        if (bytes.startsWith("\xD0\xCF\x11\xE0")) {
            QFile whole(path);
            if (whole.open(QIODevice::ReadOnly)) {
                const QByteArray all = whole.readAll();
                if (isEncryptedPackage(all)) xlsmsg::passwordProtected(path);
            }
        }
        return loadWorkbookFile(path);
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        xlsmsg::cannotRead(path, QStringLiteral("読み込み中にエラーが発生しました"));
    return loadXlsxBytes(bytes, path);
}

} // namespace tovera
