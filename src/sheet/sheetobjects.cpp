// Notes and pictures from the kept drawing records. The drawings of a sheet are one tree of
// drawing records (a header of 8 bytes: version and instance, type, length) spread over the
// sheet's MSODRAWING records; each shape with client data owns the next OBJ record, and a
// text box's text is in the TXO record after it. The drawing group holds the picture store:
// one entry per blip, numbered from 1, each with its image after a short header.

#include "sheet/sheetobjects.h"

#include "sheet/biff.h"

#include <QBuffer>
#include <QImageReader>
#include <algorithm>
#include <map>

namespace tovera {

namespace {

enum : uint16_t {
    kNote = 0x001C,
    kObj = 0x005D,
    kTxo = 0x01B6,
    kDrawing = 0x00EC,
    kContinue = 0x003C,
};

// Drawing record types.
enum : uint16_t {
    kDggContainer = 0xF000,
    kBStoreContainer = 0xF001,
    kSpContainer = 0xF004,
    kBse = 0xF007,
    kFsp = 0xF00A,
    kFopt = 0xF00B,
    kClientAnchor = 0xF010,
    kBlipJpeg = 0xF01D,
    kBlipPng = 0xF01E,
    kBlipDib = 0xF01F,
    kBlipTiff = 0xF029,
    kBlipJpegCmyk = 0xF02A,
};

constexpr int kMaxDepth = 12;
constexpr size_t kMaxPictures = 4096; // per sheet
constexpr size_t kMaxBlips = 65535;

uint16_t le16(const QByteArray& d, qsizetype at) {
    return uint16_t(uint8_t(d[at]) | (uint8_t(d[at + 1]) << 8));
}

uint32_t le32(const QByteArray& d, qsizetype at) {
    return uint32_t(le16(d, at)) | (uint32_t(le16(d, at + 2)) << 16);
}

struct ArtRecord {
    uint16_t version = 0;
    uint16_t instance = 0;
    uint16_t type = 0;
    qsizetype body = 0; // offset of the data
    qsizetype size = 0; // bytes of data, cut to what its parent holds
    qsizetype next() const { return body + size; }
};

// The drawing record at `pos`, which must lie inside [pos, end).
bool artRecord(const QByteArray& d, qsizetype pos, qsizetype end, ArtRecord& r) {
    end = std::min(end, d.size());
    if (pos < 0 || end - pos < 8) return false;
    const uint16_t verInst = le16(d, pos);
    r.version = verInst & 0x000F;
    r.instance = verInst >> 4;
    r.type = le16(d, pos + 2);
    r.body = pos + 8;
    r.size = qsizetype(std::min<qint64>(le32(d, pos + 4), end - r.body));
    return true;
}

struct Shape {
    uint32_t blip = 0; // picture store entry, from 1; 0 none
    bool anchored = false;
    DrawingAnchor anchor;
};

Shape readShape(const QByteArray& d, const ArtRecord& container) {
    Shape s;
    ArtRecord r;
    for (qsizetype pos = container.body; artRecord(d, pos, container.next(), r); pos = r.next()) {
        if (r.type == kFopt) {
            // Properties: 6 bytes each (id with flags, value), complex data after them.
            const qsizetype count = std::min<qsizetype>(r.instance, r.size / 6);
            for (qsizetype i = 0; i < count; ++i) {
                const uint16_t id = le16(d, r.body + 6 * i);
                if ((id & 0x3FFF) == 0x0104 && !(id & 0x8000)) s.blip = le32(d, r.body + 6 * i + 2);
            }
        } else if (r.type == kClientAnchor && r.size >= 18) {
            DrawingAnchor& a = s.anchor;
            a.firstColumn = le16(d, r.body + 2);
            a.firstColumnOffset = le16(d, r.body + 4);
            a.firstRow = le16(d, r.body + 6);
            a.firstRowOffset = le16(d, r.body + 8);
            a.lastColumn = le16(d, r.body + 10);
            a.lastColumnOffset = le16(d, r.body + 12);
            a.lastRow = le16(d, r.body + 14);
            a.lastRowOffset = le16(d, r.body + 16);
            s.anchored = true;
        }
    }
    return s;
}

// Every shape of the tree in [pos, end), in file order.
void collectShapes(const QByteArray& d, qsizetype pos, qsizetype end, int depth,
                   std::vector<Shape>& out) {
    if (depth > kMaxDepth) return;
    ArtRecord r;
    while (artRecord(d, pos, end, r) && out.size() < kMaxPictures * 4) {
        if (r.type == kSpContainer)
            out.push_back(readShape(d, r));
        else if (r.version == 0x0F)
            collectShapes(d, r.body, r.next(), depth + 1, out);
        pos = r.next();
    }
}

// The kept records of a sheet in file order, without those of embedded charts.
std::vector<const KeptRecord*> sheetLevelRecords(const KeptSheetRecords& kept) {
    std::vector<const KeptRecord*> out;
    int depth = 0;
    for (const auto* list : {&kept.beforeCells, &kept.afterCells, &kept.afterWindow})
        for (const KeptRecord& k : *list) {
            if (k.id == biff::kBof8 || k.id == biff::kBof4 || k.id == biff::kBof3 ||
                k.id == biff::kBof2) {
                ++depth;
            } else if (k.id == biff::kEof && depth > 0) {
                --depth;
            } else if (depth == 0) {
                out.push_back(&k);
            }
        }
    return out;
}

biff::Cursor cursorOf(const QByteArray& data) {
    return biff::Cursor(reinterpret_cast<const uint8_t*>(data.constData()), size_t(data.size()));
}

// The picture store of a drawing group: where each entry's blip lies, decoded on demand.
class PictureStore {
public:
    explicit PictureStore(const std::vector<KeptRecord>& group) {
        for (const KeptRecord& k : group) data_.append(k.data);
        ArtRecord dgg, store, bse;
        for (qsizetype p = 0; artRecord(data_, p, data_.size(), dgg); p = dgg.next()) {
            if (dgg.type != kDggContainer) continue;
            for (qsizetype q = dgg.body; artRecord(data_, q, dgg.next(), store); q = store.next()) {
                if (store.type != kBStoreContainer) continue;
                for (qsizetype b = store.body;
                     artRecord(data_, b, store.next(), bse) && entries_.size() < kMaxBlips;
                     b = bse.next())
                    entries_.push_back(bse.type == kBse ? bse : ArtRecord{});
            }
            break;
        }
    }

