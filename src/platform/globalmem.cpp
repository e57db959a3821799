#include "platform/globalmem.h"

#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <unordered_map>

namespace tovera {
namespace {

struct Block {
    std::unique_ptr<unsigned char[]> data; // null for a discarded block
    std::size_t size = 0;
    unsigned flags = 0;
    unsigned locks = 0;
};

struct Table {
    std::mutex mutex;
    std::unordered_map<HGLOBAL, Block> blocks;
    std::unordered_map<const void*, HGLOBAL> byAddress;
    HGLOBAL next = 0x10000;

    // Handles are multiples of 4 in a range that never starts at 0; they are not reused
    // until the 32-bit counter wraps, so a stale handle is normally recognised as invalid.
    HGLOBAL newHandle() {
        for (;;) {
            next += 4;
            if (next < 0x10000) next = 0x10004;
            if (!blocks.count(next)) return next;
        }
    }
};

Table& table() {
    static Table t;
    return t;
}

thread_local unsigned lastError = ERROR_SUCCESS;

Block* find(Table& t, HGLOBAL handle) {
    auto it = t.blocks.find(handle);
    if (it == t.blocks.end()) {
        lastError = ERROR_INVALID_HANDLE;
        return nullptr;
    }
    return &it->second;
}

} // namespace

HGLOBAL GlobalAlloc(unsigned flags, std::size_t bytes) {
    Block block;
    block.flags = flags;
    if (bytes > 0 || !(flags & GMEM_MOVEABLE)) {
        // A fixed block of 0 bytes still gets an address, as on the platform.
        block.data.reset(new (std::nothrow) unsigned char[bytes > 0 ? bytes : 1]);
        if (!block.data) {
            lastError = ERROR_NOT_ENOUGH_MEMORY;
            return 0;
        }
        if (flags & GMEM_ZEROINIT) std::memset(block.data.get(), 0, bytes);
        block.size = bytes;
    }
    Table& t = table();
    std::lock_guard guard(t.mutex);
    const HGLOBAL handle = t.newHandle();
    if (block.data) t.byAddress.emplace(block.data.get(), handle);
    t.blocks.emplace(handle, std::move(block));
    lastError = ERROR_SUCCESS;
    return handle;
}

void* GlobalLock(HGLOBAL handle) {
    Table& t = table();
    std::lock_guard guard(t.mutex);
    Block* b = find(t, handle);
    if (!b) return nullptr;
    if (!b->data) {
        lastError = ERROR_INVALID_HANDLE;
        return nullptr;
    }
    if ((b->flags & GMEM_MOVEABLE) && b->locks < GMEM_LOCKCOUNT) ++b->locks;
    lastError = ERROR_SUCCESS;
    return b->data.get();
}

bool GlobalUnlock(HGLOBAL handle) {
    Table& t = table();
    std::lock_guard guard(t.mutex);
    Block* b = find(t, handle);
    if (!b) return false;
    if (b->locks == 0) {
        lastError = ERROR_NOT_LOCKED;
        return false;
    }
    --b->locks;
    lastError = ERROR_SUCCESS;
    return b->locks > 0;
}

std::size_t GlobalSize(HGLOBAL handle) {
    Table& t = table();
    std::lock_guard guard(t.mutex);
    Block* b = find(t, handle);
    if (!b) return 0;
    lastError = ERROR_SUCCESS;
    return b->size;
}

HGLOBAL GlobalFree(HGLOBAL handle) {
    Table& t = table();
    std::lock_guard guard(t.mutex);
    auto it = t.blocks.find(handle);
    if (it == t.blocks.end()) {
        lastError = ERROR_INVALID_HANDLE;
        return handle;
    }
    if (it->second.data) t.byAddress.erase(it->second.data.get());
    t.blocks.erase(it);
    lastError = ERROR_SUCCESS;
    return 0;
}

HGLOBAL GlobalHandle(const void* address) {
    Table& t = table();
    std::lock_guard guard(t.mutex);
    auto it = t.byAddress.find(address);
    if (address == nullptr || it == t.byAddress.end()) {
        lastError = ERROR_INVALID_HANDLE;
        return 0;
    }
    lastError = ERROR_SUCCESS;
    return it->second;
}

unsigned GlobalFlags(HGLOBAL handle) {
    Table& t = table();
    std::lock_guard guard(t.mutex);
    Block* b = find(t, handle);
    if (!b) return GMEM_INVALID_HANDLE;
    lastError = ERROR_SUCCESS;
    return (b->locks & GMEM_LOCKCOUNT) | (b->data ? 0u : GMEM_DISCARDED);
}

unsigned globalLastError() {
    return lastError;
}

std::size_t globalBlockCount() {
    Table& t = table();
    std::lock_guard guard(t.mutex);
    return t.blocks.size();
}

} // namespace tovera
