#include "unkiln/ordered_work.h"

#include <gtest/gtest.h>

#include <atomic>
#include <vector>

namespace unkiln {
namespace {

TEST(OrderedWork, ResultsComeInTheOrderGivenWhoeverDidTheWork) {
  for (int workers : {0, 1, 3}) {
    for (size_t window : {size_t(1), size_t(4), size_t(1024)}) {
      SCOPED_TRACE(std::to_string(workers) + " workers, window " + std::to_string(window));
      OrderedWork work(workers, window);
      std::vector<int> done;
      std::vector<long> results(300, -1);
      std::atomic<int> running{0}, mostRunning{0};
      for (int i = 0; i < 300; ++i) {
        if (i % 50 == 7) {
          // Nothing to do on a worker: only its turn.
          work.addTask(nullptr, [&done, i] { done.push_back(i); });
          continue;
        }
        work.addTask(
            [&, i] {
              const int now = ++running;
              for (int seen = mostRunning; now > seen && !mostRunning.compare_exchange_weak(seen, now);) {
              }
              long sum = 0;  // a long piece of work now and then
              for (long k = 0; k < (i % 37 == 0 ? 200000 : 100); ++k) sum += k % 7;
              results[size_t(i)] = sum;
              --running;
            },
            [&done, &results, i] {
              EXPECT_GE(results[size_t(i)], 0) << i;  // its work is done before its turn
              done.push_back(i);
            });
        // At most window pieces wait or run.
        EXPECT_LE(running.load(), int(window));
      }
      work.settle();
      ASSERT_EQ(done.size(), 300u);
      for (int i = 0; i < 300; ++i) EXPECT_EQ(done[size_t(i)], i);
      EXPECT_LE(mostRunning.load(), workers + 1);
    }
  }
}

}  // namespace
}  // namespace unkiln
