// Internal: tables made once per key on first use and kept for the
// process's life, shared by every thread.
#pragma once

#include <atomic>
#include <cstddef>
#include <memory>
#include <mutex>
#include <new>

namespace glyphrun {

// Making a table may run out of memory: Get then answers nullptr, an
// ordinary failure of the encode that asked, and a later call tries again.
// std::call_once would do the locking, but an exception leaving it unwinds
// through the C library, which under a memory limit cannot load the
// unwinder and aborts the whole process.
template <typename Table, size_t kKeys>
class LazyTables {
public:
    template <typename Make>
    const Table* Get(size_t key, const Make& make) {
        if (const Table* made = made_[key].load(std::memory_order_acquire)) return made;
        std::lock_guard lock(mutex_);
        if (const Table* made = made_[key].load(std::memory_order_relaxed)) return made;
        try {
            owned_[key] = std::make_unique<Table>(make());
        } catch (const std::bad_alloc&) {
            return nullptr;
        }
        made_[key].store(owned_[key].get(), std::memory_order_release);
        return owned_[key].get();
    }

private:
    std::mutex mutex_;
    std::atomic<const Table*> made_[kKeys]{};
    std::unique_ptr<Table> owned_[kKeys];
};

}  // namespace glyphrun
