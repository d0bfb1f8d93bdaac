// The JSON and Prometheus reports: every way a run ends, the figures and
// their spread, peak and efficiency, and text that needs escaping.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "reports/text_escape.h"
#include "tool_runner.h"

namespace {

// The Prometheus sample lines (no HELP or TYPE) that start with prefix.
std::string samples(const std::string &text, const std::string &prefix) {
  std::string found;
  size_t at = 0;
  for (size_t end; (end = text.find('\n', at)) != std::string::npos; at = end + 1) {
    const std::string line = text.substr(at, end - at + 1);
    if (line.compare(0, prefix.size(), prefix) == 0) {
      found += line;
    }
  }
  return found;
}

struct WayOut {
  const char *name;
  std::vector<std::string> args;
  std::vector<std::string> env;
  bool failAlloc;
  std::string error;      // the JSON report's error member
  std::string errorInfo;  // the Prometheus error sample
  std::string err;        // standard error, as in the text report
};

TEST(MachineReports, EveryWayOutInBothFormats) {
  const char *prohibited =
      "Error: device is running in <Compute Mode Prohibited>, no threads can use ::cudaSetDevice().\n";
  const std::vector<std::string> run = {"--size=1", "--loops=2"};
  const std::vector<std::string> efficiencyRun = {"--size=1", "--loops=1", "--bus-width=8", "--min-efficiency=57"};
  const std::string belowEfficiency =
      "Memcpy total 1138.0 MB/s is 56.9 % of the memory's peak of 2000.0 MB/s, below the expected minimum of 57 %";
  const std::string unknownPeak =
      "the memory's peak is unknown (no memory clock or bus width), so --min-efficiency cannot be checked";
  const std::vector<WayOut> cases = {
      {"completed", run, {}, false, "null", "", ""},
      {"rejected option", {"--size=0"}, {}, false,
       "{\n    \"kind\": \"option\",\n    \"message\": \"Illegal argument - size must be greater than zero\"\n  }",
       "quillmere_error_info{kind=\"option\",site=\"\",name=\"\"} 1\n", ""},
      {"rejected option, then the selection fails", {"--loops=0"}, {"STANDIN_FAIL=cudaSetDevice:1=100"}, false,
       "{\n    \"kind\": \"option\",\n    \"message\": \"Illegal argument - loops must be greater than zero\"\n  }",
       "quillmere_error_info{kind=\"option\",site=\"\",name=\"\"} 1\n",
       "CUDA error at quillmere:44 code=100(cudaErrorNoDevice) \"cudaSetDevice(0)\" \n"},
      {"properties", run, {"STANDIN_FAIL=cudaGetDeviceProperties:1=35,cudaSetDevice:1=35"}, false,
       "{\n    \"kind\": \"properties\",\n"
       "    \"message\": \"CUDA driver version is insufficient for CUDA runtime version\",\n"
       "    \"code\": 35,\n    \"name\": \"cudaErrorInsufficientDriver\"\n  }",
       "quillmere_error_info{kind=\"properties\",site=\"\",name=\"cudaErrorInsufficientDriver\"} 1\n",
       "CUDA error at quillmere:87 code=35(cudaErrorInsufficientDriver) \"cudaSetDevice(0)\" \n"},
      {"prohibited", run, {"STANDIN_COMPUTE_MODE=2"}, false,
       "{\n    \"kind\": \"prohibited\",\n    \"message\": \"device is running in <Compute Mode Prohibited>, "
       "no threads can use ::cudaSetDevice().\"\n  }",
       "quillmere_error_info{kind=\"prohibited\",site=\"\",name=\"\"} 1\n", prohibited},
      {"host memory", {"--size=2", "--loops=1"}, {"FAILALLOC_SIZE=2097152"}, true,
       "{\n    \"kind\": \"host_memory\",\n    \"message\": \"Not enough memory avaialable on host to run test!\"\n  }",
       "quillmere_error_info{kind=\"host_memory\",site=\"\",name=\"\"} 1\n",
       "Not enough memory avaialable on host to run test!\n"},
      {"host memory, the read-backs' buffer", {"--size=1", "--loops=1", "--verify"}, {"FAILALLOC_SIZE=1048576"}, true,
       "{\n    \"kind\": \"host_memory\",\n    \"message\": \"Not enough memory avaialable on host to run test!\"\n  }",
       "quillmere_error_info{kind=\"host_memory\",site=\"\",name=\"\"} 1\n",
       "Not enough memory avaialable on host to run test!\n"},
      {"host memory, the check pattern's buffer", {"--size=1", "--loops=1", "--verify", "--duration=1"},
       {"FAILALLOC_SIZE=1048576", "FAILALLOC_CALL=2"}, true,
       "{\n    \"kind\": \"host_memory\",\n    \"message\": \"Not enough memory avaialable on host to run test!\"\n  }",
       "quillmere_error_info{kind=\"host_memory\",site=\"\",name=\"\"} 1\n",
       "Not enough memory avaialable on host to run test!\n"},
      {"host memory, a page-aligned buffer", {"--size=1", "--loops=1", "--host-copies"},
       {"FAILALLOC_SIZE=1048576", "FAILALLOC_ALIGNED=1"}, true,
       "{\n    \"kind\": \"host_memory\",\n    \"message\": \"Not enough memory avaialable on host to run test!\"\n  }",
       "quillmere_error_info{kind=\"host_memory\",site=\"\",name=\"\"} 1\n",
       "Not enough memory avaialable on host to run test!\n"},
      {"failed checked call", run, {"STANDIN_FAIL=cudaMemset:2=700"}, false,
       "{\n    \"kind\": \"cuda\",\n    \"message\": \"an illegal memory access was encountered\",\n"
       "    \"site\": 275,\n    \"code\": 700,\n    \"name\": \"cudaErrorIllegalAddress\",\n"
       "    \"call\": \"cudaMemset(d_odata, 0, memSize)\"\n  }",
       "quillmere_error_info{kind=\"cuda\",site=\"275\",name=\"cudaErrorIllegalAddress\"} 1\n",
       "CUDA error at quillmere:275 code=700(cudaErrorIllegalAddress) \"cudaMemset(d_odata, 0, memSize)\" \n"},
      {"below the minimum", {"--size=1", "--loops=2", "--min-total=2098"}, {}, false,
       "{\n    \"kind\": \"below_minimum\",\n"
       "    \"message\": \"Memcpy total 2097.2 MB/s is below the expected minimum of 2098 MB/s\"\n  }",
       "quillmere_error_info{kind=\"below_minimum\",site=\"\",name=\"\"} 1\n",
       "Error: Memcpy total 2097.2 MB/s is below the expected minimum of 2098 MB/s\n"},
      // A peak of 2000 MB/s: a 1 GHz clock and 8 bits; a Total of 1138.0 is 0.569 of it.
      {"below the efficiency", efficiencyRun, {"STANDIN_MEMORY_CLOCK=1000000", "STANDIN_TIMES=1.84284"}, false,
       "{\n    \"kind\": \"below_efficiency\",\n    \"message\": \"" + belowEfficiency + "\"\n  }",
       "quillmere_error_info{kind=\"below_efficiency\",site=\"\",name=\"\"} 1\n", "Error: " + belowEfficiency + "\n"},
      {"unknown peak", {"--size=1", "--loops=1", "--min-efficiency=1"}, {"STANDIN_INTEGRATED=1"}, false,
       "{\n    \"kind\": \"unknown_peak\",\n    \"message\": \"" + unknownPeak + "\"\n  }",
       "quillmere_error_info{kind=\"unknown_peak\",site=\"\",name=\"\"} 1\n", "Error: " + unknownPeak + "\n"},
      // The minimum Total is checked first, and its failure is the only one.
      {"below both minima", {"--size=1", "--loops=1", "--min-total=2098", "--min-efficiency=100"},
       {"STANDIN_INTEGRATED=1"}, false,
       "{\n    \"kind\": \"below_minimum\",\n"
       "    \"message\": \"Memcpy total 2097.2 MB/s is below the expected minimum of 2098 MB/s\"\n  }",
       "quillmere_error_info{kind=\"below_minimum\",site=\"\",name=\"\"} 1\n",
       "Error: Memcpy total 2097.2 MB/s is below the expected minimum of 2098 MB/s\n"},
      {"just at the least efficiency", efficiencyRun, {"STANDIN_MEMORY_CLOCK=1000000", "STANDIN_TIMES=1.839607"},
       false, "null", "", ""},
  };
  for (const WayOut &c : cases) {
    for (const char *format : {"--json", "--prometheus"}) {
      SCOPED_TRACE(std::string(c.name) + " " + format);
      if (c.failAlloc && builtWithAddressSanitizer()) {
        continue;  // one allocation size cannot be made to fail under the sanitizer
      }
      ToolSetup setup;
      setup.args = c.args;
      setup.args.push_back(format);
      setup.env = c.env;
      setup.failAlloc = c.failAlloc;
      const long long before = static_cast<long long>(time(nullptr));
      const ToolRun ran = runTool(setup);
      const long long after = static_cast<long long>(time(nullptr));
      const bool passed = c.errorInfo.empty();
      EXPECT_EQ(ran.err, c.err);
      EXPECT_EQ(ran.exitStatus, passed ? 0 : 1);
      if (std::string(format) == "--json") {
        EXPECT_EQ(ran.out.substr(0, 2), "{\n");
        EXPECT_EQ(ran.out.substr(ran.out.size() - 2), "}\n");
        EXPECT_EQ(member(ran.out, "result"), passed ? "\"PASS\"" : "\"FAIL\"");
        EXPECT_EQ(member(ran.out, "error"), c.error);
        // The run's end, UTC, within the run.
        struct tm utc = {};
        const std::string stamp = member(ran.out, "timestamp");
        ASSERT_NE(strptime(stamp.c_str(), "\"%Y-%m-%dT%H:%M:%SZ\"", &utc), nullptr) << stamp;
        const long long seconds = static_cast<long long>(timegm(&utc));
        EXPECT_TRUE(seconds >= before && seconds <= after) << stamp;
      } else {
        EXPECT_EQ(samples(ran.out, "quillmere_success"), passed ? "quillmere_success 1\n" : "quillmere_success 0\n");
        EXPECT_EQ(samples(ran.out, "quillmere_error_info"), c.errorInfo);
        // The same instant in Unix seconds, on every way out.
        const std::string stamp = samples(ran.out, "quillmere_run_timestamp_seconds ");
        const long long seconds = strtoll(stamp.c_str() + stamp.find(' ') + 1, nullptr, 10);
        EXPECT_TRUE(seconds >= before && seconds <= after) << stamp;
        // Every sample follows the HELP and TYPE lines of its own gauge, and
        // nothing else stands there.
        std::istringstream lines(ran.out);
        std::string line;
        std::string gaugeName;
        int samplesSeen = 0;
        while (std::getline(lines, line)) {
          if (line.compare(0, 7, "# HELP ") == 0) {
            gaugeName = line.substr(7, line.find(' ', 7) - 7);
            ASSERT_TRUE(std::getline(lines, line));
            EXPECT_EQ(line, "# TYPE " + gaugeName + " gauge");
            ASSERT_TRUE(std::getline(lines, line));
          }
          EXPECT_EQ(line.substr(0, line.find_first_of("{ ")), gaugeName) << line;
          samplesSeen++;
        }
        EXPECT_GE(samplesSeen, 2);
        EXPECT_EQ(ran.out.back(), '\n');
      }
    }
  }
}

using BoardFiles = std::vector<std::pair<std::string, std::string>>;

struct ReportCase {
  const char *name;
  std::vector<std::string> args;
  std::vector<std::string> env;
  BoardFiles clockFiles;              // under the test's root, as the redirect lays out /sys
  std::vector<const char *> members;  // name, then its exact value
  const char *prometheus;             // the samples from its first one's name on
  const char *text = nullptr;         // the text report after the device line, if checked
  const char *textErr = "";           // its standard error
};

// A device tree property: the strings, each ended by its NUL.
std::string property(const std::vector<std::string> &strings) {
  std::string bytes;
  for (const std::string &text : strings) {
    bytes += text + '\0';
  }
  return bytes;
}

// Runs the case's arguments with its settings and files.
ToolRun runCase(const ReportCase &c, const char *format) {
  const std::string root = layOut(c.clockFiles);
  ToolSetup setup;
  setup.args = c.args;
  if (*format != '\0') {
    setup.args.push_back(format);
  }
  setup.env = c.env;
  setup.debugfsRoot = root;
  ToolRun run = runTool(setup);
  removeTree(root);
  return run;
}

TEST(MachineReports, FiguresSpreadPeakAndEscaping) {
  using File = std::pair<std::string, std::string>;
  const File pto = {"clk/emc/pto_rate", "1600000000\n"};
  const File clk = {"clk/emc/clk_rate", "1600000000\n"};
  const File table = {"bpmp/debug/emc/tables_info", "1600000 kHz, cfg LP4\n"};
  const std::string tree = "firmware/devicetree/base/";
  const File nano = {tree + "compatible", property({"nvidia,jetson-nano", "nvidia,tegra210"})};
  const File orin = {tree + "compatible", property({"nvidia,p3737-0000+p3701-0005", "nvidia,p3701-0005",
                                                    "nvidia,tegra234"})};
  const File orinModel = {tree + "model", property({"NVIDIA Jetson AGX Orin Developer Kit"})};
  const File t234 = {tree + "compatible", property({"nvidia,tegra234"})};
  const File thor = {tree + "compatible", property({"nvidia,p4071-0000+p3834-0008", "nvidia,tegra264"})};
  const std::string bpmp = "bpmp/debug/clk/emc/";
  const std::string bwmgr = "class/devfreq/bwmgr/";
  const File capFile = {"kernel/nvpmodel_emc_cap/emc_iso_cap", "2133000000\n"};
  const char *integrated = "STANDIN_INTEGRATED=1";
  const char *twoRuns = "quillmere_memcpy_bytes_per_second 1048600000\n"
                        "quillmere_memcpy_read_write_bytes_per_second 2097200000\n"
                        "quillmere_memset_bytes_per_second 1048600000\nquillmere_memcpy_cv_ratio 0.0000\n"
                        "quillmere_memset_cv_ratio 0.0000\n";
  const char *dropMessage = "sustained Memcpy total fell to 1930.6 MB/s, 10.1 % below its highest of 2147.5 MB/s, "
                            "more than the allowed 10 %";
  const std::string dropError = "Error: " + std::string(dropMessage) + "\n";
  const std::string dropJson =
      "{\n    \"kind\": \"bandwidth_drop\",\n    \"message\": \"" + std::string(dropMessage) + "\"\n  }";
  const std::vector<ReportCase> cases = {
      {"a scripted series, peak from the RAM text and the module",
       {"--size=1", "--loops=3", "--min-total=8388"},
       {"STANDIN_TIMES=0.5,0.25,0.75,2,1,4", integrated},
       {pto, clk, table, nano},
       {"memcpy",
        "{\n    \"mb_per_s\": 4194.3,\n    \"total_mb_per_s\": 8388.6,\n    \"mean_total_mb_per_s\": 4194.3,\n"
        "    \"cv\": 0.4082,\n    \"best_ms\": 0.25,\n    \"worst_ms\": 0.75\n  }",
        "memset",
        "{\n    \"mb_per_s\": 1048.6,\n    \"mean_mb_per_s\": 449.4,\n    \"cv\": 0.5345,\n"
        "    \"best_ms\": 1,\n    \"worst_ms\": 4\n  }",
        "memory_clock",
        "{\n    \"hz\": 1600000000,\n    \"source\": \"/sys/kernel/debug/clk/emc/pto_rate\",\n"
        "    \"cfg\": \"LP4\",\n    \"max_hz\": null,\n    \"cap_hz\": null,\n    \"locked\": null\n  }",
        "peak", "{\n    \"mb_per_s\": 25600.0,\n    \"clock_hz\": 1600000000,\n    \"bus_width_bits\": 64,\n"
        "    \"bus_width_source\": \"module\"\n  }",
        "efficiency", "0.328", "min_total_mb_per_s", "8388", "min_efficiency_percent", "null",
        "board", "{\n    \"model\": null,\n    \"compatible\": \"nvidia,jetson-nano\",\n    \"release\": null,\n    \"power_mode\": null\n  }",
        "device", "{\n    \"index\": 0,\n    \"name\": \"Stand-in GPU\",\n"
        "    \"uuid\": \"GPU-00010203-0405-0607-0809-0a0b0c0d0e0f\",\n    \"bus_width_bits\": null,\n"
        "    \"memory_clock_khz\": null,\n    \"l2_cache_bytes\": 1048576\n  }",
        "result", "\"PASS\""},
       "quillmere_transfer_size_bytes 1048576\nquillmere_cache_sized 0\nquillmere_repetitions 3\n"
       "quillmere_memcpy_bytes_per_second 4194300000\nquillmere_memcpy_read_write_bytes_per_second 8388600000\n"
       "quillmere_memset_bytes_per_second 1048600000\nquillmere_memcpy_cv_ratio 0.4082\n"
       "quillmere_memset_cv_ratio 0.5345\nquillmere_memory_clock_hertz 1600000000\nquillmere_memory_bus_width_bytes 8\n"
       "quillmere_peak_bytes_per_second 25600000000\nquillmere_efficiency_ratio 0.328\n"
       "quillmere_min_total_bytes_per_second 8388000000\n"},
      // Without a driver the driver's version query succeeds with 0: unknown.
      {"Total exactly at the minimum; peak from the device's clock; nothing known of the runtime",
       {"--size=1", "--loops=1", "--min-total=2000"},
       {"STANDIN_TIMES=1.048576", "STANDIN_MEMORY_CLOCK=1000", "STANDIN_BUS_WIDTH=8",
        "STANDIN_FAIL=cudaRuntimeGetVersion:1=35", "STANDIN_DRIVER_VERSION=0"},
       {},
       {"memcpy",
        // NOLINTNEXTLINE(bugprone-suspicious-missing-comma): one value in two literals
        "{\n    \"mb_per_s\": 1000.0,\n    \"total_mb_per_s\": 2000.0,\n    \"mean_total_mb_per_s\": 2000.0,\n"
        "    \"cv\": 0.0000,\n    \"best_ms\": 1.048576,\n    \"worst_ms\": 1.048576\n  }",
        "memory_clock", "null", "peak", "{\n    \"mb_per_s\": 2.0,\n    \"clock_hz\": 1000000,\n"
        "    \"bus_width_bits\": 8,\n    \"bus_width_source\": \"runtime\"\n  }", "board", "null",
        "efficiency", "1000.000", "cuda", "{\n    \"runtime_version\": null,\n    \"driver_version\": null\n  }",
        "result", "\"PASS\""},
       "quillmere_transfer_size_bytes 1048576\nquillmere_cache_sized 0\nquillmere_repetitions 1\n"
       "quillmere_memcpy_bytes_per_second 1000000000\nquillmere_memcpy_read_write_bytes_per_second 2000000000\n"
       "quillmere_memset_bytes_per_second 1000000000\nquillmere_memcpy_cv_ratio 0.0000\n"
       "quillmere_memset_cv_ratio 0.0000\nquillmere_memory_bus_width_bytes 1\nquillmere_peak_bytes_per_second 2000000\n"
       "quillmere_efficiency_ratio 1000.000\nquillmere_min_total_bytes_per_second 2000000000\n"},
      // The RAM text is the board's memory, not a discrete device's.
      {"a discrete device's peak from its own clock, the RAM text aside",
       {"--size=1", "--loops=1"},
       {},
       {clk},
       {"peak", "{\n    \"mb_per_s\": 204800.0,\n    \"clock_hz\": 3200000000,\n    \"bus_width_bits\": 256,\n"
        "    \"bus_width_source\": \"runtime\"\n  }"},
       "quillmere_peak_bytes_per_second 204800000000\nquillmere_efficiency_ratio 0.010\n"},
      {"no peak without a bus width, the minimum met",
       {"--size=1", "--loops=1", "--min-total=1"},
       {"STANDIN_BUS_WIDTH=0"},
       {clk},
       {"peak", "null", "efficiency", "null", "result", "\"PASS\""},
       "quillmere_memory_clock_hertz 1600000000\nquillmere_min_total_bytes_per_second 1000000\n"},
      {"a name and UUID that need care",
       {"--size=1", "--loops=1"},
       {"STANDIN_NAME=a\"b\\c\td\x01" "e\xff\xe2\x82" "f", "STANDIN_UUID=ffeeddccbbaa99887766554433221100",
        "STANDIN_RUNTIME_VERSION=12040", "STANDIN_DRIVER_VERSION=12080"},
       {},
       {"device",
        "{\n    \"index\": 0,\n    \"name\": \"a\\\"b\\\\c\\td\\u0001e\xEF\xBF\xBD\xEF\xBF\xBD" "f\",\n"
        "    \"uuid\": \"GPU-ffeeddcc-bbaa-9988-7766-554433221100\",\n    \"bus_width_bits\": 256,\n"
        "    \"memory_clock_khz\": 3200000,\n    \"l2_cache_bytes\": 1048576\n  }"},
       "quillmere_info{version=\"1.1\",device=\"a\\\"b\\\\c\td\x01" "e\xEF\xBF\xBD\xEF\xBF\xBD" "f\","
       "uuid=\"GPU-ffeeddcc-bbaa-9988-7766-554433221100\",board=\"\",release=\"\",power_mode=\"\",cfg=\"\",cuda_runtime=\"12040\",cuda_driver=\"12080\",size_bytes=\"1048576\"} 1\n"},
      // The board the CI stages use: its release and power mode too.
      {"t234, 256-bit, the power mode caps the EMC at 2133 of 3199 MHz, not locked",
       {"--size=1", "--loops=1", "--min-efficiency=60"},
       {integrated, "STANDIN_TIMES=0.0256,1"},
       {{"@t234-capped", ""}},
       {"board", "{\n    \"model\": \"NVIDIA Jetson AGX Orin Developer Kit\",\n"
        "    \"compatible\": \"nvidia,p3737-0000+p3701-0005\",\n    \"release\": \"R36.4.3\",\n"
        "    \"power_mode\": {\n      \"id\": 3,\n      \"name\": \"50W\"\n    }\n  }",
        "memory_clock", "{\n    \"hz\": 2133000000,\n    \"source\": \"/sys/kernel/debug/bpmp/debug/clk/emc/rate\",\n"
        "    \"cfg\": null,\n    \"max_hz\": 3199000000,\n    \"cap_hz\": 2133000000,\n    \"locked\": false\n  }",
        "peak", "{\n    \"mb_per_s\": 136512.0,\n    \"clock_hz\": 2133000000,\n    \"bus_width_bits\": 256,\n"
        "    \"bus_width_source\": \"module\"\n  }",
        "efficiency", "0.600", "min_efficiency_percent", "60", "result", "\"PASS\""},
       "quillmere_memory_clock_hertz 2133000000\nquillmere_memory_clock_max_hertz 3199000000\n"
       "quillmere_memory_clock_cap_hertz 2133000000\nquillmere_memory_clock_locked 0\n"
       "quillmere_memory_bus_width_bytes 32\nquillmere_peak_bytes_per_second 136512000000\n"
       "quillmere_efficiency_ratio 0.600\nquillmere_min_efficiency_ratio 0.6\n"},
      {"t234, a cap of 0 is none",
       {"--size=1", "--loops=1"},
       {integrated},
       {orin, {bpmp + "rate", "3199000000\n"}, {bpmp + "max_rate", "3199000000\n"}, {capFile.first, "0\n"},
        {bpmp + "mrq_rate_locked", "1\n"}},
       {"memory_clock", "{\n    \"hz\": 3199000000,\n    \"source\": \"/sys/kernel/debug/bpmp/debug/clk/emc/rate\",\n"
        "    \"cfg\": null,\n    \"max_hz\": 3199000000,\n    \"cap_hz\": null,\n    \"locked\": true\n  }",
        "board", "{\n    \"model\": null,\n    \"compatible\": \"nvidia,p3737-0000+p3701-0005\",\n    \"release\": null,\n    \"power_mode\": null\n  }"},
       "quillmere_memory_clock_hertz 3199000000\nquillmere_memory_clock_max_hertz 3199000000\n"
       "quillmere_memory_clock_locked 1\nquillmere_memory_bus_width_bytes 32\n"
       "quillmere_peak_bytes_per_second 204736000000\nquillmere_efficiency_ratio 0.010\n"},
      {"t210, locked at the maximum; no cap file",
       {"--size=1", "--loops=1"},
       {integrated},
       {nano, clk, {"tegra_bwmgr/emc_max_rate", "1600000000\n"}, {"clk/override.emc/clk_state", "1\n"}},
       {"memory_clock", "{\n    \"hz\": 1600000000,\n    \"source\": \"/sys/kernel/debug/clk/emc/clk_rate\",\n"
        "    \"cfg\": null,\n    \"max_hz\": 1600000000,\n    \"cap_hz\": null,\n    \"locked\": true\n  }"},
       "quillmere_memory_clock_hertz 1600000000\nquillmere_memory_clock_max_hertz 1600000000\n"
       "quillmere_memory_clock_locked 1\nquillmere_memory_bus_width_bytes 8\n"
       "quillmere_peak_bytes_per_second 25600000000\nquillmere_efficiency_ratio 0.082\n"},
      {"t264, the largest listed rate (a firmware maximum of 0 passed over), a cap at the maximum, locked by min = max",
       {"--size=1", "--loops=1"},
       {integrated},
       {thor, {bpmp + "max_rate", "0\n"}, {bwmgr + "cur_freq", "4266000000\n"}, {bwmgr + "available_frequencies", "665600000 4266000000 3199000000\n"},
        {bwmgr + "max_freq", "4266000000\n"}, {bwmgr + "min_freq", "4266000000\n"}},
       {"memory_clock", "{\n    \"hz\": 4266000000,\n    \"source\": \"/sys/class/devfreq/bwmgr/cur_freq\",\n"
        "    \"cfg\": null,\n    \"max_hz\": 4266000000,\n    \"cap_hz\": null,\n    \"locked\": true\n  }"},
       "quillmere_memory_clock_hertz 4266000000\nquillmere_memory_clock_max_hertz 4266000000\n"
       "quillmere_memory_clock_locked 1\nquillmere_memory_bus_width_bytes 32\n"
       "quillmere_peak_bytes_per_second 273024000000\nquillmere_efficiency_ratio 0.008\n"},
      {"t264, capped and unlocked; a rate above 32 bits",
       {"--size=1", "--loops=1"},
       {integrated},
       {thor, {bwmgr + "cur_freq", "4800000000\n"}, {bwmgr + "available_frequencies", "4800000000\n"},
        {bwmgr + "max_freq", "3199000000\n"}, {bwmgr + "min_freq", "665600000\n"}},
       {"memory_clock", "{\n    \"hz\": 4800000000,\n    \"source\": \"/sys/class/devfreq/bwmgr/cur_freq\",\n"
        "    \"cfg\": null,\n    \"max_hz\": 4800000000,\n    \"cap_hz\": 3199000000,\n    \"locked\": false\n  }",
        "peak", "{\n    \"mb_per_s\": 307200.0,\n    \"clock_hz\": 4800000000,\n    \"bus_width_bits\": 256,\n"
        "    \"bus_width_source\": \"module\"\n  }"},
       "quillmere_memory_clock_hertz 4800000000\nquillmere_memory_clock_max_hertz 4800000000\n"
       "quillmere_memory_clock_cap_hertz 3199000000\nquillmere_memory_clock_locked 0\n"
       "quillmere_memory_bus_width_bytes 32\nquillmere_peak_bytes_per_second 307200000000\n"
       "quillmere_efficiency_ratio 0.007\n"},
      {"no module in the tree: the memory controller's channels",
       {"--size=1", "--loops=1"},
       {integrated},
       {t234, {bpmp + "rate", "3199000000\n"}, {"tegra_mc_utils/num_channel", "8\n"}},
       {"peak", "{\n    \"mb_per_s\": 102368.0,\n    \"clock_hz\": 3199000000,\n    \"bus_width_bits\": 128,\n"
        "    \"bus_width_source\": \"memory_controller\"\n  }",
        "board", "{\n    \"model\": null,\n    \"compatible\": null,\n    \"release\": null,\n    \"power_mode\": null\n  }"},
       "quillmere_memory_clock_hertz 3199000000\nquillmere_memory_bus_width_bytes 16\n"
       "quillmere_peak_bytes_per_second 102368000000\nquillmere_efficiency_ratio 0.020\n"},
      {"a channel count out of range is unknown: no peak",
       {"--size=1", "--loops=1"},
       {integrated},
       {t234, {bpmp + "rate", "3199000000\n"}, {"tegra_mc_utils/num_channel", "4097\n"}},
       {"peak", "null", "efficiency", "null"},
       "quillmere_memory_clock_hertz 3199000000\n"},
      {"the option's width over the module's",
       {"--size=1", "--loops=1", "--bus-width=32"},
       {integrated},
       {nano, clk},
       {"peak", "{\n    \"mb_per_s\": 12800.0,\n    \"clock_hz\": 1600000000,\n    \"bus_width_bits\": 32,\n"
        "    \"bus_width_source\": \"option\"\n  }"},
       "quillmere_memory_clock_hertz 1600000000\nquillmere_memory_bus_width_bytes 4\n"
       "quillmere_peak_bytes_per_second 12800000000\nquillmere_efficiency_ratio 0.164\n"},
      {"a discrete device beside the EMC's files: the runtime's clock and width",
       {"--size=1", "--loops=1"},
       {},
       {orin, {bpmp + "rate", "2133000000\n"}},
       {"peak", "{\n    \"mb_per_s\": 204800.0,\n    \"clock_hz\": 3200000000,\n    \"bus_width_bits\": 256,\n"
        "    \"bus_width_source\": \"runtime\"\n  }",
        "device", "{\n    \"index\": 0,\n    \"name\": \"Stand-in GPU\",\n"
        "    \"uuid\": \"GPU-00010203-0405-0607-0809-0a0b0c0d0e0f\",\n    \"bus_width_bits\": 256,\n"
        "    \"memory_clock_khz\": 3200000,\n    \"l2_cache_bytes\": 1048576\n  }"},
       "quillmere_memory_clock_hertz 2133000000\nquillmere_memory_bus_width_bytes 32\n"
       "quillmere_peak_bytes_per_second 204800000000\nquillmere_efficiency_ratio 0.010\n"},
      {"a discrete device whose runtime gives a width below 0: unknown, no peak",
       {"--size=1", "--loops=1"},
       {"STANDIN_BUS_WIDTH=-8"},
       {},
       {"peak", "null", "efficiency", "null", "device",
        // NOLINTNEXTLINE(bugprone-suspicious-missing-comma): one value in three literals
        "{\n    \"index\": 0,\n    \"name\": \"Stand-in GPU\",\n"
        "    \"uuid\": \"GPU-00010203-0405-0607-0809-0a0b0c0d0e0f\",\n    \"bus_width_bits\": null,\n"
        "    \"memory_clock_khz\": 3200000,\n    \"l2_cache_bytes\": 1048576\n  }"},
       twoRuns},
      {"a discrete device, the option's width",
       {"--size=1", "--loops=1", "--bus-width=12"},
       {},
       {},
       {"peak", "{\n    \"mb_per_s\": 9600.0,\n    \"clock_hz\": 3200000000,\n    \"bus_width_bits\": 12,\n"
        "    \"bus_width_source\": \"option\"\n  }"},
       "quillmere_memory_bus_width_bytes 1.5\nquillmere_peak_bytes_per_second 9600000000\n"
       "quillmere_efficiency_ratio 0.218\n"},
      {"a rate file that reads 0 gives no peak; a maximum of 0 is unknown",
       {"--size=1", "--loops=1"},
       {integrated},
       {nano, {clk.first, "0\n"}, {"tegra_bwmgr/emc_max_rate", "0\n"}},
       // NOLINTNEXTLINE(bugprone-suspicious-missing-comma): one value in two literals
       {"memory_clock", "{\n    \"hz\": 0,\n    \"source\": \"/sys/kernel/debug/clk/emc/clk_rate\",\n"
        "    \"cfg\": null,\n    \"max_hz\": null,\n    \"cap_hz\": null,\n    \"locked\": null\n  }",
        "peak", "null", "efficiency", "null"},
       "quillmere_memory_clock_hertz 0\nquillmere_memory_bus_width_bytes 8\n"},
      {"an integrated device without a device tree or clock files; a runtime version of 0 is unknown",
       {"--size=1", "--loops=1"},
       {integrated, "STANDIN_RUNTIME_VERSION=0", "STANDIN_DRIVER_VERSION=12080"},
       {},
       {"board", "null", "memory_clock", "null", "peak", "null", "efficiency", "null",
        "cuda", "{\n    \"runtime_version\": null,\n    \"driver_version\": 12080\n  }"},
       twoRuns},
      {"the board's release and power mode, named by the configuration with tabs",
       {"--size=1", "--loops=1"},
       {"STANDIN_RUNTIME_VERSION=12060", "STANDIN_DRIVER_VERSION=12060"},
       {{"etc/nv_tegra_release", "# R36 (release), REVISION: 4.3, GCID: 38968081, BOARD: generic, EABI: aarch64\n"},
        {"var/lib/nvpmodel/status", "fmode:quiet\npmode:0002\n"},
        {"etc/nvpmodel.conf", "< PM_CONFIG DEFAULT=2 >\n< POWER_MODEL ID=20 NAME=OTHER >\n"
                              "<\tPOWER_MODEL  ID=2\tNAME=MAXN_SUPER >\n"}},
       {"board", "{\n    \"model\": null,\n    \"compatible\": null,\n    \"release\": \"R36.4.3\",\n"
        "    \"power_mode\": {\n      \"id\": 2,\n      \"name\": \"MAXN_SUPER\"\n    }\n  }"},
       "quillmere_info{version=\"1.1\",device=\"Stand-in GPU\",uuid=\"GPU-00010203-0405-0607-0809-0a0b0c0d0e0f\","
       "board=\"\",release=\"R36.4.3\",power_mode=\"MAXN_SUPER\",cfg=\"\",cuda_runtime=\"12060\",cuda_driver=\"12060\",size_bytes=\"1048576\"} 1\n"},
      // A status line of 4095 characters is read whole.
      {"a power mode without any configuration, its status line long: its id alone",
       {"--size=1", "--loops=1"},
       {"STANDIN_RUNTIME_VERSION=12060", "STANDIN_DRIVER_VERSION=12060"},
       {{"var/lib/nvpmodel/status", std::string(4085, 'x') + "pmode:0001\n"}},
       {"board", "{\n    \"model\": null,\n    \"compatible\": null,\n    \"release\": null,\n"
        "    \"power_mode\": {\n      \"id\": 1,\n      \"name\": null\n    }\n  }"},
       "quillmere_info{version=\"1.1\",device=\"Stand-in GPU\",uuid=\"GPU-00010203-0405-0607-0809-0a0b0c0d0e0f\","
       "board=\"\",release=\"\",power_mode=\"1\",cfg=\"\",cuda_runtime=\"12060\",cuda_driver=\"12060\",size_bytes=\"1048576\"} 1\n"},
      {"a release without its comma; the first configuration decides, and it lacks the mode: its id",
       {"--size=1", "--loops=1"},
       {"STANDIN_L2_CACHE=0", "STANDIN_RUNTIME_VERSION=12060", "STANDIN_DRIVER_VERSION=12060"},
       {{"etc/nv_tegra_release", "# R36 (release), REVISION: 4.3\n"},
        {"var/lib/nvpmodel/status", "pmode:\npmode:0003\n"},
        {"vendor/etc/nvpmodel.conf", "< POWER_MODEL ID=3 NAME=15W > x\n< POWER_MODEL ID=3 NAME= >\n"},
        {"etc/nvpmodel.conf", "< POWER_MODEL ID=3 NAME=15W >\n"}},
       {"board", "{\n    \"model\": null,\n    \"compatible\": null,\n    \"release\": null,\n"
        "    \"power_mode\": {\n      \"id\": 3,\n      \"name\": null\n    }\n  }",
        "device", "{\n    \"index\": 0,\n    \"name\": \"Stand-in GPU\",\n"
        "    \"uuid\": \"GPU-00010203-0405-0607-0809-0a0b0c0d0e0f\",\n    \"bus_width_bits\": 256,\n"
        "    \"memory_clock_khz\": 3200000,\n    \"l2_cache_bytes\": null\n  }"},
       "quillmere_info{version=\"1.1\",device=\"Stand-in GPU\",uuid=\"GPU-00010203-0405-0607-0809-0a0b0c0d0e0f\","
       "board=\"\",release=\"\",power_mode=\"3\",cfg=\"\",cuda_runtime=\"12060\",cuda_driver=\"12060\",size_bytes=\"1048576\"} 1\n"},
      // The sustained copy at 1 MiB: batches of 1024 copies, 1 GiB one way.
      {"one sustained interval, the interval above the duration; the EMC, the GPU's clock and the zones sampled",
       {"--size=1", "--loops=1", "--duration=2", "--interval=5"},
       {integrated, "STANDIN_TIMES=1,1,1000*2", "STANDIN_CHANGE_AT=3", "STANDIN_CHANGE_FILE=bpmp/debug/clk/emc/rate",
        "STANDIN_CHANGE_TEXT=665600000\n"},
       {orin, {bpmp + "rate", "2133000000\n"}, {"class/devfreq/bwmgr/cur_freq", "1\n"},
        {"class/devfreq/17000000.gpu/cur_freq", "2\n"}, {"class/devfreq/17000000.ga10b/cur_freq", "1300500000\n"},
        {"class/thermal/cooling_device0/temp", "1000\n"},
        {"class/thermal/thermal_zone10/temp", "52300\n"}, {"class/thermal/thermal_zone10/type", "gpu-thermal\n"},
        {"class/thermal/thermal_zone9/temp", "45000 C\n"}, {"class/thermal/thermal_zone9/type", "soc\n"},
        {"class/thermal/thermal_zone3/temp/unreadable", ""}, {"class/thermal/thermal_zone3/type", "tj\n"},
        {"class/thermal/thermal_zone2/temp", "-256000\n"}, {"class/thermal/thermal_zone1/temp", "-5000"},
        {"class/thermal/thermal_zone0/temp", "41500\n"}, {"class/thermal/thermal_zone0/type", "cpu-thermal\nx\n"}},
       {"sustained",
        "{\n    \"duration_s\": 2,\n    \"interval_s\": 2,\n    \"batch_copies\": 1024,\n    \"max_drop_percent\": null,\n"
        "    \"intervals\": [\n      {\n        \"end_s\": 2,\n        \"gpu_seconds\": 2.000000,\n"
        "        \"mb_per_s\": 1073.7,\n        \"total_mb_per_s\": 2147.5,\n        \"memory_clock_hz\": 665600000,\n"
        "        \"gpu_clock_hz\": 1300500000,\n        \"temperatures\": [\n          {\n"
        "            \"zone\": \"thermal_zone0\",\n            \"type\": \"cpu-thermal\",\n"
        "            \"celsius\": 41.500\n          },\n          {\n            \"zone\": \"thermal_zone1\",\n"
        "            \"type\": null,\n            \"celsius\": -5.000\n          },\n          {\n"
        "            \"zone\": \"thermal_zone10\",\n            \"type\": \"gpu-thermal\",\n"
        "            \"celsius\": 52.300\n          }\n        ]\n      }\n    ],\n"
        "    \"lowest_total_mb_per_s\": 2147.5,\n    \"highest_total_mb_per_s\": 2147.5,\n    \"drop\": 0.000\n  }"},
       "quillmere_sustained_seconds 2.000000\nquillmere_sustained_intervals 1\n"
       "quillmere_sustained_lowest_read_write_bytes_per_second 2147500000\n"
       "quillmere_sustained_highest_read_write_bytes_per_second 2147500000\nquillmere_sustained_drop_ratio 0.000\n"
       "quillmere_sustained_memory_clock_lowest_hertz 665600000\n"
       "quillmere_temperature_highest_celsius{zone=\"thermal_zone0\",type=\"cpu-thermal\"} 41.500\n"
       "quillmere_temperature_highest_celsius{zone=\"thermal_zone1\",type=\"\"} -5.000\n"
       "quillmere_temperature_highest_celsius{zone=\"thermal_zone10\",type=\"gpu-thermal\"} 52.300\n",
       "RAM:\t2133.0 MHz\nMemcpy\t 1048.6 MB/s (Total: 2097.2 MB/s)\nMemset\t 1048.6 MB/s\n\n"
       "Sustained Memcpy for 2 s, in intervals of 2 s:\n"
       "2 s\tMemcpy\t 1073.7 MB/s (Total: 2147.5 MB/s)\tRAM: 665.6 MHz\t52.3 C gpu-thermal\n"
       "Sustained Total: lowest 2147.5 MB/s, highest 2147.5 MB/s, drop 0.0 %\n"},
      // The zone cools after the first interval: its highest is the first sample.
      {"three intervals, the first running over, the last short; a zone that cools, no EMC",
       {"--size=1", "--loops=1", "--duration=25", "--interval=10"},
       {"STANDIN_TIMES=1,1,3000*4,2500*4,2500*2", "STANDIN_CHANGE_AT=8",
        "STANDIN_CHANGE_FILE=class/thermal/thermal_zone4/temp", "STANDIN_CHANGE_TEXT=40000\n"},
       {{"class/thermal/thermal_zone4/temp", "45500\n"}, {"class/thermal/thermal_zone4/type", "soc-thermal\n"}},
       {"sustained",
        "{\n    \"duration_s\": 25,\n    \"interval_s\": 10,\n    \"batch_copies\": 1024,\n    \"max_drop_percent\": null,\n"
        "    \"intervals\": [\n      {\n        \"end_s\": 10,\n        \"gpu_seconds\": 12.000000,\n"
        "        \"mb_per_s\": 357.9,\n        \"total_mb_per_s\": 715.8,\n        \"memory_clock_hz\": null,\n"
        "        \"gpu_clock_hz\": null,\n        \"temperatures\": [\n          {\n"
        "            \"zone\": \"thermal_zone4\",\n            \"type\": \"soc-thermal\",\n"
        "            \"celsius\": 45.500\n          }\n        ]\n      },\n      {\n        \"end_s\": 20,\n"
        "        \"gpu_seconds\": 10.000000,\n        \"mb_per_s\": 429.5,\n        \"total_mb_per_s\": 859.0,\n"
        "        \"memory_clock_hz\": null,\n        \"gpu_clock_hz\": null,\n        \"temperatures\": [\n          {\n"
        "            \"zone\": \"thermal_zone4\",\n            \"type\": \"soc-thermal\",\n"
        "            \"celsius\": 40.000\n          }\n        ]\n      },\n"
        "      {\n        \"end_s\": 25,\n        \"gpu_seconds\": 5.000000,\n        \"mb_per_s\": 429.5,\n"
        "        \"total_mb_per_s\": 859.0,\n        \"memory_clock_hz\": null,\n        \"gpu_clock_hz\": null,\n"
        "        \"temperatures\": [\n          {\n            \"zone\": \"thermal_zone4\",\n"
        "            \"type\": \"soc-thermal\",\n            \"celsius\": 40.000\n          }\n        ]\n      }\n    ],\n"
        "    \"lowest_total_mb_per_s\": 715.8,\n    \"highest_total_mb_per_s\": 859.0,\n    \"drop\": 0.167\n  }",
        "result", "\"PASS\""},
       "quillmere_sustained_seconds 27.000000\nquillmere_sustained_intervals 3\n"
       "quillmere_sustained_lowest_read_write_bytes_per_second 715800000\n"
       "quillmere_sustained_highest_read_write_bytes_per_second 859000000\nquillmere_sustained_drop_ratio 0.167\n"
       "quillmere_temperature_highest_celsius{zone=\"thermal_zone4\",type=\"soc-thermal\"} 45.500\n",
       "\nMemcpy\t 1048.6 MB/s (Total: 2097.2 MB/s)\nMemset\t 1048.6 MB/s\n\n"
       "Sustained Memcpy for 25 s, in intervals of 10 s:\n10 s\tMemcpy\t  357.9 MB/s (Total: 715.8 MB/s)\t45.5 C soc-thermal\n"
       "20 s\tMemcpy\t  429.5 MB/s (Total: 859.0 MB/s)\t40.0 C soc-thermal\n"
       "25 s\tMemcpy\t  429.5 MB/s (Total: 859.0 MB/s)\t40.0 C soc-thermal\n"
       "Sustained Total: lowest 715.8 MB/s, highest 859.0 MB/s, drop 16.7 %\n"},
      // 1932.8 of 2147.5 is a drop of 0.09998: 0.100 as printed, at the limit.
      // The EMC's rate file reads nothing by the second interval's end.
      {"a later interval slower, the drop just at --max-drop; the EMC rate read once",
       {"--size=1", "--loops=1", "--duration=2", "--interval=1", "--max-drop=10"},
       {"STANDIN_TIMES=1,1,1000,1111.07", "STANDIN_CHANGE_AT=4", "STANDIN_CHANGE_FILE=bpmp/debug/clk/emc/rate",
        "STANDIN_CHANGE_TEXT="},
       {{bpmp + "rate", "2133000000\n"}},
       {"error", "null", "result", "\"PASS\""},
       "quillmere_max_drop_ratio 0.1\nquillmere_sustained_lowest_read_write_bytes_per_second 1932800000\n"
       "quillmere_sustained_highest_read_write_bytes_per_second 2147500000\nquillmere_sustained_drop_ratio 0.100\n"
       "quillmere_sustained_memory_clock_lowest_hertz 2133000000\n",
       "RAM:\t2133.0 MHz\nMemcpy\t 1048.6 MB/s (Total: 2097.2 MB/s)\nMemset\t 1048.6 MB/s\n\n"
       "Sustained Memcpy for 2 s, in intervals of 1 s:\n1 s\tMemcpy\t 1073.7 MB/s (Total: 2147.5 MB/s)\tRAM: 2133.0 MHz\n"
       "2 s\tMemcpy\t  966.4 MB/s (Total: 1932.8 MB/s)\n"
       "Sustained Total: lowest 1932.8 MB/s, highest 2147.5 MB/s, drop 10.0 %\n"},
      // The drop is of the Totals as printed: 1951.0 of 2147.5 is 0.092, where
      // the unrounded 1951.04 of 2147.48 would be 0.091.
      {"the drop of the printed Totals",
       {"--size=1", "--loops=1", "--duration=2", "--interval=1"},
       {"STANDIN_TIMES=1,1,1000,1100.684"},
       {},
       {"result", "\"PASS\""},
       "quillmere_sustained_seconds 2.100684\nquillmere_sustained_intervals 2\n"
       "quillmere_sustained_lowest_read_write_bytes_per_second 1951000000\n"
       "quillmere_sustained_highest_read_write_bytes_per_second 2147500000\nquillmere_sustained_drop_ratio 0.092\n"},
      // 1930.6 of 2147.5: 0.101, one thousandth over.
      {"the drop one thousandth over --max-drop, the minima met",
       {"--size=1", "--loops=1", "--duration=2", "--interval=1", "--max-drop=10", "--min-total=1"},
       {"STANDIN_TIMES=1,1,1000,1112.33"},
       {},
       {"error", dropJson.c_str(), "result", "\"FAIL\""},
       "quillmere_max_drop_ratio 0.1\nquillmere_sustained_lowest_read_write_bytes_per_second 1930600000\n"
       "quillmere_sustained_highest_read_write_bytes_per_second 2147500000\nquillmere_sustained_drop_ratio 0.101\n",
       "\nMemcpy\t 1048.6 MB/s (Total: 2097.2 MB/s)\nMemset\t 1048.6 MB/s\n\n"
       "Sustained Memcpy for 2 s, in intervals of 1 s:\n1 s\tMemcpy\t 1073.7 MB/s (Total: 2147.5 MB/s)\n"
       "2 s\tMemcpy\t  965.3 MB/s (Total: 1930.6 MB/s)\n"
       "Sustained Total: lowest 1930.6 MB/s, highest 2147.5 MB/s, drop 10.1 %\nResult = FAIL\n",
       dropError.c_str()},
      // The fastest a batch may be: 2 GiB in 0.0215 ms is 99,886,681 MB/s.
      {"a batch time just possible, then one of 0 ends the phase with the intervals done",
       {"--size=1", "--loops=1", "--duration=2", "--interval=1", "--max-drop=1"},
       {"STANDIN_TIMES=1,1,0.0215,999.9785,0"},
       {},
       {"error", "{\n    \"kind\": \"timer\",\n    \"message\": \"the GPU timer gave 0 ms for a batch of 1024 copies\"\n  }",
        "result", "\"FAIL\""},
       "quillmere_sustained_seconds 1.000000\nquillmere_sustained_intervals 1\nquillmere_max_drop_ratio 0.01\n"
       "quillmere_sustained_lowest_read_write_bytes_per_second 4295000000\n"
       "quillmere_sustained_highest_read_write_bytes_per_second 4295000000\nquillmere_sustained_drop_ratio 0.000\n",
       "\nMemcpy\t 1048.6 MB/s (Total: 2097.2 MB/s)\nMemset\t 1048.6 MB/s\n\n"
       "Sustained Memcpy for 2 s, in intervals of 1 s:\n1 s\tMemcpy\t 2147.5 MB/s (Total: 4295.0 MB/s)\nResult = FAIL\n",
       "Error: the GPU timer gave 0 ms for a batch of 1024 copies\n"},
      {"a batch time that is not a number",
       {"--size=1", "--loops=1", "--duration=1"},
       {"STANDIN_TIMES=1,1,nan"},
       {},
       {"error", "{\n    \"kind\": \"timer\",\n    \"message\": \"the GPU timer gave nan ms for a batch of 1024 copies\"\n  }",
        "sustained", "{\n    \"duration_s\": 1,\n    \"interval_s\": 1,\n    \"batch_copies\": 1024,\n"
        "    \"max_drop_percent\": null,\n    \"intervals\": [],\n    \"lowest_total_mb_per_s\": null,\n"
        "    \"highest_total_mb_per_s\": null,\n    \"drop\": null\n  }"},
       "quillmere_sustained_seconds 0.000000\nquillmere_sustained_intervals 0\n",
       "\nMemcpy\t 1048.6 MB/s (Total: 2097.2 MB/s)\nMemset\t 1048.6 MB/s\n\n"
       "Sustained Memcpy for 1 s, in intervals of 1 s:\nResult = FAIL\n",
       "Error: the GPU timer gave nan ms for a batch of 1024 copies\n"},
      {"a batch time too short to be true",
       {"--size=1", "--loops=1", "--duration=1"},
       {"STANDIN_TIMES=1,1,0.0214"},
       {},
       {"error", "{\n    \"kind\": \"timer\",\n    \"message\": \"the GPU timer gave 0.0214 ms for a batch of 1024 copies\"\n  }"},
       "quillmere_sustained_seconds 0.000000\nquillmere_sustained_intervals 0\n"},
      // Pinned copies of 2 and 1 ms, then 0.5; pageable ones of 4 ms by the host's clock.
      {"host copies, the registration refused by the runtime",
       {"--size=1", "--loops=1", "--host-copies", "--host-loops=2"},
       {integrated, "STANDIN_TIMES=1,1,2,1,0.5", "STANDIN_CLOCK_STEP_NS=4000000", "STANDIN_FAIL=cudaHostRegister:1=801"},
       {},
       {"host_copies",
        "{\n    \"repetitions\": 2,\n    \"integrated\": true,\n    \"can_map_host_memory\": true,\n"
        "    \"pageable_memory_access\": false,\n    \"host_register_supported\": true,\n    \"copies\": [\n"
        "      {\n        \"direction\": \"host_to_device\",\n        \"memory\": \"pinned\",\n"
        "        \"supported\": true,\n        \"timer\": \"gpu\",\n        \"mb_per_s\": 1048.6,\n"
        "        \"mean_mb_per_s\": 699.1,\n        \"cv\": 0.3333,\n        \"best_ms\": 1,\n        \"worst_ms\": 2\n      },\n"
        "      {\n        \"direction\": \"device_to_host\",\n        \"memory\": \"pinned\",\n"
        "        \"supported\": true,\n        \"timer\": \"gpu\",\n        \"mb_per_s\": 2097.2,\n"
        "        \"mean_mb_per_s\": 2097.2,\n        \"cv\": 0.0000,\n        \"best_ms\": 0.5,\n        \"worst_ms\": 0.5\n      },\n"
        "      {\n        \"direction\": \"host_to_device\",\n        \"memory\": \"pageable\",\n"
        "        \"supported\": true,\n        \"timer\": \"host\",\n        \"mb_per_s\": 262.1,\n"
        "        \"mean_mb_per_s\": 262.1,\n        \"cv\": 0.0000,\n        \"best_ms\": 4,\n        \"worst_ms\": 4\n      },\n"
        "      {\n        \"direction\": \"device_to_host\",\n        \"memory\": \"pageable\",\n"
        "        \"supported\": true,\n        \"timer\": \"host\",\n        \"mb_per_s\": 262.1,\n"
        "        \"mean_mb_per_s\": 262.1,\n        \"cv\": 0.0000,\n        \"best_ms\": 4,\n        \"worst_ms\": 4\n      },\n"
        "      {\n        \"direction\": \"host_to_device\",\n        \"memory\": \"registered\",\n"
        "        \"supported\": false,\n        \"timer\": null,\n        \"mb_per_s\": null,\n"
        "        \"mean_mb_per_s\": null,\n        \"cv\": null,\n        \"best_ms\": null,\n        \"worst_ms\": null\n      },\n"
        "      {\n        \"direction\": \"device_to_host\",\n        \"memory\": \"registered\",\n"
        "        \"supported\": false,\n        \"timer\": null,\n        \"mb_per_s\": null,\n"
        "        \"mean_mb_per_s\": null,\n        \"cv\": null,\n        \"best_ms\": null,\n        \"worst_ms\": null\n      }\n"
        "    ]\n  }",
        "sustained", "null", "result", "\"PASS\""},
       "quillmere_host_copy_repetitions 2\nquillmere_host_register_supported 1\n"
       "quillmere_host_copy_bytes_per_second{direction=\"host_to_device\",memory=\"pinned\"} 1048600000\n"
       "quillmere_host_copy_bytes_per_second{direction=\"device_to_host\",memory=\"pinned\"} 2097200000\n"
       "quillmere_host_copy_bytes_per_second{direction=\"host_to_device\",memory=\"pageable\"} 262100000\n"
       "quillmere_host_copy_bytes_per_second{direction=\"device_to_host\",memory=\"pageable\"} 262100000\n"
       "quillmere_host_copy_cv_ratio{direction=\"host_to_device\",memory=\"pinned\"} 0.3333\n"
       "quillmere_host_copy_cv_ratio{direction=\"device_to_host\",memory=\"pinned\"} 0.0000\n"
       "quillmere_host_copy_cv_ratio{direction=\"host_to_device\",memory=\"pageable\"} 0.0000\n"
       "quillmere_host_copy_cv_ratio{direction=\"device_to_host\",memory=\"pageable\"} 0.0000\n",
       "\nMemcpy\t 1048.6 MB/s (Total: 2097.2 MB/s)\nMemset\t 1048.6 MB/s\nHtoD pinned\t1048.6 MB/s\n"
       "DtoH pinned\t2097.2 MB/s\nHtoD pageable\t262.1 MB/s\nDtoH pageable\t262.1 MB/s\n"
       "HtoD registered\tnot supported by this device\nDtoH registered\tnot supported by this device\n"},
      // The 2100th sustained copy, in the third interval, flips bit 0 of byte
      // 4099 of the check pattern (0x94); the copies after it carry it on.
      {"--verify: the third interval reads back a flipped byte",
       {"--size=1", "--loops=1", "--verify", "--duration=3", "--interval=1"},
       {"STANDIN_MEMORY=1", "STANDIN_TIMES=1,1,1000", "STANDIN_FLIP=cudaMemcpyAsync:3:2100:4099:0x01"},
       {},
       {"error", "{\n    \"kind\": \"data\",\n    \"message\": \"sustained Memcpy at 3 s read back 1 differing bytes "
        "of 1048576, the first at byte 4099 (0x95 instead of 0x94)\"\n  }",
        "verify", "{\n    \"read_backs\": 5,\n    \"bytes\": 5242880,\n    \"differing_bytes\": 1,\n"
        "    \"first_difference\": {\n      \"where\": \"sustained Memcpy at 3 s\",\n      \"offset\": 4099,\n"
        "      \"read\": 149,\n      \"expected\": 148\n    }\n  }",
        "result", "\"FAIL\""},
       "quillmere_verified_bytes 5242880\nquillmere_data_differing_bytes 1\n",
       "\nMemcpy\t 1048.6 MB/s (Total: 2097.2 MB/s)\nMemset\t 1048.6 MB/s\n\n"
       "Sustained Memcpy for 3 s, in intervals of 1 s:\n1 s\tMemcpy\t 1073.7 MB/s (Total: 2147.5 MB/s)\n"
       "2 s\tMemcpy\t 1073.7 MB/s (Total: 2147.5 MB/s)\n3 s\tMemcpy\t 1073.7 MB/s (Total: 2147.5 MB/s)\nResult = FAIL\n",
       "Error: sustained Memcpy at 3 s read back 1 differing bytes of 1048576, the first at byte 4099 "
       "(0x95 instead of 0x94)\n"},
      {"--verify: nothing differs",
       {"--size=1", "--loops=1", "--verify"},
       {"STANDIN_MEMORY=1"},
       {},
       // NOLINTNEXTLINE(bugprone-suspicious-missing-comma): one value in two literals
       {"verify", "{\n    \"read_backs\": 2,\n    \"bytes\": 2097152,\n    \"differing_bytes\": 0,\n"
        "    \"first_difference\": null\n  }",
        "sustained", "null", "result", "\"PASS\""},
       "quillmere_verified_bytes 2097152\nquillmere_data_differing_bytes 0\n"},
      // The sixth attribute asked, after the memory's three and two of the
      // host copies', is unknown to the runtime.
      {"host copies, an attribute unknown; a GPU time of 0 ends the phase with the copies completed",
       {"--size=1", "--loops=1", "--host-copies", "--host-loops=1"},
       {"STANDIN_TIMES=1,1,1,0", "STANDIN_FAIL=cudaDeviceGetAttribute:6=1"},
       {},
       {"error", "{\n    \"kind\": \"timer\",\n    \"message\": \"the GPU timer gave 0 ms for a host copy\"\n  }",
        "host_copies",
        "{\n    \"repetitions\": 1,\n    \"integrated\": false,\n    \"can_map_host_memory\": true,\n"
        "    \"pageable_memory_access\": null,\n    \"host_register_supported\": true,\n    \"copies\": [\n"
        "      {\n        \"direction\": \"host_to_device\",\n        \"memory\": \"pinned\",\n"
        "        \"supported\": true,\n        \"timer\": \"gpu\",\n        \"mb_per_s\": 1048.6,\n"
        "        \"mean_mb_per_s\": 1048.6,\n        \"cv\": 0.0000,\n        \"best_ms\": 1,\n        \"worst_ms\": 1\n      }\n"
        "    ]\n  }",
        "result", "\"FAIL\""},
       "quillmere_host_copy_repetitions 1\nquillmere_host_register_supported 1\n"
       "quillmere_host_copy_bytes_per_second{direction=\"host_to_device\",memory=\"pinned\"} 1048600000\n"
       "quillmere_host_copy_cv_ratio{direction=\"host_to_device\",memory=\"pinned\"} 0.0000\n"},
  };
  for (const ReportCase &c : cases) {
    SCOPED_TRACE(c.name);
    const ToolRun json = runCase(c, "--json");
    for (size_t i = 0; i + 1 < c.members.size(); i += 2) {
      EXPECT_EQ(member(json.out, c.members[i]), c.members[i + 1]) << c.members[i];
    }
    const ToolRun prometheus = runCase(c, "--prometheus");
    // From the first expected sample's name to the end; the info sample alone.
    const std::string expected = c.prometheus;
    const std::string first = expected.substr(0, expected.find_first_of("{ "));
    const size_t from = prometheus.out.find("\n" + first + (first == "quillmere_info" ? "{" : " "));
    ASSERT_NE(from, std::string::npos) << prometheus.out;
    const std::string tail = prometheus.out.substr(from + 1);
    EXPECT_EQ(first == "quillmere_info" ? samples(tail, "quillmere_info") : samples(tail, "quillmere_"), expected);
    EXPECT_EQ(json.exitStatus, member(json.out, "result") == "\"PASS\"" ? 0 : 1);
    EXPECT_EQ(json.exitStatus, prometheus.exitStatus);
    if (c.text != nullptr) {
      const ToolRun text = runCase(c, "");
      EXPECT_EQ(text.out, bannerAndDevice() + c.text);
      EXPECT_EQ(text.err, c.textErr);
      EXPECT_EQ(text.exitStatus, json.exitStatus);
    }
  }
}

// A limit is known to the reports only once accepted: a rejected one leaves
// its member null.
TEST(MachineReports, RejectedLimitsStayUnknown) {
  const std::vector<std::pair<std::vector<std::string>, const char *>> cases = {
      {{"--min-total=0"}, "min_total_mb_per_s"},
      {{"--min-total=5", "--min-efficiency=0"}, "min_efficiency_percent"},
  };
  for (const auto &c : cases) {
    std::vector<std::string> args = c.first;
    args.push_back("--json");
    SCOPED_TRACE(args.front());
    const ToolRun run = runTool(args);
    EXPECT_EQ(member(run.out, c.second), "null");
    EXPECT_EQ(run.exitStatus, 1);
  }
}

struct BoardRun {
  const char *name;
  std::vector<std::string> args;
  std::vector<std::string> env;
  const char *compatible;
  std::string outTail;  // standard output after the device line (text report), or ""
  std::string err;
  int exitStatus;
  std::string opened;   // the board's files opened, in order
};

// The text report reads its clock files and nothing more; --min-efficiency
// adds what the peak needs, the machine reports the clock's state too.
TEST(MachineReports, BoardFilesReadOnlyWhenWanted) {
  const std::string tree = "/sys/firmware/devicetree/base/";
  const std::string clock = "/sys/kernel/debug/clk/emc/pto_rate\n/sys/kernel/debug/clk/emc/clk_rate\n"
                            "/sys/kernel/debug/bpmp/debug/emc/tables_info\n";
  const std::string deviceTree = tree + "compatible\n" + tree + "model\n";
  const std::string figures = "RAM:\t1600.0 MHz (cfg: LP4)\n\nMemcpy\t 1048.6 MB/s (Total: 2097.2 MB/s)\n"
                              "Memset\t 1048.6 MB/s\n";
  const std::string belowEfficiency = "Memcpy total 2097.2 MB/s is 2.0 % of the memory's peak of 102400.0 MB/s, "
                                      "below the expected minimum of 99 %";
  const char *orin = "nvidia,p3701-0000";
  // The reading of the load, after the options: no file answers here.
  const std::string software = "/etc/nv_tegra_release\n/var/lib/nvpmodel/status\n"
                               "/sys/devices/platform/gpu.0/load\n/sys/devices/gpu.0/load\n"
                               "/sys/kernel/actmon_avg_activity/mc_all\n/sys/kernel/debug/cactmon/mc_all\n"
                               "/sys/kernel/debug/bpmp/debug/actmon/mc_all_avg_activity\n";
  const std::string clockState = "/sys/kernel/debug/bpmp/debug/clk/emc/max_rate\n"
                                 "/sys/kernel/nvpmodel_emc_cap/emc_iso_cap\n"
                                 "/sys/kernel/debug/bpmp/debug/clk/emc/mrq_rate_locked\n";
  const std::string sample = "/sys/kernel/debug/clk/emc/pto_rate\n/sys/class/thermal/\n"
                             "/sys/class/thermal/thermal_zone0/temp\n/sys/class/thermal/thermal_zone0/type\n";
  const std::vector<BoardRun> cases = {
      {"text report", {}, {"STANDIN_INTEGRATED=1"}, orin, figures, "", 0, clock},
      {"text report, below the least efficiency", {"--min-efficiency=99"}, {"STANDIN_INTEGRATED=1"}, orin,
       figures + "Result = FAIL\n", "Error: " + belowEfficiency + "\n", 1, deviceTree + clock},
      {"text report, the channel count for the width", {"--min-efficiency=1"}, {"STANDIN_INTEGRATED=1"},
       "nvidia,tegra234", figures, "", 0, deviceTree + clock + "/sys/kernel/debug/tegra_mc_utils/num_channel\n"},
      {"JSON, the clock's state", {"--json"}, {"STANDIN_INTEGRATED=1"}, orin, "", "", 0,
       deviceTree + software + clock + clockState},
      // A sample reads the RAM text's file again and the zones; the text
      // report has no GPU clock.
      {"text report, sustained", {"--duration=1"}, {"STANDIN_TIMES=1,1,1000"}, orin,
       figures + "\nSustained Memcpy for 1 s, in intervals of 1 s:\n"
       "1 s\tMemcpy\t 1073.7 MB/s (Total: 2147.5 MB/s)\tRAM: 1600.0 MHz\t30.0 C ?\n"
       "Sustained Total: lowest 2147.5 MB/s, highest 2147.5 MB/s, drop 0.0 %\n",
       "", 0, clock + sample},
      {"JSON, sustained", {"--duration=1", "--json"}, {"STANDIN_TIMES=1,1,1000"}, orin, "", "", 0,
       deviceTree + software + clock + clockState + "/sys/kernel/debug/clk/emc/pto_rate\n/sys/class/devfreq/\n"
       "/sys/class/thermal/\n/sys/class/thermal/thermal_zone0/temp\n/sys/class/thermal/thermal_zone0/type\n"},
  };
  for (const BoardRun &c : cases) {
    SCOPED_TRACE(c.name);
    const BoardFiles every = {
        {"clk/emc/pto_rate", "1600000000\n"}, {"clk/emc/clk_rate", "1600000000\n"},
        {"bpmp/debug/emc/tables_info", "1600000 kHz, cfg LP4\n"}, {"bpmp/debug/clk/emc/rate", "2133000000\n"},
        {"bpmp/debug/clk/emc/max_rate", "3199000000\n"}, {"bpmp/debug/clk/emc/mrq_rate_locked", "0\n"},
        {"kernel/nvpmodel_emc_cap/emc_iso_cap", "0\n"}, {"class/devfreq/bwmgr/cur_freq", "4266000000\n"},
        {"tegra_mc_utils/num_channel", "8\n"}, {"firmware/devicetree/base/compatible", property({c.compatible})},
        {"firmware/devicetree/base/model", property({"Board"})}, {"class/thermal/thermal_zone0/temp", "30000\n"}};
    const std::string root = layOut(every);
    ToolSetup setup;
    setup.args = {"--size=1", "--loops=1"};
    setup.args.insert(setup.args.end(), c.args.begin(), c.args.end());
    setup.env = c.env;
    setup.debugfsRoot = root;
    const ToolRun run = runTool(setup);
    removeTree(root);
    if (!c.outTail.empty()) {
      EXPECT_EQ(run.out, bannerAndDevice() + c.outTail);
    }
    EXPECT_EQ(run.err, c.err);
    EXPECT_EQ(run.exitStatus, c.exitStatus);
    EXPECT_EQ(run.opened, c.opened);
  }
}

// The machine modes ask the versions and the memory's attributes, outside
// the measurements; the rest of the calls are the text report's.
TEST(MachineReports, AskTheirFactsBeforeMeasuring) {
  const ToolRun run = runTool({"--size=1", "--loops=1", "--json"});
  EXPECT_EQ(run.log.substr(0, run.log.find("cudaEventCreate")),
            "cudaRuntimeGetVersion\ncudaDriverGetVersion\ncudaGetDeviceProperties 0\n"
            "cudaDeviceGetAttribute 37 0\ncudaDeviceGetAttribute 36 0\ncudaDeviceGetAttribute 20 0\n"
            "cudaSetDevice 0\n");
  EXPECT_EQ(member(run.out, "size_bytes"), "1048576");
  // An integrated device's memory is the board's: its attributes are not asked.
  ToolSetup integrated;
  integrated.args = {"--size=1", "--loops=1", "--json"};
  integrated.env = {"STANDIN_INTEGRATED=1"};
  const ToolRun board = runTool(integrated);
  EXPECT_EQ(board.log.substr(0, board.log.find("cudaEventCreate")),
            "cudaRuntimeGetVersion\ncudaDriverGetVersion\ncudaGetDeviceProperties 0\n"
            "cudaDeviceGetAttribute 20 0\ncudaSetDevice 0\n");
  EXPECT_TRUE(std::regex_match(member(run.out, "timestamp"),
                               std::regex("\"20[0-9]{2}-[01][0-9]-[0-3][0-9]T[0-2][0-9]:[0-5][0-9]:[0-6][0-9]Z\"")))
      << member(run.out, "timestamp");
  char host[256] = {};
  gethostname(host, sizeof host - 1);
  EXPECT_EQ(member(run.out, "host"), "\"" + std::string(host) + "\"");
  // Help wins over the format; with no format chosen a rejected pair is a text report.
  EXPECT_EQ(runTool({"--json", "--help"}).out.substr(0, 23), "Memory Bandwidth Test\n\n");
  const ToolRun both = runTool({"--json", "--prometheus"});
  EXPECT_EQ(both.out, bannerAndDevice() + "Illegal argument - json and prometheus exclude each other\nResult = FAIL\n");
}

TEST(MachineReports, InvalidUtf8BecomesReplacementCharacters) {
  const std::string r = "\xEF\xBF\xBD";
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"plain \x7f", "plain \x7f"},
      {"\xE2\x82\xAC \xF0\x9F\x98\x80", "\xE2\x82\xAC \xF0\x9F\x98\x80"},
      {"\xC0\xAF", r + r},
      {"\xE0\x80\xAF", r + r + r},
      {"\xED\xA0\x80", r + r + r},
      {"\xF4\x90\x80\x80", r + r + r + r},
      {"\xF0\x9F\x98", r},
      {"\xE2\x82" "A", r + "A"},
      {"\xF8\x88\x80\x80\x80", r + r + r + r + r},
      {"\xE1\x80\xE2\xF0\x91\x92\xF1\xBF" "A", r + r + r + r + "A"},
      {"\x80\xBF", r + r},
      // A lead byte of 0xEF starts a three-byte character: U+FFFD itself passes.
      {"\xEF\xBF\xBD", "\xEF\xBF\xBD"},
      // U+10FFFF, the last code point, takes three continuation bytes and no more.
      {"\xF4\x8F\xBF\xBF", "\xF4\x8F\xBF\xBF"},
      {"\xF4\x8F\xBF\xBF\x80", "\xF4\x8F\xBF\xBF" + r},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.first);
    EXPECT_EQ(validUtf8(c.first), c.second);
  }
  EXPECT_EQ(jsonString(std::string("\"\\\b\f\n\r\t\x1f", 8)), "\"\\\"\\\\\\b\\f\\n\\r\\t\\u001f\"");
  EXPECT_EQ(prometheusLabelValue("\"\\\n\t"), "\\\"\\\\\\n\t");
}

}  // namespace
