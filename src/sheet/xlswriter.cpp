// The workbook globals, the shared string table, the compound file and the file itself.
#include "sheet/xlswriter.h"
#include "sheet/xlswriter_internal.h"

#include "platform/errors.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <gsf/gsf-outfile-msole.h>
#include <gsf/gsf-outfile.h>
#include <gsf/gsf-output-memory.h>
#include <gsf/gsf-output.h>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace tovera {
namespace xlswrite {
namespace {

void writeSst(Stream& out, const StringTable& sst) {
    const auto& entries = sst.entries();
    const int count = static_cast<int>(entries.size());
    const int dsst = std::max(8, count / 128 + 1);
    struct Bucket {
        uint32_t ib;
        uint16_t offset;
    };
    std::vector<Bucket> buckets;

    QByteArray cur;
    uint16_t curId = 0x00FC;
    qsizetype curStart = out.pos();
    auto flush = [&]() {
        out.record(curId, cur);
        cur.clear();
        curId = 0x003C;
        curStart = out.pos();
    };
    Body counts;
    counts.u32(sst.total()).u32(uint32_t(count));
    cur = counts.bytes();

    for (int i = 0; i < count; ++i) {
        const QString& text = entries[size_t(i)].text;
        const QList<TextRun>& runs = entries[size_t(i)].runs;
        const bool compressed = isCompressible(text);
        const int unit = compressed ? 1 : 2;
        const int header = 3 + (runs.isEmpty() ? 0 : 2);
        if (cur.size() + header + (text.isEmpty() ? 0 : unit) > kMaxRecordData) flush();
        if (i % dsst == 0)
            buckets.push_back({uint32_t(curStart + 4 + cur.size()), uint16_t(4 + cur.size())});
        Body h;
        h.u16(unsigned(text.size())).u8((compressed ? 0 : 1) | (runs.isEmpty() ? 0 : 8));
        if (!runs.isEmpty()) h.u16(unsigned(runs.size()));
        cur.append(h.bytes());
        int done = 0;
        while (done < text.size()) {
            int room = static_cast<int>(kMaxRecordData - cur.size()) / unit;
            if (room == 0) {
                flush();
                cur.append(char(compressed ? 0 : 1));
                room = static_cast<int>(kMaxRecordData - cur.size()) / unit;
            }
            const int n = std::min<int>(room, static_cast<int>(text.size()) - done);
            for (int k = 0; k < n; ++k) {
                const char16_t c = text[done + k].unicode();
                cur.append(char(c & 0xFF));
                if (!compressed) cur.append(char(c >> 8));
            }
            done += n;
        }
        for (const TextRun& r : runs) {
            if (cur.size() + 4 > kMaxRecordData) flush();
            cur.append(Body().u16(r.start).u16(r.font).bytes());
        }
    }
    flush();
    Body ext;
    ext.u16(unsigned(dsst));
    for (const Bucket& b : buckets) ext.u32(b.ib).u16(b.offset).u16(0);
    out.record(0x00FF, ext);
}

QByteArray fontRecord(const Font& f) {
    Body b;
    unsigned flags = 0;
    if (f.italic) flags |= 0x0002;
    if (f.strikeout) flags |= 0x0008;
    b.u16(f.height).u16(flags).u16(f.colorIndex).u16(f.weight).u16(f.script);
    b.u8(f.underline).u8(f.family).u8(f.charset).u8(0).str8(f.name);
    return b.bytes();
}

QByteArray xfRecord(const CellFormat& x, uint16_t font, uint16_t format, uint16_t parent) {
    Body b;
    b.u16(font).u16(format);
    unsigned prot = (x.locked ? 1 : 0) | (x.formulaHidden ? 2 : 0) | (x.isStyle ? 4 : 0);
    prot |= unsigned(x.isStyle ? 0xFFF : (parent & 0xFFF)) << 4;
    b.u16(prot);
    b.u8((unsigned(x.hAlign) & 7) | (x.wrap ? 8 : 0) | ((unsigned(x.vAlign) & 7) << 4));
    b.u8(x.rotation);
    b.u8((x.indent & 0x0F) | (x.shrinkToFit ? 0x10 : 0));
    // A cell XF carries the effective value of every group itself.
    b.u8(x.isStyle ? (x.usedGroups & 0xFC) : 0xFC);
    const uint32_t border1 =
        (x.left.style & 0xFu) | ((x.right.style & 0xFu) << 4) | ((x.top.style & 0xFu) << 8) |
        ((x.bottom.style & 0xFu) << 12) | ((x.left.colorIndex & 0x7Fu) << 16) |
        ((x.right.colorIndex & 0x7Fu) << 23) | (uint32_t(x.diagonalLines & 3u) << 30);
    const uint32_t border2 = (x.top.colorIndex & 0x7Fu) | ((x.bottom.colorIndex & 0x7Fu) << 7) |
                             ((x.diagonal.colorIndex & 0x7Fu) << 14) |
                             ((x.diagonal.style & 0xFu) << 21) |
                             (uint32_t(x.fillPattern & 0x3Fu) << 26);
    b.u32(border1).u32(border2);
    b.u16((x.fillForeground & 0x7F) | ((x.fillBackground & 0x7F) << 7));
    return b.bytes();
}

// Whether the model's XFs already have the standard layout (0-14 styles, 15 the default
// cell format, 16-20 styles) so that they can be written index for index.
bool standardLayout(const Workbook& book) {
    if (book.xfs.size() < 21) return false;
    for (size_t i = 0; i < 21; ++i)
        if (book.xfs[i].isStyle != (i != 15)) return false;
    return true;
}

} // namespace
} // namespace xlswrite

