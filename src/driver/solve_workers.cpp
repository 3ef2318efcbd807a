#include "driver/solve_workers.h"

#if defined(__linux__)
#include <sched.h>
#endif

namespace {

// About a sweep's worth of waiting on this machine before a thread gives up its core.
constexpr int SPIN_ROUNDS = 4000;

inline void relax() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#else
    std::this_thread::yield();
#endif
}

// A task's next unit while it is being set up: beyond every count.
constexpr uint64_t CLOSED = 0xffffffffu;

inline uint32_t taskOf(uint64_t work) {
    return uint32_t(work >> 32);
}

// Claims and runs units of task `number` until none is left or the task is over.
void runUnits(WorkerPool& pool, uint32_t number) {
    uint64_t work = pool.work.load();
    for (;;) {
        if (taskOf(work) != number) return;
        const uint32_t unit = uint32_t(work);
        if (unit >= uint32_t(pool.units.load())) return;
        if (!pool.work.compare_exchange_weak(work, work + 1)) continue;
        // The caller waits for this unit, so the task and its context stay in place.
        pool.task(pool.context, int32_t(unit));
        if (pool.remaining.fetch_sub(1) == 1 && pool.callerSleeping.load()) {
            std::lock_guard<std::mutex> lock(pool.mutex);
            pool.done.notify_one();
        }
        work = pool.work.load();
    }
}

void helperLoop(WorkerPool& pool) {
    uint32_t seen = 0;
    for (;;) {
        for (int spin = 0; spin < SPIN_ROUNDS && taskOf(pool.work.load()) == seen; ++spin) {
            relax();
        }
        if (taskOf(pool.work.load()) == seen) {
            std::unique_lock<std::mutex> lock(pool.mutex);
            pool.sleepingHelpers.fetch_add(1);
            while (taskOf(pool.work.load()) == seen && !pool.stopping.load()) pool.wake.wait(lock);
            pool.sleepingHelpers.fetch_sub(1);
        }
        if (pool.stopping.load()) return;
        seen = taskOf(pool.work.load());
        runUnits(pool, seen);
    }
}

}  // namespace

WorkerPool::WorkerPool(int32_t count) : threads(count < 1 ? 1 : count) {
    for (int32_t w = 1; w < threads; ++w) helpers.emplace_back(helperLoop, std::ref(*this));
}

WorkerPool::~WorkerPool() {
    {
        std::lock_guard<std::mutex> lock(mutex);
        stopping.store(true);
        wake.notify_all();
    }
    for (std::thread& helper : helpers) helper.join();
}

void runOnWorkers(WorkerPool& pool, int32_t units, void (*task)(void* context, int32_t unit),
                  void* context) {
    if (units <= 0) return;
    // Closed first, under a number of its own: a helper still holding the last task's number
    // must not claim a unit against the new count.
    const uint32_t closed = taskOf(pool.work.load()) + 1;
    pool.work.store(uint64_t(closed) << 32 | CLOSED);
    pool.task = task;
    pool.context = context;
    pool.units.store(units);
    pool.remaining.store(units);
    const uint32_t number = closed + 1;
    pool.work.store(uint64_t(number) << 32);
    if (pool.sleepingHelpers.load() > 0) {
        std::lock_guard<std::mutex> lock(pool.mutex);
        pool.wake.notify_all();
    }
    runUnits(pool, number);
    for (int spin = 0; spin < SPIN_ROUNDS && pool.remaining.load() != 0; ++spin) relax();
    if (pool.remaining.load() != 0) {
        std::unique_lock<std::mutex> lock(pool.mutex);
        pool.callerSleeping.store(true);
        while (pool.remaining.load() != 0) pool.done.wait(lock);
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
