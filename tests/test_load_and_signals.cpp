// The board's load before measuring, the wait for an idle board, and a run
// stopped by a signal.
#include <gtest/gtest.h>

#include <csignal>
#include <string>
#include <utility>
#include <vector>

#include "tool_runner.h"

namespace {

using BoardFiles = std::vector<std::pair<std::string, std::string>>;

const char kGpuLoad[] = "devices/platform/gpu.0/load";
// The memory's first activity file: the tool opens it once it has read the
// GPU's load, so a file rewritten after that open is seen at the next reading.
const char kAfterGpuRead[] = "/sys/kernel/actmon_avg_activity/mc_all";
const char kFigures[] = "\nMemcpy\t 1048.6 MB/s (Total: 2097.2 MB/s)\nMemset\t 1048.6 MB/s\n";

ToolRun runOn(const BoardFiles &files, ToolSetup setup) {
  const std::string root = layOut(files);
  setup.debugfsRoot = root;
  ToolRun run = runTool(setup);
  removeTree(root);
  return run;
}

std::string loadMember(const char *gpu, const char *memory) {
  return std::string("{\n    \"gpu_percent\": ") + gpu + ",\n    \"memory_percent\": " + memory +
         ",\n    \"max_percent\": null,\n    \"waited_s\": null\n  }";
}

struct LoadCase {
  const char *name;
  BoardFiles files;
  const char *gpu;
  const char *memory;
};

// Each load file in its turn, what makes it answer, and the memory's load
// over the EMC rate of the RAM text's file.
TEST(BoardLoad, EachFileAndItsUnknowns) {
  const char *actmon = "kernel/actmon_avg_activity/mc_all";
  const char *bpmpRate = "bpmp/debug/clk/emc/rate";
  const std::vector<LoadCase> cases = {
      {"no file answers", {}, "null", "null"},
      {"per mille, not clamped", {{kGpuLoad, "1200\n"}}, "120.0", "null"},
      {"the second GPU file", {{"devices/gpu.0/load", "7\n"}}, "0.7", "null"},
      {"a first GPU file without its newline, or with more than digits, is passed over",
       {{kGpuLoad, "253"}, {"devices/gpu.0/load", "253 \n"}}, "null", "null"},
      {"the first GPU file wins", {{kGpuLoad, "253\n"}, {"devices/gpu.0/load", "999\n"}}, "25.3", "null"},
      // 1066500 kHz of 2133000 kHz.
      {"the memory's activity over the firmware's EMC rate",
       {{actmon, "1066500\n"}, {bpmpRate, "2133000000\n"}}, "null", "50.0"},
      {"root's activity file over the measured rate, which comes first",
       {{"cactmon/mc_all", "1\n"}, {"clk/emc/pto_rate", "3000\n"}, {bpmpRate, "1000\n"}}, "null", "33.3"},
      {"t264's, over the bandwidth manager's rate, rounded as printed",
       {{"bpmp/debug/actmon/mc_all_avg_activity", "2\n"}, {"class/devfreq/bwmgr/cur_freq", "3000\n"}}, "null",
       "66.7"},
      {"a rate file that yields no line is passed over",
       {{actmon, "1\n"}, {"clk/emc/pto_rate", ""}, {bpmpRate, "2000\n"}}, "null", "50.0"},
      {"a rate of 0", {{actmon, "5\n"}, {bpmpRate, "0\n"}}, "null", "null"},
      {"no rate", {{actmon, "5\n"}}, "null", "null"},
      {"an activity that is no number", {{actmon, "-5\n"}, {bpmpRate, "1000\n"}}, "null", "null"},
      // 10^20 %, whose tenths no 64-bit integer holds: saturated as every read number is.
      {"an activity far beyond its rate", {{actmon, "999999999999999\n"}, {bpmpRate, "1\n"}}, "null",
       "109951162777.6"},
  };
  for (const LoadCase &c : cases) {
    SCOPED_TRACE(c.name);
    ToolSetup setup;
    setup.args = {"--size=1", "--loops=1", "--json"};
    const ToolRun run = runOn(c.files, setup);
    EXPECT_EQ(member(run.out, "load"), loadMember(c.gpu, c.memory));
    EXPECT_EQ(run.exitStatus, 0);
  }
}

struct WaitCase {
  const char *name;
  std::vector<std::string> args;
  BoardFiles files;
  std::vector<Trigger> triggers;
  std::string out;  // after the device line
  std::string err;
  int exitStatus;
};

// Readings a second apart; the test rewrites the GPU's load after the
// tool's n-th reading of it.
TEST(BoardLoad, WaitForAnIdleBoard) {
  const auto set = [](int reads, const char *text) { return Trigger{kAfterGpuRead, reads, kGpuLoad, text, 0}; };
  const std::string busy = "Error: the board stayed busy for 2 s: GPU load 90.0 %, memory load unknown, above the allowed "
                           "20 %\n";
  const std::vector<WaitCase> cases = {
      {"calm at once", {"--max-load=20"}, {{kGpuLoad, "200\n"}}, {},
       std::string("Load:\tGPU 20.0 %, memory unknown\n") + kFigures, "", 0},
      {"unknown loads never wait", {"--max-load=1"}, {}, {},
       std::string("Load:\tGPU unknown, memory unknown\n") + kFigures, "", 0},
      {"falls after three readings", {"--max-load=20", "--wait-idle=5"}, {{kGpuLoad, "900\n"}}, {set(1, "100\n")},
       std::string("Load:\tGPU 10.0 %, memory unknown (waited 2 s)\n") + kFigures, "", 0},
      {"one calm reading between busy ones does not end it", {"--max-load=20", "--wait-idle=5"},
       {{kGpuLoad, "900\n"}}, {set(1, "100\n"), set(2, "900\n"), set(3, "100\n")},
       std::string("Load:\tGPU 10.0 %, memory unknown (waited 4 s)\n") + kFigures, "", 0},
      {"never falls", {"--max-load=20", "--wait-idle=2"}, {{kGpuLoad, "900\n"}}, {set(2, "100\n")},
       "Load:\tGPU 10.0 %, memory unknown (waited 2 s)\nResult = FAIL\n", busy, 75},
      {"no wait allowed", {"--max-load=20", "--wait-idle=0"}, {{kGpuLoad, "201\n"}}, {},
       "Load:\tGPU 20.1 %, memory unknown\nResult = FAIL\n",
       "Error: the board stayed busy for 0 s: GPU load 20.1 %, memory load unknown, above the allowed 20 %\n", 75},
  };
  for (const WaitCase &c : cases) {
    SCOPED_TRACE(c.name);
    ToolSetup setup;
    setup.args = {"--size=1", "--loops=1"};
    setup.args.insert(setup.args.end(), c.args.begin(), c.args.end());
    setup.triggers = c.triggers;
    const ToolRun run = runOn(c.files, setup);
    EXPECT_EQ(run.out, bannerAndDevice() + c.out);
    EXPECT_EQ(run.err, c.err);
    EXPECT_EQ(run.exitStatus, c.exitStatus);
    // A busy board is not measured: no event, no buffer, no selection.
    EXPECT_EQ(countLogLines(run.log, "cudaEventCreate"), c.exitStatus == 75 ? 0 : 4);
  }
}

// Where the Load line stands: after the RAM text, on a line of its own, or
// after the device line without one.
TEST(BoardLoad, LoadLineAfterTheRamText) {
  const std::vector<std::pair<BoardFiles, std::string>> cases = {
      {{{"clk/emc/pto_rate", "1600000000\n"}}, "RAM:\t1600.0 MHz\nLoad:\tGPU 0.5 %, memory unknown\n"},
      {{{"clk/emc/pto_rate", "1600000000\n"}, {"clk/emc/clk_rate", "1600000000\n"},
        {"bpmp/debug/emc/tables_info", "1600000 kHz, cfg LP4\n"}},
       "RAM:\t1600.0 MHz (cfg: LP4)\nLoad:\tGPU 0.5 %, memory unknown\n"},
      {{}, "Load:\tGPU 0.5 %, memory unknown\n"},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.second);
    BoardFiles files = c.first;
    files.emplace_back(kGpuLoad, "5\n");
    ToolSetup setup;
    setup.args = {"--size=1", "--loops=1", "--max-load=50"};
    const ToolRun run = runOn(files, setup);
    EXPECT_EQ(run.out, bannerAndDevice() + c.second + kFigures);
  }
}

