#include "sheet/workbookops.h"

#include "platform/errors.h"
#include "sheet/xlsreader.h"
#include "sheet/xlsxreader.h"
#include "sheet/xlswriter.h"

#include <cstring>

namespace tovera {

void LoadWorkbookFromHandle(Workbook& book, HGLOBAL handle) {
    const QString name = QStringLiteral("メモリ上のブック");
    const std::size_t size = GlobalSize(handle);
    const void* memory = size > 0 ? GlobalLock(handle) : nullptr;
    if (!memory)
        throw EOleException(
            QStringLiteral("%1 を読めません（メモリのハンドルが正しくありません）").arg(name));
    QByteArray bytes;
    try {
        bytes = QByteArray(static_cast<const char*>(memory), qsizetype(size));
    } catch (...) {
        GlobalUnlock(handle);
        throw;
    }
    GlobalUnlock(handle);
    Workbook loaded = loadAnyWorkbookBytes(bytes, name);
    book = std::move(loaded);
}

void SaveWorkbookToHandle(const Workbook& book, HGLOBAL& handle) {
    const QByteArray bytes = saveWorkbookBytes(book);
    const HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, std::size_t(bytes.size()));
    void* memory = block ? GlobalLock(block) : nullptr;
    if (!memory) {
        if (block) GlobalFree(block);
        throw EOleException(QStringLiteral("ブックを書き出せません（メモリが足りません）"));
    }
    std::memcpy(memory, bytes.constData(), std::size_t(bytes.size()));
    GlobalUnlock(block);
    handle = block;
}

void ClearWorkbook(Workbook& book) {
    book = Workbook::createDefault();
}

} // namespace tovera
