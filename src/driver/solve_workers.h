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

// Runs one task at a time on all of its threads, the caller's included (worker 0). Between
// tasks the helpers spin a little, since the solve hands out two tasks per sweep, and then
// sleep.
struct WorkerPool {
    explicit WorkerPool(int32_t threads);
    ~WorkerPool();
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    int32_t threads;
    std::vector<std::thread> helpers;
    std::mutex mutex;
    std::condition_variable wake;  // helpers wait here for the next task
    std::condition_variable done;  // the caller waits here for the helpers to finish
    std::atomic<uint32_t> generation{0};
    std::atomic<int32_t> pending{0};
    std::atomic<int32_t> sleepingHelpers{0};
    std::atomic<bool> callerSleeping{false};
    std::atomic<bool> stopping{false};
    // The task's shared work counter: the caller sets it before the task starts.
    std::atomic<int32_t> next{0};
    void (*task)(void* context, int32_t worker) = nullptr;
    void* context = nullptr;
};

// Runs task(context, w) for every worker w and returns when all have finished.
void runOnWorkers(WorkerPool& pool, void (*task)(void* context, int32_t worker), void* context);

template <typename Task>
void runOnWorkers(WorkerPool& pool, Task& task) {
    runOnWorkers(
        pool, [](void* context, int32_t worker) { (*static_cast<Task*>(context))(worker); }, &task);
}

// The cores this process may run on; at least 1.
int32_t coreCount();

struct SolveWorkers {
    int32_t threads = 0;  // wanted threads; 0: one per core. Never more than the cores.
    std::unique_ptr<WorkerPool> pool;  // started by the first solve that shares its work
    BoneLayout layout;
    std::vector<Float4> positions;  // pos of every vertex during the sweeps; lane 3 is 0
    std::vector<Float4> sums;       // goalSum and weightSum of every vertex during a sweep
    std::vector<BoneMotion> motions;
};
