// The memory-clock report read from files in a temporary directory, and the
// other texts of the board: release, power mode, temperatures, device names.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "board/board_software.h"
#include "board/memory_clock.h"
#include "board/module_table.h"
#include "sampling/gpu_clock.h"
#include "sampling/thermal_zones.h"
#include "sustained/sustained_record.h"
#include "tool_runner.h"

namespace {

struct Files {
  const char *pto;  // nullptr: the file is missing; kFolder: a folder stands there
  const char *clk;
  const char *table1;
  const char *table2;
  size_t table1Length = 0;  // 0: up to the first NUL
  const char *bpmp = nullptr;     // the firmware clock's rate
  const char *devfreq = nullptr;  // the bandwidth manager's cur_freq
};

const char kFolder[] = "<folder>";

// Runs the report on files made from c and returns what it printed. The text
// buffer starts full of stale text, as after an earlier read, and is followed
// by a guard byte that a write past its end would change.
std::string report(const Files &c) {
  const std::string dir = makeTempDir();
  const std::string pto = dir + "/pto_rate";
  const std::string clk = dir + "/clk_rate";
  const std::string table1 = dir + "/bpmp_tables_info";
  const std::string table2 = dir + "/tegra_tables_info";
  const std::string bpmp = dir + "/bpmp_rate";
  const std::string devfreq = dir + "/cur_freq";
  const char *contents[] = {c.pto, c.clk, c.table1, c.table2, c.bpmp, c.devfreq};
  const std::string *paths[] = {&pto, &clk, &table1, &table2, &bpmp, &devfreq};
  for (int i = 0; i < 6; i++) {
    if (contents[i] == kFolder) {
      mkdir(paths[i]->c_str(), 0700);
    } else if (contents[i] != nullptr) {
      const size_t length = i == 2 && c.table1Length != 0 ? c.table1Length : strlen(contents[i]);
      writeFile(*paths[i], std::string(contents[i], length));
    }
  }
  const ClockFiles files = {{pto.c_str(), bpmp.c_str(), devfreq.c_str(), clk.c_str()},
                            clk.c_str(),
                            {table1.c_str(), table2.c_str()}};

  std::vector<char> textBuffer(kClockTextBufferSize + 1, '7');
  textBuffer.back() = 'G';
  char scratch[kClockScratchSize] = {};
  fflush(stdout);
  FILE *captured = tmpfile();
  const int savedStdout = dup(1);
  dup2(fileno(captured), 1);
  MemoryClock clock;
  readMemoryClock(files, textBuffer.data(), scratch, &clock);
  printMemoryClock(clock);
  fflush(stdout);
  dup2(savedStdout, 1);
  close(savedStdout);

  std::string text;
  rewind(captured);
  for (int ch = fgetc(captured); ch != EOF; ch = fgetc(captured)) {
    text += static_cast<char>(ch);
  }
  fclose(captured);
  removeTree(dir);
  EXPECT_EQ(textBuffer.back(), 'G') << "written past the text buffer";
  return text;
}

struct ReportCase {
  const char *name;
  Files files;
  const char *expected;
};

TEST(MemoryClock, Report) {
  const char *rate = "800000000\n";
  const char *table = "emc 800000 kHz, cfg LP4 x\n";
  const std::string longRate(20000, '9');
  const std::vector<ReportCase> cases = {
      {"all files", {rate, rate, table, nullptr}, "RAM:\t800.0 MHz (cfg: LP4)\n"},
      {"second table path", {rate, rate, nullptr, table}, "RAM:\t800.0 MHz (cfg: LP4)\n"},
      {"first table path wins", {rate, rate, table, "800000 kHz, cfg ZZZ"}, "RAM:\t800.0 MHz (cfg: LP4)\n"},
      {"no clk_rate", {rate, nullptr, table, table}, "RAM:\t800.0 MHz"},
      {"no table", {rate, rate, nullptr, nullptr}, "RAM:\t800.0 MHz\n"},
      {"no pto_rate", {nullptr, rate, table, nullptr}, "RAM:\t800.0 MHz (cfg: LP4)\n"},
      {"no files", {nullptr, nullptr, nullptr, nullptr}, ""},
      {"empty pto_rate falls away", {"", rate, table, nullptr}, "RAM:\t800.0 MHz (cfg: LP4)\n"},
      // One row per board generation: only the files it has.
      {"t186-t234: firmware rate alone", {nullptr, nullptr, nullptr, nullptr, 0, "2133000000\n"},
       "RAM:\t2133.0 MHz"},
      {"t186-t234: firmware rate, clk_rate and a table",
       {nullptr, "204000000\n", "204000 kHz, cfg A01", nullptr, 0, "2133000000\n"},
       "RAM:\t2133.0 MHz (cfg: A01)\n"},
      {"t264: devfreq alone", {nullptr, nullptr, nullptr, nullptr, 0, nullptr, "4266000000\n"},
       "RAM:\t4266.0 MHz"},
      {"t210: clk_rate alone", {nullptr, "1600000000\n", nullptr, nullptr}, "RAM:\t1600.0 MHz\n"},
      // pto_rate over the firmware rate over devfreq over clk_rate.
      {"pto_rate first", {rate, "204000000\n", nullptr, nullptr, 0, "2133000000\n", "4266000000\n"},
       "RAM:\t800.0 MHz\n"},
      {"firmware rate before devfreq", {nullptr, nullptr, nullptr, nullptr, 0, "2133000000\n", "4266000000\n"},
       "RAM:\t2133.0 MHz"},
      {"devfreq before clk_rate", {nullptr, "204000000\n", nullptr, nullptr, 0, nullptr, "4266000000\n"},
       "RAM:\t4266.0 MHz\n"},
      {"empty and folder rate files fall through",
       {"", "204000000\n", nullptr, nullptr, 0, kFolder, ""}, "RAM:\t204.0 MHz\n"},
      {"a rate that reads as 0 counts", {nullptr, nullptr, nullptr, nullptr, 0, "n/a\n", "4266000000\n"},
       "RAM:\t0.0 MHz"},
      {"empty clk_rate ends the report", {rate, "", table, nullptr}, "RAM:\t800.0 MHz"},
      {"rate is not a number", {"n/a\n", rate, table, nullptr}, "RAM:\t0.0 MHz (cfg: LP4)\n"},
      {"rates above 2^31 Hz", {"3199000000\n", "3199000000\n", "3199000 kHz, cfg L5X\n", nullptr},
       "RAM:\t3199.0 MHz (cfg: L5X)\n"},
      // 64 bits: LPDDR5X beyond 8533 MT/s runs its EMC above 4.29 GHz.
      {"rates above 2^32 Hz", {"4800000000\n", "4800000000\n", "4294967 kHz, cfg MAX\n4800000 kHz, cfg L5X", nullptr},
       "RAM:\t4800.0 MHz (cfg: L5X)\n"},
      {"key not in the table", {rate, "204000000\n", table, nullptr}, "RAM:\t800.0 MHz\n"},
      {"tag runs past the text", {rate, rate, "800000 kHz, cfg LP", nullptr}, "RAM:\t800.0 MHz\n"},
      {"key further in, tag runs past the text", {rate, rate, "x800000 kHz, cfg LP", nullptr},
       "RAM:\t800.0 MHz\n"},
      {"rate line longer than the buffer saturates", {longRate.c_str(), rate, table, nullptr},
       "RAM:\t1099511.6 MHz (cfg: LP4)\n"},
      {"tag ends the text", {rate, rate, "800000 kHz, cfg LP4", nullptr}, "RAM:\t800.0 MHz (cfg: LP4)\n"},
      {"first match inside a longer number", {rate, rate, "1800000 kHz, cfg AAA\n800000 kHz, cfg BBB", nullptr},
       "RAM:\t800.0 MHz (cfg: AAA)\n"},
      {"empty table", {rate, rate, "", nullptr}, "RAM:\t800.0 MHz\n"},
  };
  for (const ReportCase &c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(report(c.files), c.expected);
  }
}

TEST(MemoryClock, LongTableIsReadUpToTheBuffer) {
  // The first 16383 bytes are read; a key beyond them is not found.
  const std::string head = "800000 kHz, cfg LP4\n" + std::string(20000, '.');
  const std::string beyond = std::string(16380, '.') + "800000 kHz, cfg LP4\n";
  EXPECT_EQ(report({"800000000", "800000000", head.c_str(), nullptr}), "RAM:\t800.0 MHz (cfg: LP4)\n");
  EXPECT_EQ(report({"800000000", "800000000", beyond.c_str(), nullptr}), "RAM:\t800.0 MHz\n");
  // A tag in the file's 16384th byte is one past what is read; one byte earlier it is found.
  const std::string tail = "800000 kHz, cfg LP4";
  const std::string atLimit = std::string(16384 - tail.size(), '.') + tail;
  const std::string belowLimit = std::string(16383 - tail.size(), '.') + tail;
  EXPECT_EQ(report({"800000000", "800000000", atLimit.c_str(), nullptr}), "RAM:\t800.0 MHz\n");
  EXPECT_EQ(report({"800000000", "800000000", belowLimit.c_str(), nullptr}),
            "RAM:\t800.0 MHz (cfg: LP4)\n");
}

TEST(MemoryClock, TableTextEndsAtTheFirstNul) {
  const char table[] = "x\0 800000 kHz, cfg LP4";
  const Files files = {"800000000", "800000000", table, nullptr, sizeof table - 1};
  EXPECT_EQ(report(files), "RAM:\t800.0 MHz\n");
}

TEST(MemoryClock, ParseRate) {
  const std::vector<std::pair<const char *, uint64_t>> cases = {
      {"800000000\n", 800000000u}, {"  42", 42u},          {"+7", 7u},
      {"-5", 0u},                  {"", 0u},               {"12abc", 12u},
      {" \t\n\v\f\r42", 42u},
      {"3199000000", 3199000000u}, {"4294967295", 4294967295u},
      {"4294967296", 4294967296u}, {"000000000000000000001", 1u},
      {"1099511627776", 1099511627776u}, {"1099511627777", 1099511627776u},
      {"99999999999999999999999", 1099511627776u},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.first);
    EXPECT_EQ(parseRate(c.first), c.second);
  }
}

