// The tool against the runtime it was linked with.
#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "tool_runner.h"

namespace {

TEST(RealRuntime, ReportsNoDriverOrMeasures) {
  if (QUILLMERE_LINKED_TO_STANDIN) {
    GTEST_SKIP() << "this build links the tool against the stand-in runtime, not a real one";
  }
  ToolSetup setup;
  setup.args = {"--size=16", "--loops=20"};
  setup.standIn = false;
  const ToolRun run = runTool(setup);
  if (run.exitStatus == 0) {
    // A machine with a GPU: a full report.
    EXPECT_TRUE(std::regex_match(
        run.out, std::regex("Memory Bandwidth Test\nDevice:\t[^\n]+\n(RAM:[^\n]*\n|[^\n]*cfg[^\n]*\n)?"
                            "\nMemcpy\t *[0-9]+\\.[0-9] MB/s \\(Total: [0-9]+\\.[0-9] MB/s\\)\n"
                            "Memset\t *[0-9]+\\.[0-9] MB/s\n")))
        << run.out;
    EXPECT_EQ(run.err, "");
    return;
  }
  EXPECT_EQ(run.out,
            "Memory Bandwidth Test\n"
            "cudaGetDeviceProperties returned 35\n"
            "-> CUDA driver version is insufficient for CUDA runtime version\n");
  EXPECT_EQ(run.err,
            "CUDA error at quillmere:87 code=35(cudaErrorInsufficientDriver) \"cudaSetDevice(0)\" \n");
  EXPECT_EQ(run.exitStatus, 1);
}

}  // namespace
