// The progress line, on a terminal: drawn while the measurements run, never
// wider than the terminal, and gone before anything else is written.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tool_runner.h"

namespace {

struct TerminalCase {
  const char *name;
  std::vector<std::string> env;
  const char *clear;  // what stands right before `after`: the line's removal; nullptr: blanks
                      // over the last drawing, between two carriage returns
  const char *after;  // the first text written once the line is gone
};

TEST(Terminal, ProgressLineIsDrawnAndClearedFirst) {
  const std::vector<TerminalCase> cases = {
      {"result lines", {"TERM=xterm"}, "\r\033[K", "\nMemcpy\t"},
      {"without escape sequences", {"TERM=dumb"}, nullptr, "\nMemcpy\t"},
      {"without TERM", {"TERM"}, nullptr, "\nMemcpy\t"},
      {"a failed call's line", {"TERM=xterm", "STANDIN_FAIL=cudaMemset:40=700"}, "\r\033[K",
       "CUDA error at quillmere:275 code=700(cudaErrorIllegalAddress) \"cudaMemset(d_odata, 0, memSize)\" \n"},
  };
  for (const TerminalCase &c : cases) {
    SCOPED_TRACE(c.name);
    ToolSetup setup;
    // 100 synchronisations of 5 ms: a run of about half a second.
    setup.args = {"--size=1", "--loops=50"};
    setup.env = c.env;
    setup.env.push_back("STANDIN_DELAY_US=5000");
    setup.env.push_back("STANDIN_NAME=" + std::string(60, 'G'));
    setup.terminalColumns = 40;
    const ToolRun run = runTool(setup);
    const std::string device = "Memory Bandwidth Test\nDevice:\t" + std::string(60, 'G') + "\n";
    ASSERT_EQ(run.out.compare(0, device.size(), device), 0) << run.out;
    const size_t after = run.out.find(c.after);
    ASSERT_NE(after, std::string::npos) << run.out;
    std::string clear = c.clear != nullptr ? c.clear : "";
    if (c.clear == nullptr) {
      // The last drawing's width in blanks.
      const size_t drawingStart = run.out.rfind('\r', run.out.rfind('\r', after - 2) - 1);
      const size_t blanksStart = run.out.rfind('\r', after - 2);
      clear = "\r" + std::string(blanksStart - drawingStart - 1, ' ') + "\r";
    }
    EXPECT_EQ(run.out.substr(after - clear.size(), clear.size()), clear);
    // Between the device line and the removal: only drawings of the line,
    // each from column 0 and at most 39 characters wide.
    const std::string drawings = run.out.substr(device.size(), after - clear.size() - device.size());
    EXPECT_EQ(drawings.compare(0, 8, "\rMemcpy "), 0) << drawings;
    size_t widest = 0;
    for (size_t at = 0; at < drawings.size();) {
      const size_t next = drawings.find('\r', at + 1);
      const std::string line = drawings.substr(at + 1, (next == std::string::npos ? drawings.size() : next) - at - 1);
      const size_t escape = line.find("\033[K");
      widest = std::max(widest, escape == std::string::npos ? line.size() : escape);
      at = next == std::string::npos ? drawings.size() : next;
    }
    EXPECT_LE(widest, 39u);
    EXPECT_GT(widest, 0u);
  }
}

}  // namespace