TEST(MemoryClock, TagLookupStaysInsideTheGivenLength) {
  const char text[] = "800000 kHz, cfg LP4";  // 19 characters
  struct Lookup {
    size_t length;
    const char *key;
    const char *tag;  // nullptr: not found
  };
  const std::vector<Lookup> cases = {
      {19, "800000", "LP4"}, {18, "800000", nullptr}, {6, "800000", nullptr}, {0, "800000", nullptr},
      {19, "", nullptr},
  };
  for (const Lookup &c : cases) {
    SCOPED_TRACE(std::to_string(c.length) + " " + c.key);
    // No terminator to start with: a found tag must bring its own.
    char tag[4] = {'-', '-', '-', '-'};
    const bool found = findClockTag(text, c.length, c.key, tag);
    EXPECT_EQ(found, c.tag != nullptr);
    EXPECT_EQ(std::string(tag, 4), c.tag != nullptr ? std::string(c.tag, 4) : "----");
  }
}

// Device trees as the boards have them: the compatible strings, NUL-separated.
TEST(MemoryClock, ModuleTable) {
  struct Tree {
    std::vector<std::string> strings;
    int bits;              // 0: no row
    const char *matched;   // the whole string that decided
  };
  const std::vector<Tree> cases = {
      {{"nvidia,p3737-0000+p3701-0005", "nvidia,p3701-0005", "nvidia,tegra234"}, 256,
       "nvidia,p3737-0000+p3701-0005"},
      {{"nvidia,p3768-0000+p3767-0005-super", "nvidia,p3767-0005", "nvidia,tegra234"}, 128,
       "nvidia,p3768-0000+p3767-0005-super"},
      {{"nvidia,p3768-0000+p3767-0004", "nvidia,p3767-0004", "nvidia,tegra234"}, 64,
       "nvidia,p3768-0000+p3767-0004"},
      {{"nvidia,p3768-0000+p3767-0004-super"}, 64, "nvidia,p3768-0000+p3767-0004-super"},
      {{"nvidia,p3767"}, 128, "nvidia,p3767"},
      // A t194 tree that names every SKU.
      {{"nvidia,p3449-0000+p3668-0000", "nvidia,p3449-0000+p3668-0001", "nvidia,p3509-0000+p3668-0000",
        "nvidia,tegra194"}, 128, "nvidia,p3449-0000+p3668-0000"},
      {{"nvidia,jetson-nano", "nvidia,tegra210"}, 64, "nvidia,jetson-nano"},
      {{"nvidia,p3541-0000", "nvidia,tegra210"}, 64, "nvidia,p3541-0000"},
      {{"nvidia,p3450-0000", "nvidia,tegra210"}, 64, "nvidia,p3450-0000"},
      {{"nvidia,p2371-2180", "nvidia,tegra210"}, 64, "nvidia,p2371-2180"},
      {{"nvidia,jetson-cv", "nvidia,tegra210"}, 64, "nvidia,jetson-cv"},
      {{"nvidia,quill", "nvidia,tegra186"}, 128, "nvidia,quill"},
      {{"nvidia,p2771-0000", "nvidia,tegra186"}, 128, "nvidia,p2771-0000"},
      {{"nvidia,p3636-0001", "nvidia,tegra186"}, 128, "nvidia,p3636-0001"},
      {{"nvidia,galen", "nvidia,tegra194"}, 256, "nvidia,galen"},
      {{"nvidia,jetson-xavier", "nvidia,tegra194"}, 256, "nvidia,jetson-xavier"},
      {{"nvidia,p2822-0000+p2888-0001", "nvidia,tegra194"}, 256, "nvidia,p2822-0000+p2888-0001"},
      {{"nvidia,p2972-0000", "nvidia,tegra194"}, 256, "nvidia,p2972-0000"},
      {{"nvidia,p4071-0000+p3834-0008", "nvidia,tegra264"}, 256, "nvidia,p4071-0000+p3834-0008"},
      // A board maker's own string first; one without a comma is its own rest.
      {{"acme,edge-box", "nvidia,p3701-0004", "nvidia,tegra234"}, 256, "nvidia,p3701-0004"},
      {{"lightning", "nvidia,tegra186"}, 128, "lightning"},
      // No row: the chip alone, an unknown module, a name that only begins
      // like one, case, a longer part number, a carrier without a module.
      {{"nvidia,tegra234"}, 0, nullptr},
      {{"nvidia,p3999-0000+p4000-0001", "nvidia,tegra234"}, 0, nullptr},
      {{"nvidia,jetson-nano-devkit", "nvidia,Quill", "nvidia,P3701-0000"}, 0, nullptr},
      {{"nvidia,p37010", "nvidia,p3701x"}, 0, nullptr},
      {{"nvidia,p3701+p3768-0000"}, 0, nullptr},
      {{""}, 0, nullptr},
  };
  for (const Tree &c : cases) {
    std::string property;
    for (const std::string &text : c.strings) {
      property += text + '\0';
    }
    SCOPED_TRACE(property);
    const ModuleMatch match = lookUpModule(property.data(), property.size());
    EXPECT_EQ(match.found, c.bits != 0);
    EXPECT_EQ(match.busWidthBits, c.bits);
    EXPECT_EQ(match.compatible, c.matched != nullptr ? c.matched : "");
  }
  // The property's end need not be a NUL.
  const std::string unterminated = "nvidia,p3448-0002";
  EXPECT_EQ(lookUpModule(unterminated.data(), unterminated.size()).busWidthBits, 64);
  EXPECT_FALSE(lookUpModule(unterminated.data(), 11).found);
  // Nor is anything past the given length read, in a later string either.
  const std::string cut = std::string("acme,x\0nvidia,p3448-0002", 24);
  EXPECT_TRUE(lookUpModule(cut.data(), cut.size()).found);
  EXPECT_FALSE(lookUpModule(cut.data(), 18).found);
}

