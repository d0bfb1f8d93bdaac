// The command line: help, option scanning with its quirks, rejected values.
#include <gtest/gtest.h>

#include <csignal>

#include <string>
#include <vector>

#include "command_line/options.h"
#include "tool_runner.h"

namespace {

const char kUsage[] =
    "Memory Bandwidth Test\n"
    "\n"
    "Options:\n"
    "--help\tDisplay this help menu\n"
    "--size=[SIZE]\tTransfer size in MiB. Defaults to 32.\n"
    "--loops=[SIZE]\tAmmount of transfers. Defaults to 2000\n"
    "--json\tReport as one JSON object\n"
    "--prometheus\tReport in the Prometheus text format\n"
    "--min-total=[MB/s]\tFail when the Memcpy Total is below this\n"
    "--min-efficiency=[%]\tFail when the Memcpy Total is below this share of the memory's peak\n"
    "--bus-width=[BITS]\tThe memory's bus width, for its peak\n"
    "--duration=[SECONDS]\tAfter the measurements, copy for this long and report each interval\n"
    "--interval=[SECONDS]\tLength of each interval of the sustained copy. Defaults to 10\n"
    "--max-drop=[%]\tFail when the sustained Memcpy Total falls this far below its highest interval\n"
    "--host-copies\tAfter the measurements, copy between host and device memory, each way\n"
    "--host-loops=[SIZE]\tRepetitions of each host copy. Defaults to 100\n"
    "--sweep\tAfter the measurements, copy at each size from 1 MiB up\n"
    "--sweep-loops=[SIZE]\tRepetitions at each size of the sweep. Defaults to 100\n"
    "--verify\tRead the copied data back and check every byte\n"
    "--max-load=[%]\tBefore measuring, wait until the GPU and memory load are at most this\n"
    "--wait-idle=[SECONDS]\tThe longest wait for an idle board. Defaults to 60\n"
    "--cpu-copies\tAfter the measurements, copy on the CPU and the GPU, alone and at once\n"
    "--cpu-seconds=[SECONDS]\tLength of each part of the CPU copies. Defaults to 10\n"
    "--cpu-threads=[SIZE]\tCPU threads that copy. Defaults to the CPUs less one\n";

TEST(Help, PrintsUsageWithoutTouchingTheGpu) {
  const std::vector<std::vector<std::string>> cases = {
      {"--help"}, {"-HELP"}, {"help"}, {"--size=0", "--help"}, {"---Help=yes"}, {"--loops=-1", "help"},
  };
  for (const auto &args : cases) {
    SCOPED_TRACE(args.back());
    const ToolRun run = runTool(args);
    EXPECT_EQ(run.out, kUsage);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.exitStatus, 0);
    EXPECT_EQ(run.log, "");
  }
}

struct Scanned {
  std::vector<std::string> args;
  unsigned long long memSize;
  int loops;
};

// Size and repetition count as the stand-in saw them: the first allocation
// and the elapsed-time reads of the copy measurement.
TEST(OptionScanning, SetsSizeAndLoops) {
  const std::vector<Scanned> cases = {
      {{"--loops=3"}, 16u << 20, 3},
      {{"--size=8", "--loops=2"}, 8u << 20, 2},
      {{"size=8", "loops=2"}, 8u << 20, 2},
      {{"---size=8", "--loops=2"}, 8u << 20, 2},
      {{"--SIZE=8", "--LoOpS=2"}, 8u << 20, 2},
      {{"--size64", "--loops=2"}, 16u << 20, 2},
      {{"--sizes=3", "--size=8", "--loops=2"}, 8u << 20, 2},
      {{"--size=8", "--size9", "--loops=2"}, 9u << 20, 2},
      {{"--size=3", "--size=5", "--loops=1"}, 5u << 20, 1},
      {{"--size= 7", "--loops=+2"}, 7u << 20, 2},
      {{"--size=\v7", "--loops=\t\n\v\f\r 2"}, 7u << 20, 2},
      {{"--size=6MiB", "--loops=2x"}, 6u << 20, 2},
      {{"--bogus", "-x", "--", "-", "", "--loops=1"}, 16u << 20, 1},
      {{"--loops=2147483647", "--size=1", "--loops=1"}, 1u << 20, 1},
      // The largest width is accepted; the text report does not use it.
      {{"--bus-width=65536", "--loops=1"}, 16u << 20, 1},
  };
  for (const Scanned &c : cases) {
    SCOPED_TRACE(c.args.front() + " " + c.args.back());
    const ToolRun run = runTool(c.args);
    EXPECT_EQ(run.exitStatus, 0);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.out.compare(0, bannerAndDevice().size(), bannerAndDevice()), 0) << run.out;
    EXPECT_EQ(countLogLines(run.log, "cudaMalloc d1 " + std::to_string(c.memSize)), 1) << run.log;
    EXPECT_EQ(countLogLines(run.log, "cudaEventElapsedTime"), 2 * c.loops);
  }
}

