#pragma once
// Icons of the window: from the desktop's icon theme, with Qt's standard icons as the
// fallback, so every item and button has a picture on any desktop.

#include <QIcon>
#include <QStyle>

namespace tovera {

// The theme icon `themeName` (freedesktop naming), else the style's `fallback`.
QIcon themeIcon(const char* themeName, QStyle::StandardPixmap fallback);

// The program's own icon (compiled in), else a standard one.
QIcon applicationIcon();

} // namespace tovera