// Each of the board's one-line texts, read by its own parser; "" expects
// nothing known.
TEST(BoardTexts, ReadOnlyTheirOwnForm) {
  const std::vector<std::pair<const char *, const char *>> releases = {
      {"# R36 (release), REVISION: 4.3, GCID: 38968081, BOARD: generic\n", "R36.4.3"},
      {"# R32 (release), REVISION: 7.1, GCID: 29818004", "R32.7.1"},
      {"# R38 (release), REVISION: 2.0,", "R38.2.0"},
      {"# R36 (release), REVISION: 4.3\n", ""},
      {"# R36 (release), REVISION: , GCID", ""},
      {"# R (release), REVISION: 4.3,", ""},
      {"# R36 (beta), REVISION: 4.3,", ""},
      {"R36 (release), REVISION: 4.3,", ""},
      {"# R36 (release), REVISION: 4.3a,", ""},
  };
  for (const auto &c : releases) {
    SCOPED_TRACE(c.first);
    const Known<std::string> release = parseRelease(c.first);
    EXPECT_EQ(release.known ? release.value : "", c.second);
  }
  const std::vector<std::pair<const char *, int>> statuses = {
      {"pmode:0002\n", 2}, {"pmode:0000", 0}, {"fmode:quiet pmode:12", 12}, {"pmode:\n", -1},
      {"pmode: 2", -1}, {"pmode:x pmode:7", 7}, {"PMODE:1", -1}, {"pmode:1234567890", -1},
  };
  for (const auto &c : statuses) {
    SCOPED_TRACE(c.first);
    const Known<int> id = parsePowerModeStatus(c.first);
    EXPECT_EQ(id.known ? id.value : -1, c.second);
  }
  const std::vector<std::pair<const char *, const char *>> modes = {
      {"< POWER_MODEL ID=2 NAME=MAXN_SUPER >\n", "MAXN_SUPER"},
      {"<\tPOWER_MODEL \t ID=02\tNAME=15W\t>", "15W"},
      {"< POWER_MODEL ID=2 NAME=MODE_30W_4CORE >  \r\n", "MODE_30W_4CORE"},
      {"< POWER_MODEL ID=20 NAME=OTHER >", ""},
      {"< POWER_MODEL ID=2 NAME=A.B >", ""},
      {"< POWER_MODEL ID=2 NAME= >", ""},
      {"< POWER_MODEL ID=2 NAME=MAXN>", ""},
      {"<POWER_MODEL ID=2 NAME=MAXN >", ""},
      {" < POWER_MODEL ID=2 NAME=MAXN >", ""},
      {"< POWER_MODEL ID=2 NAME=MAXN > x", ""},
      {"< PM_CONFIG DEFAULT=2 >", ""},
  };
  for (const auto &c : modes) {
    SCOPED_TRACE(c.first);
    const Known<std::string> name = parsePowerModeLine(c.first, 2);
    EXPECT_EQ(name.known ? name.value : "", c.second);
  }
  const std::vector<std::pair<const char *, const char *>> temperatures = {
      {"41500\n", "41500"}, {"-5000", "-5000"}, {"0\n", "0"}, {"-256000\n", "-256000"},
      {"999999999999999", "999999999999999"}, {"1000000000000000", ""}, {"", ""}, {"-", ""},
      {"45000 \n", ""}, {"+45000", ""}, {"4.5", ""}, {"--5", ""},
  };
  for (const auto &c : temperatures) {
    SCOPED_TRACE(c.first);
    long long milliCelsius = 7;
    const bool read = parseMilliCelsius(c.first, &milliCelsius);
    EXPECT_EQ(read ? std::to_string(milliCelsius) : "", c.second);
  }
  const std::vector<std::pair<const char *, bool>> devices = {
      {"17000000.ga10b", true}, {"17000000.gv11b", true}, {"17000000.gp10b", true}, {"57000000.gpu", true},
      {"gpu-gpc-0", true}, {"gpu-gpc-1", false}, {"bwmgr", false}, {".gpu", true}, {"gpu", false},
      {"17000000.gpu0", false}, {"x.ga10bx", false},
  };
  for (const auto &c : devices) {
    SCOPED_TRACE(c.first);
    EXPECT_EQ(isGpuDevfreqName(c.first), c.second);
  }
  // Batches of 1 GiB one way, rounded up; intervals rounded up.
  const std::vector<std::pair<uint32_t, long>> batches = {
      {1u << 20, 1024}, {16u << 20, 64}, {1000u << 20, 2}, {1024u << 20, 1}, {4095u << 20, 1}, {3u << 20, 342},
  };
  for (const auto &c : batches) {
    EXPECT_EQ(batchCopies(c.first), c.second) << c.first;
  }
  EXPECT_EQ(intervalCount(30, 10), 3);
  EXPECT_EQ(intervalCount(25, 10), 3);
  EXPECT_EQ(intervalCount(1, 1), 1);
  EXPECT_EQ(intervalCount(86400, 3600), 24);
}

}  // namespace