TEST(OptionScanning, DefaultsAre16MiBAnd4000Loops) {
  const ToolRun run = runTool(std::vector<std::string>{});
  EXPECT_EQ(run.exitStatus, 0);
  EXPECT_EQ(countLogLines(run.log, "cudaMalloc d1 16777216"), 1);
  EXPECT_EQ(countLogLines(run.log, "cudaEventElapsedTime"), 8000);
}

struct Rejected {
  std::vector<std::string> args;
  const char *message;
  // The calls made: the properties query, the compute mode and the closing
  // selection; --min-efficiency also asks the memory's attributes.
  const char *log = "cudaGetDeviceProperties 0\ncudaDeviceGetAttribute 20 0\ncudaSetDevice 0\n";
};

TEST(OptionScanning, RejectsBadValues) {
  const char *sizeZero = "Illegal argument - size must be greater than zero\n";
  const char *sizeLarge = "Illegal argument - size must be less than 4096\n";
  const char *loopsZero = "Illegal argument - loops must be greater than zero\n";
  const char *loopsLarge = "Illegal argument - loops must be at most 2147483647\n";
  const char *minEfficiencyZero = "Illegal argument - min-efficiency must be greater than zero\n";
  const char *withAttributes =
      "cudaGetDeviceProperties 0\ncudaDeviceGetAttribute 37 0\ncudaDeviceGetAttribute 36 0\n"
      "cudaDeviceGetAttribute 20 0\ncudaSetDevice 0\n";
  const std::vector<Rejected> cases = {
      {{"--size"}, sizeZero},
      {{"--size="}, sizeZero},
      {{"--size=0"}, sizeZero},
      {{"--size=abc"}, sizeZero},
      {{"--size=-3"}, sizeZero},
      {{"--size", "64"}, sizeZero},
      {{"--size=8", "--sizes=3"}, sizeZero},
      {{"--size=2047", "--size"}, sizeZero},
      {{"--size==8"}, sizeZero},
      {{"--size=-99999999999999999999"}, sizeZero},
      {{"--size=0", "--loops=0"}, sizeZero},
      {{"--size=4096"}, sizeLarge},
      {{"--size=4097"}, sizeLarge},
      {{"--size=2147483648"}, sizeLarge},
      {{"--size=99999999999999999999"}, sizeLarge},
      {{"--size=4096", "--loops=0"}, sizeLarge},
      {{"--loops"}, loopsZero},
      {{"--loops=0"}, loopsZero},
      {{"--loops=-1"}, loopsZero},
      {{"--loops=-2147483649"}, loopsZero},
      {{"--size=8", "--loops=none"}, loopsZero},
      {{"--loops=2147483648"}, loopsLarge},
      {{"--loops=18446744073709551617"}, loopsLarge},
      // After size and loops: the minimum, then the two formats.
      {{"--min-total"}, "Illegal argument - min-total must be greater than zero\n"},
      {{"--min-total=abc"}, "Illegal argument - min-total must be greater than zero\n"},
      {{"--min-total=-1", "--size=0"}, sizeZero},
      {{"--min-total=2147483648"}, "Illegal argument - min-total must be at most 2147483647\n"},
      {{"--json", "--prometheus=yes", "--min-total=0"}, "Illegal argument - min-total must be greater than zero\n"},
      {{"--JSON=no", "-prometheus"}, "Illegal argument - json and prometheus exclude each other\n"},
      // Then the least efficiency and the bus width, in that order.
      {{"--min-efficiency"}, minEfficiencyZero, withAttributes},
      {{"--min-efficiency=-5"}, minEfficiencyZero, withAttributes},
      {{"--min-efficiency=101"}, "Illegal argument - min-efficiency must be at most 100\n", withAttributes},
      {{"--min-efficiency=0", "--min-total=0"}, "Illegal argument - min-total must be greater than zero\n",
       withAttributes},
      {{"--bus-width=0", "--min-efficiency=0"}, minEfficiencyZero, withAttributes},
      {{"--bus-width=abc"}, "Illegal argument - bus-width must be greater than zero\n"},
      {{"--bus-width=65537"}, "Illegal argument - bus-width must be at most 65536\n"},
      {{"--json", "--prometheus", "--bus-width=0"}, "Illegal argument - bus-width must be greater than zero\n"},
      // Then the sustained copy's: duration, interval, max-drop, the two that
      // need a duration, and last the formats.
      {{"--duration"}, "Illegal argument - duration must be greater than zero\n"},
      {{"--duration=86401"}, "Illegal argument - duration must be at most 86400\n"},
      {{"--duration=0", "--bus-width=65537"}, "Illegal argument - bus-width must be at most 65536\n"},
      {{"--interval=0", "--duration=0"}, "Illegal argument - duration must be greater than zero\n"},
      {{"--duration=1", "--interval=3601"}, "Illegal argument - interval must be at most 3600\n"},
      {{"--max-drop=0", "--interval=-1", "--duration=9"}, "Illegal argument - interval must be greater than zero\n"},
      {{"--duration=9", "--max-drop=101"}, "Illegal argument - max-drop must be at most 100\n"},
      {{"--max-drop=101", "--interval=5"}, "Illegal argument - max-drop must be at most 100\n"},
      {{"--max-drop=5", "--interval=5"}, "Illegal argument - interval needs duration\n"},
      {{"--max-drop=100"}, "Illegal argument - max-drop needs duration\n"},
      {{"--json", "--prometheus", "--interval=3600"}, "Illegal argument - interval needs duration\n"},
      // Then the host copies': the repetitions after max-drop, their need
      // after the sustained copy's, before the formats.
      {{"--host-copies", "--host-loops"}, "Illegal argument - host-loops must be greater than zero\n"},
      {{"--host-loops=2147483648", "--host-copies"}, "Illegal argument - host-loops must be at most 2147483647\n"},
      {{"--host-loops=0", "--max-drop=101", "--duration=1"}, "Illegal argument - max-drop must be at most 100\n"},
      {{"--host-loops=-1", "--interval=5"}, "Illegal argument - host-loops must be greater than zero\n"},
      {{"--host-loops=5", "--max-drop=5"}, "Illegal argument - max-drop needs duration\n"},
      {{"--json", "--prometheus", "--host-loops=5"}, "Illegal argument - host-loops needs host-copies\n"},
      {{"--host-copies=no", "--host-loops=-5"}, "Illegal argument - host-loops must be greater than zero\n"},
      // The sweep's repetitions after the host copies', its need right after theirs.
      {{"--sweep", "--sweep-loops=0"}, "Illegal argument - sweep-loops must be greater than zero\n"},
      {{"--sweep-loops=2147483648", "--sweep"}, "Illegal argument - sweep-loops must be at most 2147483647\n"},
      {{"--sweep-loops=0", "--host-loops=0", "--host-copies"}, "Illegal argument - host-loops must be greater than zero\n"},
      {{"--sweep-loops=0", "--host-loops=5"}, "Illegal argument - sweep-loops must be greater than zero\n"},
      {{"--sweep-loops=5", "--host-loops=5"}, "Illegal argument - host-loops needs host-copies\n"},
      {{"--sweep-loops=5", "--max-load=0"}, "Illegal argument - sweep-loops needs sweep\n"},
      // Then the wait for an idle board: its limit, its time, the time without
      // the limit, all after every other option and need, before the formats.
      {{"--max-load"}, "Illegal argument - max-load must be greater than zero\n"},
      {{"--max-load=101"}, "Illegal argument - max-load must be at most 100\n"},
      {{"--max-load=0", "--host-loops=5"}, "Illegal argument - host-loops needs host-copies\n"},
      {{"--wait-idle=-1", "--max-load=5"}, "Illegal argument - wait-idle must not be negative\n"},
      {{"--wait-idle=-99999999999", "--max-load=5"}, "Illegal argument - wait-idle must not be negative\n"},
      {{"--wait-idle=3601", "--max-load=0"}, "Illegal argument - max-load must be greater than zero\n"},
      {{"--wait-idle=3601", "--max-load=5"}, "Illegal argument - wait-idle must be at most 3600\n"},
      {{"--wait-idle=5"}, "Illegal argument - wait-idle needs max-load\n"},
      {{"--wait-idle"}, "Illegal argument - wait-idle needs max-load\n"},
      {{"--json", "--prometheus", "--wait-idle=1"}, "Illegal argument - wait-idle needs max-load\n"},
      // Then the CPU copies' values, then what they need, before the formats.
      {{"--cpu-copies", "--cpu-seconds=0"}, "Illegal argument - cpu-seconds must be greater than zero\n"},
      {{"--cpu-copies", "--cpu-seconds=3601"}, "Illegal argument - cpu-seconds must be at most 3600\n"},
      {{"--cpu-copies", "--cpu-threads=1025"}, "Illegal argument - cpu-threads must be at most 1024\n"},
      {{"--cpu-threads=0", "--cpu-seconds=5"}, "Illegal argument - cpu-threads must be greater than zero\n"},
      {{"--cpu-seconds=0", "--wait-idle=5"}, "Illegal argument - wait-idle needs max-load\n"},
      {{"--cpu-seconds=5", "--cpu-threads=5"}, "Illegal argument - cpu-seconds needs cpu-copies\n"},
      {{"--json", "--prometheus", "--cpu-threads=5"}, "Illegal argument - cpu-threads needs cpu-copies\n"},
  };
  for (const Rejected &c : cases) {
    SCOPED_TRACE(c.args.front());
    const ToolRun run = runTool(c.args);
    EXPECT_EQ(run.out, bannerAndDevice() + c.message + "Result = FAIL\n");
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_EQ(run.log, c.log);
  }
}

