// The JSON and Prometheus reports: every way a run ends, the figures and
// their spread, peak and efficiency, and text that needs escaping.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "reports/report_text.h"
#include "tool_runner.h"

namespace {

// A top-level member's value as the JSON report writes it (two-blank indent).
std::string member(const std::string &json, const std::string &name) {
  const std::string key = "\n  \"" + name + "\": ";
  const size_t start = json.find(key);
  if (start == std::string::npos) {
    return "<missing>";
  }
  const size_t value = start + key.size();
  const size_t end = json.find(",\n  \"", value);
  return json.substr(value, (end == std::string::npos ? json.rfind("\n}") : end) - value);
}

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
  const char *error;      // the JSON report's error member
  const char *errorInfo;  // the Prometheus error sample
  const char *err;        // standard error, as in the text report
};

TEST(MachineReports, EveryWayOutInBothFormats) {
  const char *prohibited =
      "Error: device is running in <Compute Mode Prohibited>, no threads can use ::cudaSetDevice().\n";
  const std::vector<std::string> run = {"--size=1", "--loops=2"};
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
      const ToolRun ran = runTool(setup);
      const bool passed = *c.errorInfo == '\0';
      EXPECT_EQ(ran.err, c.err);
      EXPECT_EQ(ran.exitStatus, passed ? 0 : 1);
      if (std::string(format) == "--json") {
        EXPECT_EQ(ran.out.substr(0, 2), "{\n");
        EXPECT_EQ(ran.out.substr(ran.out.size() - 2), "}\n");
        EXPECT_EQ(member(ran.out, "result"), passed ? "\"PASS\"" : "\"FAIL\"");
        EXPECT_EQ(member(ran.out, "error"), c.error);
      } else {
        EXPECT_EQ(samples(ran.out, "quillmere_success"), passed ? "quillmere_success 1\n" : "quillmere_success 0\n");
        EXPECT_EQ(samples(ran.out, "quillmere_error_info"), c.errorInfo);
        // Every sample follows its own HELP and TYPE lines, and nothing else stands there.
        std::istringstream lines(ran.out);
        std::vector<std::string> three(3);
        int samplesSeen = 0;
        while (std::getline(lines, three[0]) && std::getline(lines, three[1]) && std::getline(lines, three[2])) {
          const std::string name = three[2].substr(0, three[2].find_first_of("{ "));
          EXPECT_EQ(three[0].compare(0, 8 + name.size(), "# HELP " + name + " "), 0) << three[0];
          EXPECT_EQ(three[1], "# TYPE " + name + " gauge");
          samplesSeen++;
        }
        EXPECT_GE(samplesSeen, 2);
        EXPECT_EQ(ran.out.back(), '\n');
      }
    }
  }
}

struct ReportCase {
  const char *name;
  std::vector<std::string> args;
  std::vector<std::string> env;
  std::vector<std::pair<std::string, std::string>> clockFiles;  // under debugfs
  std::vector<const char *> members;  // name, then its exact value
  const char *prometheus;             // the samples from quillmere_transfer on
};

// Runs --size=1 with the case's settings and clock files.
ToolRun runCase(const ReportCase &c, const char *format) {
  const std::string root = makeTempDir();
  for (const char *dir : {"/clk", "/clk/emc", "/bpmp", "/bpmp/debug", "/bpmp/debug/emc"}) {
    mkdir((root + dir).c_str(), 0700);
  }
  for (const auto &file : c.clockFiles) {
    writeFile(root + "/" + file.first, file.second);
  }
  ToolSetup setup;
  setup.args = c.args;
  setup.args.push_back(format);
  setup.env = c.env;
  setup.debugfsRoot = root;
  ToolRun run = runTool(setup);
  removeTree(root);
  return run;
}