namespace {

struct FolderCase {
  std::vector<std::pair<std::string, std::string>> files;  // under the folder
  const char *expected;  // the GPU clock, or the zones read as "<zone>=<milli-Celsius>,"
};

// The sampled folders, read directly: the GPU's devfreq entry is the first
// name in byte order whatever order the folder lists them in (pairs one byte
// apart, so a comparison that needs more than that is caught), and a zone's
// number has at most nine digits.
TEST(BoardTexts, SampledFoldersTakeTheirOwnEntries) {
  const std::vector<FolderCase> gpuClocks = {
      {{{"a.gpu/cur_freq", "1\n"}, {"b.gpu/cur_freq", "2\n"}}, "1"},
      {{{"2.gpu/cur_freq", "1\n"}, {"3.gpu/cur_freq", "2\n"}}, "1"},
      {{{"x.ga10b/cur_freq", "1\n"}, {"y.ga10b/cur_freq", "2\n"}}, "1"},
      {{{"17000000.gv11b/cur_freq", "1\n"}, {"27000000.gv11b/cur_freq", "2\n"}}, "1"},
      {{{"gpu-gpc-0/cur_freq", "1\n"}, {"gpu-gpc-1/cur_freq", "2\n"}}, "1"},
      {{{"bwmgr/cur_freq", "1\n"}}, "unknown"},
  };
  char text[4096];
  for (const FolderCase &c : gpuClocks) {
    SCOPED_TRACE(c.files.front().first);
    const std::string folder = layOut(c.files) + "/";
    const Known<uint64_t> hz = readGpuClock(folder.c_str(), text);
    removeTree(folder);
    EXPECT_EQ(hz.known ? std::to_string(hz.value) : "unknown", c.expected);
  }
  const std::vector<FolderCase> zones = {
      {{{"thermal_zone123456789/temp", "1000\n"}, {"thermal_zone1234567890/temp", "2000\n"}},
       "thermal_zone123456789=1000,"},
      {{{"thermal_zone2/temp", "-500\n"}, {"thermal_zone10/temp", "52300\n"}}, "thermal_zone2=-500,thermal_zone10=52300,"},
  };
  for (const FolderCase &c : zones) {
    SCOPED_TRACE(c.files.front().first);
    const std::string folder = layOut(c.files) + "/";
    std::string read;
    for (const Temperature &zone : readThermalZones(folder.c_str(), text)) {
      read += zone.zone + "=" + std::to_string(zone.milliCelsius) + ",";
    }
    removeTree(folder);
    EXPECT_EQ(read, c.expected);
  }
  // Each reading closes the folder it listed: more readings than a process
  // may hold descriptors read the same.
  const std::string board = layOut({{"devfreq/a.gpu/cur_freq", "7\n"}, {"thermal/thermal_zone0/temp", "1000\n"}});
  const std::string devfreq = board + "/devfreq/";
  const std::string thermal = board + "/thermal/";
  struct rlimit limit = {};
  ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &limit), 0);
  const struct rlimit few = {256, limit.rlim_max};
  ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &few), 0);
  size_t read = 0;
  Known<uint64_t> hz;
  for (int reading = 0; reading < 300; reading++) {
    read = readThermalZones(thermal.c_str(), text).size();
    hz = readGpuClock(devfreq.c_str(), text);
  }
  setrlimit(RLIMIT_NOFILE, &limit);
  removeTree(board);
  EXPECT_EQ(read, 1U);
  EXPECT_EQ(hz.known ? hz.value : 0, 7U);
}

}  // namespace
