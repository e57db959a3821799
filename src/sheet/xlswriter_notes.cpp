// Notes that no kept record carries (read from an .xlsx or an Excel 2-95 file) written the
// way Excel 97 stores them: a drawing group naming one drawing per sheet with notes; on the
// sheet a drawing with a group shape and one hidden text box per note, each followed by its
// object and its text, then the NOTE records tying cells to the objects.

#include "sheet/xlswriter_internal.h"

#include <algorithm>

namespace tovera::xlswrite {

namespace {

constexpr int kMaxNoteText = 32767;

QByteArray art(unsigned version, unsigned instance, unsigned type, const QByteArray& body) {
    return Body()
        .u16((version & 0xF) | (instance << 4))
        .u16(type)
        .u32(uint32_t(body.size()))
        .raw(body)
        .bytes();
}

// Whether the notes of `sheet` are already among its kept records.
bool notesKept(const Sheet& sheet) {
    for (const auto* list :
         {&sheet.kept.beforeCells, &sheet.kept.afterCells, &sheet.kept.afterWindow})
        for (const KeptRecord& k : *list)
            if (k.id == 0x001C || k.id == 0x00EC) return true;
    return false;
}

// The text box of note `i` (shape id `spid`) up to its client data; the client text box
// that ends the shape follows the object in a drawing record of its own.
QByteArray noteShape(const CellNote& note, uint32_t spid) {
    Body props;
    const std::pair<unsigned, uint32_t> list[] = {
        {0x0080, 0},          // text id
        {0x0181, 0x08000050}, // fill: the system's tooltip background
        {0x0183, 0x08000050},
        {0x01BF, 0x00100010},                           // filled
        {0x023F, 0x00030003},                           // shadow
        {0x03BF, note.shown ? 0x00020000 : 0x00020002}, // hidden unless always shown
    };
    for (const auto& [id, value] : list) props.u16(id).u32(value);
    const int column = std::clamp(note.column, 0, 255);
    const int row = std::clamp(note.row, 0, 65535);
    Body anchor;
    anchor.u16(3)
        .u16(std::min(column + 1, 255))
        .u16(15)
        .u16(std::max(row - 1, 0))
        .u16(10)
        .u16(std::min(column + 3, 255))
        .u16(15)
        .u16(std::min(row + 4, 65535))
        .u16(4);
    const QByteArray inside = art(2, 202, 0xF00A, Body().u32(spid).u32(0x0A00).bytes()) +
                              art(3, std::size(list), 0xF00B, props.bytes()) +
                              art(0, 0, 0xF010, anchor.bytes()) + art(0, 0, 0xF011, {});
    const QByteArray textBox = art(0, 0, 0xF00D, {});
    // The container's length counts the client text box written after the object.
    return Body()
        .u16(0x000F)
        .u16(0xF004)
        .u32(uint32_t(inside.size() + textBox.size()))
        .raw(inside)
        .bytes();
}

} // namespace

NotesPlan planNotes(const Workbook& book) {
    NotesPlan plan;
    plan.drawingOf.assign(book.sheets.size(), 0);
    if (!book.keptDrawingGroup.empty()) return plan;
    Body clusters;
    uint32_t shapes = 0;
    int drawings = 0;
    for (size_t i = 0; i < book.sheets.size() && drawings < 1000; ++i) {
        const Sheet& s = book.sheets[i];
        if (s.notes.empty() || notesKept(s)) continue;
        plan.drawingOf[i] = ++drawings;
        const uint32_t count = uint32_t(std::min(s.notes.size(), kMaxNotesPerSheet)) + 1;
        clusters.u32(uint32_t(drawings)).u32(count + 1);
        shapes += count;
    }
    if (drawings == 0) return plan;
    Body dgg;
    dgg.u32(uint32_t(drawings + 1) * 1024)
        .u32(uint32_t(drawings + 1))
        .u32(shapes)
        .u32(uint32_t(drawings));
    dgg.raw(clusters.bytes());
    plan.drawingGroup = art(0xF, 0, 0xF000, art(0, 0, 0xF006, dgg.bytes()));
    return plan;
}

void writeNotes(Stream& out, const Sheet& sheet, int drawing) {
    if (drawing <= 0) return;
    const size_t count = std::min(sheet.notes.size(), kMaxNotesPerSheet);
    const uint32_t base = uint32_t(drawing) * 1024;
    std::vector<QByteArray> shapes;
    for (size_t i = 0; i < count; ++i)
        shapes.push_back(noteShape(sheet.notes[i], base + 1 + uint32_t(i)));
    const QByteArray group = art(0xF, 0, 0xF004,
                                 art(1, 0, 0xF009, QByteArray(16, '\0')) +
                                     art(2, 0, 0xF00A, Body().u32(base).u32(0x0005).bytes()));
    uint32_t treeSize = uint32_t(group.size());
    for (const QByteArray& s : shapes) treeSize += uint32_t(s.size()) + 8;
    const QByteArray fdg = art(0, unsigned(drawing), 0xF008,
                               Body().u32(uint32_t(count + 1)).u32(base + uint32_t(count)).bytes());
    const uint32_t dgSize = uint32_t(fdg.size()) + 8 + treeSize;

    for (size_t i = 0; i < count; ++i) {
        const CellNote& note = sheet.notes[i];
        QByteArray drawingData;
        if (i == 0)
            drawingData = Body()
                              .u16(0x000F)
                              .u16(0xF002)
                              .u32(dgSize)
                              .raw(fdg)
                              .u16(0x000F)
                              .u16(0xF003)
                              .u32(treeSize)
                              .raw(group)
                              .bytes();
        drawingData += shapes[i];
        out.record(0x00EC, drawingData);
        Body obj;
        obj.u16(0x0015).u16(0x0012).u16(0x0019).u16(unsigned(i + 1)).u16(0x4011);
        obj.raw(QByteArray(12, '\0'));
        obj.u16(0x000D).u16(0x0016).raw(QByteArray(22, '\0'));
        obj.u16(0).u16(0);
        out.record(0x005D, obj);
        out.record(0x00EC, art(0, 0, 0xF00D, {}));

        const QString text = note.text.left(kMaxNoteText);
        const bool compressed = isCompressible(text);
        Body txo;
        txo.u16(0x0212).u16(0).raw(QByteArray(6, '\0'));
        txo.u16(unsigned(text.size())).u16(text.isEmpty() ? 0 : 16).u16(0).u16(0);
        out.record(0x01B6, txo);
        if (text.isEmpty()) continue;
        const int perRecord = (kMaxRecordData - 1) / (compressed ? 1 : 2);
        for (int at = 0; at < text.size(); at += perRecord) {
            Body piece;
            piece.u8(compressed ? 0 : 1);
            for (const QChar c : QStringView(text).mid(at, perRecord)) {
                piece.u8(c.unicode() & 0xFF);
                if (!compressed) piece.u8(c.unicode() >> 8);
            }
            out.record(0x003C, piece);
        }
        out.record(0x003C, Body().u16(0).u16(0).u32(0).u16(unsigned(text.size())).u16(0).u32(0));
    }
    for (size_t i = 0; i < count; ++i) {
        const CellNote& note = sheet.notes[i];
        Body b;
        b.u16(unsigned(std::clamp(note.row, 0, 65535)))
            .u16(unsigned(std::clamp(note.column, 0, 255)))
            .u16(note.shown ? 2 : 0)
            .u16(unsigned(i + 1))
            .str16(note.author.left(54))
            .u8(0);
        out.record(0x001C, b);
    }
}

} // namespace tovera::xlswrite