TEST(MachineReports, FiguresSpreadPeakAndEscaping) {
  const std::pair<std::string, std::string> pto = {"clk/emc/pto_rate", "1600000000\n"};
  const std::pair<std::string, std::string> clk = {"clk/emc/clk_rate", "1600000000\n"};
  const std::pair<std::string, std::string> table = {"bpmp/debug/emc/tables_info", "1600000 kHz, cfg LP4\n"};
  const std::vector<ReportCase> cases = {
      {"a scripted series, peak from the RAM text",
       {"--size=1", "--loops=3", "--min-total=8388"},
       {"STANDIN_TIMES=0.5,0.25,0.75,2,1,4", "STANDIN_BUS_WIDTH=64"},
       {pto, clk, table},
       {"memcpy",
        "{\n    \"mb_per_s\": 4194.3,\n    \"total_mb_per_s\": 8388.6,\n    \"mean_total_mb_per_s\": 4194.3,\n"
        "    \"cv\": 0.4082,\n    \"best_ms\": 0.25,\n    \"worst_ms\": 0.75\n  }",
        "memset",
        "{\n    \"mb_per_s\": 1048.6,\n    \"mean_mb_per_s\": 449.4,\n    \"cv\": 0.5345,\n"
        "    \"best_ms\": 1,\n    \"worst_ms\": 4\n  }",
        "memory_clock",
        "{\n    \"hz\": 1600000000,\n    \"source\": \"/sys/kernel/debug/clk/emc/pto_rate\",\n"
        "    \"cfg\": \"LP4\"\n  }",
        "peak", "{\n    \"mb_per_s\": 25600.0,\n    \"clock_hz\": 1600000000,\n    \"bus_width_bits\": 64\n  }",
        "efficiency", "0.328", "min_total_mb_per_s", "8388", "result", "\"PASS\""},
       "quillmere_transfer_size_bytes 1048576\nquillmere_repetitions 3\n"
       "quillmere_memcpy_bytes_per_second 4194300000\nquillmere_memcpy_read_write_bytes_per_second 8388600000\n"
       "quillmere_memset_bytes_per_second 1048600000\nquillmere_memcpy_cv_ratio 0.4082\n"
       "quillmere_memset_cv_ratio 0.5345\nquillmere_memory_clock_hertz 1600000000\n"
       "quillmere_peak_bytes_per_second 25600000000\nquillmere_efficiency_ratio 0.328\n"
       "quillmere_min_total_bytes_per_second 8388000000\n"},
      {"Total exactly at the minimum; peak from the device's clock; nothing known of the runtime",
       {"--size=1", "--loops=1", "--min-total=2000"},
       {"STANDIN_TIMES=1.048576", "STANDIN_MEMORY_CLOCK=1000", "STANDIN_BUS_WIDTH=8",
        "STANDIN_FAIL=cudaRuntimeGetVersion:1=35,cudaDriverGetVersion:1=35"},
       {},
       {"memcpy",
        // NOLINTNEXTLINE(bugprone-suspicious-missing-comma): one value in two literals
        "{\n    \"mb_per_s\": 1000.0,\n    \"total_mb_per_s\": 2000.0,\n    \"mean_total_mb_per_s\": 2000.0,\n"
        "    \"cv\": 0.0000,\n    \"best_ms\": 1.048576,\n    \"worst_ms\": 1.048576\n  }",
        "memory_clock", "null", "peak", "{\n    \"mb_per_s\": 2.0,\n    \"clock_hz\": 1000000,\n"
        "    \"bus_width_bits\": 8\n  }",
        "efficiency", "1000.000", "cuda", "{\n    \"runtime_version\": null,\n    \"driver_version\": null\n  }",
        "result", "\"PASS\""},
       "quillmere_transfer_size_bytes 1048576\nquillmere_repetitions 1\n"
       "quillmere_memcpy_bytes_per_second 1000000000\nquillmere_memcpy_read_write_bytes_per_second 2000000000\n"
       "quillmere_memset_bytes_per_second 1000000000\nquillmere_memcpy_cv_ratio 0.0000\n"
       "quillmere_memset_cv_ratio 0.0000\nquillmere_peak_bytes_per_second 2000000\n"
       "quillmere_efficiency_ratio 1000.000\nquillmere_min_total_bytes_per_second 2000000000\n"},
      {"a time of 0 gives no figure, fails the minimum and has no peak without a bus width",
       {"--size=1", "--loops=1", "--min-total=1"},
       {"STANDIN_TIMES=0", "STANDIN_BUS_WIDTH=0"},
       {clk},
       {"memcpy",
        // NOLINTNEXTLINE(bugprone-suspicious-missing-comma): one value in two literals
        "{\n    \"mb_per_s\": null,\n    \"total_mb_per_s\": null,\n    \"mean_total_mb_per_s\": null,\n"
        "    \"cv\": 0.0000,\n    \"best_ms\": 0,\n    \"worst_ms\": 0\n  }",
        "memory_clock",
        "{\n    \"hz\": 1600000000,\n    \"source\": \"/sys/kernel/debug/clk/emc/clk_rate\",\n    \"cfg\": null\n  }",
        "peak", "null", "efficiency", "null", "result", "\"FAIL\""},
       "quillmere_transfer_size_bytes 1048576\nquillmere_repetitions 1\nquillmere_memcpy_cv_ratio 0.0000\n"
       "quillmere_memset_cv_ratio 0.0000\nquillmere_memory_clock_hertz 1600000000\n"
       "quillmere_min_total_bytes_per_second 1000000\n"},
      {"a name and UUID that need care",
       {"--size=1", "--loops=1"},
       {"STANDIN_NAME=a\"b\\c\td\x01" "e\xff\xe2\x82" "f", "STANDIN_UUID=ffeeddccbbaa99887766554433221100",
        "STANDIN_RUNTIME_VERSION=12040", "STANDIN_DRIVER_VERSION=12080"},
       {},
       {"device",
        "{\n    \"index\": 0,\n    \"name\": \"a\\\"b\\\\c\\td\\u0001e\xEF\xBF\xBD\xEF\xBF\xBD" "f\",\n"
        "    \"uuid\": \"GPU-ffeeddcc-bbaa-9988-7766-554433221100\",\n    \"bus_width_bits\": 256,\n"
        "    \"memory_clock_khz\": 3200000\n  }"},
       "quillmere_info{version=\"1.0\",device=\"a\\\"b\\\\c\td\x01" "e\xEF\xBF\xBD\xEF\xBF\xBD" "f\","
       "uuid=\"GPU-ffeeddcc-bbaa-9988-7766-554433221100\",cfg=\"\",cuda_runtime=\"12040\",cuda_driver=\"12080\"} 1\n"},
  };
  for (const ReportCase &c : cases) {
    SCOPED_TRACE(c.name);
    const ToolRun json = runCase(c, "--json");
    for (size_t i = 0; i + 1 < c.members.size(); i += 2) {
      EXPECT_EQ(member(json.out, c.members[i]), c.members[i + 1]) << c.members[i];
    }
    const ToolRun prometheus = runCase(c, "--prometheus");
    const bool info = std::string(c.prometheus).compare(0, 14, "quillmere_info") == 0;
    const std::string tail = prometheus.out.substr(prometheus.out.find("\nquillmere_transfer") + 1);
    EXPECT_EQ(info ? samples(prometheus.out, "quillmere_info") : samples(tail, "quillmere_"), c.prometheus);
    EXPECT_EQ(json.exitStatus, prometheus.exitStatus);
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
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.first);
    EXPECT_EQ(validUtf8(c.first), c.second);
  }
  EXPECT_EQ(jsonString(std::string("\"\\\b\f\n\r\t\x1f", 8)), "\"\\\"\\\\\\b\\f\\n\\r\\t\\u001f\"");
  EXPECT_EQ(prometheusLabelValue("\"\\\n\t"), "\\\"\\\\\\n\t");
}

}  // namespace
