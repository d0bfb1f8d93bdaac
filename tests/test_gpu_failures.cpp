// Every checked call site, the properties query and the compute mode.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tool_runner.h"

namespace {

struct FailedCall {
  const char *script;  // STANDIN_FAIL
  std::vector<std::string> args;
  const char *stdoutAfterDevice;
  const char *errorLine;
};

TEST(CheckedCalls, EachSiteReportsItsFailureAndExits) {
  const std::vector<std::string> one = {"--size=1", "--loops=1"};
  const std::vector<std::string> two = {"--size=1", "--loops=2"};
  const std::vector<FailedCall> cases = {
      {"cudaSetDevice:1=100", {"--loops=0"}, "Illegal argument - loops must be greater than zero\n",
       "CUDA error at quillmere:44 code=100(cudaErrorNoDevice) \"cudaSetDevice(0)\" \n"},
      {"cudaSetDevice:1=999", {"--size=0"}, "Illegal argument - size must be greater than zero\n",
       "CUDA error at quillmere:44 code=999(cudaErrorUnknown) \"cudaSetDevice(0)\" \n"},
      {"cudaEventCreate:1=2", one, "",
       "CUDA error at quillmere:195 code=2(cudaErrorMemoryAllocation) \"cudaEventCreate(&start)\" \n"},
      {"cudaEventCreate:2=2", one, "",
       "CUDA error at quillmere:196 code=2(cudaErrorMemoryAllocation) \"cudaEventCreate(&stop)\" \n"},
      {"cudaMalloc:1=2", one, "",
       "CUDA error at quillmere:215 code=2(cudaErrorMemoryAllocation) "
       "\"cudaMalloc((void **) &d_idata, memSize)\" \n"},
      {"cudaMalloc:2=2", one, "",
       "CUDA error at quillmere:217 code=2(cudaErrorMemoryAllocation) "
       "\"cudaMalloc((void **) &d_odata, memSize)\" \n"},
      {"cudaMemcpy:1=1", one, "",
       "CUDA error at quillmere:221 code=1(cudaErrorInvalidValue) "
       "\"cudaMemcpy(d_idata, h_idata, memSize, cudaMemcpyHostToDevice)\" \n"},
      {"cudaEventRecord:1=400", one, "",
       "CUDA error at quillmere:226 code=400(cudaErrorInvalidResourceHandle) "
       "\"cudaEventRecord(start, 0)\" \n"},
      {"cudaMemcpy:2=700", one, "",
       "CUDA error at quillmere:228 code=700(cudaErrorIllegalAddress) "
       "\"cudaMemcpy(d_odata, d_idata, memSize, cudaMemcpyDeviceToDevice)\" \n"},
      {"cudaEventRecord:2=400", one, "",
       "CUDA error at quillmere:229 code=400(cudaErrorInvalidResourceHandle) "
       "\"cudaEventRecord(stop, 0)\" \n"},
      {"cudaDeviceSynchronize:1=700", one, "",
       "CUDA error at quillmere:234 code=700(cudaErrorIllegalAddress) \"cudaDeviceSynchronize()\" \n"},
      {"cudaEventElapsedTime:1=1", one, "",
       "CUDA error at quillmere:237 code=1(cudaErrorInvalidValue) "
       "\"cudaEventElapsedTime(&elapsedTimeInMsCurrent, start, stop)\" \n"},
      {"cudaEventDestroy:1=400", one, "",
       "CUDA error at quillmere:248 code=400(cudaErrorInvalidResourceHandle) "
       "\"cudaEventDestroy(stop)\" \n"},
      {"cudaEventDestroy:2=400", one, "",
       "CUDA error at quillmere:249 code=400(cudaErrorInvalidResourceHandle) "
       "\"cudaEventDestroy(start)\" \n"},
      {"cudaFree:1=1", one, "",
       "CUDA error at quillmere:250 code=1(cudaErrorInvalidValue) \"cudaFree(d_idata)\" \n"},
      {"cudaFree:2=1", one, "",
       "CUDA error at quillmere:251 code=1(cudaErrorInvalidValue) \"cudaFree(d_odata)\" \n"},
      {"cudaEventCreate:3=2", one, "",
       "CUDA error at quillmere:264 code=2(cudaErrorMemoryAllocation) \"cudaEventCreate(&start)\" \n"},
      {"cudaEventCreate:4=2", one, "",
       "CUDA error at quillmere:265 code=2(cudaErrorMemoryAllocation) \"cudaEventCreate(&stop)\" \n"},
      {"cudaMalloc:3=2", one, "",
       "CUDA error at quillmere:269 code=2(cudaErrorMemoryAllocation) "
       "\"cudaMalloc((void **) &d_odata, memSize)\" \n"},
      {"cudaEventRecord:3=400", one, "",
       "CUDA error at quillmere:274 code=400(cudaErrorInvalidResourceHandle) "
       "\"cudaEventRecord(start, 0)\" \n"},
      {"cudaMemset:1=700", one, "",
       "CUDA error at quillmere:275 code=700(cudaErrorIllegalAddress) "
       "\"cudaMemset(d_odata, 0, memSize)\" \n"},
      {"cudaEventRecord:4=400", one, "",
       "CUDA error at quillmere:276 code=400(cudaErrorInvalidResourceHandle) "
       "\"cudaEventRecord(stop, 0)\" \n"},
      {"cudaDeviceSynchronize:2=700", one, "",
       "CUDA error at quillmere:280 code=700(cudaErrorIllegalAddress) \"cudaDeviceSynchronize()\" \n"},
      {"cudaEventElapsedTime:2=1", one, "",
       "CUDA error at quillmere:283 code=1(cudaErrorInvalidValue) "
       "\"cudaEventElapsedTime(&elapsedTimeInMsCurrent, start, stop)\" \n"},
      {"cudaEventDestroy:3=400", one, "",
       "CUDA error at quillmere:293 code=400(cudaErrorInvalidResourceHandle) "
       "\"cudaEventDestroy(stop)\" \n"},
      {"cudaEventDestroy:4=400", one, "",
       "CUDA error at quillmere:294 code=400(cudaErrorInvalidResourceHandle) "
       "\"cudaEventDestroy(start)\" \n"},
      {"cudaFree:3=1", one, "",
       "CUDA error at quillmere:295 code=1(cudaErrorInvalidValue) \"cudaFree(d_odata)\" \n"},
      // Failures inside the loop end the run at the repetition that failed.
      {"cudaMemcpy:3=700", two, "",
       "CUDA error at quillmere:228 code=700(cudaErrorIllegalAddress) "
       "\"cudaMemcpy(d_odata, d_idata, memSize, cudaMemcpyDeviceToDevice)\" \n"},
      {"cudaMemset:2=700", two, "",
       "CUDA error at quillmere:275 code=700(cudaErrorIllegalAddress) "
       "\"cudaMemset(d_odata, 0, memSize)\" \n"},
      // A failing reset inside the check changes nothing.
      {"cudaMalloc:1=2,cudaDeviceReset:1=1", one, "",
       "CUDA error at quillmere:215 code=2(cudaErrorMemoryAllocation) "
       "\"cudaMalloc((void **) &d_idata, memSize)\" \n"},
  };
  for (const FailedCall &c : cases) {
    SCOPED_TRACE(c.script);
    ToolSetup setup;
    setup.args = c.args;
    setup.env = {std::string("STANDIN_FAIL=") + c.script};
    const ToolRun run = runTool(setup);
    EXPECT_EQ(run.out, bannerAndDevice() + c.stdoutAfterDevice);
    EXPECT_EQ(run.err, c.errorLine);
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
  };
  for (const auto &env : cases) {
    SCOPED_TRACE(env.back());
    ToolSetup setup;
    setup.args = {"--size=1", "--loops=1"};
    setup.env = env;
    const ToolRun run = runTool(setup);
    EXPECT_EQ(run.exitStatus, 0);
    EXPECT_EQ(run.err, "");
    const std::string name = env.front() == "STANDIN_NAME=Orin (nvgpu)" ? "Orin (nvgpu)" : "Stand-in GPU";
    EXPECT_EQ(run.out.substr(0, 31 + name.size()), "Memory Bandwidth Test\nDevice:\t" + name + "\n");
  }
}

}  // namespace