struct LostReport {
  std::vector<std::string> args;
  std::vector<std::string> env;
  const char *errBefore;  // what the run itself wrote to standard error
  int elapsedReads;       // shows how far the measurement ran
  int signal = 0;         // the signal it dies by; 0: it exits
};

// Standard output on a full device: every way out ends with status 1 and
// says so, after whatever the run itself reported.
TEST(LostReport, FailsTheRunWhenStandardOutputCannotBeWritten) {
  const std::vector<LostReport> cases = {
      {{"--help"}, {}, "", 0},
      {{"--size=1", "--loops=3"}, {}, "", 6},
      {{"--size=0"}, {}, "", 0},
      {{"--size=1", "--loops=3"}, {"STANDIN_FAIL=cudaMemset:2=700"},
       "CUDA error at quillmere:275 code=700(cudaErrorIllegalAddress) "
       "\"cudaMemset(d_odata, 0, memSize)\" \n",
       4},
      // A line flushed during the run fails first: its reason is the one given.
      {{"--size=1", "--loops=1", "--duration=1"}, {"STANDIN_TIMES=1,1,1000"}, "", 3},
      // A stopped run says so, and still dies by its signal.
      {{"--size=1", "--loops=3"}, {"STANDIN_SIGNAL=cudaEventElapsedTime:2:15"}, "Error: interrupted by SIGTERM\n", 2,
       SIGTERM},
  };
  for (const LostReport &c : cases) {
    SCOPED_TRACE(c.args.back());
    ToolSetup setup;
    setup.args = c.args;
    setup.env = c.env;
    setup.stdoutPath = "/dev/full";
    const ToolRun run = runTool(setup);
    EXPECT_EQ(run.err, std::string(c.errBefore) +
                           "Error: the report could not be written to standard output "
                           "(No space left on device)\n");
    EXPECT_EQ(run.exitStatus, c.signal == 0 ? 1 : -1);
    EXPECT_EQ(run.termSignal, c.signal);
    EXPECT_EQ(countLogLines(run.log, "cudaEventElapsedTime"), c.elapsedReads);
  }
}

