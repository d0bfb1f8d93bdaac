// Best-of-N selection, the figures' arithmetic, the order of calls, host
// allocation failures and the clock report within a whole run.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "tool_runner.h"

namespace {

struct FigureCase {
  std::vector<std::string> args;
  const char *memSize;
  const char *times;  // STANDIN_TIMES: copy repetitions first, then fill
  const char *results;
};

TEST(Figures, BestOfNAndMegabytesPerSecond) {
  const std::vector<FigureCase> cases = {
      // Smallest copy time 0.25 ms: 2 x 1 MiB / 0.25 ms; smallest fill time 1 ms.
      {{"--size=1", "--loops=3"}, "1048576", "0.5,0.25,0.75,2,1,4",
       "\nMemcpy\t 4194.3 MB/s (Total: 8388.6 MB/s)\nMemset\t 1048.6 MB/s\n"},
      // The minimum may come first or last; equal times change nothing.
      {{"--size=1", "--loops=3"}, "1048576", "0.25,0.5,0.5,4,4,1",
       "\nMemcpy\t 4194.3 MB/s (Total: 8388.6 MB/s)\nMemset\t 1048.6 MB/s\n"},
      {{"--size=1", "--loops=2"}, "1048576", "1,1,1,1",
       "\nMemcpy\t 1048.6 MB/s (Total: 2097.2 MB/s)\nMemset\t 1048.6 MB/s\n"},
      // One repetition: the figure is that repetition's.
      {{"--size=1", "--loops=1"}, "1048576", "0.125",
       "\nMemcpy\t 8388.6 MB/s (Total: 16777.2 MB/s)\nMemset\t 8388.6 MB/s\n"},
      {{"--size=16", "--loops=1"}, "16777216", "2,0.5",
       "\nMemcpy\t 8388.6 MB/s (Total: 16777.2 MB/s)\nMemset\t33554.4 MB/s\n"},
      // 2 x 2 GiB does not fit 32 bits; the figures must not wrap.
      {{"--size=2048", "--loops=1"}, "2147483648", "1",
       "\nMemcpy\t2147483.8 MB/s (Total: 4294967.5 MB/s)\nMemset\t2147483.8 MB/s\n"},
      {{"--size=4095", "--loops=1"}, "4293918720", "1000",
       "\nMemcpy\t 4293.9 MB/s (Total: 8587.8 MB/s)\nMemset\t 4293.9 MB/s\n"},
  };
  for (const FigureCase &c : cases) {
    SCOPED_TRACE(std::string(c.args.front()) + " " + c.times);
    ToolSetup setup;
    setup.args = c.args;
    setup.env = {std::string("STANDIN_TIMES=") + c.times};
    const ToolRun run = runTool(setup);
    EXPECT_EQ(run.out, bannerAndDevice() + c.results);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.exitStatus, 0);
    // Every call gets the full byte count, and the staging bytes hold i mod 256.
    const std::string size = c.memSize;
    EXPECT_EQ(countLogLines(run.log, "cudaMalloc d1 " + size), 1);
    EXPECT_EQ(countLogLines(run.log, "cudaMemcpy d1 host " + size + " 1 pattern-ok"), 1) << run.log;
    EXPECT_EQ(countLogLines(run.log, "cudaMemset d3 0 " + size), countLogLines(run.log, "cudaMemset"));
  }
}

TEST(Figures, CallsInOrderWithTheirArguments) {
  const std::string repetitionCopy =
      "cudaEventRecord e1 0\n"
      "cudaMemcpy d2 d1 1048576 3\n"
      "cudaEventRecord e2 0\n"
      "cudaDeviceSynchronize\n"
      "cudaEventElapsedTime e1 e2\n";
  const std::string repetitionFill =
      "cudaEventRecord e3 0\n"
      "cudaMemset d3 0 1048576\n"
      "cudaEventRecord e4 0\n"
      "cudaDeviceSynchronize\n"
      "cudaEventElapsedTime e3 e4\n";
  const ToolRun run = runTool({"--size=1", "--loops=2"});
  EXPECT_EQ(run.exitStatus, 0);
  EXPECT_EQ(run.log,
            "cudaGetDeviceProperties 0\n"
            "cudaDeviceGetAttribute 20 0\n"
            "cudaSetDevice 0\n"
            "cudaEventCreate e1\n"
            "cudaEventCreate e2\n"
            "cudaMalloc d1 1048576\n"
            "cudaMalloc d2 1048576\n"
            "cudaMemcpy d1 host 1048576 1 pattern-ok\n" +
                repetitionCopy + repetitionCopy +
                "cudaEventDestroy e2\n"
                "cudaEventDestroy e1\n"
                "cudaFree d1\n"
                "cudaFree d2\n"
                "cudaEventCreate e3\n"
                "cudaEventCreate e4\n"
                "cudaMalloc d3 1048576\n" +
                repetitionFill + repetitionFill +
                "cudaEventDestroy e4\n"
                "cudaEventDestroy e3\n"
                "cudaFree d3\n"
                "cudaSetDevice 0\n");
}