    // The image of entry `blip` (from 1), null when there is none or it does not decode.
    QImage image(uint32_t blip, qint64& budget) {
        if (blip == 0 || blip > entries_.size()) return {};
        auto cached = images_.find(blip);
        if (cached != images_.end()) return cached->second;
        QImage img = decode(entries_[blip - 1], budget);
        images_[blip] = img;
        return img;
    }

private:
    QImage decode(const ArtRecord& bse, qint64& budget) const {
        // The entry: 36 bytes of description, a name of the length in byte 33, the blip.
        if (bse.type != kBse || bse.size < 36) return {};
        const qsizetype at = bse.body + 36 + uint8_t(data_[bse.body + 33]);
        ArtRecord blip;
        if (!artRecord(data_, at, bse.next(), blip)) return {};
        const char* format = nullptr;
        switch (blip.type) {
        case kBlipJpeg:
        case kBlipJpegCmyk:
            format = "jpeg";
            break;
        case kBlipPng:
            format = "png";
            break;
        case kBlipDib:
            format = "bmp";
            break;
        case kBlipTiff:
            format = "tiff";
            break;
        default:
            return {}; // metafiles and others are not drawn
        }
        // One identifier of 16 bytes, two when the instance is odd, then a tag byte.
        const qsizetype header = ((blip.instance & 1) ? 32 : 16) + 1;
        if (blip.size <= header) return {};
        QByteArray bytes = data_.mid(blip.body + header, blip.size - header);
        if (blip.type == kBlipDib) bytes = dibToBmp(bytes);
        if (bytes.isEmpty()) return {};
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::ReadOnly);
        QImageReader reader(&buffer, format);
        const QSize size = reader.size();
        if (!size.isValid() || size.isEmpty()) return {};
        const qint64 pixels = qint64(size.width()) * size.height();
        if (pixels > budget) return {};
        QImage img;
        if (!reader.read(&img) || img.isNull()) return {};
        budget -= pixels;
        return img;
    }

    QByteArray data_;
    std::vector<ArtRecord> entries_;
    std::map<uint32_t, QImage> images_;
};

std::vector<SheetPicture> sheetPictures(PictureStore& store, const KeptSheetRecords& kept,
                                        qint64& budget) {
    QByteArray drawing;
    uint16_t last = 0;
    for (const KeptRecord* k : sheetLevelRecords(kept)) {
        const bool part = k->id == kDrawing || (k->id == kContinue && last == kDrawing);
        if (part) drawing.append(k->data);
        if (k->id != kContinue) last = k->id;
    }
    std::vector<SheetPicture> out;
    if (drawing.isEmpty()) return out;
    std::vector<Shape> shapes;
    collectShapes(drawing, 0, drawing.size(), 0, shapes);
    for (const Shape& s : shapes) {
        if (!s.anchored || s.blip == 0 || out.size() >= kMaxPictures) continue;
        SheetPicture p;
        p.anchor = s.anchor;
        p.image = store.image(s.blip, budget);
        if (!p.image.isNull()) out.push_back(std::move(p));
    }
    return out;
}

} // namespace