struct StopCase {
  const char *name;
  std::vector<std::string> args;
  std::vector<std::string> env;
  BoardFiles files;
  std::vector<Trigger> triggers;
  std::string out;       // after the device line
  int signal;
  std::string logTail;   // the calls the run ended with
};

// A signal while each phase runs: what completed is reported, the phase
// releases what it holds, and the tool dies by the signal.
TEST(Interrupted, EachPhaseStopsCleanly) {
  const std::string copyRelease = "cudaEventDestroy e2\ncudaEventDestroy e1\ncudaFree d1\ncudaFree d2\n";
  const std::string fillRelease = "cudaEventDestroy e4\ncudaEventDestroy e3\ncudaFree d3\n";
  const std::string close = "cudaSetDevice 0\n";
  const std::vector<StopCase> cases = {
      {"the Memcpy's second repetition", {"--loops=3"}, {"STANDIN_SIGNAL=cudaEventElapsedTime:2:2"}, {}, {},
       "Result = FAIL\n", SIGINT, "cudaEventElapsedTime e1 e2\n" + copyRelease + close},
      {"the Memset's first repetition, with a RAM line", {"--loops=3"}, {"STANDIN_SIGNAL=cudaEventElapsedTime:4:15"},
       {{"clk/emc/pto_rate", "1600000000\n"}}, {},
       "RAM:\t1600.0 MHz\nMemcpy\t 1048.6 MB/s (Total: 2097.2 MB/s)\nResult = FAIL\n", SIGTERM,
       "cudaEventElapsedTime e3 e4\n" + fillRelease + close},
      // The pinned copy host to device completes with its last repetition;
      // no other copy starts, nor the sustained copy.
      {"a host copy", {"--loops=1", "--host-copies", "--host-loops=2", "--duration=5"},
       {"STANDIN_SIGNAL=cudaMemcpyAsync:2:1"}, {}, {},
       std::string(kFigures) + "HtoD pinned\t1048.6 MB/s\nResult = FAIL\n", SIGHUP,
       "cudaMemcpyAsync d4 p1 1048576 1 0 pattern-ok\ncudaEventRecord e6 0\ncudaEventSynchronize e6\n"
       "cudaEventElapsedTime e5 e6\ncudaFreeHost p1\ncudaEventDestroy e6\ncudaEventDestroy e5\ncudaFree d4\n" + close},
      // Batches of 500 ms: the signal in the third, the first of the second interval.
      {"between the sustained copy's batches", {"--loops=1", "--duration=3", "--interval=1"},
       {"STANDIN_TIMES=1,1,500", "STANDIN_SIGNAL=cudaEventSynchronize:3:2"}, {}, {},
       std::string(kFigures) + "\nSustained Memcpy for 3 s, in intervals of 1 s:\n"
                               "1 s\tMemcpy\t 2147.5 MB/s (Total: 4295.0 MB/s)\n"
                               "Sustained Total: lowest 4295.0 MB/s, highest 4295.0 MB/s, drop 0.0 %\nResult = FAIL\n",
       SIGINT, "cudaEventElapsedTime e5 e6\ncudaEventDestroy e6\ncudaEventDestroy e5\ncudaFree d4\ncudaFree d5\n" + close},
      // The first size of the sweep stands; the second, under way, is dropped.
      {"the sweep", {"--loops=1", "--sweep", "--sweep-loops=2"}, {"STANDIN_SIGNAL=cudaEventElapsedTime:5:15"}, {}, {},
       std::string(kFigures) + "\nMemcpy by size, best of 2, Total:\n     1 MiB\t    2097.2 MB/s\nResult = FAIL\n",
       SIGTERM, "cudaEventElapsedTime e5 e6\ncudaFree d6\ncudaFree d7\ncudaEventDestroy e6\ncudaEventDestroy e5\n" + close},
      // Nothing measured, nothing selected.
      {"the wait", {"--loops=1", "--max-load=20", "--wait-idle=30"}, {}, {{kGpuLoad, "900\n"}},
       {{kAfterGpuRead, 1, "", "", SIGTERM}}, "Load:\tGPU 90.0 %, memory unknown\nResult = FAIL\n", SIGTERM,
       "cudaGetDeviceProperties 0\ncudaDeviceGetAttribute 20 0\n"},
  };
  for (const StopCase &c : cases) {
    SCOPED_TRACE(c.name);
    ToolSetup setup;
    setup.args = {"--size=1"};
    setup.args.insert(setup.args.end(), c.args.begin(), c.args.end());
    setup.env = c.env;
    setup.triggers = c.triggers;
    const ToolRun run = runOn(c.files, setup);
    EXPECT_EQ(run.out, bannerAndDevice() + c.out);
    EXPECT_EQ(run.err, std::string("Error: interrupted by ") +
                           (c.signal == SIGINT ? "SIGINT" : c.signal == SIGTERM ? "SIGTERM" : "SIGHUP") + "\n");
    EXPECT_EQ(run.termSignal, c.signal);
    ASSERT_GE(run.log.size(), c.logTail.size());
    EXPECT_EQ(run.log.substr(run.log.size() - c.logTail.size()), c.logTail);
  }
}

