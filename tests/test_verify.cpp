// --verify: every copy's result read back and checked, against the data of
// a stand-in that keeps real bytes and can corrupt them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "data/verify.h"
#include "tool_runner.h"

namespace {

const char kFigures[] = "\nMemcpy\t 1048.6 MB/s (Total: 2097.2 MB/s)\nMemset\t 1048.6 MB/s\n";
const char kMemcpyOnly[] = "\nMemcpy\t 1048.6 MB/s (Total: 2097.2 MB/s)\n";
const char kHostCopies[] = "HtoD pinned\t1048.6 MB/s\nDtoH pinned\t1048.6 MB/s\nHtoD pageable\t1048.6 MB/s\n"
                           "DtoH pageable\t1048.6 MB/s\nHtoD registered\t1048.6 MB/s\nDtoH registered\t1048.6 MB/s\n";
const char kSustained[] = "\nSustained Memcpy for 3 s, in intervals of 1 s:\n";
const char kInterval[] = "\tMemcpy\t 1073.7 MB/s (Total: 2147.5 MB/s)\n";

struct CheckCase {
  const char *name;
  std::vector<std::string> args;  // after --size=1 --loops=2 --verify
  std::vector<std::string> env;   // besides real bytes, 1 ms repetitions (8 of them) and 1 s batches
  std::string out;                // after the device line
  std::string err;
};

// What a fault leaves is found by the first read-back that sees it; a
// fault that a later copy writes over is not.
TEST(DataChecks, ReadBacksFindWhatTheCopiesChanged) {
  const std::vector<std::string> every = {"--host-copies", "--host-loops=1", "--duration=3", "--interval=1"};
  const std::string sustained = std::string(kSustained) + "1 s" + kInterval + "2 s" + kInterval + "3 s" + kInterval;
  const std::string total = "Sustained Total: lowest 2147.5 MB/s, highest 2147.5 MB/s, drop 0.0 %\n";
  const std::string fail = "Result = FAIL\n";
  const std::vector<CheckCase> cases = {
      {"nothing changed: every phase's read-backs", every, {},
       kFigures + std::string(kHostCopies) + sustained + total +
           "Verified: 8 read-backs, 8388608 bytes, no byte differs\n",
       ""},
      // Byte 1000 of the staging pattern is 0xe8.
      {"the last Memcpy repetition: no Memset, nothing after", every, {"STANDIN_FLIP=cudaMemcpy:3:2:1000:0x10"},
       kMemcpyOnly + fail,
       "Error: Memcpy read back 1 differing bytes of 1048576, the first at byte 1000 (0xf8 instead of 0xe8)\n"},
      {"an earlier Memcpy repetition is written over by the next", {}, {"STANDIN_FLIP=cudaMemcpy:3:1:1000:0x10"},
       kFigures + std::string("Verified: 2 read-backs, 2097152 bytes, no byte differs\n"), ""},
      {"the last Memset repetition, every bit of the last byte", {}, {"STANDIN_FLIP=cudaMemset:0:2:1048575:0xff"},
       kFigures + fail,
       "Error: Memset read back 1 differing bytes of 1048576, the first at byte 1048575 (0xff instead of 0x00)\n"},
      {"a host copy brought back", every, {"STANDIN_FLIP=cudaMemcpyAsync:2:1:255:0x80"},
       kFigures + std::string("HtoD pinned\t1048.6 MB/s\nDtoH pinned\t1048.6 MB/s\n") + fail,
       "Error: DtoH pinned read back 1 differing bytes of 1048576, the first at byte 255 (0x7f instead of 0xff)\n"},
      // Byte 4099 of the check pattern is 0x94; the first sustained copy
      // changes it, and every later copy carries it on.
      {"the sustained copy's first copy, found at the first interval's end", every,
       {"STANDIN_FLIP=cudaMemcpyAsync:3:1:4099:0x01"},
       kFigures + std::string(kHostCopies) + kSustained + "1 s" + kInterval + fail,
       "Error: sustained Memcpy at 1 s read back 1 differing bytes of 1048576, the first at byte 4099 "
       "(0x95 instead of 0x94)\n"},
      // Word 512 written to word 513's address: the pattern differs there.
      {"a write to the wrong address in the third interval", every,
       {"STANDIN_MISDIRECT=cudaMemcpyAsync:3:2500:4096"},
       kFigures + std::string(kHostCopies) + sustained + fail,
       "Error: sustained Memcpy at 3 s read back 8 differing bytes of 1048576, the first at byte 4104 "
       "(0x00 instead of 0x15)\n"},
      // A difference ends the run before any verdict is judged.
      {"a difference before the verdicts", {"--min-total=999999", "--duration=1", "--max-drop=1"},
       {"STANDIN_FLIP=cudaMemcpyAsync:3:7:0:0x01", "STANDIN_TIMES=1*4,1000"},
       kFigures + std::string("\nSustained Memcpy for 1 s, in intervals of 1 s:\n1 s") + kInterval + fail,
       "Error: sustained Memcpy at 1 s read back 1 differing bytes of 1048576, the first at byte 0 "
       "(0x01 instead of 0x00)\n"},
      {"no difference, then a verdict", {"--min-total=999999"}, {},
       kFigures + std::string("Verified: 2 read-backs, 2097152 bytes, no byte differs\n") + fail,
       "Error: Memcpy total 2097.2 MB/s is below the expected minimum of 999999 MB/s\n"},
  };
  for (const CheckCase &c : cases) {
    SCOPED_TRACE(c.name);
    ToolSetup setup;
    setup.args = {"--size=1", "--loops=2", "--verify"};
    setup.args.insert(setup.args.end(), c.args.begin(), c.args.end());
    setup.env = {"STANDIN_MEMORY=1", "STANDIN_TIMES=1*8,1000", "STANDIN_CLOCK_STEP_NS=1000000"};
    setup.env.insert(setup.env.end(), c.env.begin(), c.env.end());
    const ToolRun run = runTool(setup);
    EXPECT_EQ(run.out, bannerAndDevice() + c.out);
    EXPECT_EQ(run.err, c.err);
    EXPECT_EQ(run.exitStatus, c.err.empty() ? 0 : 1);
    // Whatever ended the run, every buffer and event was released, and the
    // run closed with the selection.
    EXPECT_EQ(countLogLines(run.log, "cudaFree"), countLogLines(run.log, "cudaMalloc"));
    EXPECT_EQ(countLogLines(run.log, "cudaEventDestroy"), countLogLines(run.log, "cudaEventCreate"));
    EXPECT_EQ(run.log.substr(run.log.size() - 17), "\ncudaSetDevice 0\n");
  }
}

// The read-backs and the sustained copy's fill, as the stand-in saw them:
// each from the buffer last written, in its place.
TEST(DataChecks, ReadBackCallsAndTheSustainedCopysDirections) {
  ToolSetup setup;
  setup.args = {"--size=1", "--loops=1", "--verify", "--duration=1"};
  setup.env = {"STANDIN_TIMES=1,1,1000"};
  const ToolRun run = runTool(setup);
  EXPECT_EQ(run.exitStatus, 1);  // the stand-in keeps no bytes: the Memcpy's read-back differs
  EXPECT_EQ(countLogLines(run.log, "cudaMemcpy host d2 1048576 2"), 1);
  // With real bytes: both measurements, the pattern copied in, the copies
  // alternating across the batch, and the output read back (1024 copies: the last went back to the input).
  setup.env.push_back("STANDIN_MEMORY=1");
  const ToolRun checked = runTool(setup);
  EXPECT_EQ(checked.exitStatus, 0) << checked.err;
  EXPECT_EQ(countLogLines(checked.log, "cudaMemcpy host d2 1048576 2"), 1);
  EXPECT_EQ(countLogLines(checked.log, "cudaMemcpy host d3 1048576 2"), 1);
  EXPECT_EQ(countLogLines(checked.log, "cudaMemcpy d4 host 1048576 1"), 1);
  EXPECT_EQ(countLogLines(checked.log, "cudaMemcpyAsync d5 d4 1048576 3 0"), 512);
  EXPECT_EQ(countLogLines(checked.log, "cudaMemcpyAsync d4 d5 1048576 3 0"), 512);
  EXPECT_EQ(countLogLines(checked.log, "cudaMemcpy host d4 1048576 2"), 1);
  const size_t first = checked.log.find("cudaMemcpyAsync");
  EXPECT_EQ(checked.log.substr(first, 68), "cudaMemcpyAsync d5 d4 1048576 3 0\ncudaMemcpyAsync d4 d5 1048576 3 0\n");
}

// The comparison, called directly: the count, the first difference, and
// the blocks' edges.
TEST(DataChecks, ComparisonCountsEveryDifferingByte) {
  std::vector<unsigned char> expected(3 * kCompareBlock + 5);
  fillCheckPattern(expected.data(), expected.size() / 8 * 8);
  struct Change {
    size_t at;
    unsigned char mask;
  };
  const std::vector<std::vector<Change>> cases = {
      {}, {{0, 1}}, {{kCompareBlock - 1, 0x80}, {kCompareBlock, 1}}, {{3 * kCompareBlock + 4, 0xff}},
      {{5, 1}, {2 * kCompareBlock + 7, 2}, {6, 4}},
  };
  for (const auto &changes : cases) {
    std::vector<unsigned char> read = expected;
    for (const Change &change : changes) {
      read[change.at] = static_cast<unsigned char>(read[change.at] ^ change.mask);
    }
    const ByteDifference found = compareBytes(read.data(), expected.data(), read.size());
    EXPECT_EQ(found.count, changes.size());
    if (!changes.empty()) {
      size_t first = changes[0].at;
      for (const Change &change : changes) {
        first = std::min(first, change.at);
      }
      EXPECT_EQ(found.offset, first);
      EXPECT_EQ(found.read, read[first]);
      EXPECT_EQ(found.expected, expected[first]);
    }
  }
  // The pattern's words, little-endian: word 1 is the factor itself.
  EXPECT_EQ(expected[8], 0x15);
  EXPECT_EQ(expected[15], 0x9e);
  EXPECT_EQ(expected[0], 0x00);
}

}  // namespace
