#pragma once
// Pieces shared by the drawing file reader and the stored drawing reader: the header
// kinds and the errors they raise. Internal to src/drawing.

#include "drawing/host.h"
#include "drawing/model.h"

#include <cstddef>

namespace tovera::readerdetail {

// 1 and 2 share the one-value-per-line layout; 3 is the old comma-separated layout.
enum class HeaderKind { Refused, Kind1, Kind2, Kind3 };

// Kind of a header line (its bytes without the line end), compared whole and
// case-sensitively.
HeaderKind headerKind(const char* data, size_t size);

// Raise EConvertError "'<text>' は整数ではありません" / "... は浮動小数点数ではありません" with
// the text decoded from code page 932.
[[noreturn]] void throwNotInteger(const char* data, size_t size);
[[noreturn]] void throwNotReal(const char* data, size_t size);
// Raises EListError "リストのインデックスが範囲を超えています (<index>)".
[[noreturn]] void throwListIndex(long long index);
// Raises EInOutError "入力値が数値ではありません".
[[noreturn]] void throwNotANumber();

// Areas: assigns, then shows the one box at once (as the readers do, value by value).
void showArea(DrawingHost& host, AreaBox box, double value);

} // namespace tovera::readerdetail
