#pragma once
// Reading the top-left part of a Windows bitmap file (.bmp) for the drawing background.
// The view never shows more than the drawing area, so only that part is decoded: a valid
// bitmap of any size is read in memory proportional to the part kept, and a header that
// promises more pixels than its file holds is refused before anything is allocated.

#include <QImage>
#include <QSize>
#include <QString>

namespace tovera {

// The top-left `keep` pixels (or fewer, for a smaller picture) of the bitmap in
// `fileName`, in whatever colour depth it has, as 32-bit RGB. Uncompressed bitmaps (1, 4,
// 8, 16, 24 and 32 bits, with or without bit masks, bottom-up or top-down) are cut while
// reading; run-length compressed ones are decoded whole and must fit in 512 MB.
// Raises EInOutError when the file cannot be opened or read, EInvalidGraphic
// ("ビットマップイメージが不正です") when it is not a Windows bitmap, is damaged or cut short.
QImage readBitmapTopLeft(const QString& fileName, const QSize& keep);

} // namespace tovera
