#pragma once
// Workbooks holding a bitmap picture the way spreadsheet programs store one: the picture
// store in the drawing group (one entry with its blip) and, on the sheet, a drawing with a
// group shape and a picture shape anchored to cells, followed by the picture's object.

#include "sheet/workbook.h"

#include <QBuffer>
#include <QImage>

namespace tovera::testing {

// One drawing record: version and instance, type, length, data.
inline QByteArray artRecord(unsigned version, unsigned instance, unsigned type,
                            const QByteArray& body) {
    QByteArray out;
    const unsigned verInst = (version & 0xF) | (instance << 4);
    for (unsigned v : {verInst, type}) out.append(char(v & 0xFF)).append(char((v >> 8) & 0xFF));
    const uint32_t n = uint32_t(body.size());
    for (int k = 0; k < 4; ++k) out.append(char((n >> (8 * k)) & 0xFF));
    return out + body;
}

inline QByteArray le(std::initializer_list<unsigned> words16) {
    QByteArray out;
    for (unsigned v : words16) out.append(char(v & 0xFF)).append(char((v >> 8) & 0xFF));
    return out;
}

inline QByteArray le32(uint32_t v) {
    return le({v & 0xFFFF, v >> 16});
}

enum class BlipKind { Png, Jpeg, Dib };

// The bytes a blip of `kind` holds for `image` (a DIB without the file header).
inline QByteArray blipBytes(const QImage& image, BlipKind kind) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer,
               kind == BlipKind::Png    ? "PNG"
               : kind == BlipKind::Jpeg ? "JPEG"
                                        : "BMP",
               95);
    return kind == BlipKind::Dib ? bytes.mid(14) : bytes;
}

// The drawing group with one picture-store entry holding `data` as a blip of `kind`.
inline QByteArray drawingGroupWith(const QByteArray& data, BlipKind kind) {
    const unsigned type = kind == BlipKind::Png ? 0xF01E : kind == BlipKind::Jpeg ? 0xF01D : 0xF01F;
    const unsigned instance = kind == BlipKind::Png    ? 0x6E0
                              : kind == BlipKind::Jpeg ? 0x46A
                                                       : 0x7A8;
    const unsigned bt = kind == BlipKind::Png ? 6 : kind == BlipKind::Jpeg ? 5 : 7;
    const QByteArray blip = artRecord(0, instance, type, QByteArray(16, '\x11') + '\xFF' + data);
    QByteArray bse;
    bse.append(char(bt)).append(char(bt)).append(QByteArray(16, '\x11'));
    bse += le({0xFF}) + le32(uint32_t(blip.size())) + le32(1) + le32(0);
    bse.append(QByteArray(4, '\0'));
    bse += blip;
    const QByteArray store = artRecord(0xF, 1, 0xF001, artRecord(2, bt, 0xF007, bse));
    const QByteArray dgg =
        artRecord(0, 0, 0xF006, le32(1026) + le32(2) + le32(2) + le32(1) + le32(1) + le32(2));
    return artRecord(0xF, 0, 0xF000, dgg + store);
}

// The sheet's drawing: a group shape and one picture shape showing store entry `blip` at
// `anchor`.
inline QByteArray sheetDrawingWith(const DrawingAnchor& a, uint32_t blip = 1) {
    const QByteArray group = artRecord(0xF, 0, 0xF004,
                                       artRecord(1, 0, 0xF009, QByteArray(16, '\0')) +
                                           artRecord(2, 0, 0xF00A, le32(1024) + le32(0x5)));
    const QByteArray anchor =
        le({0, unsigned(a.firstColumn), unsigned(a.firstColumnOffset), unsigned(a.firstRow),
            unsigned(a.firstRowOffset), unsigned(a.lastColumn), unsigned(a.lastColumnOffset),
            unsigned(a.lastRow), unsigned(a.lastRowOffset)});
    const QByteArray picture =
        artRecord(0xF, 0, 0xF004,
                  artRecord(2, 75, 0xF00A, le32(1025) + le32(0xA00)) +
                      artRecord(3, 1, 0xF00B, le({0x4104}) + le32(blip)) +
                      artRecord(0, 0, 0xF010, anchor) + artRecord(0, 0, 0xF011, {}));
    const QByteArray tree = artRecord(0xF, 0, 0xF003, group + picture);
    return artRecord(0xF, 0, 0xF002, artRecord(0, 1, 0xF008, le32(2) + le32(1025)) + tree);
}

// The picture's object record: a picture (type 8) with id 1.
inline QByteArray pictureObject() {
    return le({0x15, 0x12, 0x08, 0x01, 0x6011}) + QByteArray(12, '\0') + le({0, 0});
}

// A workbook whose first sheet holds a few values and `image` as a picture of `kind` at
// `anchor`, kept as the records a file holds.
inline Workbook pictureBook(const QImage& image, BlipKind kind, const DrawingAnchor& anchor) {
    Workbook b = Workbook::createDefault();
    Sheet& s = b.sheets[0];
    for (int row = 0; row < 3; ++row) {
        Cell c;
        c.column = 0;
        c.type = CellType::Number;
        c.number = row + 1;
        s.setCell(row, c);
    }
    b.keptDrawingGroup.push_back({0x00EB, drawingGroupWith(blipBytes(image, kind), kind)});
    s.kept.afterCells.push_back({0x00EC, sheetDrawingWith(anchor)});
    s.kept.afterCells.push_back({0x005D, pictureObject()});
    return b;
}

} // namespace tovera::testing