QByteArray workbookStream(const Workbook& source) {
    using namespace xlswrite;
    const Workbook* bookPtr = &source;
    Workbook fallback;
    if (source.sheets.empty()) { // a workbook has at least one sheet
        fallback = source;
        fallback.sheets.push_back(Workbook::createDefault().sheets.front());
        bookPtr = &fallback;
    }
    const Workbook& book = *bookPtr;
    const int sheetCount = static_cast<int>(book.sheets.size());

    // Fonts: at least the four standard ones.
    std::vector<Font> fonts = book.fonts;
    if (fonts.empty()) fonts = Workbook::createDefault().fonts;
    while (fonts.size() < 4) fonts.push_back(fonts.front());

    // XFs: the model's own when they have the standard layout, else the standard 21 first.
    Mapping map;
    map.fontCount = static_cast<int>(fonts.size());
    std::vector<CellFormat> prefix;
    if (!standardLayout(book)) prefix = Workbook::createDefault().xfs;
    const uint16_t offset = uint16_t(prefix.size());
    const size_t xfLimit = std::min<size_t>(book.xfs.size(), 4000 - offset);
    for (size_t i = 0; i < xfLimit; ++i) map.xf.push_back(uint16_t(i + offset));
    map.defaultXf = 15;

    // Number formats: the locale formats 5-8 and 41-44, and every code the model holds that
    // differs from the built-in one of its id (moved to a user id when below 164).
    std::map<uint16_t, QString> formats;
    std::map<uint16_t, uint16_t> formatMap;
    for (uint16_t id : {5, 6, 7, 8, 41, 42, 43, 44}) formats[id] = book.numberFormatCode(id);
    uint16_t nextId = 164;
    for (const auto& [id, code] : book.numberFormats)
        if (id >= 164) nextId = std::max<uint16_t>(nextId, uint16_t(id + 1));
    for (const auto& [id, code] : book.numberFormats) {
        if (id >= 164 || formats.count(id)) {
            formats[id] = code;
        } else if (code != Workbook::builtinFormatCode(id, book.japanese) && !code.isEmpty()) {
            formatMap[id] = nextId;
            formats[nextId++] = code;
        }
    }
    auto mapFormat = [&](uint16_t id) {
        auto it = formatMap.find(id);
        return it == formatMap.end() ? id : it->second;
    };

    // Names and external sheets before the sheets: their formulas are renumbered.
    const References refs = planReferences(book, map);

    // Sheets first: they fill the string table.
    StringTable sst;
    std::vector<QByteArray> sheets;
    const NotesPlan notes = planNotes(book);
    for (int i = 0; i < sheetCount; ++i)
        sheets.push_back(sheetStream(book, i, map, sst, notes.drawingOf[size_t(i)]));

    Stream g;
    g.record(0x0809, Body().u16(0x0600).u16(0x0005).u16(0x0DBB).u16(0x07CC).u32(0).u32(6));
    g.record(0x00E1, Body().u16(0x04B0));
    g.record(0x00C1, Body().u16(0));
    g.record(0x00E2, Body());
    Body access;
    access.str16(QStringLiteral("Tovera"));
    while (access.size() < 112) access.u8(0x20);
    g.record(0x005C, access);
    g.record(0x0042, Body().u16(1200));
    g.record(0x0161, Body().u16(0));
    Body tabs;
    for (int i = 0; i < std::min(sheetCount, 4000); ++i) tabs.u16(unsigned(i + 1));
    g.record(0x013D, tabs);
    g.record(0x009C, Body().u16(14));
    g.record(0x0019, Body().u16(book.protection.windows ? 1 : 0));
    g.record(0x0012, Body().u16(book.protection.on ? 1 : 0));
    g.record(0x0013, Body().u16(book.protection.passwordHash));
    g.record(0x01AF, Body().u16(0));
    g.record(0x01BC, Body().u16(0));
    const int active = std::clamp(book.activeSheet, 0, sheetCount - 1);
    g.record(0x003D, Body()
                         .u16(360)
                         .u16(270)
                         .u16(14940)
                         .u16(9150)
                         .u16(0x0038)
                         .u16(unsigned(active))
                         .u16(0)
                         .u16(1)
                         .u16(600));
    g.record(0x0040, Body().u16(0));
    g.record(0x008D, Body().u16(0));
    g.record(0x0022, Body().u16(book.dateSystem1904 ? 1 : 0));
    g.record(0x000E, Body().u16(1));
    g.record(0x01B7, Body().u16(0));
    g.record(0x00DA, Body().u16(0));
    for (const Font& f : fonts) g.record(0x0031, fontRecord(f));
    for (const auto& [id, code] : formats) g.record(0x041E, Body().u16(id).str16(code.left(255)));
    for (const CellFormat& x : prefix)
        g.record(0x00E0,
                 xfRecord(x, map.fontFileIndex(x.font, map.fontCount), x.numberFormat, x.parent));
    for (size_t i = 0; i < xfLimit; ++i) {
        const CellFormat& x = book.xfs[i];
        uint16_t parent = 0;
        if (!x.isStyle && x.parent < book.xfs.size() && book.xfs[x.parent].isStyle)
            parent = uint16_t(x.parent + offset);
        g.record(0x00E0, xfRecord(x, map.fontFileIndex(x.font, map.fontCount),
                                  mapFormat(x.numberFormat), parent));
    }
    g.record(0x0293, Body().u16(0x8000).u8(0).u8(0xFF));
    if (book.palette != Workbook::defaultPalette()) {
        Body pal;
        pal.u16(56);
        for (QRgb c : book.palette) pal.u8(qRed(c)).u8(qGreen(c)).u8(qBlue(c)).u8(0);
        g.record(0x0092, pal);
    }
    g.record(0x0160, Body().u16(1));
    std::vector<qsizetype> sheetOffsets;
    std::set<QString> usedNames;
    for (int i = 0; i < sheetCount; ++i) {
        const Sheet& s = book.sheets[size_t(i)];
        QString name = s.name.left(31);
        for (QChar& c : name)
            if (QStringLiteral(":\\/?*[]").contains(c)) c = QLatin1Char('_');
        if (name.isEmpty()) name = QStringLiteral("Sheet%1").arg(i + 1);
        for (int k = 2; usedNames.count(name.toCaseFolded()); ++k)
            name = s.name.left(25) + QStringLiteral("(%1)").arg(k);
        usedNames.insert(name.toCaseFolded());
        sheetOffsets.push_back(g.pos() + 4);
        g.record(0x0085, Body().u32(0).u8(unsigned(s.visibility) & 3).u8(0).str8(name));
    }
    g.record(0x008C, Body().u16(book.japanese ? 81 : 1).u16(book.japanese ? 81 : 1));

    writeReferences(g, sheetCount, refs);
    writeKept(g, book.keptDrawingGroup, true);
    if (!notes.drawingGroup.isEmpty()) g.record(0x00EB, notes.drawingGroup);
    writeSst(g, sst);
    writeKept(g, book.keptGlobals, true);
    g.record(0x000A, Body());

    QByteArray stream = g.data();
    for (int i = 0; i < sheetCount; ++i) {
        const uint32_t at = uint32_t(stream.size());
        for (int k = 0; k < 4; ++k)
            stream[sheetOffsets[size_t(i)] + k] = char((at >> (8 * k)) & 0xFF);
        stream.append(sheets[size_t(i)]);
    }
    if (stream.size() < 4096) stream.append(QByteArray(4096 - stream.size(), '\0'));
    return stream;
}