// The scanner's edges, called directly: a process always has argument 0, so
// a count of 0 or less cannot be given to the tool itself.
TEST(OptionScanning, EdgesOfTheScanner) {
  const char *const argv[] = {"quillmere", "--help", "--size=-99999999999", nullptr};
  EXPECT_FALSE(hasOption(0, argv, "help"));
  EXPECT_FALSE(hasOption(-1, argv, "help"));
  EXPECT_EQ(optionIntValue(0, argv, "size"), 0);
  EXPECT_TRUE(hasOption(2, argv, "help"));
  // Argument 0, the program's name, is never scanned.
  EXPECT_FALSE(hasOption(1, argv, "quillmere"));
  EXPECT_EQ(optionIntValue(3, argv, "size"), -2147483649LL);
  const std::vector<std::pair<const char *, long long>> values = {
      {"-5", -5}, {"-2147483648", -2147483648LL}, {"-2147483649", -2147483649LL},
      {"-99999999999", -2147483649LL}, {"2147483647", 2147483647}, {"99999999999", 2147483648LL},
  };
  for (const auto &c : values) {
    SCOPED_TRACE(c.first);
    EXPECT_EQ(decimalPrefixValue(c.first), c.second);
  }
  // Dashes are skipped only when more than one character follows them.
  const std::vector<std::pair<const char *, int>> dashes = {
      {"-x", 0}, {"--x", 0}, {"---", 0}, {"", 0}, {"-xy", 1}, {"--size=8", 2},
  };
  for (const auto &c : dashes) {
    SCOPED_TRACE(c.first);
    EXPECT_EQ(dashPrefixLength('-', c.first), c.second);
  }
}

}  // namespace
