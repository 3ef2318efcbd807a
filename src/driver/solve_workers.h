// The threads that share the solve's work, and the solve's working lists: both kept for the
// whole run by whoever runs the frames, so that a frame starts no thread and allocates nothing.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "deform/bone_layout.h"
#include "deform/vector4.h"
#include "deform/vector_unit.h"

// Runs the units of one task at a time on all of its threads, the caller's included. A unit is
// claimed by whichever thread comes first, and the caller waits only for units that were
// claimed: a helper that the machine has not scheduled yet delays nothing (the cores are shared
// with other work). Between tasks the helpers spin a little, as the solve hands out two tasks a
// sweep, and then sleep.
struct WorkerPool {
    explicit WorkerPool(int32_t threads);
    ~WorkerPool();
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    int32_t threads;
    std::vector<std::thread> helpers;
    std::mutex mutex;
    std::condition_variable wake;  // helpers wait here for the next task
    std::condition_variable done;  // the caller waits here for claimed units
    // The task's number in the high half, the next unclaimed unit in the low half: a helper
    // that comes late to a task can't claim a unit of the next one.
    alignas(64) std::atomic<uint64_t> work{0};
    std::atomic<int32_t> units{0};
    alignas(64) std::atomic<int32_t> remaining{0};
    std::atomic<int32_t> sleepingHelpers{0};
    std::atomic<bool> callerSleeping{false};
    std::atomic<bool> stopping{false};
    void (*task)(void* context, int32_t unit) = nullptr;
    void* context = nullptr;
};

// Runs task(context, u) once for every unit u in 0 .. units - 1 and returns when all have run.
void runOnWorkers(WorkerPool& pool, int32_t units, void (*task)(void* context, int32_t unit),
                  void* context);

template <typename Task>
void runOnWorkers(WorkerPool& pool, int32_t units, Task& task) {
    runOnWorkers(
        pool, units, [](void* context, int32_t unit) { (*static_cast<Task*>(context))(unit); },
        &task);
}

// The cores this process may run on; at least 1.
int32_t coreCount();

struct SolveWorkers {
    int32_t threads = 0;  // 0: one per core, the run's choice; tests ask for counts of their own
    VectorUnit widest = VectorUnit::Avx512;  // the widest loops to use, if the CPU has them
    std::unique_ptr<WorkerPool> pool;        // started by the first solve that shares its work
    BoneLayout layout;
    std::vector<Float4> positions;  // pos of every vertex during the sweeps; lane 3 is 0
    std::vector<Float4> sums;       // goalSum and weightSum of every vertex during a sweep
    std::vector<BoneMotion> motions;
};