QStringList keptPartsDropped(const Workbook& book) {
    using namespace xlswrite;
    QStringList out;
    const NotesPlan notes = planNotes(book);
    for (size_t i = 0; i < book.sheets.size(); ++i)
        if (notes.drawingOf[i] > 0 && book.sheets[i].notes.size() > kMaxNotesPerSheet)
            out.append(QStringLiteral("シート「%1」のメモのうち %2 件は保存されません")
                           .arg(book.sheets[i].name)
                           .arg(book.sheets[i].notes.size() - kMaxNotesPerSheet));
    Mapping map;
    planReferences(book, map);
    if (referencesKeepNumbers(map)) return out;
    for (const Sheet& s : book.sheets) {
        bool lost = false;
        for (const auto* list : {&s.kept.beforeCells, &s.kept.afterCells, &s.kept.afterWindow})
            for (const KeptRecord& k : *list) lost = lost || keptRecordHasFormulas(k.id);
        if (lost)
            out.append(QStringLiteral("シート「%1」の入力規則と条件付き書式は、参照する名前や"
                                      "シートの番号が変わるため保存されません")
                           .arg(s.name));
    }
    return out;
}

QByteArray saveWorkbookBytes(const Workbook& book) {
    const QByteArray stream = workbookStream(book);
    GsfOutput* sink = gsf_output_memory_new();
    GsfOutfile* ole = gsf_outfile_msole_new(sink);
    bool ok = ole != nullptr;
    if (ok) {
        static const guint8 excelClsid[16] = {0x20, 0x08, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                              0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
        gsf_outfile_msole_set_class_id(GSF_OUTFILE_MSOLE(ole), excelClsid);
        GsfOutput* child = gsf_outfile_new_child(ole, "Workbook", FALSE);
        ok = child && gsf_output_write(child, size_t(stream.size()),
                                       reinterpret_cast<const guint8*>(stream.constData()));
        if (child) {
            ok = gsf_output_close(child) && ok;
            g_object_unref(child);
        }
        ok = gsf_output_close(GSF_OUTPUT(ole)) && ok;
        g_object_unref(ole);
    }
    QByteArray bytes;
    if (ok) {
        const guint8* data = gsf_output_memory_get_bytes(GSF_OUTPUT_MEMORY(sink));
        const gsf_off_t size = gsf_output_size(sink);
        if (data && size > 0)
            bytes = QByteArray(reinterpret_cast<const char*>(data), qsizetype(size));
    }
    if (!gsf_output_is_closed(sink)) gsf_output_close(sink);
    g_object_unref(sink);
    if (bytes.isEmpty())
        throw EOleException(
            QStringLiteral("ブックを書き出せません（複合ファイルを作成できません）"));
    return bytes;
}

namespace {

[[noreturn]] void cannotWrite(const QString& path, int err) {
    const bool missingFolder = err == ENOENT && !QFileInfo(QFileInfo(path).absolutePath()).isDir();
    throw EOleException(
        QStringLiteral("%1 に書き込めません（%2）").arg(path, ioErrorText(err, missingFolder)));
}

// Syncs the folder of `path`, so that the new name survives a power cut. A file system
// that cannot sync a folder (EINVAL) keeps its names by itself.
void syncFolderOf(const QString& path) {
    const QByteArray folder = QFile::encodeName(QFileInfo(path).absolutePath());
    const int dfd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd < 0) cannotWrite(path, errno);
    if (::fsync(dfd) != 0 && errno != EINVAL) {
        const int err = errno;
        ::close(dfd);
        cannotWrite(path, err);
    }
    ::close(dfd);
}

} // namespace

