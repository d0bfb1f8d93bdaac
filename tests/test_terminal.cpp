// The progress line, on a terminal: drawn while the measurements run, never
// wider than the terminal, and gone before anything else is written.
#include <gtest/gtest.h>

#include <cstring>
#include <regex>
#include <string>
#include <utility>
#include <vector>

#include "tool_runner.h"

namespace {

struct TerminalCase {
  const char *name;
  std::vector<std::string> env;
  int columns;
  const char *clear;  // what stands right before `after`: the line's removal; nullptr: blanks
                      // over the last drawing, between two carriage returns
  const char *after;  // the first text written once the line is gone
};

const char kResults[] = "\nMemcpy\t104857.6 MB/s (Total: 209715.2 MB/s)\nMemset\t 1048.6 MB/s\n";

// 100 synchronisations of 5 ms: a run of about half a second.
ToolSetup slowRun(const std::vector<std::string> &env) {
  ToolSetup setup;
  setup.args = {"--size=1", "--loops=50"};
  setup.env = env;
  setup.env.push_back("STANDIN_DELAY_US=5000");
  // The copy's best figure has two digits more than the fill's, so the
  // fill's first drawing is shorter than the copy's last one.
  std::string times;
  for (int i = 0; i < 50; i++) {
    times += "0.01,";
  }
  setup.env.push_back("STANDIN_TIMES=" + times + "1");
  setup.env.push_back("STANDIN_NAME=" + std::string(60, 'G'));
  return setup;
}

TEST(Terminal, ProgressLineIsDrawnAndClearedFirst) {
  const std::vector<TerminalCase> cases = {
      {"result lines", {"TERM=xterm"}, 40, "\r\033[K", "\nMemcpy\t"},
      {"without escape sequences", {"TERM=dumb"}, 40, nullptr, "\nMemcpy\t"},
      {"without TERM", {"TERM"}, 40, nullptr, "\nMemcpy\t"},
      {"cut to a narrow terminal", {"TERM=xterm"}, 16, "\r\033[K", "\nMemcpy\t"},
      // A terminal that reports no width is taken as 80 columns wide.
      {"a terminal of 0 columns", {"TERM=xterm"}, 0, "\r\033[K", "\nMemcpy\t"},
      {"a failed call's line", {"TERM=xterm", "STANDIN_FAIL=cudaMemset:40=700"}, 40, "\r\033[K",
       "CUDA error at quillmere:275 code=700(cudaErrorIllegalAddress) \"cudaMemset(d_odata, 0, memSize)\" \n"},
  };
  const std::regex drawing("(Memcpy|Memset) [0-9]+/50, best [0-9]+\\.[0-9] MB/s");
  for (const TerminalCase &c : cases) {
    SCOPED_TRACE(c.name);
    ToolSetup setup = slowRun(c.env);
    setup.terminalColumns = c.columns;
    setup.terminal = true;
    const ToolRun run = runTool(setup);
    const std::string device = "Memory Bandwidth Test\nDevice:\t" + std::string(60, 'G') + "\n";
    ASSERT_EQ(run.out.compare(0, device.size(), device), 0) << run.out;
    const size_t after = run.out.find(c.after);
    ASSERT_NE(after, std::string::npos) << run.out;
    // Between the device line and `after`: only drawings of the line, each
    // from column 0, one column short of the width at most, and in plain
    // mode with blanks over what a longer drawing left; then the removal.
    const std::string drawings = run.out.substr(device.size(), after - device.size());
    ASSERT_EQ(drawings.compare(0, 8, "\rMemcpy "), 0) << drawings;
    const bool plain = c.clear == nullptr;
    std::vector<std::string> texts;
    size_t previous = 0;
    size_t at = 0;
    for (size_t next; (next = drawings.find('\r', at + 1)) != std::string::npos; at = next) {
      std::string text = drawings.substr(at + 1, next - at - 1);
      const size_t blanks = plain ? text.size() - text.find_last_not_of(' ') - 1 : 0;
      if (plain) {
        text.erase(text.size() - blanks);
        EXPECT_EQ(blanks, previous > text.size() ? previous - text.size() : 0) << text;
      } else {
        EXPECT_EQ(text.substr(text.size() - 3), "\033[K");
        text.erase(text.size() - 3);
      }
      previous = text.size();
      texts.push_back(text);
    }
    // The removal: ESC [ K, or blanks over the last drawing and a carriage return.
    EXPECT_EQ(drawings.substr(at), plain ? "\r" : c.clear);
    if (plain) {
      EXPECT_EQ(texts.back(), "");
      texts.pop_back();
    }
    ASSERT_FALSE(texts.empty());
    bool fillDrawn = false;
    for (const std::string &text : texts) {
      if (c.columns == 16) {
        EXPECT_EQ(text.size(), 15u) << text;
      } else {
        EXPECT_TRUE(std::regex_match(text, drawing)) << text;
      }
      fillDrawn = fillDrawn || text.compare(0, 7, "Memset ") == 0;
      // The best so far is the figure the report then prints: the copy's
      // Total (every copy time is the same), and the fill's.
      if (c.columns != 16) {
        const bool copy = text.compare(0, 7, "Memcpy ") == 0;
        EXPECT_EQ(text.substr(text.find(", best ")), copy ? ", best 209715.2 MB/s" : ", best 1048.6 MB/s");
      }
    }
    EXPECT_TRUE(fillDrawn);
  }
}

// Not a byte of progress: standard error elsewhere than on a terminal, or
// a run over before the first drawing is due (100 ms into it).
TEST(Terminal, NoProgressDrawn) {
  ToolSetup quick;
  quick.args = {"--size=1", "--loops=1"};
  quick.env = {"TERM=xterm"};
  quick.terminalColumns = 80;
  const std::vector<std::pair<ToolSetup, std::string>> cases = {
      {slowRun({"TERM=xterm"}), "Memory Bandwidth Test\nDevice:\t" + std::string(60, 'G') + "\n" + kResults},
      {quick, bannerAndDevice() + "\nMemcpy\t 1048.6 MB/s (Total: 2097.2 MB/s)\nMemset\t 1048.6 MB/s\n"},
  };
  for (const auto &c : cases) {
    const ToolRun run = runTool(c.first);
    EXPECT_EQ(run.out, c.second);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.exitStatus, 0);
  }
}

