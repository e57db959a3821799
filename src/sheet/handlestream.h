#pragma once
// Read-only streams over memory: TCustomMemoryStream reads and seeks within a memory area
// it is given (it neither allocates nor writes), THandleMemoryStream takes over a movable
// global memory block (platform/globalmem.h) and frees it when destroyed.

#include "platform/errors.h"
#include "platform/globalmem.h"

#include <QByteArray>
#include <cstdint>

namespace tovera {

// The origins of Seek.
enum class SeekOrigin { Beginning = 0, Current = 1, End = 2 };

class TCustomMemoryStream {
public:
    TCustomMemoryStream() = default;
    virtual ~TCustomMemoryStream() = default;
    TCustomMemoryStream(const TCustomMemoryStream&) = delete;
    TCustomMemoryStream& operator=(const TCustomMemoryStream&) = delete;

    // Copies up to `count` bytes from the position into `buffer` and moves the position on;
    // returns the number of bytes copied (0 at or past the end, or for count <= 0).
    std::int64_t Read(void* buffer, std::int64_t count);
    // Moves the position to `offset` from `origin` and returns the new position. The
    // position may lie past the end (reads there give nothing); a position before the
    // start raises EInOutError.
    std::int64_t Seek(std::int64_t offset, SeekOrigin origin);
    // Writing is not supported by a memory area the stream does not own: raises
    // EInOutError.
    std::int64_t Write(const void* buffer, std::int64_t count);

    std::int64_t Position() const { return position_; }
    void SetPosition(std::int64_t position) { Seek(position, SeekOrigin::Beginning); }
    std::int64_t Size() const { return size_; }
    // The memory area (not owned by this class), null when none was set.
    const void* Memory() const { return memory_; }
    // A copy of the whole memory area.
    QByteArray bytes() const;

protected:
    // Makes `memory` (of `size` bytes, kept by the caller or the subclass) the stream's area.
    void SetPointer(const void* memory, std::int64_t size);

private:
    const unsigned char* memory_ = nullptr;
    std::int64_t size_ = 0;
    std::int64_t position_ = 0;
};

// The error raised for a global memory handle that cannot be locked.
class EHandleMemoryStream : public Exception {
public:
    using Exception::Exception;
};

// A stream over a global memory block it owns from construction on. The block stays
// locked for the stream's life; the destructor unlocks and frees it.
class THandleMemoryStream : public TCustomMemoryStream {
public:
    // Locks `handle`; raises EHandleMemoryStream "Invalid Memory Handle" when that gives
    // no address, in which case the block is not taken over.
    explicit THandleMemoryStream(HGLOBAL handle);
    ~THandleMemoryStream() override;

    HGLOBAL Handle() const { return handle_; }

private:
    HGLOBAL handle_ = 0;
};

} // namespace tovera
