#include "routines_Workers.h"

#include <atomic>
#include <cstdlib>
#include <string>

#ifdef _WIN32
#include <windows.h>
#else
#include <sched.h>
#endif

namespace {
std::atomic<int> archiveThreads{0};

// The processors this process may run on, at most TARNWICK_THREADS.
int DefaultThreads() {
  int n = 1;
#ifdef _WIN32
  DWORD_PTR process = 0, system = 0;
  if (GetProcessAffinityMask(GetCurrentProcess(), &process, &system)) {
    n = 0;
    for (; process; process &= process - 1) ++n;
  }
#else
  cpu_set_t set;
  if (sched_getaffinity(0, sizeof set, &set) == 0) n = CPU_COUNT(&set);
#endif
  if (const char* v = std::getenv("TARNWICK_THREADS")) {
    const int wanted = std::atoi(v);
    if (wanted >= 1 && wanted < n) n = wanted;
  }
  return n < 1 ? 1 : n;
}
}  // namespace

int ArchiveThreads() {
  int n = archiveThreads.load();
  if (n == 0) {
    n = DefaultThreads();
    int expected = 0;
    if (!archiveThreads.compare_exchange_strong(expected, n)) n = expected;
  }
  return n;
}
void SetArchiveThreads(int threads) { archiveThreads.store(threads < 1 ? 1 : threads); }

void TJob::Finish(std::exception_ptr failure) {
  std::lock_guard<std::mutex> lock(m_);
  failure_ = failure;
  done_ = true;
  cv_.notify_all();
}

void TJob::Wait() {
  std::unique_lock<std::mutex> lock(m_);
  cv_.wait(lock, [this] { return done_; });
  if (failure_) std::rethrow_exception(failure_);
}

bool TJob::Done() {
  std::lock_guard<std::mutex> lock(m_);
  return done_;
}

TWorkerPool::TWorkerPool(int threads) {
  for (int i = 0; i < threads; ++i) threads_.emplace_back([this] { Loop(); });
}

TWorkerPool::~TWorkerPool() {
  {
    std::lock_guard<std::mutex> lock(m_);
    stopping_ = true;
  }
  cv_.notify_all();
  for (std::thread& t : threads_) t.join();
}

void TWorkerPool::RunJob(TJob& job) {
  std::exception_ptr failure;
  try {
    job.Run();
  } catch (...) {
    failure = std::current_exception();
  }
  job.Finish(failure);
}

void TWorkerPool::Submit(std::shared_ptr<TJob> job) {
  if (threads_.empty()) {
    RunJob(*job);
    return;
  }
  {
    std::lock_guard<std::mutex> lock(m_);
    queue_.push_back(std::move(job));
  }
  cv_.notify_one();
}

void TWorkerPool::Loop() {
  for (;;) {
    std::shared_ptr<TJob> job;
    {
      std::unique_lock<std::mutex> lock(m_);
      cv_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
      // Jobs still queued run before the pool goes: their waiters get them.
      if (queue_.empty()) return;
      job = std::move(queue_.front());
      queue_.pop_front();
    }
    RunJob(*job);
  }
}

TWorkerPool& ArchivePool() {
  static std::mutex m;
  // Never destroyed: at the program's exit its idle threads simply end.
  static TWorkerPool* pool = nullptr;
  static int made = -1;
  std::lock_guard<std::mutex> lock(m);
  const int threads = ArchiveThreads() > 1 ? ArchiveThreads() : 0;
  if (!pool || made != threads) {
    delete pool;
    pool = new TWorkerPool(threads);
    made = threads;
  }
  return *pool;
}