struct PhaseLineCase {
  const char *name;
  std::vector<std::string> args;
  std::vector<std::string> env;
  const char *from;     // the drawing is compared from after this text
  const char *to;       // up to this one; nullptr: to the end
  const char *drawn;    // what stands between them
  const char *endsWith;
};

// The phases after the measurements draw lines of their own, each gone
// before the line it ends in: the sustained copy's interval under way and
// its Total so far, each host copy's repetitions. The pageable copies are
// left out: the host's clock times them, and their figure varies.
TEST(Terminal, PhaseProgressLines) {
  const std::vector<PhaseLineCase> cases = {
      {"sustained intervals", {"--duration=2", "--interval=1"}, {"STANDIN_TIMES=1,1,1000", "STANDIN_DELAY_US=150000"},
       "Sustained Memcpy for 2 s, in intervals of 1 s:\n", nullptr,
       "\rSustained 1/2, total 2147.5 MB/s\033[K\r\033[K1 s\tMemcpy\t 1073.7 MB/s (Total: 2147.5 MB/s)\n"
       "\rSustained 2/2, total 2147.5 MB/s\033[K\r\033[K2 s\tMemcpy\t 1073.7 MB/s (Total: 2147.5 MB/s)\n"
       "Sustained Total: lowest 2147.5 MB/s, highest 2147.5 MB/s, drop 0.0 %\n",
       ""},
      {"the sweep's sizes", {"--sweep", "--sweep-loops=2"}, {"STANDIN_DELAY_US=120000"},
       "Memcpy by size, best of 2, Total:\n", "     2 MiB",
       "\rSweep 1 MiB 1/2, best 2097.2 MB/s\033[K\rSweep 1 MiB 2/2, best 2097.2 MB/s\033[K\r\033[K"
       "     1 MiB\t    2097.2 MB/s\n\rSweep 2 MiB 1/2, best 4194.3 MB/s\033[K\rSweep 2 MiB 2/2, best 4194.3 MB/s"
       "\033[K\r\033[K",
       "No plateau up to 4 MiB: the Totals still change by more than 10 %\n"},
      {"host copies", {"--host-copies", "--host-loops=2"}, {"STANDIN_DELAY_US=120000", "STANDIN_HOST_REGISTER=0"},
       "Memset\t 1048.6 MB/s\n", "\rHtoD pageable 1/2",
       "\rHtoD pinned 1/2, best 1048.6 MB/s\033[K\rHtoD pinned 2/2, best 1048.6 MB/s\033[K\r\033[K"
       "HtoD pinned\t1048.6 MB/s\n"
       "\rDtoH pinned 1/2, best 1048.6 MB/s\033[K\rDtoH pinned 2/2, best 1048.6 MB/s\033[K\r\033[K"
       "DtoH pinned\t1048.6 MB/s\n",
       "HtoD registered\tnot supported by this device\nDtoH registered\tnot supported by this device\n"},
  };
  for (const PhaseLineCase &c : cases) {
    SCOPED_TRACE(c.name);
    ToolSetup setup;
    setup.args = {"--size=1", "--loops=1"};
    setup.args.insert(setup.args.end(), c.args.begin(), c.args.end());
    setup.env = {"TERM=xterm"};
    setup.env.insert(setup.env.end(), c.env.begin(), c.env.end());
    setup.terminalColumns = 80;
    const ToolRun run = runTool(setup);
    const size_t from = run.out.find(c.from);
    ASSERT_NE(from, std::string::npos) << run.out;
    const size_t begin = from + strlen(c.from);
    const size_t to = c.to == nullptr ? run.out.size() : run.out.find(c.to, begin);
    ASSERT_NE(to, std::string::npos) << run.out;
    EXPECT_EQ(run.out.substr(begin, to - begin), c.drawn);
    const std::string last = c.endsWith;
    ASSERT_GE(run.out.size(), last.size());
    EXPECT_EQ(run.out.substr(run.out.size() - last.size()), last);
    EXPECT_EQ(run.exitStatus, 0);
  }
}