void saveWorkbookFile(const Workbook& book, const QString& path, int fileType) {
    if (fileType != kFileTypeExcel97)
        throw EOleException(
            QStringLiteral("%1 を保存できません（ファイルの種類 %2 には対応していません）")
                .arg(path)
                .arg(fileType));
    if (path.isEmpty()) cannotWrite(path, ENOENT);
    const QByteArray bytes = saveWorkbookBytes(book);

    const QByteArray target = QFile::encodeName(path);
    QByteArray temp = target + ".XXXXXX";
    const int fd = mkstemp(temp.data());
    if (fd < 0) cannotWrite(path, errno);
    struct stat st;
    mode_t mode = 0666;
    if (::stat(target.constData(), &st) == 0) {
        mode = st.st_mode & 07777;
    } else {
        const mode_t mask = umask(0);
        umask(mask);
        mode &= ~mask;
    }
    auto fail = [&](int err) {
        ::close(fd);
        ::unlink(temp.constData());
        cannotWrite(path, err);
    };
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) fail(n < 0 ? errno : EIO);
        done += n;
    }
    // The new file is whole on the disk before it takes the old one's name.
    if (::fchmod(fd, mode) != 0 || ::fsync(fd) != 0) fail(errno);
    if (::close(fd) != 0) {
        const int err = errno;
        ::unlink(temp.constData());
        cannotWrite(path, err);
    }
    if (::rename(temp.constData(), target.constData()) != 0) {
        const int err = errno;
        ::unlink(temp.constData());
        cannotWrite(path, err);
    }
    syncFolderOf(path);
}

} // namespace tovera