TEST(HostAllocation, StagingBufferFailureEndsTheRun) {
  ToolSetup setup;
  setup.args = {"--size=2", "--loops=1"};
  if (builtWithAddressSanitizer()) {
    // The sanitizer's own allocator refuses anything above 1 MiB instead.
    setup.env = {"ASAN_OPTIONS=allocator_may_return_null=1:max_allocation_size_mb=1"};
  } else {
    setup.env = {"FAILALLOC_SIZE=2097152"};
    setup.failAlloc = true;
  }
  ToolRun run = runTool(setup);
  if (builtWithAddressSanitizer() && run.err.compare(0, 2, "==") == 0) {
    run.err.erase(0, run.err.find('\n') + 1);  // the sanitizer's note on the refusal
  }
  EXPECT_EQ(run.out, bannerAndDevice());
  EXPECT_EQ(run.err, "Not enough memory avaialable on host to run test!\n");
  EXPECT_EQ(run.exitStatus, 1);
  EXPECT_EQ(countLogLines(run.log, "cudaEventCreate"), 2);
  EXPECT_EQ(countLogLines(run.log, "cudaMalloc"), 0);
}

struct ClockRun {
  const char *name;
  std::vector<std::pair<std::string, std::string>> files;  // under debugfs
  const char *clockText;
};

const std::pair<std::string, std::string> pto = {"clk/emc/pto_rate", "800000000\n"};
const std::pair<std::string, std::string> clk = {"clk/emc/clk_rate", "800000000\n"};
const std::pair<std::string, std::string> table = {"bpmp/debug/emc/tables_info",
                                                   "800000 kHz, cfg LP4\n"};

// Runs --size=1 --loops=1 with the given debugfs files and checks that the
// clock text stands between the device line and the figures.
void expectClockText(const ClockRun &c, bool failTextBuffer) {
  SCOPED_TRACE(c.name);
  const std::string root = makeTempDir();
  for (const char *dir : {"/clk", "/clk/emc", "/bpmp", "/bpmp/debug", "/bpmp/debug/emc", "/bpmp/debug/clk",
                          "/bpmp/debug/clk/emc", "/class", "/class/devfreq", "/class/devfreq/bwmgr"}) {
    ASSERT_EQ(mkdir((root + dir).c_str(), 0700), 0);
  }
  for (const auto &file : c.files) {
    writeFile(root + "/" + file.first, file.second);
  }
  ToolSetup setup;
  setup.args = {"--size=1", "--loops=1"};
  setup.debugfsRoot = root;
  if (failTextBuffer) {
    setup.failAlloc = true;
    setup.env = {"FAILALLOC_SIZE=16384"};
  }
  const ToolRun run = runTool(setup);
  EXPECT_EQ(run.out, bannerAndDevice() + c.clockText +
                         "\nMemcpy\t 1048.6 MB/s (Total: 2097.2 MB/s)\nMemset\t 1048.6 MB/s\n");
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.exitStatus, 0);
  removeTree(root);
}

TEST(ClockReport, StandsBetweenTheDeviceAndTheFigures) {
  const std::vector<ClockRun> cases = {
      {"all files", {pto, clk, table}, "RAM:\t800.0 MHz (cfg: LP4)\n"},
      {"no clk_rate", {pto, table}, "RAM:\t800.0 MHz"},
      {"no table", {pto, clk}, "RAM:\t800.0 MHz\n"},
      {"no pto_rate", {clk, table}, "RAM:\t800.0 MHz (cfg: LP4)\n"},
      {"firmware rate", {{"bpmp/debug/clk/emc/rate", "2133000000\n"}, clk, table},
       "RAM:\t2133.0 MHz (cfg: LP4)\n"},
      {"devfreq rate", {{"class/devfreq/bwmgr/cur_freq", "4266000000\n"}}, "RAM:\t4266.0 MHz"},
      {"no files", {}, ""},
  };
  for (const ClockRun &c : cases) {
    expectClockText(c, false);
  }
}

