// Worker threads for the archive: jobs that compress or inflate into memory
// and hand their results back to the thread that waits for them, in the
// order that thread asks for them.
#pragma once
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

// The number of threads the archive may keep busy: the processors in the
// process's affinity mask, lowered by the environment variable
// TARNWICK_THREADS; SetArchiveThreads overrides it.
int ArchiveThreads();
void SetArchiveThreads(int threads);

// One job's completion. Wait rethrows what the job threw.
class TJob {
public:
  virtual ~TJob() = default;
  virtual void Run() = 0;
  void Wait();
  bool Done();

private:
  friend class TWorkerPool;
  void Finish(std::exception_ptr failure);
  std::mutex m_;
  std::condition_variable cv_;
  bool done_ = false;
  std::exception_ptr failure_;
};

// A fixed set of threads taking jobs first come, first served. Without
// threads a job runs inside Submit.
class TWorkerPool {
public:
  explicit TWorkerPool(int threads);
  ~TWorkerPool();
  TWorkerPool(const TWorkerPool&) = delete;
  TWorkerPool& operator=(const TWorkerPool&) = delete;
  void Submit(std::shared_ptr<TJob> job);
  int Threads() const { return static_cast<int>(threads_.size()); }

private:
  void Loop();
  // Runs a job and hands it its failure, if any.
  static void RunJob(TJob& job);
  std::mutex m_;
  std::condition_variable cv_;
  std::deque<std::shared_ptr<TJob>> queue_;
  bool stopping_ = false;
  std::vector<std::thread> threads_;
};

// The pool shared by the archive code, with ArchiveThreads() threads beside
// the caller's when that is more than 1 (none otherwise); made on first use
// and made again when the count changes.
TWorkerPool& ArchivePool();