std::vector<CellNote> notesOfKeptRecords(const KeptSheetRecords& kept) {
    const std::vector<const KeptRecord*> records = sheetLevelRecords(kept);
    std::map<uint16_t, QString> texts; // object id -> text of its text box
    std::vector<std::pair<CellNote, uint16_t>> notes;
    int object = -1; // id of the last OBJ
    for (size_t i = 0; i < records.size(); ++i) {
        const KeptRecord& k = *records[i];
        if (k.id == kObj) {
            biff::Cursor c = cursorOf(k.data);
            const uint16_t ft = c.u16();
            c.u16();
            c.u16(); // object type
            const uint16_t id = c.u16();
            object = c.ok() && ft == 0x0015 ? int(id) : -1;
        } else if (k.id == kTxo && object >= 0) {
            biff::Cursor head = cursorOf(k.data);
            head.skip(10);
            const uint16_t length = head.u16();
            std::vector<biff::Segment> parts;
            for (size_t j = i + 1; j < records.size() && records[j]->id == kContinue; ++j)
                parts.push_back({reinterpret_cast<const uint8_t*>(records[j]->data.constData()),
                                 size_t(records[j]->data.size())});
            QString text;
            if (head.ok() && length > 0 && !parts.empty()) {
                biff::Cursor c(std::move(parts));
                const uint8_t flags = c.u8();
                text = c.chars8(length, flags);
            }
            texts[uint16_t(object)] = text;
        } else if (k.id == kNote) {
            biff::Cursor c = cursorOf(k.data);
            CellNote n;
            n.row = c.u16();
            n.column = c.u16();
            n.shown = c.u16() & 0x0002;
            const uint16_t id = c.u16();
            if (!c.ok() || n.column > 255) continue;
            n.author = c.string16();
            notes.emplace_back(std::move(n), id);
        }
    }
    std::vector<CellNote> out;
    for (auto& [note, id] : notes) {
        auto it = texts.find(id);
        if (it != texts.end()) note.text = it->second;
        note.text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
        note.text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
        out.push_back(std::move(note));
    }
    Sheet sorter;
    sorter.notes = std::move(out);
    sorter.sortNotes();
    return std::move(sorter.notes);
}

std::vector<SheetPicture> picturesOfKeptRecords(const std::vector<KeptRecord>& drawingGroup,
                                                const KeptSheetRecords& kept, qint64& pixelBudget) {
    PictureStore store(drawingGroup);
    return sheetPictures(store, kept, pixelBudget);
}

void readSheetObjects(Workbook& book) {
    qint64 budget = kPicturePixelBudget;
    PictureStore store(book.keptDrawingGroup);
    for (Sheet& s : book.sheets) {
        if (s.kept.empty()) continue;
        std::vector<CellNote> notes = notesOfKeptRecords(s.kept);
        if (!notes.empty()) s.notes = std::move(notes);
        if (!book.keptDrawingGroup.empty()) s.pictures = sheetPictures(store, s.kept, budget);
    }
}

QRectF anchorRect(const DrawingAnchor& a, const std::function<double(int)>& columnX,
                  const std::function<double(int)>& rowY) {
    auto x = [&](int column, int offset) {
        column = std::clamp(column, 0, 255);
        const double left = columnX(column);
        return left + (columnX(column + 1) - left) * std::clamp(offset, 0, 1024) / 1024.0;
    };
    auto y = [&](int row, int offset) {
        row = std::clamp(row, 0, 65535);
        const double top = rowY(row);
        return top + (rowY(row + 1) - top) * std::clamp(offset, 0, 256) / 256.0;
    };
    const QPointF topLeft(x(a.firstColumn, a.firstColumnOffset), y(a.firstRow, a.firstRowOffset));
    const QPointF bottomRight(x(a.lastColumn, a.lastColumnOffset), y(a.lastRow, a.lastRowOffset));
    if (bottomRight.x() < topLeft.x() || bottomRight.y() < topLeft.y()) return {};
    return QRectF(topLeft, bottomRight);
}

QByteArray dibToBmp(const QByteArray& dib) {
    if (dib.size() < 12) return {};
    const uint32_t headerSize = le32(dib, 0);
    uint32_t bits = 0, compression = 0, colours = 0;
    qsizetype entry = 4;
    if (headerSize == 12) { // the old core header: 16-bit sizes, 3-byte palette entries
        bits = le16(dib, 10);
        entry = 3;
    } else if (headerSize >= 40 && headerSize <= 124 && dib.size() >= 40) {
        bits = le16(dib, 14);
        compression = le32(dib, 16);
        colours = le32(dib, 32);
    } else {
        return {};
    }
    if (colours == 0 && bits <= 8) colours = 1u << bits;
    if (colours > 65536) return {};
    qint64 offset = 14 + qint64(headerSize) + qint64(colours) * entry;
    if (headerSize == 40 && compression == 3) offset += 12; // colour masks after the header
    if (headerSize == 40 && compression == 6) offset += 16;
    if (offset > 14 + qint64(dib.size())) return {};
    QByteArray out;
    out.reserve(dib.size() + 14);
    const uint32_t fileSize = uint32_t(14 + dib.size());
    out.append("BM", 2);
    for (uint32_t v : {fileSize, 0u, uint32_t(offset)})
        for (int k = 0; k < 4; ++k) out.append(char((v >> (8 * k)) & 0xFF));
    out.append(dib);
    return out;
}

} // namespace tovera
