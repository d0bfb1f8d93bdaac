// Preloaded into the tool to script the host's monotonic clock: with
// STANDIN_CLOCK_STEP_NS set, each reading of CLOCK_MONOTONIC is the last
// one plus that many nanoseconds (0: the clock stands still), so a copy
// timed by two readings takes exactly the step. Without it, and for every
// other clock, the C library answers.
#include <dlfcn.h>
#include <time.h>

#include <cstdlib>

namespace {

using ClockFunction = int (*)(clockid_t, struct timespec *);

long long scriptedStep() {
  static const char *const text = getenv("STANDIN_CLOCK_STEP_NS");
  return text != nullptr ? strtoll(text, nullptr, 10) : -1;
}

}  // namespace

// NOLINTNEXTLINE(readability-inconsistent-declaration-parameter-name)
extern "C" int clock_gettime(clockid_t clock, struct timespec *now) {
  static const auto realClock = reinterpret_cast<ClockFunction>(dlsym(RTLD_NEXT, "clock_gettime"));
  const long long step = scriptedStep();
  if (clock != CLOCK_MONOTONIC || step < 0) {
    return realClock(clock, now);
  }
  static long long nanoseconds = 1000000000LL;
  nanoseconds += step;
  now->tv_sec = static_cast<time_t>(nanoseconds / 1000000000LL);
  now->tv_nsec = static_cast<long>(nanoseconds % 1000000000LL);
  return 0;
}
