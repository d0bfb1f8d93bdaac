#include "cpu_and_gpu/cpu_crew.h"

#include <pthread.h>
#include <sched.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <system_error>

#include "cpu_and_gpu/cpu_and_gpu_record.h"
#include "data/staging.h"
#include "data/verify.h"

namespace {

// A stop signal is the driving thread's to see, not a copying thread's.
void blockStopSignals() {
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  sigaddset(&signals, SIGHUP);
  (void)pthread_sigmask(SIG_BLOCK, &signals, nullptr);
}

void pin(CpuCrew *crew, int k, CpuWorker *worker) {
  if (crew->cpus.empty()) {
    return;
  }
  const int cpu = crew->cpus[static_cast<size_t>(k) % crew->cpus.size()];
  cpu_set_t mask;
  CPU_ZERO(&mask);
  CPU_SET(cpu, &mask);
  if (sched_setaffinity(0, sizeof mask, &mask) == 0) {
    worker->cpu = cpu;
  }
}

// Copies chunk after chunk until the crew is stopped.
void copyUntilStopped(const CpuCrew &crew, CpuWorker *worker) {
  uint64_t chunks = 0;
  uint64_t offset = worker->offset;
  bool forward = worker->forward;
  while (true) {
    unsigned char *from = forward ? worker->first : worker->second;
    unsigned char *to = forward ? worker->second : worker->first;
    memcpy(to + offset, from + offset, kCpuChunkBytes);
    if (crew.stop.load(std::memory_order_acquire)) {
      break;
    }
    chunks++;
    offset += kCpuChunkBytes;
    if (offset == kCpuBufferBytes) {
      // The next copy reads what this one wrote.
      offset = 0;
      forward = !forward;
    }
  }
  worker->chunks = chunks;
  worker->offset = offset;
  worker->forward = forward;
}

void settle(CpuCrew *crew) {
  std::lock_guard<std::mutex> lock(crew->mutex);
  crew->settledCount++;
  crew->settled.notify_one();
}

void work(CpuCrew *crew, int k) {
  blockStopSignals();
  // Named so that ps and top tell the copying threads apart (15 characters at most).
  char name[16];
  snprintf(name, sizeof name, "cpu copy %d", k);
  (void)pthread_setname_np(pthread_self(), name);
  CpuWorker *worker = &crew->workers[static_cast<size_t>(k) - 1];
  pin(crew, k, worker);
  if (crew->checkPattern) {
    fillCheckPattern(worker->first, kCpuBufferBytes);
  } else {
    fillStagingBuffer(worker->first, static_cast<uint32_t>(kCpuBufferBytes));
  }
  memcpy(worker->second, worker->first, kCpuBufferBytes);
  settle(crew);
  int seen = 0;
  while (true) {
    {
      std::unique_lock<std::mutex> lock(crew->mutex);
      crew->wake.wait(lock, [&] { return crew->quit || crew->generation != seen; });
      if (crew->quit) {
        return;
      }
      seen = crew->generation;
    }
    copyUntilStopped(*crew, worker);
    settle(crew);
  }
}

// Waits until every thread started has settled.
void awaitSettled(CpuCrew *crew) {
  std::unique_lock<std::mutex> lock(crew->mutex);
  crew->settled.wait(lock, [&] { return crew->settledCount == static_cast<int>(crew->threads.size()); });
}

}  // namespace

int startCrew(CpuCrew *crew, int *failed) {
  const int threads = static_cast<int>(crew->workers.size());
  for (int k = 1; k <= threads; k++) {
    try {
      crew->threads.emplace_back(work, crew, k);
    } catch (const std::system_error &error) {
      *failed = k;
      endCrew(crew);
      return error.code().value();
    }
  }
  awaitSettled(crew);
  return 0;
}

void releaseCrew(CpuCrew *crew) {
  {
    std::lock_guard<std::mutex> lock(crew->mutex);
    crew->stop.store(false, std::memory_order_release);
    crew->settledCount = 0;
    crew->generation++;
  }
  crew->wake.notify_all();
}

uint64_t stopCrew(CpuCrew *crew) {
  crew->stop.store(true, std::memory_order_release);
  awaitSettled(crew);
  uint64_t chunks = 0;
  for (const CpuWorker &worker : crew->workers) {
    chunks += worker.chunks;
  }
  return chunks;
}

void endCrew(CpuCrew *crew) {
  {
    std::lock_guard<std::mutex> lock(crew->mutex);
    crew->quit = true;
  }
  crew->stop.store(true, std::memory_order_release);
  crew->wake.notify_all();
  for (std::thread &thread : crew->threads) {
    if (thread.joinable()) {
      thread.join();
    }
  }
  crew->threads.clear();
}
