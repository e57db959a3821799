// tovera-cli plan dump | plan render: runs the drawing readers on files and stored
// drawings as the window does, then prints the model as JSON or writes the frame as PNG.

#include "commands.h"
#include "plan_json.h"

#include "drawing/readers.h"
#include "drawing/recordinghost.h"
#include "drawing/renderer.h"
#include "platform/errors.h"

#include <QFile>
#include <QImage>
#include <QImageWriter>
#include <cerrno>
#include <cstdio>
#include <optional>
#include <vector>

namespace tovera::cli {

namespace {

struct Source {
    bool stored = false; // --stored, else --file
    QString path;
};

struct PlanOptions {
    std::vector<Source> sources;
    std::optional<int> floor;
    std::optional<double> zoom;
    QString background;
    bool hasBackground = false;
    QString output;
};

struct StepRecord {
    bool stored = false;
    QString path;
    QString result; // "ok", "refused", "error"
    QStringList messages;
    std::optional<QString> error;
};

// Parses the options after `dump` or `render`. Returns an error text for bad usage.
std::optional<QString> parseOptions(const QStringList& args, bool render, PlanOptions& options) {
    for (qsizetype k = 0; k < args.size(); ++k) {
        const QString& option = args[k];
        const auto value = [&]() -> std::optional<QString> {
            if (k + 1 >= args.size()) return std::nullopt;
            return args[++k];
        };
        if (option == QLatin1String("--file") || option == QLatin1String("--stored")) {
            const auto path = value();
            if (!path) return option + QStringLiteral(" needs a path");
            options.sources.push_back({option == QLatin1String("--stored"), *path});
        } else if (render && option == QLatin1String("--floor")) {
            const auto text = value();
            bool ok = false;
            const int floor = text ? text->toInt(&ok) : 0;
            if (!ok) return QStringLiteral("--floor needs a whole number");
            options.floor = floor;
        } else if (render && option == QLatin1String("--zoom")) {
            const auto text = value();
            bool ok = false;
            const double zoom = text ? text->toDouble(&ok) : 0;
            if (!ok) return QStringLiteral("--zoom needs a number");
            options.zoom = zoom;
        } else if (render && option == QLatin1String("--background")) {
            const auto path = value();
            if (!path) return QStringLiteral("--background needs a path");
            options.background = *path;
            options.hasBackground = true;
        } else if (render && option == QLatin1String("-o")) {
            const auto path = value();
            if (!path) return QStringLiteral("-o needs a path");
            options.output = *path;
        } else {
            return QStringLiteral("unknown option ") + option;
        }
    }
    if (render && options.output.isEmpty()) return QStringLiteral("render needs -o OUT.png");
    return std::nullopt;
}

// Runs the reads in order on `model`; an error is recorded in its step and the next step
// goes on from the model as the error left it. Returns false with `failure` set when a
// stored drawing's file cannot be read.
bool runSteps(const std::vector<Source>& sources, DrawingModel& model, RecordingDrawingHost& host,
              std::vector<StepRecord>& steps, QString& failure) {
    for (const Source& source : sources) {
        StepRecord step;
        step.stored = source.stored;
        step.path = source.path;
        const qsizetype shown = host.messages.size();
        QByteArray stored;
        if (source.stored) {
            QFile file(source.path);
            if (!file.open(QIODevice::ReadOnly)) {
                const QByteArray local = QFile::encodeName(source.path);
                errno = 0;
                std::FILE* probe = std::fopen(local.constData(), "rb");
                const int code = probe ? EIO : (errno ? errno : EIO);
                if (probe) std::fclose(probe);
                failure = source.path + QStringLiteral(": ") + ioErrorText(code);
                return false;
            }
            const QByteArray bytes = file.readAll();
            if (file.error() != QFileDevice::NoError) {
                failure = source.path + QStringLiteral(": ") + file.errorString();
                return false;
            }
            stored = bytes;
            model.currentFloor = 1;
        }
        try {
            const ReadResult result = source.stored ? readStoredBytes(model, host, stored)
                                                    : readDrawingFile(model, host, source.path);
            step.result =
                result == ReadResult::Ok ? QStringLiteral("ok") : QStringLiteral("refused");
        } catch (const Exception& e) {
            step.result = QStringLiteral("error");
            step.error = e.message();
        }
        step.messages = host.messages.mid(shown);
        steps.push_back(std::move(step));
    }
    return true;
}

void writeLines(JsonWriter& json, const char* name, const LineList& lines) {
    json.raw(",\n   ").key(name).raw("[");
    bool first = true;
    for (const TLine& l : lines) {
        json.raw(first ? "{" : ",\n    {");
        first = false;
        json.key("x1").integer(l.x1).raw(", ").key("y1").integer(l.y1).raw(", ");
        json.key("x2").integer(l.x2).raw(", ").key("y2").integer(l.y2).raw(", ");
        json.key("color").unsignedInteger(l.color).raw(", ").key("layer").integer(l.layer);
        json.raw(", ").key("text").cp932String(l.text).raw("}");
    }
    json.raw("]");
}

void writeBoxes(JsonWriter& json, const char* name, const BoxList& boxes) {
    json.raw(",\n   ").key(name).raw("[");
    bool first = true;
    for (const TBox& b : boxes) {
        json.raw(first ? "{" : ",\n    {");
        first = false;
        json.key("left").integer(b.left).raw(", ").key("top").integer(b.top).raw(", ");
        json.key("right").integer(b.right).raw(", ").key("bottom").integer(b.bottom);
        json.raw(", ").key("color").unsignedInteger(b.color).raw("}");
    }
    json.raw("]");
}

bool writeDump(const std::vector<StepRecord>& steps, const DrawingModel& model,
               const RecordingDrawingHost& host) {
    JsonWriter json(stdout);
    json.raw("{").key("steps").raw("[");
    for (size_t k = 0; k < steps.size(); ++k) {
        const StepRecord& s = steps[k];
        json.raw(k ? ",\n  {" : "{");
        json.key("reader").raw(s.stored ? "\"stored\"" : "\"file\"").raw(", ");
        json.key("path").string(s.path).raw(", ");
        json.key("result").string(s.result).raw(", ");
        json.key("messages").raw("[");
        for (qsizetype m = 0; m < s.messages.size(); ++m) {
            if (m) json.raw(", ");
            json.string(s.messages[m]);
        }
        json.raw("], ").key("error");
        if (s.error)
            json.string(*s.error);
        else
            json.null();
        json.raw("}");
    }
    json.raw("],\n ").key("gauge").integer(host.gauge).raw(", ");
    json.key("messagePanel").string(host.messagePanel).raw(",\n ");
    json.key("areaBoxes").raw("{").key("F1").string(host.areaBox(AreaBox::F1)).raw(", ");
    json.key("F2").string(host.areaBox(AreaBox::F2)).raw(", ");
    json.key("F3").string(host.areaBox(AreaBox::F3)).raw(", ");
    json.key("total").string(host.areaBox(AreaBox::Total)).raw(", ");
    json.key("ken").string(host.areaBox(AreaBox::Ken)).raw("},\n ");
    json.key("model").raw("{").key("homeOriginX").integer(model.homeOriginX).raw(", ");
    json.key("homeOriginY").integer(model.homeOriginY).raw(", ");
    json.key("gridOriginX").integer(model.gridOriginX).raw(", ");
    json.key("gridOriginY").integer(model.gridOriginY).raw(",\n   ");
    json.key("gridPitchX").number(model.gridPitchX).raw(", ");
    json.key("gridPitchY").number(model.gridPitchY).raw(", ");
    json.key("areaF1").number(model.areaF1).raw(", ");
    json.key("areaF2").number(model.areaF2).raw(", ");
    json.key("areaF3").number(model.areaF3).raw(", ");
    json.key("kenLength").number(model.kenLength).raw(",\n   ");
    json.key("zoom").number(model.zoom).raw(", ");
    json.key("currentFloor").integer(model.currentFloor);
    writeLines(json, "lines1F", model.lines1F);
    writeLines(json, "lines2F", model.lines2F);
    writeLines(json, "lines3F", model.lines3F);
    writeLines(json, "extraLines1F", model.extraLines1F);
    writeBoxes(json, "boxes1F", model.boxes1F);
    writeBoxes(json, "boxes2F", model.boxes2F);
    writeBoxes(json, "boxes3F", model.boxes3F);
    json.raw("}}\n");
    return json.flush();
}

int runDump(const QStringList& args) {
    PlanOptions options;
    if (const auto usage = parseOptions(args, false, options))
        return fail(2, QStringLiteral("tovera-cli plan dump: ") + *usage);
    DrawingModel model;
    RecordingDrawingHost host;
    std::vector<StepRecord> steps;
    QString failure;
    if (!runSteps(options.sources, model, host, steps, failure))
        return fail(1, QStringLiteral("tovera-cli plan dump: ") + failure);
    if (!writeDump(steps, model, host))
        return fail(1, QStringLiteral("tovera-cli plan dump: cannot write the output"));
    return 0;
}

int runRender(const QStringList& args) {
    PlanOptions options;
    if (const auto usage = parseOptions(args, true, options))
        return fail(2, QStringLiteral("tovera-cli plan render: ") + *usage);
    DrawingModel model;
    DrawingCanvas canvas;
    try {
        // As start-up: the background only when it names an existing file.
        canvas.prepareCanvas(model, options.hasBackground ? options.background : QString());
    } catch (const Exception& e) {
        return fail(1, QStringLiteral("tovera-cli plan render: ") + options.background +
                           QStringLiteral(": ") + e.message());
    }
    if (options.hasBackground && canvas.backgroundFile.isEmpty())
        std::fprintf(stderr, "tovera-cli plan render: %s: no such file, white background\n",
                     options.background.toUtf8().constData());
    RecordingDrawingHost host;
    host.onRender = [&] { canvas.renderDrawing(model); };
    std::vector<StepRecord> steps;
    QString failure;
    if (!runSteps(options.sources, model, host, steps, failure))
        return fail(1, QStringLiteral("tovera-cli plan render: ") + failure);
    if (options.floor) model.currentFloor = *options.floor;
    if (options.zoom) model.zoom = *options.zoom;
    canvas.renderDrawing(model);
    QImageWriter writer(options.output, "png");
    if (!writer.write(canvas.frameRgb888()))
        return fail(1, QStringLiteral("tovera-cli plan render: ") + options.output +
                           QStringLiteral(": ") + writer.errorString());
    return 0;
}

} // namespace

int runPlan(const QStringList& args) {
    if (args.isEmpty())
        return fail(2, QStringLiteral("usage: tovera-cli plan dump|render (--file PATH | "
                                      "--stored PATH)... (see tovera-cli --help)"));
    const QString sub = args.first();
    if (sub == QLatin1String("dump")) return runDump(args.mid(1));
    if (sub == QLatin1String("render")) return runRender(args.mid(1));
    return fail(2, QStringLiteral("tovera-cli plan: unknown subcommand ") + sub);
}

} // namespace tovera::cli