TEST(ClockReport, SkippedWithoutItsTextBuffer) {
  if (builtWithAddressSanitizer()) {
    GTEST_SKIP() << "one allocation size cannot be made to fail under AddressSanitizer";
  }
  expectClockText({"no text buffer", {pto, clk, table}, ""}, true);
}

}  // namespace

namespace {

struct TimerCase {
  const char *times;    // STANDIN_TIMES: --loops=1, the copy's time first
  const char *what;     // the measurement the time ends
  const char *printed;  // the time as the error line gives it
};

// A time no memory could give ends the run at that measurement, in every
// report: not positive and finite, or a rate above 100,000,000 MB/s
// (1.9065e-05 ms for the 2 MiB a 1 MiB copy counts is 1.1e8 MB/s).
TEST(Figures, TimesNoMemoryCouldGiveEndTheRun) {
  const std::vector<TimerCase> cases = {
      {"0", "Memcpy", "0"},         {"-1", "Memcpy", "-1"},         {"nan", "Memcpy", "nan"},
      {"inf", "Memcpy", "inf"},     {"1.9065e-05", "Memcpy", "1.9065e-05"},
      {"1,0", "Memset", "0"},       {"1,-1", "Memset", "-1"},       {"1,nan", "Memset", "nan"},
      {"1,inf", "Memset", "inf"},   {"1,9.5325e-06", "Memset", "9.5325e-06"},
  };
  const std::string memcpyFigures = "{\n    \"mb_per_s\": 1048.6,\n    \"total_mb_per_s\": 2097.2,\n";
  for (const TimerCase &c : cases) {
    SCOPED_TRACE(c.times);
    const bool copy = std::string(c.what) == "Memcpy";
    const std::string message = std::string("the GPU timer gave ") + c.printed + " ms for a " + c.what + " repetition";
    ToolSetup setup;
    setup.env = {std::string("STANDIN_TIMES=") + c.times, "STANDIN_MEMORY=1"};
    setup.args = {"--size=1", "--loops=1", "--verify"};
    const ToolRun text = runTool(setup);
    EXPECT_EQ(text.out, bannerAndDevice() + "Result = FAIL\n");
    EXPECT_EQ(text.err, "Error: " + message + "\n");
    EXPECT_EQ(text.exitStatus, 1);
    // Its events and buffers released in their usual order; nothing read back, nothing after.
    const std::string released = copy ? "cudaEventElapsedTime e1 e2\ncudaEventDestroy e2\ncudaEventDestroy e1\n"
                                        "cudaFree d1\ncudaFree d2\ncudaSetDevice 0\n"
                                      : "cudaEventElapsedTime e3 e4\ncudaEventDestroy e4\ncudaEventDestroy e3\n"
                                        "cudaFree d3\ncudaSetDevice 0\n";
    ASSERT_GE(text.log.size(), released.size());
    EXPECT_EQ(text.log.substr(text.log.size() - released.size()), released);
    EXPECT_EQ(countLogLines(text.log, "cudaMemset"), copy ? 0 : 1);

    setup.args.push_back("--json");
    const ToolRun json = runTool(setup);
    EXPECT_EQ(member(json.out, "error"), "{\n    \"kind\": \"timer\",\n    \"message\": \"" + message + "\"\n  }");
    EXPECT_EQ(member(json.out, "memcpy").substr(0, copy ? 4 : memcpyFigures.size()), copy ? "null" : memcpyFigures);
    EXPECT_EQ(member(json.out, "memset"), "null");
    EXPECT_EQ(member(json.out, "result"), "\"FAIL\"");
    EXPECT_EQ(json.exitStatus, 1);

    setup.args.back() = "--prometheus";
    const ToolRun prometheus = runTool(setup);
    EXPECT_EQ(prometheus.out.find("\nquillmere_memcpy_") == std::string::npos, copy) << prometheus.out;
    EXPECT_EQ(prometheus.out.find("\nquillmere_memset_"), std::string::npos) << prometheus.out;
    for (const char *sample : {"\nquillmere_success 0\n", "\nquillmere_error_info{kind=\"timer\",site=\"\",name=\"\"} 1\n"}) {
      EXPECT_NE(prometheus.out.find(sample), std::string::npos) << sample;
    }
    EXPECT_EQ(prometheus.exitStatus, 1);
  }
}

}  // namespace