struct LogCase {
  const char *name;
  std::vector<std::string> args;
  std::vector<std::string> env;
  BoardFiles files;
  std::string out;  // after the device line
};

// In a log of both streams, as a redirect or the journal has it, what was
// measured stands before the error that ended the run, also when no line
// of the phase had been written out.
TEST(Interrupted, MeasuredLinesBeforeTheErrorInALog) {
  const std::string memcpy = "\nMemcpy\t 1048.6 MB/s (Total: 2097.2 MB/s)\n";
  const std::vector<LogCase> cases = {
      {"a stop", {"--loops=3"}, {"STANDIN_SIGNAL=cudaEventElapsedTime:4:15"}, {},
       memcpy + "Error: interrupted by SIGTERM\nResult = FAIL\n"},
      // Byte 1000 of the staging pattern is 0xe8.
      {"a data difference", {"--loops=2", "--verify"}, {"STANDIN_MEMORY=1", "STANDIN_FLIP=cudaMemcpy:3:2:1000:0x10"},
       {},
       memcpy + "Error: Memcpy read back 1 differing bytes of 1048576, the first at byte 1000 (0xf8 instead of "
                "0xe8)\nResult = FAIL\n"},
      {"the first host copy's timer", {"--loops=1", "--host-copies", "--host-loops=1"}, {"STANDIN_TIMES=1,1,0"}, {},
       std::string(kFigures) + "Error: the GPU timer gave 0 ms for a host copy\nResult = FAIL\n"},
      {"a verdict", {"--loops=1", "--min-total=2098"}, {}, {},
       std::string(kFigures) + "Error: Memcpy total 2097.2 MB/s is below the expected minimum of 2098 MB/s\n"
                               "Result = FAIL\n"},
      {"the Memset's timer", {"--loops=1"}, {"STANDIN_TIMES=1,0"}, {},
       "Error: the GPU timer gave 0 ms for a Memset repetition\nResult = FAIL\n"},
      {"a busy board", {"--loops=1", "--max-load=20", "--wait-idle=0"}, {}, {{kGpuLoad, "900\n"}},
       "Load:\tGPU 90.0 %, memory unknown\nError: the board stayed busy for 0 s: GPU load 90.0 %, memory load "
       "unknown, above the allowed 20 %\nResult = FAIL\n"},
  };
  for (const LogCase &c : cases) {
    SCOPED_TRACE(c.name);
    ToolSetup setup;
    setup.args = {"--size=1"};
    setup.args.insert(setup.args.end(), c.args.begin(), c.args.end());
    setup.env = c.env;
    setup.oneLog = true;
    const ToolRun run = runOn(c.files, setup);
    EXPECT_EQ(run.out, bannerAndDevice() + c.out);
  }
}

