#include "drawing/filetext.h"

#include "platform/errors.h"

#include <algorithm>
#include <cerrno>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tovera::readerdetail {

FileText::FileText(const char* data, size_t size) : p_(data), end_(data + size), eof_(true) {
    if (const void* eof = std::memchr(data, 26, size)) end_ = static_cast<const char*>(eof);
}

FileText FileText::withoutEndByte(const char* data, size_t size) {
    FileText f(data, 0);
    f.end_ = data + size;
    return f;
}

FileText::FileText(int fd, size_t blockSize) : fd_(fd), buffer_(std::max<size_t>(blockSize, 1)) {
    p_ = end_ = buffer_.data();
    struct stat st;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        const off_t at = ::lseek(fd, 0, SEEK_CUR);
        fileSize_ = int64_t(st.st_size) - (at > 0 ? int64_t(at) : 0);
    }
}

bool FileText::more() {
    if (eof_) return false;
    const size_t keep = size_t(end_ - p_);
    if (keep == buffer_.size()) {
        // One line fills the whole buffer: make room for more of it.
        std::vector<char> bigger(buffer_.size() * 2);
        std::memcpy(bigger.data(), p_, keep);
        buffer_.swap(bigger);
    } else if (keep > 0 && p_ != buffer_.data()) {
        std::memmove(buffer_.data(), p_, keep);
    }
    char* fresh = buffer_.data() + keep;
    p_ = buffer_.data();
    end_ = fresh;
    ssize_t n;
    do n = ::read(fd_, fresh, buffer_.size() - keep);
    while (n < 0 && errno == EINTR);
    if (n < 0) {
        const int error = errno;
        eof_ = true;
        throw EInOutError(ioErrorText(error), error);
    }
    bytesRead_ += n;
    if (n == 0) {
        eof_ = true;
        return false;
    }
    if (const void* eof = std::memchr(fresh, 26, size_t(n))) {
        n = static_cast<const char*>(eof) - fresh;
        eof_ = true;
    }
    end_ = fresh + n;
    return n > 0;
}

QByteArray FileText::readTextSlowly() {
    size_t searched = 0;
    for (;;) {
        const char* q = p_ + searched;
        while (q < end_ && *q != '\r' && *q != '\n') ++q;
        if (q == end_) {
            searched = size_t(end_ - p_);
            if (more()) continue;
            q = end_; // the file has ended: the rest is the text (the bytes may have moved)
        }
        QByteArray text(p_, q - p_);
        p_ = q;
        skipLine();
        return text;
    }
}

void FileText::skipLine() {
    for (;;) {
        if (const void* nl = std::memchr(p_, '\n', size_t(end_ - p_))) {
            p_ = static_cast<const char*>(nl) + 1;
            return;
        }
        p_ = end_;
        if (!more()) return;
    }
}

void prepareLargeBlock(const void* data, size_t bytes) {
    constexpr size_t kLarge = size_t(1) << 20;
    if (bytes < kLarge) return;
    const auto at = [](uintptr_t v, uintptr_t unit) { return v & ~(unit - 1); };
    const uintptr_t first = reinterpret_cast<uintptr_t>(data);
    const uintptr_t last = first + bytes;
    constexpr uintptr_t kLargePage = uintptr_t(2) << 20, kPage = 4096;
    // Memory freed and taken again is mapped already: going over its pages would cost more
    // than it saves. Its last whole page tells (the first may hold the allocator's header).
    unsigned char resident = 0;
    if (::mincore(reinterpret_cast<void*>(at(last, kPage) - kPage), kPage, &resident) == 0 &&
        (resident & 1))
        return;
    const uintptr_t begin = at(first + kLargePage - 1, kLargePage), end = at(last, kLargePage);
    if (end > begin) ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#ifdef MADV_POPULATE_WRITE
    const uintptr_t pageBegin = at(first + kPage - 1, kPage), pageEnd = at(last, kPage);
    if (pageEnd > pageBegin)
        ::madvise(reinterpret_cast<void*>(pageBegin), pageEnd - pageBegin, MADV_POPULATE_WRITE);
#endif
}

} // namespace tovera::readerdetail
