#pragma once
// The notes and bitmap pictures of an Excel 97 workbook, read from the records the reader
// keeps for the writer: the drawing group of the workbook (the picture store with its
// blips) and each sheet's drawing records, objects, text boxes and notes. Hostile records
// never crash nor allocate without bound: every length is checked against what is there,
// nesting is limited and decoded pictures share a budget of pixels.

#include "sheet/workbook.h"

#include <QRectF>
#include <functional>

namespace tovera {

// The most pixels the pictures of one workbook may decode to together; a picture past the
// budget is left out.
inline constexpr qint64 kPicturePixelBudget = 40'000'000;

// The notes of a sheet from its kept records: each NOTE with its author and the text of the
// text box of the object it names. Sorted by cell.
std::vector<CellNote> notesOfKeptRecords(const KeptSheetRecords& kept);

// The bitmap pictures (PNG, JPEG, DIB) of a sheet: each picture shape anchored to cells whose
// blip in `drawingGroup` decodes. Metafiles and pictures that do not decode are left out.
// `pixelBudget` is lowered by the pixels decoded (a blip shared by several pictures counts
// once per call).
std::vector<SheetPicture> picturesOfKeptRecords(const std::vector<KeptRecord>& drawingGroup,
                                                const KeptSheetRecords& kept, qint64& pixelBudget);

// Fills Sheet::notes and Sheet::pictures of every sheet of an Excel 97 workbook from its
// kept records. Never fails.
void readSheetObjects(Workbook& book);

// The rectangle of `anchor` given the left edge of each column and the top edge of each row
// (`columnX(c + 1) - columnX(c)` is the width of column c, in any unit). Cells and offsets
// out of range are clamped; a corner before the other gives an empty rectangle.
QRectF anchorRect(const DrawingAnchor& anchor, const std::function<double(int)>& columnX,
                  const std::function<double(int)>& rowY);

// A Windows bitmap stored without its file header (a BITMAPINFOHEADER and the pixels), with
// the header put in front so that an image reader takes it; empty when the header is not
// one.
QByteArray dibToBmp(const QByteArray& dib);

} // namespace tovera
