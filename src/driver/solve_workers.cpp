#include "driver/solve_workers.h"

#if defined(__linux__)
#include <sched.h>
#endif

namespace {

// About a sweep's worth of waiting on this machine before a thread gives up its core.
constexpr int SPIN_ROUNDS = 20000;

inline void relax() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#else
    std::this_thread::yield();
#endif
}

void helperLoop(WorkerPool& pool, int32_t worker) {
    uint32_t seen = 0;
    for (;;) {
        for (int spin = 0; spin < SPIN_ROUNDS && pool.generation.load() == seen; ++spin) relax();
        if (pool.generation.load() == seen) {
            std::unique_lock<std::mutex> lock(pool.mutex);
            pool.sleepingHelpers.fetch_add(1);
            while (pool.generation.load() == seen) pool.wake.wait(lock);
            pool.sleepingHelpers.fetch_sub(1);
        }
        seen = pool.generation.load();
        if (pool.stopping.load()) return;
        pool.task(pool.context, worker);
        if (pool.pending.fetch_sub(1) == 1 && pool.callerSleeping.load()) {
            std::lock_guard<std::mutex> lock(pool.mutex);
            pool.done.notify_one();
        }
    }
}

void wakeHelpers(WorkerPool& pool) {
    if (pool.sleepingHelpers.load() > 0) {
        std::lock_guard<std::mutex> lock(pool.mutex);
        pool.wake.notify_all();
    }
}

}  // namespace

WorkerPool::WorkerPool(int32_t count) : threads(count < 1 ? 1 : count) {
    for (int32_t w = 1; w < threads; ++w) helpers.emplace_back(helperLoop, std::ref(*this), w);
}

WorkerPool::~WorkerPool() {
    stopping.store(true);
    generation.fetch_add(1);
    {
        std::lock_guard<std::mutex> lock(mutex);
        wake.notify_all();
    }
    for (std::thread& helper : helpers) helper.join();
}

void runOnWorkers(WorkerPool& pool, void (*task)(void* context, int32_t worker), void* context) {
    pool.task = task;
    pool.context = context;
    pool.pending.store(pool.threads - 1);
    pool.generation.fetch_add(1);
    wakeHelpers(pool);
    task(context, 0);
    for (int spin = 0; spin < SPIN_ROUNDS && pool.pending.load() != 0; ++spin) relax();
    if (pool.pending.load() != 0) {
        std::unique_lock<std::mutex> lock(pool.mutex);
        pool.callerSleeping.store(true);
        while (pool.pending.load() != 0) pool.done.wait(lock);
        pool.callerSleeping.store(false);
    }
}

int32_t coreCount() {
#if defined(__linux__)
    // The cores this process is allowed, which a container may set below the machine's.
    cpu_set_t set;
    if (sched_getaffinity(0, sizeof set, &set) == 0) {
        const int count = CPU_COUNT(&set);
        if (count > 0) return count;
    }
#endif
    const unsigned count = std::thread::hardware_concurrency();
    return count > 0 ? int32_t(count) : 1;
}
