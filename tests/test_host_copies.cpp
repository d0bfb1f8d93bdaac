// Copies between host and device memory: the six figures, registration
// the device cannot do, the timers' checks and the host buffers.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "tool_runner.h"

namespace {

const char kFigures[] = "\nMemcpy\t 1048.6 MB/s (Total: 2097.2 MB/s)\nMemset\t 1048.6 MB/s\n";

// One GPU-timed repetition of a host copy, with the copy's own log line.
std::string gpuTimed(const std::string &copy) {
  return "cudaEventRecord e5 0\n" + copy + "\ncudaEventRecord e6 0\ncudaEventSynchronize e6\n"
         "cudaEventElapsedTime e5 e6\n";
}

std::string registeredCopies() {
  return "cudaHostRegister r1 1048576 0\n" + gpuTimed("cudaMemcpyAsync d4 r1 1048576 1 0 pattern-ok") +
         gpuTimed("cudaMemcpyAsync r1 d4 1048576 2 0") + "cudaHostUnregister r1\n";
}

struct PhaseCase {
  const char *name;
  std::vector<std::string> env;
  bool registered;            // the registered copies were measured
  std::string registration;   // their log
  const char *attributes = "cudaDeviceGetAttribute 18 0\ncudaDeviceGetAttribute 19 0\n"
                           "cudaDeviceGetAttribute 88 0\ncudaDeviceGetAttribute 99 0\n";
};

// Each copy scripted a time of its own, so that a figure printed in the
// wrong place, or a copy in the wrong direction, shows.
TEST(HostCopies, SixFiguresTheirCallsAndRegistration) {
  const char *measured = "HtoD pinned\t524.3 MB/s\nDtoH pinned\t2097.2 MB/s\nHtoD pageable\t262.1 MB/s\n"
                         "DtoH pageable\t262.1 MB/s\n";
  const char *times = "STANDIN_TIMES=1,1,2,0.5,4,0.25";
  const char *clock = "STANDIN_CLOCK_STEP_NS=4000000";
  const char *notSupported = "HtoD registered\tnot supported by this device\n"
                             "DtoH registered\tnot supported by this device\n";
  const std::vector<PhaseCase> cases = {
      {"every kind measured", {times, clock}, true, registeredCopies()},
      {"the device cannot register", {times, clock, "STANDIN_HOST_REGISTER=0"}, false, ""},
      // The runtime's refusal is read back once, so that no later call sees it.
      {"the runtime refuses to register", {times, clock, "STANDIN_FAIL=cudaHostRegister:1=801"}, false,
       "cudaHostRegister host 1048576 0\ncudaGetLastError 801\n"},
      // An older runtime that does not know the attribute: registration is tried.
      {"the attribute unknown", {times, clock, "STANDIN_FAIL=cudaDeviceGetAttribute:5=1", "STANDIN_HOST_REGISTER=0"},
       true, registeredCopies()},
  };
  for (const PhaseCase &c : cases) {
    SCOPED_TRACE(c.name);
    ToolSetup setup;
    setup.args = {"--size=1", "--loops=1", "--host-copies", "--host-loops=1"};
    setup.env = c.env;
    const ToolRun run = runTool(setup);
    EXPECT_EQ(run.out, bannerAndDevice() + kFigures + measured +
                           (c.registered ? "HtoD registered\t262.1 MB/s\nDtoH registered\t4194.3 MB/s\n"
                                         : notSupported));
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.exitStatus, 0);
    const std::string phase = run.log.substr(run.log.find("cudaDeviceGetAttribute 18 0"));
    EXPECT_EQ(phase, std::string(c.attributes) + "cudaEventCreate e5\ncudaEventCreate e6\ncudaMalloc d4 1048576\n" +
                         "cudaMallocHost p1 1048576\n" + gpuTimed("cudaMemcpyAsync d4 p1 1048576 1 0 pattern-ok") +
                         gpuTimed("cudaMemcpyAsync p1 d4 1048576 2 0") + "cudaFreeHost p1\n" +
                         "cudaMemcpy d4 host 1048576 1 pattern-ok\ncudaDeviceSynchronize\n"
                         "cudaMemcpy host d4 1048576 2\ncudaDeviceSynchronize\n" +
                         c.registration + "cudaEventDestroy e6\ncudaEventDestroy e5\ncudaFree d4\ncudaSetDevice 0\n");
  }
}

// Without --host-loops, each copy is repeated 100 times.
TEST(HostCopies, DefaultRepetitions) {
  ToolSetup setup;
  setup.args = {"--size=1", "--loops=1", "--host-copies", "--json"};
  setup.env = {"STANDIN_CLOCK_STEP_NS=1000000"};
  const ToolRun run = runTool(setup);
  EXPECT_EQ(run.exitStatus, 0);
  EXPECT_EQ(member(run.out, "host_copies").substr(0, 24), "{\n    \"repetitions\": 100");
  EXPECT_EQ(countLogLines(run.log, "cudaMemcpyAsync"), 400);
  EXPECT_EQ(countLogLines(run.log, "cudaDeviceSynchronize"), 2 + 200);
}

