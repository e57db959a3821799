#include "sheet/xlsreader.h"
#include "sheet/sheetobjects.h"

#include "sheet/biff.h"
#include "sheet/cfb.h"
#include "sheet/crypto.h"
#include "sheet/xlsreader_internal.h"
#include "sheet/xlsreader_messages.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <map>
#include <set>

namespace tovera {

using biff::Cursor;
using biff::Record;
using biff::RecordReader;

namespace xlsread {

QString byteString8(Context& ctx, Cursor& c) {
    const uint8_t n = c.u8();
    return ctx.decoder.decode(c.bytes(n));
}

QString byteString16(Context& ctx, Cursor& c) {
    const uint16_t n = c.u16();
    return ctx.decoder.decode(c.bytes(n));
}

void reportDamage(Context& ctx, const QString& cause) {
    if (!ctx.salvageNotes) xlsmsg::damaged(ctx.name, cause);
    const QString text = xlsmsg::damagedText(ctx.name, cause);
    if (!ctx.salvageNotes->contains(text)) ctx.salvageNotes->append(text);
}

namespace {

void readFont(Context& ctx, const Record& r) {
    Cursor c = r.cursor();
    Font f;
    f.height = c.u16();
    const uint16_t flags = c.u16();
    f.italic = flags & 0x02;
    f.strikeout = flags & 0x08;
    if (ctx.biff >= 5) {
        f.colorIndex = c.u16();
        f.weight = c.u16();
        f.script = uint8_t(c.u16());
        f.underline = c.u8();
        f.family = c.u8();
        f.charset = c.u8();
        c.u8();
        f.name = ctx.biff == 8 ? c.string8() : byteString8(ctx, c);
    } else {
        f.weight = (flags & 0x01) ? 700 : 400;
        f.underline = (flags & 0x04) ? 1 : 0;
        if (ctx.biff >= 3) f.colorIndex = c.u16();
        f.name = byteString8(ctx, c);
    }
    if (f.charset == 128) ctx.countryJapan = true;
    if (f.charset == 129 || f.charset == 130 || f.charset == 134 || f.charset == 136)
        ctx.otherEastAsian = true;
    ctx.biff2FontColorTarget = int(ctx.book.fonts.size());
    ctx.book.fonts.push_back(f);
}

void readFormat(Context& ctx, const Record& r) {
    Cursor c = r.cursor();
    int id;
    QString code;
    if (ctx.biff >= 5) {
        id = c.u16();
        code = ctx.biff == 8 ? c.string16() : byteString8(ctx, c);
    } else {
        id = ctx.formatCount;
        if (ctx.biff == 4) c.u16();
        code = byteString8(ctx, c);
    }
    ++ctx.formatCount;
    ctx.book.numberFormats[uint16_t(id)] = code;
}

Border border(uint32_t style, uint32_t color) {
    Border b;
    b.style = uint8_t(style);
    b.colorIndex = uint16_t(color);
    return b;
}

// The first fields of a BIFF5/8 XF: font, number format, protection and parent, and the
// alignment byte.
void readXfStart(CellFormat& x, Cursor& c) {
    x.font = fontIndex(c.u16());
    x.numberFormat = c.u16();
    const uint16_t prot = c.u16();
    x.locked = prot & 1;
    x.formulaHidden = prot & 2;
    x.isStyle = prot & 4;
    x.parent = uint16_t(prot >> 4);
    const uint8_t align = c.u8();
    x.hAlign = HAlign(align & 7);
    x.wrap = align & 8;
    x.vAlign = VAlign(std::min((align >> 4) & 7, 4));
}

void readXf8(CellFormat& x, Cursor& c) {
    readXfStart(x, c);
    x.rotation = c.u8();
    const uint8_t indent = c.u8();
    x.indent = indent & 0x0F;
    x.shrinkToFit = indent & 0x10;
    x.usedGroups = c.u8() & 0xFC;
    const uint32_t b1 = c.u32(), b2 = c.u32();
    const uint16_t fill = c.u16();
    x.left = border(b1 & 0xF, (b1 >> 16) & 0x7F);
    x.right = border((b1 >> 4) & 0xF, (b1 >> 23) & 0x7F);
    x.top = border((b1 >> 8) & 0xF, b2 & 0x7F);
    x.bottom = border((b1 >> 12) & 0xF, (b2 >> 7) & 0x7F);
    x.diagonalLines = uint8_t(b1 >> 30);
    x.diagonal = border((b2 >> 21) & 0xF, (b2 >> 14) & 0x7F);
    x.fillPattern = uint8_t(b2 >> 26);
    x.fillForeground = fill & 0x7F;
    x.fillBackground = (fill >> 7) & 0x7F;
}

void readXf5(CellFormat& x, Cursor& c) {
    readXfStart(x, c);
    const uint8_t orient = c.u8();
    static const uint8_t rot[4] = {0, 255, 90, 180};
    x.rotation = rot[orient & 3];
    x.usedGroups = orient & 0xFC;
    const uint32_t a = c.u32(), b = c.u32();
    x.fillForeground = a & 0x7F;
    x.fillBackground = (a >> 7) & 0x7F;
    x.fillPattern = (a >> 16) & 0x3F;
    x.bottom = border((a >> 22) & 7, (a >> 25) & 0x7F);
    x.top = border(b & 7, (b >> 9) & 0x7F);
    x.left = border((b >> 3) & 7, (b >> 16) & 0x7F);
    x.right = border((b >> 6) & 7, (b >> 23) & 0x7F);
}

// BIFF3/4 colour indices have 5 bits; 24 and 25 are the system colours.
uint16_t colour34(uint32_t v) {
    return v == 24 ? 64 : v == 25 ? 65 : uint16_t(v);
}

void readXf34(Context& ctx, CellFormat& x, Cursor& c) {
    x.font = fontIndex(c.u8());
    x.numberFormat = c.u8();
    if (ctx.biff == 3) {
        const uint8_t prot = c.u8();
        x.locked = prot & 1;
        x.formulaHidden = prot & 2;
        x.isStyle = prot & 4;
        x.usedGroups = c.u8() & 0xFC;
        const uint16_t align = c.u16();
        x.hAlign = HAlign(align & 7);
        x.wrap = align & 8;
        x.parent = uint16_t(align >> 4);
    } else {
        const uint16_t prot = c.u16();
        x.locked = prot & 1;
        x.formulaHidden = prot & 2;
        x.isStyle = prot & 4;
        x.parent = uint16_t(prot >> 4);
        const uint8_t align = c.u8();
        x.hAlign = HAlign(align & 7);
        x.wrap = align & 8;
        x.vAlign = VAlign(std::min((align >> 4) & 3, 4));
        x.usedGroups = c.u8() & 0xFC;
    }
    const uint16_t fill = c.u16();
    x.fillPattern = fill & 0x3F;
    x.fillForeground = colour34((fill >> 6) & 0x1F);
    x.fillBackground = colour34((fill >> 11) & 0x1F);
    const uint32_t b = c.u32();
    x.top = border(b & 7, colour34((b >> 3) & 0x1F));
    x.left = border((b >> 8) & 7, colour34((b >> 11) & 0x1F));
    x.bottom = border((b >> 16) & 7, colour34((b >> 19) & 0x1F));
    x.right = border((b >> 24) & 7, colour34((b >> 27) & 0x1F));
}

void readXf(Context& ctx, const Record& r) {
    Cursor c = r.cursor();
    CellFormat x;
    if (ctx.biff == 8)
        readXf8(x, c);
    else if (ctx.biff >= 5)
        readXf5(x, c);
    else if (ctx.biff >= 3)
        readXf34(ctx, x, c);
    else {
        x.font = fontIndex(c.u8());
        c.u8();
        const uint8_t f = c.u8();
        x.numberFormat = f & 0x3F;
        x.locked = f & 0x40;
        x.formulaHidden = f & 0x80;
        const uint8_t a = c.u8();
        x.hAlign = HAlign(a & 7);
        x.left.style = (a & 0x08) ? 1 : 0;
        x.right.style = (a & 0x10) ? 1 : 0;
        x.top.style = (a & 0x20) ? 1 : 0;
        x.bottom.style = (a & 0x40) ? 1 : 0;
        if (a & 0x80) x.fillPattern = 17;
    }
    ctx.book.xfs.push_back(x);
}

void readPalette(Context& ctx, const Record& r) {
    Cursor c = r.cursor();
    const uint16_t n = c.u16();
    for (int k = 0; k < n && k < 56 && c.remaining() >= 4; ++k) {
        const uint8_t red = c.u8(), green = c.u8(), blue = c.u8();
        c.u8();
        ctx.book.palette[size_t(k)] = qRgb(red, green, blue);
    }
}

void readBoundSheet(Context& ctx, const Record& r) {
    Cursor c = r.cursor();
    BoundSheet b;
    b.offset = c.u32();
    b.visibility = c.u8() & 3;
    b.type = c.u8();
    b.name = ctx.biff == 8 ? c.string8() : byteString8(ctx, c);
    if (!c.ok() && b.name.isEmpty()) return;
    ctx.boundSheets.push_back(b);
}

// Reads SST plus its CONTINUE records; the strings go on while data remains.
void readSst(Context& ctx, const Record& first, RecordReader& reader) {
    std::vector<biff::Segment> segs{{first.data, first.size}};
    while (reader.peekId() == biff::kContinue) {
        Record r;
        if (!reader.next(r)) break;
        segs.push_back({r.data, r.size});
    }
    Cursor c(std::move(segs));
    c.u32();
    const uint32_t unique = c.u32();
    ctx.sst.reserve(std::min<size_t>(unique, c.remaining() / 3 + 1));
    while (c.ok() && c.remaining() >= 3) {
        const uint16_t count = c.u16();
        const uint8_t flags = c.u8();
        const uint16_t runCount = (flags & 0x08) ? c.u16() : 0;
        const uint32_t extSize = (flags & 0x04) ? c.u32() : 0;
        RichString s;
        s.text = c.chars8(count, flags);
        for (int k = 0; k < runCount && c.ok(); ++k) {
            TextRun run;
            run.start = c.u16();
            run.font = fontIndex(c.u16());
            if (c.ok() && run.start < s.text.size()) s.runs.append(run);
        }
        c.skip(extSize);
        if (!c.ok() && s.text.isEmpty()) break;
        ctx.sst.push_back(std::move(s));
    }
}

} // namespace

bool handleGlobalsRecord(Context& ctx, const Record& r) {
    switch (r.id) {
    case 0x0031:
    case 0x0231:
        readFont(ctx, r);
        return true;
    case 0x0045: { // BIFF2 FONTCOLOR of the font just read
        Cursor c = r.cursor();
        const uint16_t icv = c.u16();
        if (ctx.biff2FontColorTarget >= 0 &&
            size_t(ctx.biff2FontColorTarget) < ctx.book.fonts.size())
            ctx.book.fonts[size_t(ctx.biff2FontColorTarget)].colorIndex = icv;
        return true;
    }
    case 0x041E:
    case 0x001E:
        readFormat(ctx, r);
        return true;
    case 0x00E0:
    case 0x0243:
    case 0x0443:
    case 0x0043:
        readXf(ctx, r);
        return true;
    case 0x0092:
        readPalette(ctx, r);
        return true;
    case 0x0022:
        ctx.book.dateSystem1904 = r.cursor().u16() == 1;
        return true;
    case 0x0042: {
        const uint16_t cp = r.cursor().u16();
        ctx.book.codepage = cp;
        ctx.sawCodepage = true;
        if (ctx.biff < 8) ctx.decoder.setCodepage(cp);
        return true;
    }
    case 0x008C: {
        Cursor c = r.cursor();
        const uint16_t ui = c.u16(), sys = c.u16();
        if (ui == 81 || sys == 81) ctx.countryJapan = true;
        for (uint16_t country : {ui, sys})
            if (country == 82 || country == 86 || country == 88 || country == 886)
                ctx.otherEastAsian = true;
        return true;
    }
    case 0x003D: {
        Cursor c = r.cursor();
        c.skip(10);
        const uint16_t active = c.u16();
        if (c.ok()) ctx.book.activeSheet = active;
        return true;
    }
    case 0x0012:
        ctx.book.protection.on = r.cursor().u16() != 0;
        return true;
    case 0x0019:
        ctx.book.protection.windows = r.cursor().u16() != 0;
        return true;
    case 0x0013:
        ctx.book.protection.passwordHash = r.cursor().u16();
        return true;
    case 0x0018:
    case 0x0218:
        readName(ctx, r);
        return true;
    case 0x0017:
        readExternSheet(ctx, r);
        return true;
    case 0x01AE:
        readSupBook(ctx, r);
        return true;
    case 0x0023:
        readExternName(ctx, r);
        return true;
    default:
        return false;
    }
}

namespace {

// Globals records kept as read: they refer to nothing the writer renumbers.
bool keptGlobalRecord(uint16_t id) {
    switch (id) {
    case 0x01C1: // RECALCID
    case 0x0863: // BOOKEXT
    case 0x0896: // THEME
    case 0x088C: // COMPAT12
    case 0x089A: // MTRSETTINGS
    case 0x08A3: // FORCEFULLCALCULATION
        return true;
    default:
        return false;
    }
}

int versionOfBof(const Record& r, cfb::StreamKind kind) {
    Cursor c = r.cursor();
    const uint16_t vers = c.u16();
    switch (r.id) {
    case biff::kBof2:
        return 2;
    case biff::kBof3:
        return 3;
    case biff::kBof4:
        return 4;
    default:
        break;
    }
    if (vers == 0x0600) return 8;
    if (vers == 0x0500) return 5;
    if (vers == 0x0400) return 4;
    if (vers == 0x0300) return 3;
    if (vers == 0x0200 || vers == 0x0007) return 2;
    return kind == cfb::StreamKind::Book ? 5 : 8;
}

// Offsets of the top-level substreams (BOF headers) after `start`, nested ones skipped.
std::vector<size_t> substreamOffsets(const QByteArray& stream, size_t start) {
    std::vector<size_t> out;
    RecordReader reader(stream, start);
    Record r;
    int depth = 0;
    while (reader.next(r)) {
        const bool bof = r.id == biff::kBof8 || r.id == biff::kBof4 || r.id == biff::kBof3 ||
                         r.id == biff::kBof2;
        if (bof) {
            if (depth == 0) out.push_back(r.offset);
            ++depth;
        } else if (r.id == biff::kEof && depth > 0) {
            --depth;
        }
    }
    return out;
}

bool bofAt(const QByteArray& stream, size_t offset) {
    RecordReader reader(stream, offset);
    Record r;
    return reader.next(r) && r.id == biff::kBof8 && r.size >= 4 && offset > 0;
}

void finishBook(Context& ctx) {
    Workbook& b = ctx.book;
    b.biffVersion = ctx.biff;
    if (ctx.biff < 8 && !ctx.sawCodepage) b.codepage = ctx.decoder.codepage();
    // The program shows sheets the Japanese way unless the workbook comes from a Chinese or
    // Korean setting, where the locale-dependent built-in formats mean something else.
    const bool otherCodepage =
        b.codepage == 936 || b.codepage == 949 || b.codepage == 950 || b.codepage == 1361;
    b.japanese = ctx.countryJapan || !(ctx.otherEastAsian || otherCodepage);
    if (b.fonts.empty()) b.fonts.push_back(Font());
    if (b.xfs.empty()) {
        CellFormat x;
        b.xfs.push_back(x);
    }
    // Indices out of range fall back to the first font and format.
    for (CellFormat& x : b.xfs)
        if (x.font >= b.fonts.size()) x.font = 0;
    for (Sheet& s : b.sheets)
        for (Row& row : s.rows)
            for (Cell& cell : row.cells) {
                if (cell.xf >= b.xfs.size()) cell.xf = 0;
                for (TextRun& run : cell.runs)
                    if (run.font >= b.fonts.size()) run.font = 0;
            }
    if (b.sheets.empty()) {
        Sheet s;
        s.name = QStringLiteral("Sheet1");
        b.sheets.push_back(std::move(s));
    }
    if (b.activeSheet < 0 || size_t(b.activeSheet) >= b.sheets.size()) b.activeSheet = 0;
    readSheetObjects(b);
}

void readBiff58(Context& ctx, cfb::StreamKind kind) {
    ctx.stream->detach(); // decryption writes into this buffer only
    const QByteArray& stream = *ctx.stream;
    RecordReader reader(stream);
    Record r;
    if (!reader.next(r) || r.id != biff::kBof8) xlsmsg::notWorkbook(ctx.name);
    ctx.biff = versionOfBof(r, kind);
    if (ctx.biff < 5) xlsmsg::unsupported(ctx.name, QStringLiteral("複合ファイル内の古い形式"));
    ctx.decoder.setCodepage(ctx.biff == 8 ? 1252 : 932);
    Cursor bof = r.cursor();
    bof.u16();
    if (bof.u16() != 0x0005) xlsmsg::notWorkbook(ctx.name);

    bool encryptedChecked = false;
    bool sawEof = false;
    std::vector<KeptRecord>* keptTo = nullptr; // where a CONTINUE of the last record goes
    while (reader.next(r)) {
        if (ctx.biff == 8) {
            std::vector<KeptRecord>* place = r.id == biff::kContinue  ? keptTo
                                             : r.id == 0x00EB         ? &ctx.book.keptDrawingGroup
                                             : keptGlobalRecord(r.id) ? &ctx.book.keptGlobals
                                                                      : nullptr;
            keptTo = place;
            if (place) {
                place->push_back(
                    {r.id, QByteArray(reinterpret_cast<const char*>(r.data), qsizetype(r.size))});
                continue;
            }
        }
        if (r.id == biff::kFilePass && !encryptedChecked) {
            encryptedChecked = true;
            const QByteArray filePass(reinterpret_cast<const char*>(r.data), qsizetype(r.size));
            switch (crypto::decryptStream(*ctx.stream, filePass, ctx.biff)) {
            case crypto::Outcome::Decrypted:
                break;
            case crypto::Outcome::WrongPassword:
                xlsmsg::passwordProtected(ctx.name);
            case crypto::Outcome::Unsupported:
                xlsmsg::unsupportedEncryption(ctx.name);
            }
            continue;
        }
        if (r.id == biff::kEof) {
            sawEof = true;
            break;
        }
        if (r.id == 0x00FC && ctx.biff == 8) {
            readSst(ctx, r, reader);
            continue;
        }
        if (r.id == 0x0085) {
            readBoundSheet(ctx, r);
            continue;
        }
        handleGlobalsRecord(ctx, r);
    }
    if (!sawEof) reportDamage(ctx, QStringLiteral("ブック全体の情報が途中で切れています"));

    // Sheets at their recorded offsets, or in stream order when an offset is wrong.
    const std::vector<size_t> order = substreamOffsets(stream, reader.position());
    std::map<size_t, size_t> orderIndex;
    for (size_t k = 0; k < order.size(); ++k) orderIndex[order[k]] = k;
    std::set<size_t> done; // each substream is read once, however many entries name it
    size_t nextSequential = 0;
    int worksheetCount = 0;
    for (BoundSheet& bs : ctx.boundSheets) {
        size_t offset = bs.offset;
        if (offset + 4 > size_t(stream.size()))
            reportDamage(
                ctx, QStringLiteral("シート「%1」の位置がストリームの外にあります").arg(bs.name));
        if (!bofAt(stream, offset)) {
            if (nextSequential >= order.size()) continue;
            offset = order[nextSequential];
        }
        auto at = orderIndex.find(offset);
        if (at != orderIndex.end()) nextSequential = at->second + 1;
        if (!done.insert(offset).second) continue;
        if (bs.type != 0) continue;
        Cursor c(reinterpret_cast<const uint8_t*>(stream.constData()) + offset + 4, 4);
        c.u16();
        const uint16_t dt = c.u16();
        if (dt != 0x0010) continue; // a chart or macro sheet
        Sheet sheet;
        sheet.name = bs.name;
        sheet.visibility = bs.visibility;
        readSheet(ctx, offset, sheet);
        bs.modelIndex = worksheetCount++;
        ctx.book.sheets.push_back(std::move(sheet));
    }
    finishReferences(ctx);
    // The active tab counted over all sheets; map it onto the worksheets read.
    const int active = ctx.book.activeSheet;
    ctx.book.activeSheet = 0;
    if (active >= 0 && size_t(active) < ctx.boundSheets.size() &&
        ctx.boundSheets[size_t(active)].modelIndex >= 0)
        ctx.book.activeSheet = ctx.boundSheets[size_t(active)].modelIndex;
}

void readBare(Context& ctx) {
    const QByteArray& stream = *ctx.stream;
    RecordReader reader(stream);
    Record r;
    if (!reader.next(r)) xlsmsg::notWorkbook(ctx.name);
    ctx.biff = versionOfBof(r, cfb::StreamKind::Bare);
    if (ctx.biff >= 5) xlsmsg::notWorkbook(ctx.name);
    Cursor bof = r.cursor();
    bof.u16();
    const uint16_t dt = bof.u16();
    if (dt == 0x0100) {
        // A BIFF4 workbook: globals, then one worksheet substream per sheet.
        QString pendingName;
        size_t announced = 0; // BUNDLESHEET records: the sheets the workbook holds
        bool sawEof = false;
        while (reader.next(r)) {
            if (r.id == biff::kEof) {
                sawEof = true;
                break;
            }
            if (r.id == 0x008F) {
                Cursor c = r.cursor();
                c.u32();
                pendingName = byteString8(ctx, c);
                ++announced;
                continue;
            }
            handleGlobalsRecord(ctx, r);
        }
        if (!sawEof) reportDamage(ctx, QStringLiteral("ブック全体の情報が途中で切れています"));
        const std::vector<size_t> offsets = substreamOffsets(stream, reader.position());
        if (offsets.size() < announced)
            reportDamage(ctx, QStringLiteral("%1 枚のシートのうち %2 枚しかありません")
                                  .arg(announced)
                                  .arg(offsets.size()));
        for (size_t offset : offsets) {
            Sheet sheet;
            sheet.name = QStringLiteral("Sheet%1").arg(ctx.book.sheets.size() + 1);
            readSheet(ctx, offset, sheet);
            ctx.book.sheets.push_back(std::move(sheet));
        }
        return;
    }
    if (dt != 0x0010) xlsmsg::unsupported(ctx.name, QStringLiteral("ワークシート以外のシート"));
    Sheet sheet;
    sheet.name = QStringLiteral("Sheet1");
    readSheet(ctx, 0, sheet);
    ctx.book.sheets.push_back(std::move(sheet));
}

} // namespace
} // namespace xlsread

namespace {

Workbook readBytes(const QByteArray& bytes, const QString& nameForMessages,
                   QStringList* salvageNotes) {
    cfb::WorkbookStream ws = cfb::extractWorkbookStream(bytes, nameForMessages);
    xlsread::Context ctx;
    ctx.name = nameForMessages;
    ctx.salvageNotes = salvageNotes;
    ctx.stream = &ws.data;
    // Every real cell takes at least two bytes of the stream; no legitimate workbook has
    // more cells than that, and hostile counts cannot exhaust memory.
    ctx.cellBudget = std::min<size_t>(size_t(ws.data.size()) / 2 + 1024, 4u << 20);
    try {
        if (ws.kind == cfb::StreamKind::Bare)
            xlsread::readBare(ctx);
        else
            xlsread::readBiff58(ctx, ws.kind);
    } catch (const std::bad_alloc&) {
        xlsmsg::damaged(nameForMessages, QStringLiteral("大きすぎるデータがあります"));
    }
    xlsread::finishBook(ctx);
    return std::move(ctx.book);
}

QByteArray readWholeFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        const bool missingFolder = !QFileInfo(path).absoluteDir().exists();
        int code =
            file.error() == QFileDevice::OpenError && !QFileInfo::exists(path) ? ENOENT : EACCES;
        xlsmsg::cannotRead(path, ioErrorText(code, missingFolder && code == ENOENT));
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) xlsmsg::cannotRead(path, ioErrorText(EIO));
    return bytes;
}

} // namespace

Workbook loadWorkbookBytes(const QByteArray& bytes, const QString& nameForMessages) {
    return readBytes(bytes, nameForMessages, nullptr);
}

Workbook loadWorkbookFile(const QString& path) {
    return readBytes(readWholeFile(path), path, nullptr);
}

Workbook salvageWorkbookFile(const QString& path, QStringList& notes) {
    return readBytes(readWholeFile(path), path, &notes);
}

} // namespace tovera