// A signal the tool was started with ignored stays ignored (nohup, a
// background job): the run goes on to its end.
TEST(Interrupted, SignalLeftIgnored) {
  ToolSetup setup;
  setup.args = {"--size=1", "--loops=3"};
  setup.env = {"STANDIN_SIGNAL=cudaEventElapsedTime:2:1"};
  setup.ignoredSignals = {SIGHUP};
  const ToolRun run = runTool(setup);
  EXPECT_EQ(run.out, bannerAndDevice() + kFigures);
  EXPECT_EQ(run.exitStatus, 0);
  EXPECT_EQ(run.termSignal, 0);
}

// On a terminal the progress line goes before the error line.
TEST(Interrupted, ProgressLineClearedOnATerminal) {
  ToolSetup setup;
  setup.args = {"--size=1", "--loops=3"};
  setup.env = {"TERM=xterm", "STANDIN_DELAY_US=150000", "STANDIN_SIGNAL=cudaEventElapsedTime:2:2"};
  setup.terminalColumns = 80;
  const ToolRun run = runTool(setup);
  const std::string tail = "\r\033[KError: interrupted by SIGINT\nResult = FAIL\n";
  ASSERT_GE(run.out.size(), tail.size());
  EXPECT_EQ(run.out.substr(run.out.size() - tail.size()), tail) << run.out;
  EXPECT_NE(run.out.find("\rMemcpy 1/3, best 2097.2 MB/s\033[K"), std::string::npos) << run.out;
  EXPECT_EQ(run.termSignal, SIGINT);
}