// The real clock around each pageable copy and its synchronisation: a copy
// host to device takes 4 ms here and one back 1 ms, and each
// synchronisation 1 ms more, so the figures cannot be above 1 MiB in 5 ms
// and in 2 ms.
TEST(HostCopies, PageableCopiesTimedByTheHostClock) {
  ToolSetup setup;
  setup.args = {"--size=1", "--loops=1", "--host-copies", "--host-loops=3"};
  setup.env = {"STANDIN_COPY_DELAY_US=1:4000,2:1000", "STANDIN_DELAY_US=1000"};
  const ToolRun run = runTool(setup);
  ASSERT_EQ(run.exitStatus, 0) << run.err;
  const auto figure = [&run](const std::string &name) {
    const size_t at = run.out.find("\n" + name + "\t");
    return at == std::string::npos ? -1.0 : strtod(run.out.c_str() + at + name.size() + 2, nullptr);
  };
  const double toDevice = figure("HtoD pageable");
  const double toHost = figure("DtoH pageable");
  EXPECT_LE(toDevice, 209.8);
  EXPECT_GE(toDevice, 209.7 / 3);
  EXPECT_LE(toHost, 524.3);
  EXPECT_GE(toHost, 524.3 / 3);
}

struct EndedCase {
  const char *name;
  std::vector<std::string> env;
  bool failAlloc;
  const char *lines;  // standard output after the Memset line
  const char *err;
  const char *logTail;  // the last calls made
};

// A time no memory could give ends the run like the sustained copy's; a
// page-aligned buffer that cannot be had ends it like the staging buffer.
// Either way the phase's buffers and events go first.
TEST(HostCopies, TimersAndHostMemoryEndThePhase) {
  const char *release = "cudaEventDestroy e6\ncudaEventDestroy e5\ncudaFree d4\n";
  const std::string noHostMemory = "Not enough memory avaialable on host to run test!\n";
  const std::vector<EndedCase> cases = {
      {"the GPU timer gives 0", {"STANDIN_TIMES=1,1,1,0"}, false,
       "HtoD pinned\t1048.6 MB/s\nResult = FAIL\n", "Error: the GPU timer gave 0 ms for a host copy\n",
       "cudaEventElapsedTime e5 e6\ncudaFreeHost p1\n"},
      {"the host clock stands still", {"STANDIN_CLOCK_STEP_NS=0"}, false,
       "HtoD pinned\t1048.6 MB/s\nDtoH pinned\t1048.6 MB/s\nResult = FAIL\n",
       "Error: the host clock gave 0 ms for a host copy\n", "cudaDeviceSynchronize\n"},
      // 1 MiB in 10 ns is 104,857,600 MB/s: too fast for any memory.
      {"the host clock gives too short a time", {"STANDIN_CLOCK_STEP_NS=10"}, false,
       "HtoD pinned\t1048.6 MB/s\nDtoH pinned\t1048.6 MB/s\nResult = FAIL\n",
       "Error: the host clock gave 1e-05 ms for a host copy\n", "cudaDeviceSynchronize\n"},
      {"the pageable buffer", {"FAILALLOC_SIZE=1048576", "FAILALLOC_ALIGNED=1", "STANDIN_CLOCK_STEP_NS=1000000"}, true,
       "HtoD pinned\t1048.6 MB/s\nDtoH pinned\t1048.6 MB/s\n", noHostMemory.c_str(), "cudaFreeHost p1\n"},
      {"the buffer to register", {"FAILALLOC_SIZE=1048576", "FAILALLOC_ALIGNED=2", "STANDIN_CLOCK_STEP_NS=1000000"},
       true, "HtoD pinned\t1048.6 MB/s\nDtoH pinned\t1048.6 MB/s\nHtoD pageable\t1048.6 MB/s\n"
             "DtoH pageable\t1048.6 MB/s\n", noHostMemory.c_str(), "cudaDeviceSynchronize\n"},
  };
  for (const EndedCase &c : cases) {
    SCOPED_TRACE(c.name);
    if (c.failAlloc && builtWithAddressSanitizer()) {
      continue;  // one allocation size cannot be made to fail under the sanitizer
    }
    ToolSetup setup;
    setup.args = {"--size=1", "--loops=1", "--host-copies", "--host-loops=1", "--duration=1"};
    setup.env = c.env;
    setup.failAlloc = c.failAlloc;
    const ToolRun run = runTool(setup);
    EXPECT_EQ(run.out, bannerAndDevice() + kFigures + c.lines);
    EXPECT_EQ(run.err, c.err);
    EXPECT_EQ(run.exitStatus, 1);
    // The sustained copy never starts; a timer's run closes with the selection.
    const bool timer = !c.failAlloc;
    const std::string tail = std::string(c.logTail) + release + (timer ? "cudaSetDevice 0\n" : "");
    ASSERT_GE(run.log.size(), tail.size());
    EXPECT_EQ(run.log.substr(run.log.size() - tail.size()), tail);
    EXPECT_EQ(countLogLines(run.log, "cudaEventCreate"), 6);
  }
}

}  // namespace
