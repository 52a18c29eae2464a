#include "jobs/worker_pool.h"

#include <algorithm>

namespace picaxo {

unsigned WorkerCount(unsigned setting) {
  if (setting > 0) return setting;
  return std::max(1u, std::thread::hardware_concurrency());
}

TWorkerPool::TWorkerPool(unsigned threads) {
  threads_.reserve(threads);
  for (unsigned i = 0; i < std::max(1u, threads); ++i)
    threads_.emplace_back([this] { Loop(); });
}

TWorkerPool::~TWorkerPool() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  for (std::thread& t : threads_)
    t.join();
}

void TWorkerPool::Submit(std::function<void()> task) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    tasks_.push_back(std::move(task));
  }
  wake_.notify_one();
}

void TWorkerPool::Loop() {
  for (;;) {
    std::function<void()> task;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      wake_.wait(lock, [this] { return stopping_ || !tasks_.empty(); });
      if (tasks_.empty()) return;
      task = std::move(tasks_.front());
      tasks_.pop_front();
    }
    task();
  }
}

}  // namespace picaxo
