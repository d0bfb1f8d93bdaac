#ifndef QUILLMERE_TESTS_TOOL_RUNNER_H
#define QUILLMERE_TESTS_TOOL_RUNNER_H

#include <sys/types.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

// What one run of the tool left behind.
struct ToolRun {
  std::string out;  // with a terminal: what the terminal got from both streams
  std::string err;
  int exitStatus;   // -1 when the tool did not exit normally
  int termSignal;   // the signal that ended it, 0 when it exited
  std::string log;  // the stand-in's call log
  std::string opened;  // the board's files the tool opened, a line each
};

// Something done to a running tool once it has opened a board file so many
// times: a file under the test's root rewritten, a signal sent.
struct Trigger {
  std::string watched;  // the board path as the tool names it
  int opens;            // after this many opens of it
  std::string file;     // relative to the test's root; empty: none
  std::string text;
  int signal;           // 0: none
};

// How to run it.
struct ToolSetup {
  std::vector<std::string> args;
  std::vector<std::string> env;  // NAME=value, added to the stand-in's defaults; NAME unsets it
  bool standIn = true;           // false: the real runtime the tool was linked with
  bool failAlloc = false;        // preload the allocation-failure library
  std::string debugfsRoot;       // the clock files are read from here (empty: from an empty folder)
  std::string stdoutPath;        // non-empty: standard output goes here, uncaptured
  int terminalColumns = 0;       // non-zero: both streams go to a terminal this wide, read into out
  bool terminal = false;         // true: a terminal even when it reports 0 columns
  bool oneLog = false;           // both streams to one file, as a log has them, read into out
  std::vector<int> ignoredSignals;  // the tool starts with these ignored
  std::vector<Trigger> triggers;    // in order, each once
  std::function<void(pid_t)> whileRunning;  // called with the tool's process id once it runs
};

// True when the tool and the tests are built with AddressSanitizer, whose
// allocator the allocation-failure library cannot stand in front of.
bool builtWithAddressSanitizer();

// True when they are built with ThreadSanitizer, whose interceptors in the
// tool come before any preloaded library's.
bool builtWithThreadSanitizer();

// Runs the built tool with the stand-in runtime (or the real one) and returns
// its output streams, exit status and the stand-in's call log.
ToolRun runTool(ToolSetup setup);

// Same, with arguments only.
ToolRun runTool(const std::vector<std::string> &args);

// The tool's output up to the device line, for the stand-in's device.
std::string bannerAndDevice();

// Number of log lines that are prefix or start with prefix and a blank.
int countLogLines(const std::string &log, const std::string &prefix);

// A fresh empty directory for the calling test.
std::string makeTempDir();

// Removes a directory made by makeTempDir, with all it holds.
void removeTree(const std::string &dir);

// Writes text to path.
void writeFile(const std::string &path, const std::string &text);

// A top-level member's value as the JSON report writes it (two-blank
// indent); "<missing>" when there is none.
std::string member(const std::string &json, const std::string &name);

// A fresh folder with the files (path under it, text) laid out, their
// folders made; a path "@<name>" lays out the board file tree
// tests/fixtures/<name>, which the CI stages use too.
std::string layOut(const std::vector<std::pair<std::string, std::string>> &files);

#endif
