// CPU and GPU on one memory: the CPU's threads copying alone, the GPU
// alone, then both at once; the threads' pinning, the drops' arithmetic and
// every way out of the phase.
#include <gtest/gtest.h>
#include <sched.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "cpu_and_gpu/cpu_and_gpu_record.h"
#include "tool_runner.h"

namespace {

const char kFigures[] = "\nMemcpy\t 1048.6 MB/s (Total: 2097.2 MB/s)\nMemset\t 1048.6 MB/s\n";

// The CPUs of this process's affinity mask, in order: the tool's too.
std::vector<int> ownCpus() {
  std::vector<int> cpus;
  cpu_set_t mask;
  CPU_ZERO(&mask);
  sched_getaffinity(0, sizeof mask, &mask);
  for (int cpu = 0; cpu < CPU_SETSIZE; cpu++) {
    if (CPU_ISSET(cpu, &mask)) {
      cpus.push_back(cpu);
    }
  }
  return cpus;
}

ToolSetup phaseRun(const std::vector<std::string> &more) {
  ToolSetup setup;
  setup.args = {"--size=1", "--loops=1", "--cpu-copies", "--cpu-seconds=1", "--cpu-threads=2"};
  setup.args.insert(setup.args.end(), more.begin(), more.end());
  return setup;
}

// The lines, the figures' arithmetic as printed, and the machine reports.
TEST(CpuAndGpu, ThreeParts) {
  ToolSetup setup = phaseRun({});
  setup.debugfsRoot = layOut({{"@t234-debugfs", ""}});
  const ToolRun text = runTool(setup);
  const std::regex lines(
      "\nCPU and GPU on one memory, 1 s each, 2 CPU threads, MB/s read and written:\n"
      "CPU alone\t *([0-9]+\\.[0-9]) MB/s\tRAM: 2133\\.0 MHz\n"
      "GPU alone\t2147483\\.6 MB/s\tRAM: 2133\\.0 MHz\n"
      "Together\tCPU ([0-9]+\\.[0-9]) MB/s, GPU 2147483\\.6 MB/s, both ([0-9]+\\.[0-9]) MB/s\tRAM: 2133\\.0 MHz\n"
      "Drop beside each other: CPU (-?[0-9]+\\.[0-9]) %, GPU 0\\.0 %\n$");
  std::smatch found;
  ASSERT_TRUE(std::regex_search(text.out, found, lines)) << text.out;
  const double alone = std::stod(found[1]);
  const double beside = std::stod(found[2]);
  EXPECT_GT(alone, 0.0);
  EXPECT_GT(beside, 0.0);
  char both[64];
  snprintf(both, sizeof both, "%.1f", beside + 2147483.6);
  EXPECT_EQ(found[3].str(), both);
  char drop[64];
  snprintf(drop, sizeof drop, "%.1f", (1.0 - beside / alone) * 100.0);
  EXPECT_EQ(found[4].str(), drop);
  EXPECT_EQ(text.err, "");
  EXPECT_EQ(text.exitStatus, 0);
  // The phase's own calls, in their order around the threads' parts.
  EXPECT_EQ(countLogLines(text.log, "cudaEventCreate"), 4 + 2);
  EXPECT_EQ(countLogLines(text.log, "cudaMalloc"), 3 + 2);

  setup.args.push_back("--json");
  const ToolRun json = runTool(setup);
  const std::string member = ::member(json.out, "cpu_and_gpu");
  const std::vector<int> cpus = ownCpus();
  const std::string pinned = "[" + std::to_string(cpus[1 % cpus.size()]) + ", " + std::to_string(cpus[0]) + "]";
  for (const std::string &expected :
       {"\"seconds\": 1,\n    \"cpu_threads\": 2,\n    \"cpus\": " + pinned + ",\n    \"cpu_buffer_bytes\": 33554432,\n"
        "    \"batch_copies\": 1024,\n",
        std::string("\"name\": \"gpu_alone\""), std::string("\"gpu_drop\": 0.000,\n")}) {
    EXPECT_NE(member.find(expected), std::string::npos) << expected << "\n" << member;
  }
  EXPECT_EQ(member.find("\"parts\": []"), std::string::npos);
  setup.args.back() = "--prometheus";
  const ToolRun prometheus = runTool(setup);
  removeTree(setup.debugfsRoot);
  for (const char *sample :
       {"\nquillmere_cpu_and_gpu_part_seconds 1\n", "\nquillmere_cpu_threads 2\n",
        "\nquillmere_cpu_and_gpu_read_write_bytes_per_second{side=\"gpu\",part=\"gpu_alone\"} 2147483600000\n",
        "\nquillmere_cpu_and_gpu_drop_ratio{side=\"gpu\"} 0.000\n",
        "\nquillmere_cpu_and_gpu_memory_clock_hertz{part=\"together\"} 2133000000\n"}) {
    EXPECT_NE(prometheus.out.find(sample), std::string::npos) << sample;
  }
}

// The process's threads: name ("main" for the main thread, first) and
// allowed CPUs as the kernel lists them.
std::vector<std::pair<std::string, std::string>> threadsOf(pid_t pid) {
  std::vector<std::pair<std::string, std::string>> threads;
  const std::string tasks = "/proc/" + std::to_string(pid) + "/task/";
  for (int task = pid; task < pid + 4096; task++) {
    std::ifstream status(tasks + std::to_string(task) + "/status");
    std::pair<std::string, std::string> thread;
    for (std::string line; std::getline(status, line);) {
      if (line.compare(0, 6, "Name:\t") == 0) {
        thread.first = task == pid ? "main" : line.substr(6);
      } else if (line.compare(0, 19, "Cpus_allowed_list:\t") == 0) {
        thread.second = line.substr(19);
        threads.push_back(thread);
      }
    }
  }
  return threads;
}

// While the CPU threads copy, the process has the threads asked, each on
// its CPU, and the driving thread on the first; a stop in that part drops
// it, and the run dies by the signal.
TEST(CpuAndGpu, ThreadsPinnedWhileTheyRun) {
  // An emulator's threads are its own, not the tool's.
  if (*QUILLMERE_TEST_EMULATOR != '\0') {
    return;
  }
  const std::vector<int> cpus = ownCpus();
  ToolSetup setup = phaseRun({"--cpu-seconds=30"});
  std::string seen;
  const std::string expected = "main " + std::to_string(cpus[0]) + ", cpu copy 1 " +
                               std::to_string(cpus[1 % cpus.size()]) + ", cpu copy 2 " +
                               std::to_string(cpus[2 % cpus.size()]) + ", ";
  setup.whileRunning = [&seen, &expected](pid_t pid) {
    // Up to 20 s for the threads to stand on their CPUs; a sanitizer's own
    // threads are left out.
    for (int tries = 0; tries < 200 && seen != expected; tries++) {
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
      seen.clear();
      for (const auto &thread : threadsOf(pid)) {
        if (thread.first == "main" || thread.first.compare(0, 9, "cpu copy ") == 0) {
          seen += thread.first + " " + thread.second + ", ";
        }
      }
    }
    kill(pid, SIGTERM);
  };
  const ToolRun run = runTool(setup);
  EXPECT_EQ(seen, expected);
  EXPECT_EQ(run.out, bannerAndDevice() + kFigures +
                         "\nCPU and GPU on one memory, 30 s each, 2 CPU threads, MB/s read and written:\n"
                         "Result = FAIL\n");
  EXPECT_EQ(run.err, "Error: interrupted by SIGTERM\n");
  EXPECT_EQ(run.termSignal, SIGTERM);
}

struct WayOut {
  const char *name;
  std::vector<std::string> more;     // arguments after the phase's
  std::vector<std::string> env;
  bool failAlloc;
  std::vector<std::pair<std::string, std::string>> files;
  const char *threads;               // as the header gives them
  std::string lines;                 // after the header, a regular expression
  std::string err;
  const char *kind;                  // the JSON's error kind
  int signal;                        // the run dies by it; 0: exit status 1
};

// Every way out ends the phase with its threads joined and its buffers and
// events released, then the run as every phase ends.
TEST(CpuAndGpu, WaysOut) {
  const std::string cpuLine = "CPU alone\t *[0-9]+\\.[0-9] MB/s\n";
  const std::string gpuLine = "GPU alone\t2147483\\.6 MB/s\n";
  const std::vector<WayOut> cases = {
      {"a thread that cannot start", {"--cpu-threads=3"}, {"FAILALLOC_THREAD=2"}, true, {}, "3 CPU threads",
       "Result = FAIL\n", "Error: could not start CPU thread 2 of 3 (Resource temporarily unavailable)\n",
       "cpu_threads", 0},
      {"a buffer that cannot be had", {}, {"FAILALLOC_SIZE=33554432", "FAILALLOC_ALIGNED=3"}, true, {},
       "2 CPU threads", "", "Not enough memory avaialable on host to run test!\n", "host_memory", 0},
      {"more than half the available memory", {}, {}, false, {{"proc/meminfo", "MemAvailable:     262140 kB\n"}},
       "2 CPU threads", "Result = FAIL\n",
       "Error: 2 CPU threads need 128 MiB, more than half of the 255 MiB available\n", "host_memory", 0},
      {"a flip in a CPU buffer", {"--verify", "--cpu-threads=1"}, {"STANDIN_MEMORY=1", "FAILALLOC_FLIP=1"}, true, {},
       "1 CPU thread", cpuLine + "Result = FAIL\n",
       "Error: CPU thread 1 alone read back 1 differing bytes of 33554432, the first at byte 0 (0x01 instead of "
       "0x00)\n",
       "data", 0},
      {"a flip on the GPU", {"--verify"}, {"STANDIN_MEMORY=1", "STANDIN_FLIP=cudaMemcpyAsync:3:1:8:0x80"}, false, {},
       "2 CPU threads", cpuLine + gpuLine + "Result = FAIL\n",
       "Error: GPU alone read back 1 differing bytes of 1048576, the first at byte 8 (0x95 instead of 0x15)\n", "data",
       0},
      {"a batch time no memory could give", {}, {"STANDIN_TIMES=1,1,0"}, false, {}, "2 CPU threads",
       cpuLine + "Result = FAIL\n", "Error: the GPU timer gave 0 ms for a batch of 1024 copies\n", "timer", 0},
      // Batches of 400 ms: three in the GPU's second, the fourth beside the threads.
      {"a failed call beside the threads", {}, {"STANDIN_DELAY_US=400000", "STANDIN_FAIL=cudaEventSynchronize:4=700"},
       false, {}, "2 CPU threads", cpuLine + gpuLine,
       "CUDA error at quillmere:609 code=700(cudaErrorIllegalAddress) \"cudaEventSynchronize(cpuGpuStop)\" \n", "cuda",
       0},
      {"a stop in the GPU's part", {}, {"STANDIN_SIGNAL=cudaEventSynchronize:2:2"}, false, {}, "2 CPU threads",
       cpuLine + "Result = FAIL\n", "Error: interrupted by SIGINT\n", "interrupted", SIGINT},
      {"a stop beside the threads", {}, {"STANDIN_DELAY_US=400000", "STANDIN_SIGNAL=cudaEventSynchronize:4:1"}, false,
       {}, "2 CPU threads", cpuLine + gpuLine + "Result = FAIL\n", "Error: interrupted by SIGHUP\n", "interrupted",
       SIGHUP},
  };
  for (const WayOut &c : cases) {
    SCOPED_TRACE(c.name);
    if (c.failAlloc && (builtWithAddressSanitizer() || builtWithThreadSanitizer())) {
      continue;
    }
    ToolSetup setup = phaseRun(c.more);
    setup.env = c.env;
    setup.failAlloc = c.failAlloc;
    setup.debugfsRoot = layOut(c.files);
    const ToolRun text = runTool(setup);
    const std::string start = bannerAndDevice() + kFigures + "\nCPU and GPU on one memory, 1 s each, " + c.threads +
                              ", MB/s read and written:\n";
    ASSERT_EQ(text.out.compare(0, start.size(), start), 0) << text.out;
    EXPECT_TRUE(std::regex_match(text.out.substr(start.size()), std::regex(c.lines))) << text.out;
    EXPECT_EQ(text.err, c.err);
    EXPECT_EQ(text.termSignal, c.signal);
    EXPECT_EQ(text.exitStatus, c.signal == 0 ? 1 : -1);
    // Released, whatever the way out: the phase's events and device buffers.
    if (std::string(c.kind) != "cuda" && std::string(c.kind) != "host_memory") {
      EXPECT_EQ(countLogLines(text.log, "cudaEventDestroy"), countLogLines(text.log, "cudaEventCreate"));
      EXPECT_EQ(countLogLines(text.log, "cudaFree"), countLogLines(text.log, "cudaMalloc"));
    }
    setup.args.push_back("--json");
    const ToolRun json = runTool(setup);
    removeTree(setup.debugfsRoot);
    EXPECT_NE(member(json.out, "error").find(std::string("\"kind\": \"") + c.kind + "\""), std::string::npos)
        << json.out;
  }
}

struct PhaseCall {
  const char *script;  // STANDIN_FAIL
  bool verify;
  int site;
  const char *code;
  const char *call;
};

// Each of the phase's checked calls reports its own site and call text.
TEST(CpuAndGpu, EachCallSite) {
  const char *noAlloc = "2(cudaErrorMemoryAllocation)";
  const char *handle = "400(cudaErrorInvalidResourceHandle)";
  const char *address = "700(cudaErrorIllegalAddress)";
  const char *invalid = "1(cudaErrorInvalidValue)";
  const std::vector<PhaseCall> cases = {
      {"cudaEventCreate:5=2", false, 600, noAlloc, "cudaEventCreate(&cpuGpuStart)"},
      {"cudaEventCreate:6=2", false, 601, noAlloc, "cudaEventCreate(&cpuGpuStop)"},
      {"cudaMalloc:4=2", false, 602, noAlloc, "cudaMalloc((void **) &d_cpuGpuIn, memSize)"},
      {"cudaMalloc:5=2", false, 603, noAlloc, "cudaMalloc((void **) &d_cpuGpuOut, memSize)"},
      {"cudaMemcpy:5=1", true, 604, invalid, "cudaMemcpy(d_cpuGpuIn, h_pattern, memSize, cudaMemcpyHostToDevice)"},
      {"cudaEventRecord:5=400", false, 605, handle, "cudaEventRecord(cpuGpuStart, 0)"},
      {"cudaMemcpyAsync:1=700", false, 606, address,
       "cudaMemcpyAsync(d_cpuGpuOut, d_cpuGpuIn, memSize, cudaMemcpyDeviceToDevice, 0)"},
      {"cudaMemcpyAsync:2=700", true, 607, address,
       "cudaMemcpyAsync(d_cpuGpuIn, d_cpuGpuOut, memSize, cudaMemcpyDeviceToDevice, 0)"},
      {"cudaEventRecord:6=400", false, 608, handle, "cudaEventRecord(cpuGpuStop, 0)"},
      {"cudaEventElapsedTime:3=1", false, 610, invalid, "cudaEventElapsedTime(&batchMs, cpuGpuStart, cpuGpuStop)"},
      {"cudaMemcpy:6=700", true, 611, address, "cudaMemcpy(h_check, d_written, memSize, cudaMemcpyDeviceToHost)"},
      {"cudaEventDestroy:5=400", false, 612, handle, "cudaEventDestroy(cpuGpuStop)"},
      {"cudaEventDestroy:6=400", false, 613, handle, "cudaEventDestroy(cpuGpuStart)"},
      {"cudaFree:4=1", false, 614, invalid, "cudaFree(d_cpuGpuIn)"},
      {"cudaFree:5=1", false, 615, invalid, "cudaFree(d_cpuGpuOut)"},
  };
  for (const PhaseCall &c : cases) {
    SCOPED_TRACE(c.script);
    ToolSetup setup = phaseRun({"--cpu-threads=1"});
    setup.env = {std::string("STANDIN_FAIL=") + c.script};
    if (c.verify) {
      setup.args.push_back("--verify");
      setup.env.push_back("STANDIN_MEMORY=1");
    }
    const ToolRun run = runTool(setup);
    EXPECT_EQ(run.err, "CUDA error at quillmere:" + std::to_string(c.site) + " code=" + c.code + " \"" + c.call +
                           "\" \n");
    EXPECT_EQ(run.exitStatus, 1);
  }
}

// On a terminal each part shows its seconds as they pass, gone before its line.
TEST(CpuAndGpu, ProgressOnATerminal) {
  ToolSetup setup = phaseRun({"--cpu-threads=1"});
  setup.env = {"TERM=xterm"};
  setup.terminalColumns = 80;
  const ToolRun run = runTool(setup);
  for (const char *drawn : {"read and written:\n\rCPU alone 0/1 s\033[K\r\033[KCPU alone\t",
                            "\rGPU alone 0/1 s\033[K\rGPU alone 1/1 s\033[K\r\033[KGPU alone\t",
                            "\rTogether 0/1 s\033[K\rTogether 1/1 s\033[K\r\033[KTogether\t"}) {
    EXPECT_NE(run.out.find(drawn), std::string::npos) << drawn << "\n" << run.out;
  }
}

// The default count of threads follows the affinity mask and a cgroup's
// quota, read where the process's cgroup is.
TEST(CpuAndGpu, DefaultThreadsAndQuota) {
  const std::vector<std::pair<std::vector<int>, int>> counts = {
      // cpus in the mask, quota in CPUs: threads
      {{8, 0}, 7}, {{8, 3}, 2}, {{8, 9}, 7}, {{1, 0}, 1}, {{2, 1}, 1}, {{2000, 0}, 1024}, {{0, 0}, 1},
  };
  for (const auto &c : counts) {
    EXPECT_EQ(defaultCpuThreads(c.first[0], c.first[1]), c.second) << c.first[0] << " " << c.first[1];
  }
  const std::vector<std::pair<const char *, int>> maxes = {
      {"max 100000\n", 0}, {"150000 100000\n", 2}, {"100000 100000", 1}, {"50000 100000\n", 1},
      {"", 0}, {"x 100000", 0}, {"200000\n", 0},
  };
  for (const auto &c : maxes) {
    EXPECT_EQ(quotaCpusFromMax(c.first), c.second) << c.first;
  }
  EXPECT_EQ(quotaCpusFromCfs("-1\n", "100000\n"), 0);
  EXPECT_EQ(quotaCpusFromCfs("250000\n", "100000\n"), 3);
  EXPECT_EQ(memAvailableBytes("MemTotal: 8 kB\nMemAvailable:   1024 kB\n"), 1048576U);
  EXPECT_EQ(memAvailableBytes("MemTotal: 8 kB\nXMemAvailable:   1024 kB\n"), 0U);

  // A v2 cgroup whose parent sets the quota: the files are read up to the root.
  ToolSetup setup = phaseRun({"--cpu-seconds=1"});
  setup.args.erase(setup.args.begin() + 4);
  setup.debugfsRoot = layOut({{"proc/self/cgroup", "0::/box/run\n"}, {"fs/cgroup/box/cpu.max", "100000 100000\n"}});
  const ToolRun run = runTool(setup);
  removeTree(setup.debugfsRoot);
  EXPECT_NE(run.out.find("1 s each, 1 CPU thread, MB/s"), std::string::npos) << run.out;
  for (const char *file : {"/proc/self/cgroup", "/sys/fs/cgroup/box/run/cpu.max", "/sys/fs/cgroup/box/cpu.max",
                           "/sys/fs/cgroup/cpu.max"}) {
    EXPECT_NE(run.opened.find(std::string(file) + "\n"), std::string::npos) << file << "\n" << run.opened;
  }
}

struct DropCase {
  double cpuAlone, gpuAlone, cpuBeside, gpuBeside;
  const char *cpuDrop;  // "%.4f" of the drop, or "unknown"
  const char *gpuDrop;
  double both;
};

// The drops from the figures as printed: negative when together is
// faster, unknown when alone prints as 0.0.
TEST(CpuAndGpu, DropsFromPrintedFigures) {
  const std::vector<DropCase> cases = {
      {20480.0, 98304.0, 15360.0, 81920.0, "0.2500", "0.1667", 97280.0},
      {100.0, 100.0, 110.0, 100.0, "-0.1000", "0.0000", 210.0},
      {0.04, 100.0, 5.0, 50.0, "unknown", "0.5000", 55.0},
      {100.04, 100.06, 100.0, 100.0, "0.0000", "0.0010", 200.0},
  };
  for (const DropCase &c : cases) {
    CpuAndGpuRecord record;
    record.parts.resize(3);
    record.parts[kCpuAlone].cpuMbPerS = c.cpuAlone;
    record.parts[kGpuAlone].gpuMbPerS = c.gpuAlone;
    record.parts[kTogether].cpuMbPerS = c.cpuBeside;
    record.parts[kTogether].gpuMbPerS = c.gpuBeside;
    const CpuGpuSummary summary = summarizeCpuAndGpu(record);
    char cpu[32] = "unknown";
    char gpu[32] = "unknown";
    if (summary.cpuDrop.known) {
      snprintf(cpu, sizeof cpu, "%.4f", summary.cpuDrop.value);
    }
    if (summary.gpuDrop.known) {
      snprintf(gpu, sizeof gpu, "%.4f", summary.gpuDrop.value);
    }
    EXPECT_STREQ(cpu, c.cpuDrop);
    EXPECT_STREQ(gpu, c.gpuDrop);
    EXPECT_DOUBLE_EQ(summary.both, c.both);
  }
  CpuAndGpuRecord twoParts;
  twoParts.parts.resize(2);
  EXPECT_FALSE(summarizeCpuAndGpu(twoParts).ended);
}

}  // namespace