// The wait for an idle board draws its reading and the seconds left, cut to
// a terminal that says it has no width as to one of 80 columns.
TEST(Terminal, WaitForAnIdleBoard) {
  // 123456789 kHz of activity at a rate of 1 kHz: a line longer than 80.
  const std::string root = layOut({{"devices/platform/gpu.0/load", "999999999999999\n"},
                                   {"kernel/actmon_avg_activity/mc_all", "123456789\n"},
                                   {"bpmp/debug/clk/emc/rate", "1000\n"}});
  ToolSetup setup;
  setup.args = {"--size=1", "--loops=1", "--max-load=20", "--wait-idle=1"};
  setup.env = {"TERM=xterm"};
  setup.debugfsRoot = root;
  setup.terminal = true;
  const ToolRun run = runTool(setup);
  removeTree(root);
  const std::string waiting = "Waiting for an idle board: GPU 99999999999999.9 %, memory 12345678900.0 %, 1 s left";
  EXPECT_EQ(run.out, bannerAndDevice() + "\r" + waiting.substr(0, 79) + "\033[K\r\033[K" +
                         "Load:\tGPU 99999999999999.9 %, memory 12345678900.0 % (waited 1 s)\n" +
                         "Error: the board stayed busy for 1 s: GPU load 99999999999999.9 %, memory load "
                         "12345678900.0 %, above the allowed 20 %\nResult = FAIL\n");
  EXPECT_EQ(run.exitStatus, 75);
}

}  // namespace
