// The .xlsx styles, theme colours and shared strings: fonts, fills, borders, number
// formats and cell formats become the model's fonts and XFs; RGB and theme colours become
// palette entries.

#include "sheet/xlsxreader_internal.h"

#include <QColor>
#include <cmath>

namespace tovera::xlsx {

namespace {

QRgb applyTint(QRgb rgb, double tint) {
    if (tint == 0) return rgb;
    QColor c = QColor::fromRgb(rgb).toHsl();
    double l = c.lightnessF();
    l = tint < 0 ? l * (1 + tint) : l * (1 - tint) + tint;
    c.setHslF(c.hslHueF(), c.hslSaturationF(), std::clamp(l, 0.0, 1.0));
    return c.rgb();
}

int indexOfName(const char* const* names, int count, QStringView name, int fallback) {
    for (int i = 0; i < count; ++i)
        if (name == QLatin1String(names[i])) return i;
    return fallback;
}

Font readFont(Xml& x, Context& ctx) {
    Font f;
    f.colorIndex = 0x7FFF;
    const int level = x.depth();
    while (x.next() && !(x.isEnd() && x.depth() < level)) {
        if (!x.isStart()) continue;
        const QStringView n = x.name();
        if (n == QLatin1String("b")) {
            f.weight = x.boolAttr("val", true) ? 700 : 400;
        } else if (n == QLatin1String("i")) {
            f.italic = x.boolAttr("val", true);
        } else if (n == QLatin1String("strike")) {
            f.strikeout = x.boolAttr("val", true);
        } else if (n == QLatin1String("u")) {
            const QString v = x.attr("val");
            f.underline = v.isEmpty() || v == QLatin1String("single") ? 1
                          : v == QLatin1String("double")              ? 2
                          : v == QLatin1String("singleAccounting")    ? 0x21
                          : v == QLatin1String("doubleAccounting")    ? 0x22
                                                                      : 0;
        } else if (n == QLatin1String("vertAlign")) {
            const QString v = x.attr("val");
            f.script = v == QLatin1String("superscript") ? 1
                       : v == QLatin1String("subscript") ? 2
                                                         : 0;
        } else if (n == QLatin1String("sz")) {
            f.height = uint16_t(std::clamp(
                std::lround(x.doubleAttr("sz", x.doubleAttr("val", 11)) * 20), 20l, 8191l));
        } else if (n == QLatin1String("color")) {
            f.colorIndex = ctx.colors.read(x, 0x7FFF);
        } else if (n == QLatin1String("name") || n == QLatin1String("rFont")) {
            f.name = x.attr("val");
        } else if (n == QLatin1String("family")) {
            f.family = uint8_t(x.intAttr("val", 0));
        } else if (n == QLatin1String("charset")) {
            f.charset = uint8_t(x.intAttr("val", 0));
        }
    }
    return f;
}

struct Fill {
    uint8_t pattern = 0;
    uint16_t fg = 64, bg = 65;
};

Fill readFill(Xml& x, Context& ctx) {
    static const char* const patterns[] = {
        "none",           "solid",           "mediumGray",    "darkGray",  "lightGray",
        "darkHorizontal", "darkVertical",    "darkDown",      "darkUp",    "darkGrid",
        "darkTrellis",    "lightHorizontal", "lightVertical", "lightDown", "lightUp",
        "lightGrid",      "lightTrellis",    "gray125",       "gray0625"};
    Fill f;
    const int level = x.depth();
    while (x.next() && !(x.isEnd() && x.depth() < level)) {
        if (x.is("patternFill")) {
            f.pattern = uint8_t(indexOfName(patterns, 19, x.attr("patternType"), 0));
        } else if (x.is("fgColor")) {
            f.fg = ctx.colors.read(x, 64);
        } else if (x.is("bgColor")) {
            f.bg = ctx.colors.read(x, 65);
        } else if (x.is("gradientFill")) {
            f.pattern = 1; // shown as its first colour
        } else if (x.is("color") && f.pattern == 1 && f.fg == 64) {
            f.fg = ctx.colors.read(x, 64);
        }
    }
    return f;
}

struct Borders {
    Border left, right, top, bottom, diagonal;
    uint8_t diagonalLines = 0;
};

Borders readBorder(Xml& x, Context& ctx) {
    static const char* const styles[] = {"none",
                                         "thin",
                                         "medium",
                                         "dashed",
                                         "dotted",
                                         "thick",
                                         "double",
                                         "hair",
                                         "mediumDashed",
                                         "dashDot",
                                         "mediumDashDot",
                                         "dashDotDot",
                                         "mediumDashDotDot",
                                         "slantDashDot"};
    Borders b;
    b.diagonalLines = uint8_t((x.boolAttr("diagonalDown", false) ? 1 : 0) |
                              (x.boolAttr("diagonalUp", false) ? 2 : 0));
    const int level = x.depth();
    Border* current = nullptr;
    while (x.next() && !(x.isEnd() && x.depth() < level)) {
        if (!x.isStart()) continue;
        const QStringView n = x.name();
        if (n == QLatin1String("color")) {
            if (current) current->colorIndex = ctx.colors.read(x, 64);
            continue;
        }
        current = n == QLatin1String("left") || n == QLatin1String("start")  ? &b.left
                  : n == QLatin1String("right") || n == QLatin1String("end") ? &b.right
                  : n == QLatin1String("top")                                ? &b.top
                  : n == QLatin1String("bottom")                             ? &b.bottom
                  : n == QLatin1String("diagonal")                           ? &b.diagonal
                                                                             : nullptr;
        if (current) current->style = uint8_t(indexOfName(styles, 14, x.attr("style"), 0));
    }
    return b;
}

CellFormat readXf(Xml& x, const std::vector<Fill>& fills, const std::vector<Borders>& borders,
                  size_t fontCount) {
    static const char* const hNames[] = {"general", "left",    "center",           "right",
                                         "fill",    "justify", "centerContinuous", "distributed"};
    static const char* const vNames[] = {"top", "center", "bottom", "justify", "distributed"};
    CellFormat f;
    const int font = x.intAttr("fontId", 0);
    f.font = uint16_t(font >= 0 && size_t(font) < fontCount ? font : 0);
    f.numberFormat = uint16_t(std::clamp(x.intAttr("numFmtId", 0), 0, 65535));
    const int fill = x.intAttr("fillId", 0);
    if (fill >= 0 && size_t(fill) < fills.size()) {
        f.fillPattern = fills[size_t(fill)].pattern;
        f.fillForeground = fills[size_t(fill)].fg;
        f.fillBackground = fills[size_t(fill)].bg;
    }
    const int border = x.intAttr("borderId", 0);
    if (border >= 0 && size_t(border) < borders.size()) {
        const Borders& b = borders[size_t(border)];
        f.left = b.left;
        f.right = b.right;
        f.top = b.top;
        f.bottom = b.bottom;
        f.diagonal = b.diagonal;
        f.diagonalLines = b.diagonalLines;
    }
    f.usedGroups = 0xFC;
    const int level = x.depth();
    while (x.next() && !(x.isEnd() && x.depth() < level)) {
        if (x.is("alignment")) {
            f.hAlign = HAlign(indexOfName(hNames, 8, x.attr("horizontal"), 0));
            f.vAlign = VAlign(indexOfName(vNames, 5, x.attr("vertical"), 2));
            f.wrap = x.boolAttr("wrapText", false);
            f.rotation = uint8_t(std::clamp(x.intAttr("textRotation", 0), 0, 255));
            f.indent = uint8_t(std::clamp(x.intAttr("indent", 0), 0, 15));
            f.shrinkToFit = x.boolAttr("shrinkToFit", false);
        } else if (x.is("protection")) {
            f.locked = x.boolAttr("locked", true);
            f.formulaHidden = x.boolAttr("hidden", false);
        }
    }
    return f;
}

} // namespace

uint16_t PendingColors::read(const Xml& x, uint16_t automatic) {
    if (x.boolAttr("auto", false)) return automatic;
    if (x.hasAttr("indexed")) {
        const int i = x.intAttr("indexed", automatic);
        if (i >= 8 && i < 64) indexedUsed[size_t(i)] = true;
        return i >= 0 && i < 0x7FFF ? uint16_t(i) : automatic;
    }
    QRgb value;
    if (x.hasAttr("rgb")) {
        bool ok = false;
        value = QRgb(x.attr("rgb").toUInt(&ok, 16)) | 0xFF000000u;
        if (!ok) return automatic;
    } else if (x.hasAttr("theme")) {
        int t = x.intAttr("theme", -1);
        if (t >= 0 && t < 4) t ^= 1; // light 1, dark 1, light 2, dark 2
        if (t < 0 || size_t(t) >= theme.size()) return automatic;
        value = theme[size_t(t)];
    } else {
        return automatic;
    }
    value = applyTint(value, x.doubleAttr("tint", 0));
    for (size_t k = 0; k < rgb.size(); ++k)
        if (rgb[k] == value) return uint16_t(0x8000 + k);
    if (rgb.size() >= 0x7000) return automatic;
    rgb.push_back(value);
    return uint16_t(0x8000 + rgb.size() - 1);
}

void readTheme(Archive& zip, Context& ctx, const QString& part) {
    const QByteArray data = zip.read(part, false);
    if (data.isEmpty()) return;
    Xml x(data, ctx.name, part);
    bool inScheme = false;
    while (x.next()) {
        if (x.is("clrScheme"))
            inScheme = true;
        else if (x.endOf("clrScheme"))
            break;
        else if (inScheme && x.is("srgbClr"))
            ctx.colors.theme.push_back(QRgb(x.attr("val").toUInt(nullptr, 16)) | 0xFF000000u);
        else if (inScheme && x.is("sysClr"))
            ctx.colors.theme.push_back(QRgb(x.attr("lastClr").toUInt(nullptr, 16)) | 0xFF000000u);
    }
}

void readStyles(Archive& zip, Context& ctx, const QString& part) {
    const QByteArray data = zip.read(part, false);
    Workbook& book = ctx.book;
    ctx.xfBase = int(book.xfs.size());
    if (data.isEmpty()) return;
    Xml x(data, ctx.name, part);
    std::vector<Font> fonts;
    std::vector<Fill> fills;
    std::vector<Borders> borders;
    std::vector<CellFormat> cellXfs;
    int paletteIndex = 0;
    constexpr size_t kMaxEntries = 65000;
    while (x.next()) {
        if (!x.isStart()) continue;
        if (x.is("numFmt")) {
            const int id = x.intAttr("numFmtId", -1);
            if (id >= 0 && id < 65536)
                book.numberFormats[uint16_t(id)] = decodeEscapes(x.attr("formatCode"));
        } else if (x.is("font") && fonts.size() < kMaxEntries) {
            fonts.push_back(readFont(x, ctx));
        } else if (x.is("fill") && fills.size() < kMaxEntries) {
            fills.push_back(readFill(x, ctx));
        } else if (x.is("border") && borders.size() < kMaxEntries) {
            borders.push_back(readBorder(x, ctx));
        } else if (x.is("cellStyleXfs") || x.is("dxfs") || x.is("extLst") || x.is("cellStyles") ||
                   x.is("tableStyles")) {
            x.skip();
        } else if (x.is("xf") && cellXfs.size() < kMaxEntries) {
            cellXfs.push_back(readXf(x, fills, borders, fonts.size()));
        } else if (x.is("rgbColor")) {
            if (paletteIndex >= 8 && paletteIndex < 64)
                book.palette[size_t(paletteIndex - 8)] =
                    QRgb(x.attr("rgb").toUInt(nullptr, 16)) | 0xFF000000u;
            ++paletteIndex;
        }
    }
    if (!fonts.empty()) {
        while (fonts.size() < 4) fonts.push_back(fonts.front());
        book.fonts = std::move(fonts);
    }
    for (CellFormat& f : cellXfs) {
        f.parent = 0;
        book.xfs.push_back(f);
    }
}

RichText readRichText(Xml& x, Context& ctx) {
    RichText out;
    const int level = x.depth();
    int runFont = -1;
    while (x.next() && !(x.isEnd() && x.depth() < level)) {
        if (!x.isStart()) continue;
        if (x.is("rPh") || x.is("phoneticPr")) {
            x.skip(); // the reading shown above the text is not kept
        } else if (x.is("r")) {
            runFont = -1;
        } else if (x.is("rPr")) {
            const Font f = readFont(x, ctx);
            const QString key = QStringLiteral("%1|%2|%3|%4|%5|%6|%7|%8|%9")
                                    .arg(f.name)
                                    .arg(f.height)
                                    .arg(f.weight)
                                    .arg(f.italic)
                                    .arg(f.strikeout)
                                    .arg(f.underline)
                                    .arg(f.script)
                                    .arg(f.colorIndex)
                                    .arg(f.family);
            auto it = ctx.fontIndex.find(key);
            if (it == ctx.fontIndex.end()) {
                if (ctx.book.fonts.size() >= 4000) continue;
                ctx.book.fonts.push_back(f);
                it = ctx.fontIndex.insert(key, int(ctx.book.fonts.size() - 1));
            }
            runFont = it.value();
        } else if (x.is("t")) {
            const QString piece = decodeEscapes(x.text());
            const int start = int(out.text.size());
            if (start < 65536 && (runFont >= 0 || !out.runs.isEmpty())) {
                const uint16_t font = uint16_t(runFont >= 0 ? runFont : 0);
                if (out.runs.isEmpty() || out.runs.back().font != font) {
                    if (!out.runs.isEmpty() && out.runs.back().start == start)
                        out.runs.back().font = font;
                    else
                        out.runs.append(TextRun{uint16_t(start), font});
                }
            }
            out.text += piece;
        }
    }
    if (!out.runs.isEmpty() && out.runs.back().start >= out.text.size()) out.runs.removeLast();
    return out;
}

void readSharedStrings(Archive& zip, Context& ctx, const QString& part) {
    const QByteArray data = zip.read(part, false);
    if (data.isEmpty()) return;
    Xml x(data, ctx.name, part);
    while (x.next()) {
        if (!x.is("si")) continue;
        if (ctx.strings.size() >= ctx.cellBudget) break;
        ctx.strings.push_back(readRichText(x, ctx));
    }
}

void resolveColors(Context& ctx) {
    Workbook& book = ctx.book;
    std::vector<uint16_t> indexOf(ctx.colors.rgb.size(), 64);
    std::vector<bool> taken = ctx.colors.indexedUsed;
    int nextFree = 63;
    for (size_t k = 0; k < ctx.colors.rgb.size(); ++k) {
        const QRgb want = ctx.colors.rgb[k] | 0xFF000000u;
        int found = -1;
        for (int i = 8; i < 64 && found < 0; ++i)
            if ((book.palette[size_t(i - 8)] | 0xFF000000u) == want) found = i;
        if (found < 0) {
            while (nextFree >= 8 && taken[size_t(nextFree)]) --nextFree;
            if (nextFree >= 8) {
                found = nextFree;
                book.palette[size_t(found - 8)] = want;
            } else { // the palette is full: the nearest colour
                int best = 8, bestDistance = INT32_MAX;
                for (int i = 8; i < 64; ++i) {
                    const QRgb p = book.palette[size_t(i - 8)];
                    const int dr = qRed(p) - qRed(want), dg = qGreen(p) - qGreen(want),
                              db = qBlue(p) - qBlue(want);
                    const int d = dr * dr + dg * dg + db * db;
                    if (d < bestDistance) {
                        bestDistance = d;
                        best = i;
                    }
                }
                found = best;
            }
        }
        taken[size_t(found)] = true;
        indexOf[k] = uint16_t(found);
    }
    const auto fix = [&](uint16_t& c, uint16_t automatic) {
        if (c >= 0x8000) c = c - 0x8000u < indexOf.size() ? indexOf[c - 0x8000u] : automatic;
    };
    for (Font& f : book.fonts) fix(f.colorIndex, 0x7FFF);
    for (CellFormat& f : book.xfs) {
        for (Border* b : {&f.left, &f.right, &f.top, &f.bottom, &f.diagonal})
            fix(b->colorIndex, 64);
        fix(f.fillForeground, 64);
        fix(f.fillBackground, 65);
    }
}

} // namespace tovera::xlsx
