#pragma once
// A fixed set of worker threads running tasks in the order given. The tasks touch no widget and
// ask no question: they hand their results back to the window's thread, which polls for them.
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace picaxo {

// The number of workers a setting asks for: 0 means one per core.
unsigned WorkerCount(unsigned setting);

class TWorkerPool {
 public:
  explicit TWorkerPool(unsigned threads);
  // Runs every task already given, then ends the threads.
  ~TWorkerPool();
  TWorkerPool(const TWorkerPool&) = delete;
  TWorkerPool& operator=(const TWorkerPool&) = delete;

  // A task must not throw.
  void Submit(std::function<void()> task);

 private:
  void Loop();

  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::function<void()>> tasks_;
  bool stopping_ = false;
  std::vector<std::thread> threads_;
};

}  // namespace picaxo
