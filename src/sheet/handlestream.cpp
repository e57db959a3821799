#include "sheet/handlestream.h"

#include <algorithm>
#include <cstring>

namespace tovera {

void TCustomMemoryStream::SetPointer(const void* memory, std::int64_t size) {
    memory_ = static_cast<const unsigned char*>(memory);
    size_ = memory ? std::max<std::int64_t>(size, 0) : 0;
}

std::int64_t TCustomMemoryStream::Read(void* buffer, std::int64_t count) {
    if (count <= 0 || position_ >= size_ || !memory_) return 0;
    const std::int64_t n = std::min(count, size_ - position_);
    std::memcpy(buffer, memory_ + position_, static_cast<size_t>(n));
    position_ += n;
    return n;
}

std::int64_t TCustomMemoryStream::Seek(std::int64_t offset, SeekOrigin origin) {
    std::int64_t base = 0;
    if (origin == SeekOrigin::Current) base = position_;
    if (origin == SeekOrigin::End) base = size_;
    const std::int64_t target = base + offset;
    if (target < 0) throw EInOutError(QStringLiteral("Stream seek error"));
    position_ = target;
    return position_;
}

std::int64_t TCustomMemoryStream::Write(const void*, std::int64_t) {
    throw EInOutError(QStringLiteral("Stream write error"));
}

QByteArray TCustomMemoryStream::bytes() const {
    if (!memory_ || size_ == 0) return {};
    return QByteArray(reinterpret_cast<const char*>(memory_), static_cast<qsizetype>(size_));
}

THandleMemoryStream::THandleMemoryStream(HGLOBAL handle) {
    void* memory = GlobalLock(handle);
    if (!memory) throw EHandleMemoryStream(QStringLiteral("Invalid Memory Handle"));
    SetPointer(memory, static_cast<std::int64_t>(GlobalSize(handle)));
    handle_ = handle;
}

THandleMemoryStream::~THandleMemoryStream() {
    if (handle_ != 0) {
        GlobalUnlock(handle_);
        GlobalFree(handle_);
    }
}

} // namespace tovera