namespace {

struct CacheCase {
  const char *l2;                 // STANDIN_L2_CACHE, bytes
  std::vector<std::string> args;  // after --loops=1
  const char *err;                // standard error of the text report
  const char *source;             // the JSON's size_source and cache_sized
  const char *cacheSized;
  const char *allocated;          // the copy's buffers, bytes
  const char *gauge;              // the Prometheus report's cache gauge, "" when absent
};

// A copy whose two buffers fit the L2 reads the cache: the default size
// grows past it, and a --size that fits says so and is no efficiency.
TEST(CacheSize, DefaultPastTheCacheNoteAndVerdict) {
  const std::string note32 = "Note: the 16 MiB buffers fit the GPU's 32 MiB L2 cache: these figures are the cache's; "
                             "use --size=64 or more for the memory's\n";
  const std::vector<CacheCase> cases = {
      {"33554432", {}, "", "\"l2\"", "false", "67108864", "quillmere_cache_sized 0\n"},
      {"33554432", {"--size=16"}, note32.c_str(), "\"option\"", "true", "16777216", "quillmere_cache_sized 1\n"},
      {"33554432", {"--size=16", "--min-efficiency=50", "--bus-width=64"},
       "Note: the 16 MiB buffers fit the GPU's 32 MiB L2 cache: these figures are the cache's; use --size=64 or more "
       "for the memory's\nError: the 16 MiB copy fits the GPU's 32 MiB L2 cache, so its efficiency says nothing of "
       "the memory; use --size=64 or more\n",
       "\"option\"", "true", "16777216", "quillmere_cache_sized 1\n"},
      {"33554432", {"--size=17"}, "", "\"option\"", "false", "17825792", "quillmere_cache_sized 0\n"},
      {"4194304", {}, "", "\"default\"", "false", "16777216", "quillmere_cache_sized 0\n"},
      {"4194304", {"--size=2"},
       "Note: the 2 MiB buffers fit the GPU's 4 MiB L2 cache: these figures are the cache's; use --size=8 or more for "
       "the memory's\n",
       "\"option\"", "true", "2097152", "quillmere_cache_sized 1\n"},
      {"50000000", {"--size=8"},
       "Note: the 8 MiB buffers fit the GPU's 47.7 MiB L2 cache: these figures are the cache's; use --size=128 or "
       "more for the memory's\n",
       "\"option\"", "true", "8388608", "quillmere_cache_sized 1\n"},
      {"0", {}, "", "\"default\"", "null", "16777216", ""},
      {"33554432", {"--size=0"}, "", "null", "null", "", ""},
  };
  for (const CacheCase &c : cases) {
    SCOPED_TRACE(std::string(c.l2) + (c.args.empty() ? "" : " " + c.args.front()));
    ToolSetup setup;
    setup.env = {std::string("STANDIN_L2_CACHE=") + c.l2};
    setup.args = {"--loops=1"};
    setup.args.insert(setup.args.end(), c.args.begin(), c.args.end());
    const ToolRun text = runTool(setup);
    EXPECT_EQ(text.err, c.err);
    EXPECT_EQ(countLogLines(text.log, std::string("cudaMalloc d1 ") + c.allocated), *c.allocated != '\0' ? 1 : 0);
    setup.args.push_back("--json");
    const ToolRun json = runTool(setup);
    EXPECT_EQ(member(json.out, "size_source"), c.source);
    EXPECT_EQ(member(json.out, "cache_sized"), c.cacheSized);
    EXPECT_EQ(json.exitStatus, text.exitStatus);
    setup.args.back() = "--prometheus";
    const ToolRun prometheus = runTool(setup);
    const size_t gauge = prometheus.out.find("\nquillmere_cache_sized ");
    EXPECT_EQ(gauge == std::string::npos ? "" : prometheus.out.substr(gauge + 1, 24), c.gauge);
  }
  // Below a 32 MiB L2 the default text report is the one it always was.
  ToolSetup small;
  small.env = {"STANDIN_L2_CACHE=4194304"};
  small.args = {"--loops=2"};
  EXPECT_EQ(runTool(small).out,
            bannerAndDevice() + "\nMemcpy\t16777.2 MB/s (Total: 33554.4 MB/s)\nMemset\t16777.2 MB/s\n");
}

struct SweepCase {
  const char *name;
  std::vector<std::string> args;  // after --loops=1 --sweep
  std::string times;              // STANDIN_TIMES after the copy's and the fill's
  std::string lines;              // standard output after the Memset line
  const char *err;
  const char *plateau;            // the JSON's plateau_bytes
};

// Totals 200000 down to 98000 and back to 100000 MB/s for 1 to 128 MiB.
std::string sweepTimes(const std::vector<double> &totals, int repetitions) {
  std::string times;
  for (size_t i = 0; i < totals.size(); i++) {
    char time[64];
    snprintf(time, sizeof time, "%.9g*%d,", 2.0 * static_cast<double>(1u << i) * 1048576.0 / (totals[i] * 1000.0),
             repetitions);
    times += time;
  }
  return times;
}

TEST(Sweep, SizesTheirTotalsAndThePlateau) {
  const std::string header = "\nMemcpy by size, best of 3, Total:\n";
  const std::vector<SweepCase> cases = {
      {"a plateau from 32 MiB", {"--sweep-loops=3", "--size=64"},
       sweepTimes({200000, 180000, 160000, 140000, 120000, 100000, 98000, 100000}, 3),
       header + "     1 MiB\t  200000.0 MB/s\n     2 MiB\t  180000.0 MB/s\n     4 MiB\t  160000.0 MB/s\n"
                "     8 MiB\t  140000.0 MB/s\n    16 MiB\t  120000.0 MB/s\n    32 MiB\t  100000.0 MB/s\n"
                "    64 MiB\t   98000.0 MB/s\n   128 MiB\t  100000.0 MB/s\n"
                "From 32 MiB on the Total stays within 10 % of 128 MiB's: use --size=32 or more\n",
       "", "33554432"},
      {"no cache effect", {"--sweep-loops=3", "--size=3"}, sweepTimes({1000, 1000, 1000}, 3),
       header + "     1 MiB\t    1000.0 MB/s\n     2 MiB\t    1000.0 MB/s\n     4 MiB\t    1000.0 MB/s\n"
                "No cache effect from 1 MiB on: every Total is within 10 % of 4 MiB's\n",
       "", "1048576"},
      {"no plateau", {"--sweep-loops=1"}, "1*3",
       "\nMemcpy by size, best of 1, Total:\n     1 MiB\t    2097.2 MB/s\n     2 MiB\t    4194.3 MB/s\n"
       "     4 MiB\t    8388.6 MB/s\nNo plateau up to 4 MiB: the Totals still change by more than 10 %\n",
       "", "4194304"},
      {"a bad sweep time", {"--sweep-loops=1"}, "1,0",
       "\nMemcpy by size, best of 1, Total:\n     1 MiB\t    2097.2 MB/s\nResult = FAIL\n",
       "Error: the GPU timer gave 0 ms for a sweep repetition\n", "null"},
  };
  for (const SweepCase &c : cases) {
    SCOPED_TRACE(c.name);
    ToolSetup setup;
    setup.env = {"STANDIN_L2_CACHE=33554432", "STANDIN_TIMES=1,1," + c.times};
    setup.args = {"--loops=1", "--sweep", "--size=1"};
    setup.args.insert(setup.args.end(), c.args.begin(), c.args.end());
    if (std::string(c.name) != "a plateau from 32 MiB") {
      setup.env[0] = "STANDIN_L2_CACHE=1048576";
    }
    const ToolRun text = runTool(setup);
    const size_t memset = text.out.find("Memset\t");
    ASSERT_NE(memset, std::string::npos) << text.out;
    EXPECT_EQ(text.out.substr(text.out.find('\n', memset) + 1), c.lines);
    EXPECT_EQ(text.err, c.err);
    setup.args.push_back("--json");
    const ToolRun json = runTool(setup);
    const std::string sweep = member(json.out, "sweep");
    const std::string plateau = "\"plateau_bytes\": ";
    EXPECT_EQ(sweep.substr(sweep.find(plateau) + plateau.size(), strlen(c.plateau)), c.plateau) << sweep;
  }
  // Each size's own buffers, two events for all, and the Prometheus samples.
  ToolSetup setup;
  setup.env = {"STANDIN_L2_CACHE=1048576", "STANDIN_TIMES=1,1,1*4"};
  setup.args = {"--size=1", "--loops=1", "--sweep", "--sweep-loops=1", "--prometheus"};
  const ToolRun run = runTool(setup);
  EXPECT_EQ(countLogLines(run.log, "cudaMalloc"), 3 + 6);
  EXPECT_EQ(countLogLines(run.log, "cudaEventCreate"), 4 + 2);
  EXPECT_EQ(countLogLines(run.log, "cudaEventDestroy"), 4 + 2);
  EXPECT_NE(run.out.find("quillmere_sweep_read_write_bytes_per_second{size_bytes=\"4194304\"} 8388600000\n"
                         "# HELP quillmere_sweep_plateau_bytes"),
            std::string::npos)
      << run.out;
}

}  // namespace
