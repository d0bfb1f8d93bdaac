// Every checked call site, the properties query and the compute mode.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tool_runner.h"

namespace {

struct FailedCall {
  const char *script;  // STANDIN_FAIL
  std::vector<std::string> args;
  std::string stdoutAfterDevice;
  int callSite;
  int status;
  const char *name;
  const char *callText;
  const char *times = "1";  // STANDIN_TIMES
};

TEST(CheckedCalls, EachSiteReportsItsFailureAndExits) {
  const std::vector<std::string> one = {"--size=1", "--loops=1"};
  const std::vector<std::string> two = {"--size=1", "--loops=2"};
  const char *badLoops = "Illegal argument - loops must be greater than zero\n";
  const char *badSize = "Illegal argument - size must be greater than zero\n";
  const char *memcpyH2D = "cudaMemcpy(d_idata, h_idata, memSize, cudaMemcpyHostToDevice)";
  const char *memcpyD2D = "cudaMemcpy(d_odata, d_idata, memSize, cudaMemcpyDeviceToDevice)";
  const char *elapsed = "cudaEventElapsedTime(&elapsedTimeInMsCurrent, start, stop)";
  const char *mallocIn = "cudaMalloc((void **) &d_idata, memSize)";
  const char *mallocOut = "cudaMalloc((void **) &d_odata, memSize)";
  const char *noAlloc = "cudaErrorMemoryAllocation";
  const char *invalid = "cudaErrorInvalidValue";
  const char *handle = "cudaErrorInvalidResourceHandle";
  const char *address = "cudaErrorIllegalAddress";
  // Intervals of one batch of 1024 copies, timed 1 s.
  const std::vector<std::string> sustained = {"--size=1", "--loops=1", "--duration=1"};
  const std::vector<std::string> sustainedTwo = {"--size=1", "--loops=1", "--duration=2", "--interval=1"};
  const char *batch = "1,1,1000";
  const std::string figures = "\nMemcpy\t 1048.6 MB/s (Total: 2097.2 MB/s)\nMemset\t 1048.6 MB/s\n";
  const std::string interval = "\tMemcpy\t 1073.7 MB/s (Total: 2147.5 MB/s)\n";
  const std::string sustainedHeader = figures + "\nSustained Memcpy for 1 s, in intervals of 1 s:\n";
  const std::string sustainedInterval = sustainedHeader + "1 s" + interval;
  const std::string sustainedTwoHeader = figures + "\nSustained Memcpy for 2 s, in intervals of 1 s:\n1 s" + interval;
  // The host copies at 1 MiB, each repetition 1 ms by the GPU's timer and the host's clock.
  const std::vector<std::string> host = {"--size=1", "--loops=1", "--host-copies", "--host-loops=1"};
  const std::string pinned = "HtoD pinned\t1048.6 MB/s\nDtoH pinned\t1048.6 MB/s\n";
  const std::string pageable = "HtoD pageable\t1048.6 MB/s\nDtoH pageable\t1048.6 MB/s\n";
  const std::string registered = "HtoD registered\t1048.6 MB/s\nDtoH registered\t1048.6 MB/s\n";
  const char *hostAsync = "cudaMemcpyAsync(dst, src, memSize, kind, 0)";
  const char *hostCopy = "cudaMemcpy(dst, src, memSize, kind)";
  const std::vector<std::string> checked = {"--size=1", "--loops=1", "--verify"};
  const std::vector<std::string> checkedSustained = {"--size=1", "--loops=1", "--verify", "--duration=1"};
  const char *sustainedCopy =
      "cudaMemcpyAsync(d_sustainedOut, d_sustainedIn, memSize, cudaMemcpyDeviceToDevice, 0)";
  // The sweep at 1, 2 and 4 MiB, each size one repetition of 1 ms.
  const std::vector<std::string> sweep = {"--size=1", "--loops=1", "--sweep", "--sweep-loops=1"};
  const std::string sweepHeader = figures + "\nMemcpy by size, best of 1, Total:\n";
  const std::string swept =
      sweepHeader + "     1 MiB\t    2097.2 MB/s\n     2 MiB\t    4194.3 MB/s\n     4 MiB\t    8388.6 MB/s\n";
  const std::vector<FailedCall> cases = {
      {"cudaEventCreate:5=2", sweep, sweepHeader, 700, 2, noAlloc, "cudaEventCreate(&sweepStart)"},
      {"cudaEventCreate:6=2", sweep, sweepHeader, 701, 2, noAlloc, "cudaEventCreate(&sweepStop)"},
      {"cudaMalloc:4=2", sweep, sweepHeader, 702, 2, noAlloc, "cudaMalloc((void **) &d_sweepIn, sweepBytes)"},
      {"cudaMalloc:5=2", sweep, sweepHeader, 703, 2, noAlloc, "cudaMalloc((void **) &d_sweepOut, sweepBytes)"},
      {"cudaEventRecord:5=400", sweep, sweepHeader, 704, 400, handle, "cudaEventRecord(sweepStart, 0)"},
      {"cudaMemcpy:3=700", sweep, sweepHeader, 705, 700, address,
       "cudaMemcpy(d_sweepOut, d_sweepIn, sweepBytes, cudaMemcpyDeviceToDevice)"},
      {"cudaEventRecord:6=400", sweep, sweepHeader, 706, 400, handle, "cudaEventRecord(sweepStop, 0)"},
      {"cudaDeviceSynchronize:3=700", sweep, sweepHeader, 707, 700, address, "cudaDeviceSynchronize()"},
      {"cudaEventElapsedTime:3=1", sweep, sweepHeader, 708, 1, invalid,
       "cudaEventElapsedTime(&sweepMs, sweepStart, sweepStop)"},
      {"cudaFree:4=1", sweep, sweepHeader, 709, 1, invalid, "cudaFree(d_sweepIn)"},
      {"cudaFree:5=1", sweep, sweepHeader, 710, 1, invalid, "cudaFree(d_sweepOut)"},
      {"cudaEventDestroy:5=400", sweep, swept, 711, 400, handle, "cudaEventDestroy(sweepStop)"},
      {"cudaEventDestroy:6=400", sweep, swept, 712, 400, handle, "cudaEventDestroy(sweepStart)"},
      {"cudaSetDevice:1=100", {"--loops=0"}, badLoops, 44, 100, "cudaErrorNoDevice", "cudaSetDevice(0)"},
      {"cudaSetDevice:1=999", {"--size=0"}, badSize, 44, 999, "cudaErrorUnknown", "cudaSetDevice(0)"},
      {"cudaEventCreate:1=2", one, "", 195, 2, noAlloc, "cudaEventCreate(&start)"},
      {"cudaEventCreate:2=2", one, "", 196, 2, noAlloc, "cudaEventCreate(&stop)"},
      {"cudaMalloc:1=2", one, "", 215, 2, noAlloc, mallocIn},
      {"cudaMalloc:2=2", one, "", 217, 2, noAlloc, mallocOut},
      {"cudaMemcpy:1=1", one, "", 221, 1, invalid, memcpyH2D},
      {"cudaEventRecord:1=400", one, "", 226, 400, handle, "cudaEventRecord(start, 0)"},
      {"cudaMemcpy:2=700", one, "", 228, 700, address, memcpyD2D},
      {"cudaEventRecord:2=400", one, "", 229, 400, handle, "cudaEventRecord(stop, 0)"},
      {"cudaDeviceSynchronize:1=700", one, "", 234, 700, address, "cudaDeviceSynchronize()"},
      {"cudaEventElapsedTime:1=1", one, "", 237, 1, invalid, elapsed},
      {"cudaEventDestroy:1=400", one, "", 248, 400, handle, "cudaEventDestroy(stop)"},
      {"cudaEventDestroy:2=400", one, "", 249, 400, handle, "cudaEventDestroy(start)"},
      {"cudaFree:1=1", one, "", 250, 1, invalid, "cudaFree(d_idata)"},
      {"cudaFree:2=1", one, "", 251, 1, invalid, "cudaFree(d_odata)"},
      {"cudaEventCreate:3=2", one, "", 264, 2, noAlloc, "cudaEventCreate(&start)"},
      {"cudaEventCreate:4=2", one, "", 265, 2, noAlloc, "cudaEventCreate(&stop)"},
      {"cudaMalloc:3=2", one, "", 269, 2, noAlloc, mallocOut},
      {"cudaEventRecord:3=400", one, "", 274, 400, handle, "cudaEventRecord(start, 0)"},
      {"cudaMemset:1=700", one, "", 275, 700, address, "cudaMemset(d_odata, 0, memSize)"},
      {"cudaEventRecord:4=400", one, "", 276, 400, handle, "cudaEventRecord(stop, 0)"},
      {"cudaDeviceSynchronize:2=700", one, "", 280, 700, address, "cudaDeviceSynchronize()"},
      {"cudaEventElapsedTime:2=1", one, "", 283, 1, invalid, elapsed},
      {"cudaEventDestroy:3=400", one, "", 293, 400, handle, "cudaEventDestroy(stop)"},
      {"cudaEventDestroy:4=400", one, "", 294, 400, handle, "cudaEventDestroy(start)"},
      {"cudaFree:3=1", one, "", 295, 1, invalid, "cudaFree(d_odata)"},
      // Failures inside the loop end the run at the repetition that failed.
      {"cudaMemcpy:3=700", two, "", 228, 700, address, memcpyD2D},
      {"cudaMemset:2=700", two, "", 275, 700, address, "cudaMemset(d_odata, 0, memSize)"},
      // The largest repetition count is accepted: the run gets as far as its second copy.
      {"cudaMemcpy:3=700", {"--size=1", "--loops=2147483647"}, "", 228, 700, address, memcpyD2D},
      // The sustained copy's calls: its buffers, its batches, its release.
      {"cudaEventCreate:5=2", sustained, sustainedHeader, 300, 2, noAlloc, "cudaEventCreate(&sustainedStart)", batch},
      {"cudaEventCreate:6=2", sustained, sustainedHeader, 301, 2, noAlloc, "cudaEventCreate(&sustainedStop)", batch},
      {"cudaMalloc:4=2", sustained, sustainedHeader, 302, 2, noAlloc, "cudaMalloc((void **) &d_sustainedIn, memSize)", batch},
      {"cudaMalloc:5=2", sustained, sustainedHeader, 303, 2, noAlloc, "cudaMalloc((void **) &d_sustainedOut, memSize)", batch},
      {"cudaEventRecord:5=400", sustained, sustainedHeader, 304, 400, handle, "cudaEventRecord(sustainedStart, 0)", batch},
      {"cudaMemcpyAsync:1=700", sustained, sustainedHeader, 305, 700, address, sustainedCopy, batch},
      {"cudaEventRecord:6=400", sustained, sustainedHeader, 306, 400, handle, "cudaEventRecord(sustainedStop, 0)", batch},
      {"cudaEventSynchronize:1=700", sustained, sustainedHeader, 307, 700, address,
       "cudaEventSynchronize(sustainedStop)", batch},
      {"cudaEventElapsedTime:3=1", sustained, sustainedHeader, 308, 1, invalid,
       "cudaEventElapsedTime(&batchMs, sustainedStart, sustainedStop)", batch},
      // The last batch of the second: the run had ended one interval.
      {"cudaMemcpyAsync:2048=700", sustainedTwo, sustainedTwoHeader, 305, 700, address, sustainedCopy, batch},
      {"cudaEventDestroy:5=400", sustained, sustainedInterval, 309, 400, handle, "cudaEventDestroy(sustainedStop)", batch},
      {"cudaEventDestroy:6=400", sustained, sustainedInterval, 310, 400, handle, "cudaEventDestroy(sustainedStart)", batch},
      {"cudaFree:4=1", sustained, sustainedInterval, 311, 1, invalid, "cudaFree(d_sustainedIn)", batch},
      {"cudaFree:5=1", sustained, sustainedInterval, 312, 1, invalid, "cudaFree(d_sustainedOut)", batch},
      // The host copies: one site a call, both directions and both kinds
      // timed by the GPU sharing theirs.
      {"cudaEventCreate:5=2", host, figures, 400, 2, noAlloc, "cudaEventCreate(&hostStart)"},
      {"cudaEventCreate:6=2", host, figures, 401, 2, noAlloc, "cudaEventCreate(&hostStop)"},
      {"cudaMalloc:4=2", host, figures, 402, 2, noAlloc, "cudaMalloc((void **) &d_hostCopy, memSize)"},
      {"cudaMallocHost:1=2", host, figures, 403, 2, noAlloc, "cudaMallocHost((void **) &h_pinned, memSize)"},
      {"cudaEventRecord:5=400", host, figures, 404, 400, handle, "cudaEventRecord(hostStart, 0)"},
      {"cudaMemcpyAsync:1=700", host, figures, 405, 700, address, hostAsync},
      {"cudaEventRecord:6=400", host, figures, 406, 400, handle, "cudaEventRecord(hostStop, 0)"},
      {"cudaEventSynchronize:1=700", host, figures, 407, 700, address, "cudaEventSynchronize(hostStop)"},
      {"cudaEventElapsedTime:3=1", host, figures, 408, 1, invalid, "cudaEventElapsedTime(&copyMs, hostStart, hostStop)"},
      {"cudaMemcpyAsync:2=700", host, figures + "HtoD pinned\t1048.6 MB/s\n", 405, 700, address, hostAsync},
      {"cudaFreeHost:1=1", host, figures + pinned, 409, 1, invalid, "cudaFreeHost(h_pinned)"},
      {"cudaMemcpy:3=700", host, figures + pinned, 410, 700, address, hostCopy},
      {"cudaDeviceSynchronize:3=700", host, figures + pinned, 411, 700, address, "cudaDeviceSynchronize()"},
      {"cudaMemcpy:4=700", host, figures + pinned + "HtoD pageable\t1048.6 MB/s\n", 410, 700, address, hostCopy},
      // Any refusal of the registration but "not supported" fails it.
      {"cudaHostRegister:1=712", host, figures + pinned + pageable, 412, 712, "cudaErrorHostMemoryAlreadyRegistered",
       "cudaHostRegister(h_registered, memSize, cudaHostRegisterDefault)"},
      {"cudaMemcpyAsync:3=700", host, figures + pinned + pageable, 405, 700, address, hostAsync},
      {"cudaHostUnregister:1=1", host, figures + pinned + pageable + registered, 413, 1, invalid,
       "cudaHostUnregister(h_registered)"},
      {"cudaEventDestroy:5=400", host, figures + pinned + pageable + registered, 414, 400, handle,
       "cudaEventDestroy(hostStop)"},
      {"cudaEventDestroy:6=400", host, figures + pinned + pageable + registered, 415, 400, handle,
       "cudaEventDestroy(hostStart)"},
      {"cudaFree:4=1", host, figures + pinned + pageable + registered, 416, 1, invalid, "cudaFree(d_hostCopy)"},
      // The read-backs of --verify, and the sustained copy's fill and second direction.
      {"cudaMemcpy:3=700", checked, "", 500, 700, address, "cudaMemcpy(h_check, d_odata, memSize, cudaMemcpyDeviceToHost)"},
      {"cudaMemcpy:4=700", checked, "", 501, 700, address, "cudaMemcpy(h_check, d_odata, memSize, cudaMemcpyDeviceToHost)"},
      {"cudaMemcpy:5=1", checkedSustained, sustainedHeader, 502, 1, invalid,
       "cudaMemcpy(d_sustainedIn, h_pattern, memSize, cudaMemcpyHostToDevice)", batch},
      {"cudaMemcpyAsync:2=700", checkedSustained, sustainedHeader, 503, 700, address,
       "cudaMemcpyAsync(d_sustainedIn, d_sustainedOut, memSize, cudaMemcpyDeviceToDevice, 0)", batch},
      {"cudaMemcpy:6=700", checkedSustained, sustainedHeader, 504, 700, address,
       "cudaMemcpy(h_check, d_written, memSize, cudaMemcpyDeviceToHost)", batch},
      // A failing reset inside the check changes nothing.
      {"cudaMalloc:1=2,cudaDeviceReset:1=1", one, "", 215, 2, noAlloc, mallocIn},
  };
  for (const FailedCall &c : cases) {
    SCOPED_TRACE(c.script);
    ToolSetup setup;
    setup.args = c.args;
    setup.env = {std::string("STANDIN_FAIL=") + c.script, std::string("STANDIN_TIMES=") + c.times,
                 "STANDIN_CLOCK_STEP_NS=1000000", "STANDIN_MEMORY=1"};
    const ToolRun run = runTool(setup);
    EXPECT_EQ(run.out, bannerAndDevice() + c.stdoutAfterDevice);
    EXPECT_EQ(run.err, "CUDA error at quillmere:" + std::to_string(c.callSite) + " code=" +
                           std::to_string(c.status) + "(" + c.name + ") \"" + c.callText + "\" \n");
    EXPECT_EQ(run.exitStatus, 1);
    // The device is reset once, right after the failure, and nothing follows.
    EXPECT_EQ(countLogLines(run.log, "cudaDeviceReset"), 1);
    EXPECT_EQ(run.log.substr(run.log.size() - 16), "cudaDeviceReset\n");
  }
}

TEST(CheckedCalls, SecondRepetitionFailureStopsTheLoop) {
  ToolSetup setup;
  setup.args = {"--size=1", "--loops=5"};
  setup.env = {"STANDIN_FAIL=cudaDeviceSynchronize:2=700"};
  const ToolRun run = runTool(setup);
  EXPECT_EQ(run.exitStatus, 1);
  EXPECT_EQ(countLogLines(run.log, "cudaDeviceSynchronize"), 2);
  EXPECT_EQ(countLogLines(run.log, "cudaEventElapsedTime"), 1);
}

struct DeviceCase {
  const char *name;
  std::vector<std::string> env;
  const char *out;
  const char *err;
  int exitStatus;
};

TEST(DeviceQuery, PropertiesAndComputeMode) {
  const char *prohibited =
      "Error: device is running in <Compute Mode Prohibited>, no threads can use "
      "::cudaSetDevice().\n";
  const std::vector<DeviceCase> cases = {
      {"properties fail, selection fails",
       {"STANDIN_FAIL=cudaGetDeviceProperties:1=35,cudaSetDevice:1=35"},
       "Memory Bandwidth Test\ncudaGetDeviceProperties returned 35\n"
       "-> CUDA driver version is insufficient for CUDA runtime version\n",
       "CUDA error at quillmere:87 code=35(cudaErrorInsufficientDriver) \"cudaSetDevice(0)\" \n", 1},
      {"properties fail, selection works",
       {"STANDIN_FAIL=cudaGetDeviceProperties:1=100"},
       "Memory Bandwidth Test\ncudaGetDeviceProperties returned 100\n"
       "-> no CUDA-capable device is detected\n",
       "", 1},
      {"properties fail with an unknown status",
       {"STANDIN_FAIL=cudaGetDeviceProperties:1=12345"},
       "Memory Bandwidth Test\ncudaGetDeviceProperties returned 12345\n-> unrecognized error code\n",
       "", 1},
      {"prohibited, selection works",
       {"STANDIN_COMPUTE_MODE=2"}, "Memory Bandwidth Test\nDevice:\tStand-in GPU\n", prohibited, 1},
      {"prohibited, selection fails",
       {"STANDIN_COMPUTE_MODE=2", "STANDIN_FAIL=cudaSetDevice:1=1"},
       "Memory Bandwidth Test\nDevice:\tStand-in GPU\n",
       "Error: device is running in <Compute Mode Prohibited>, no threads can use "
       "::cudaSetDevice().\n"
       "CUDA error at quillmere:79 code=1(cudaErrorInvalidValue) \"cudaSetDevice(0)\" \n",
       1},
  };
  for (const DeviceCase &c : cases) {
    SCOPED_TRACE(c.name);
    ToolSetup setup;
    setup.args = {"--size=1", "--loops=1"};
    setup.env = c.env;
    const ToolRun run = runTool(setup);
    EXPECT_EQ(run.out, c.out);
    EXPECT_EQ(run.err, c.err);
    EXPECT_EQ(run.exitStatus, c.exitStatus);
    EXPECT_EQ(countLogLines(run.log, "cudaMalloc"), 0);
  }
}

TEST(DeviceQuery, AcceptsEveryOtherComputeMode) {
  const std::vector<std::vector<std::string>> cases = {
      {"STANDIN_COMPUTE_MODE=0"},
      {"STANDIN_COMPUTE_MODE=1"},
      {"STANDIN_COMPUTE_MODE=3"},
      // A runtime that cannot tell the mode does not refuse the device.
      {"STANDIN_COMPUTE_MODE=2", "STANDIN_FAIL=cudaDeviceGetAttribute:1=1"},
      {"STANDIN_NAME=Orin (nvgpu)", "STANDIN_COMPUTE_MODE=1"},
      // A name that fills the whole field, with no terminator.
      {"STANDIN_NAME=" + std::string(300, 'N')},
  };
  for (const auto &env : cases) {
    SCOPED_TRACE(env.back());
    ToolSetup setup;
    setup.args = {"--size=1", "--loops=1"};
    setup.env = env;
    const ToolRun run = runTool(setup);
    EXPECT_EQ(run.exitStatus, 0);
    EXPECT_EQ(run.err, "");
    const std::string given =
        env.front().compare(0, 13, "STANDIN_NAME=") == 0 ? env.front().substr(13) : "Stand-in GPU";
    // The field holds 256 bytes: the line shows at most the first 255.
    const std::string name = given.substr(0, 255);
    EXPECT_EQ(run.out.substr(0, 31 + name.size()), "Memory Bandwidth Test\nDevice:\t" + name + "\n");
  }
}

}  // namespace
