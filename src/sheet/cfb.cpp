#include "sheet/cfb.h"

#include "sheet/xlsreader_messages.h"

#include <gsf/gsf-infile-msole.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input-memory.h>
#include <gsf/gsf-input.h>
#include <gsf/gsf-utils.h>

#include <mutex>

namespace tovera::cfb {
namespace {

// Drops a GObject reference when leaving scope.
template <typename T> struct Ref {
    T* p = nullptr;
    explicit Ref(T* q) : p(q) {}
    ~Ref() {
        if (p) g_object_unref(p);
    }
    Ref(const Ref&) = delete;
    Ref& operator=(const Ref&) = delete;
};

bool isBareBiff(const QByteArray& b) {
    if (b.size() < 8) return false;
    const uint8_t id0 = uint8_t(b[0]), id1 = uint8_t(b[1]);
    if (id0 != 0x09 || (id1 != 0x00 && id1 != 0x02 && id1 != 0x04 && id1 != 0x08)) return false;
    const int len = uint8_t(b[2]) | (uint8_t(b[3]) << 8);
    return len >= 4 && len <= 32;
}

// Reads the whole of `input`, refusing sizes beyond `limit`.
bool readAll(GsfInput* input, qint64 limit, QByteArray& out) {
    const gsf_off_t size = gsf_input_size(input);
    if (size < 0 || size > limit) return false;
    out.resize(qsizetype(size));
    gsf_off_t done = 0;
    while (done < size) {
        const size_t chunk = size_t(std::min<gsf_off_t>(size - done, 1 << 16));
        if (!gsf_input_read(input, chunk, reinterpret_cast<guint8*>(out.data() + done)))
            return false;
        done += gsf_off_t(chunk);
    }
    return true;
}

} // namespace

bool isCompoundFile(const QByteArray& bytes) {
    static const char sig[8] = {'\xD0', '\xCF', '\x11', '\xE0', '\xA1', '\xB1', '\x1A', '\xE1'};
    return bytes.size() >= 512 && memcmp(bytes.constData(), sig, 8) == 0;
}

WorkbookStream extractWorkbookStream(const QByteArray& bytes, const QString& name) {
    WorkbookStream result;
    if (!isCompoundFile(bytes)) {
        if (isBareBiff(bytes)) {
            result.data = bytes;
            result.kind = StreamKind::Bare;
            return result;
        }
        xlsmsg::notWorkbook(name);
    }
    static std::once_flag once;
    std::call_once(once, [] {
        gsf_init();
        // Damaged containers make libgsf log each bad sector; the caller reports the damage.
        const auto quiet = [](const gchar*, GLogLevelFlags, const gchar*, gpointer) {};
        for (const char* domain : {"libgsf", "libgsf:msole"})
            g_log_set_handler(
                domain,
                GLogLevelFlags(G_LOG_LEVEL_WARNING | G_LOG_LEVEL_CRITICAL | G_LOG_LEVEL_MESSAGE),
                quiet, nullptr);
    });

    Ref<GsfInput> source(gsf_input_memory_new(reinterpret_cast<const guint8*>(bytes.constData()),
                                              gsf_off_t(bytes.size()), FALSE));
    GError* err = nullptr;
    Ref<GsfInfile> infile(gsf_infile_msole_new(source.p, &err));
    if (err) g_error_free(err);
    if (!infile.p) xlsmsg::damaged(name, QStringLiteral("複合ファイルの構造が不正です"));

    // Prefer "Workbook" to "Book"; names compare without regard to case.
    const int n = gsf_infile_num_children(infile.p);
    int workbook = -1, book = -1;
    for (int i = 0; i < n; ++i) {
        const char* child = gsf_infile_name_by_index(infile.p, i);
        if (!child) continue;
        if (workbook < 0 && g_ascii_strcasecmp(child, "Workbook") == 0) workbook = i;
        if (book < 0 && g_ascii_strcasecmp(child, "Book") == 0) book = i;
    }
    const int pick = workbook >= 0 ? workbook : book;
    if (pick < 0) xlsmsg::notWorkbook(name);
    Ref<GsfInput> stream(gsf_infile_child_by_index(infile.p, pick));
    if (!stream.p ||
        (GSF_IS_INFILE(stream.p) && gsf_infile_num_children(GSF_INFILE(stream.p)) >= 0))
        xlsmsg::damaged(name, QStringLiteral("ブックのストリームを開けません"));
    if (!readAll(stream.p, bytes.size(), result.data))
        xlsmsg::damaged(name, QStringLiteral("ブックのストリームが途中で切れています"));
    result.kind = workbook >= 0 ? StreamKind::Workbook : StreamKind::Book;
    return result;
}

} // namespace tovera::cfb
