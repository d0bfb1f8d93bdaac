#ifndef QUILLMERE_CPU_AND_GPU_CPU_CREW_H
#define QUILLMERE_CPU_AND_GPU_CPU_CREW_H

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

// One CPU thread's buffers and what it did; its members are the thread's
// while a part runs and the driver's between parts (the crew's mutex hands
// them over).
struct CpuWorker {
  unsigned char *first = nullptr;   // kCpuBufferBytes each, page-aligned
  unsigned char *second = nullptr;
  int cpu = -1;                     // the CPU it pinned itself to; -1: not pinned
  uint64_t chunks = 0;              // chunks counted in the last part
  uint64_t offset = 0;              // where its next chunk goes
  bool forward = true;              // its next copy goes from first to second
};

// The CPU threads that copy, each on buffers of its own, in parts that the
// driving thread releases and stops.
struct CpuCrew {
  std::mutex mutex;
  std::condition_variable wake;     // a part begins, or the crew quits
  std::condition_variable settled;  // a thread is ready, or done with a part
  int generation = 0;               // the part under way; 0 before the first
  int settledCount = 0;             // threads settled since the last release
  bool quit = false;
  std::atomic<bool> stop{false};    // looked at after every chunk
  bool checkPattern = false;        // fill with the check pattern, else the staging pattern
  std::vector<int> cpus;            // the CPUs to pin to, in order
  std::vector<CpuWorker> workers;   // their buffers allocated by the driver
  std::vector<std::thread> threads;
};

// Starts a thread per worker: thread k (from 1) pins itself to the CPU at
// position k modulo the crew's CPUs, fills its first buffer and copies it
// into its second, then waits for a part. Returns 0 once all are ready, or
// the errno value of a thread that could not start, with its number in
// *failed; the threads started are then ended.
int startCrew(CpuCrew *crew, int *failed);

// Releases every thread at once into a part: each copies its buffers, 1 MiB
// at a time, until it is stopped.
void releaseCrew(CpuCrew *crew);

// Tells the threads to stop, waits until each has, and returns the chunks
// they counted in the part (a chunk after which a thread saw the stop is not
// counted).
uint64_t stopCrew(CpuCrew *crew);

// Ends the threads and joins them; safe to call more than once, and after a
// part was released but not stopped.
void endCrew(CpuCrew *crew);

#endif
