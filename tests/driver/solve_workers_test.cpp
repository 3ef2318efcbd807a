#include "driver/solve_workers.h"

#include <gtest/gtest.h>

#include <atomic>
#include <vector>

// Tasks of every size one after another, as the solve hands them out, on more threads than
// this machine may have cores: each unit runs once, and a task ends only when all of its units
// have run.
TEST(SolveWorkers, EveryUnitOfEveryTaskRunsOnceBeforeTheTaskEnds) {
    for (const int32_t threads : {1, 2, 3}) {
        WorkerPool pool(threads);
        std::vector<std::atomic<int32_t>> runs(64);
        for (int32_t task = 0; task < 20000; ++task) {
            const int32_t units = 1 + task % 40;
            for (std::atomic<int32_t>& r : runs) r.store(0);
            auto count = [&runs](int32_t unit) { runs[size_t(unit)].fetch_add(1); };
            runOnWorkers(pool, units, count);
            for (int32_t u = 0; u < 64; ++u) {
                ASSERT_EQ(runs[size_t(u)].load(), u < units ? 1 : 0)
                    << threads << " threads, task " << task << ", unit " << u;
            }
        }
    }
}