// The machine reports of a busy and of a stopped run: whole, with their kind.
TEST(Interrupted, MachineReportsSayWhy) {
  ToolSetup stopped;
  stopped.args = {"--size=1", "--loops=2", "--json"};
  stopped.env = {"STANDIN_SIGNAL=cudaEventElapsedTime:3:15"};
  const ToolRun json = runTool(stopped);
  EXPECT_EQ(member(json.out, "error"), "{\n    \"kind\": \"interrupted\",\n    \"message\": \"interrupted by SIGTERM\"\n  }");
  EXPECT_EQ(member(json.out, "memset"), "null");
  EXPECT_NE(member(json.out, "memcpy"), "null");
  EXPECT_EQ(member(json.out, "load"), loadMember("null", "null"));
  EXPECT_EQ(json.out.substr(json.out.size() - 2), "}\n");
  EXPECT_EQ(json.termSignal, SIGTERM);
  ToolSetup busy;
  busy.args = {"--size=1", "--loops=2", "--prometheus", "--max-load=20", "--wait-idle=0"};
  const ToolRun prometheus = runOn({{kGpuLoad, "253\n"}, {"kernel/actmon_avg_activity/mc_all", "1\n"},
                                    {"bpmp/debug/clk/emc/rate", "4000\n"}},
                                   busy);
  EXPECT_EQ(prometheus.exitStatus, 75);
  for (const char *sample : {"quillmere_success 0\n", "quillmere_error_info{kind=\"busy\",site=\"\",name=\"\"} 1\n",
                             "quillmere_gpu_load_ratio 0.253\n", "quillmere_memory_load_ratio 0.25\n",
                             "quillmere_max_load_ratio 0.2\n", "quillmere_idle_wait_seconds 0\n"}) {
    EXPECT_NE(prometheus.out.find(std::string("\n") + sample), std::string::npos) << sample << prometheus.out;
  }
  EXPECT_EQ(prometheus.out.find("quillmere_memcpy"), std::string::npos);
}

}  // namespace
