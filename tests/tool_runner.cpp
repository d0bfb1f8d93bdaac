#include "tool_runner.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <ftw.h>
#include <pty.h>
#include <termios.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <iterator>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>

namespace {

std::string readFile(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

bool startsWith(const std::string &text, const std::string &prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

// The test's own environment without anything that scripts a run, or that
// chooses which GPU the real runtime calls device 0.
std::vector<std::string> baseEnvironment() {
  std::vector<std::string> env;
  for (char **entry = environ; *entry != nullptr; entry++) {
    const std::string text = *entry;
    if (!startsWith(text, "STANDIN_") && !startsWith(text, "FAILALLOC_") &&
        !startsWith(text, "DEBUGFS_ROOT=") && !startsWith(text, "DEBUGFS_LOG=") &&
        !startsWith(text, "CUDA_VISIBLE_DEVICES=") &&
        !startsWith(text, "LD_LIBRARY_PATH=") && !startsWith(text, "LD_PRELOAD=")) {
      env.push_back(text);
    }
  }
  return env;
}

std::vector<char *> pointers(std::vector<std::string> &texts) {
  std::vector<char *> result;
  result.reserve(texts.size() + 1);
  std::transform(texts.begin(), texts.end(), std::back_inserter(result),
                 [](std::string &text) { return &text[0]; });
  result.push_back(nullptr);
  return result;
}

// How many lines of the opened-files log name the path.
int opensOf(const std::string &log, const std::string &path) {
  int count = 0;
  std::istringstream lines(log);
  for (std::string line; std::getline(lines, line);) {
    count += line == path ? 1 : 0;
  }
  return count;
}

// Carries out the triggers, in order, as the tool's opens reach them; ends
// when they are done or the tool has.
void watchTriggers(const std::vector<Trigger> &triggers, const std::string &openedPath, const std::string &root,
                   pid_t pid, const std::atomic<bool> &ended) {
  for (const Trigger &trigger : triggers) {
    while (!ended && opensOf(readFile(openedPath), trigger.watched) < trigger.opens) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (ended) {
      return;
    }
    if (!trigger.file.empty()) {
      writeFile(root + "/" + trigger.file, trigger.text);
    }
    if (trigger.signal != 0) {
      kill(pid, trigger.signal);
    }
  }
}

}  // namespace

bool builtWithThreadSanitizer() {
#if defined(__SANITIZE_THREAD__)
  return true;
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
  return true;
#else
  return false;
#endif
#else
  return false;
#endif
}

bool builtWithAddressSanitizer() {
#if defined(__SANITIZE_ADDRESS__)
  return true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
  return true;
#else
  return false;
#endif
#else
  return false;
#endif
}

std::string makeTempDir() {
  const char *base = getenv("TMPDIR");
  std::string pattern = std::string(base != nullptr ? base : "/tmp") + "/quillmere-test-XXXXXX";
  if (mkdtemp(&pattern[0]) == nullptr) {
    throw std::runtime_error("mkdtemp failed");
  }
  return pattern;
}

void removeTree(const std::string &dir) {
  nftw(dir.c_str(),
       [](const char *path, const struct stat *, int, struct FTW *) { return remove(path); }, 8,
       FTW_DEPTH | FTW_PHYS);
}

void writeFile(const std::string &path, const std::string &text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
}

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

std::string layOut(const std::vector<std::pair<std::string, std::string>> &files) {
  std::string root = makeTempDir();
  for (const auto &file : files) {
    if (file.first[0] == '@') {
      const std::string copy = "cp -R '" + std::string(QUILLMERE_FIXTURES) + "/" + file.first.substr(1) + "/.' '" + root + "/'";
      EXPECT_EQ(system(copy.c_str()), 0) << copy;
      continue;
    }
    for (size_t slash = file.first.find('/'); slash != std::string::npos; slash = file.first.find('/', slash + 1)) {
      mkdir((root + "/" + file.first.substr(0, slash)).c_str(), 0700);
    }
    writeFile(root + "/" + file.first, file.second);
  }
  return root;
}

ToolRun runTool(ToolSetup setup) {
  const std::string dir = makeTempDir();
  const std::string outPath = dir + "/out";
  const std::string errPath = dir + "/err";
  const std::string logPath = dir + "/log";
  const std::string openedPath = dir + "/opened";

  std::vector<std::string> argv;
  // Under a cross build each binary runs through the emulator.
  std::istringstream emulator(QUILLMERE_TEST_EMULATOR);
  for (std::string word; emulator >> word;) {
    argv.push_back(word);
  }
  argv.push_back(std::string(QUILLMERE_TOOL));
  argv.insert(argv.end(), setup.args.begin(), setup.args.end());

  std::vector<std::string> env = baseEnvironment();
  if (setup.standIn) {
    env.push_back("LD_LIBRARY_PATH=" + std::string(QUILLMERE_STANDIN_DIR));
    env.push_back("STANDIN_LOG=" + logPath);
  }
  // The machine's own clock files are never read: without files of the
  // test's, an empty folder stands in for them.
  std::string debugfsRoot = setup.debugfsRoot;
  if (debugfsRoot.empty()) {
    debugfsRoot = dir + "/no-clock-files";
    mkdir(debugfsRoot.c_str(), 0700);
  }
  env.push_back("DEBUGFS_ROOT=" + debugfsRoot);
  env.push_back("DEBUGFS_LOG=" + openedPath);
  std::string preload = std::string(QUILLMERE_DEBUGFS_REDIRECT) + " " + QUILLMERE_HOSTCLOCK;
  if (setup.failAlloc) {
    preload += std::string(" ") + QUILLMERE_FAILALLOC;
  }
  env.push_back("LD_PRELOAD=" + preload);
  // A setting of the test's own replaces the inherited one; a bare NAME
  // removes it.
  for (const std::string &setting : setup.env) {
    const bool bare = setting.find('=') == std::string::npos;
    const std::string name = bare ? setting + "=" : setting.substr(0, setting.find('=') + 1);
    env.erase(std::remove_if(env.begin(), env.end(),
                             [&name](const std::string &entry) { return startsWith(entry, name); }),
              env.end());
    if (!bare) {
      env.push_back(setting);
    }
  }
  if (builtWithAddressSanitizer()) {
    // The preloads come before the sanitizer's runtime; they only pass calls on.
    const auto options = std::find_if(env.begin(), env.end(), [](const std::string &entry) {
      return startsWith(entry, "ASAN_OPTIONS=");
    });
    if (options != env.end()) {
      *options += ":verify_asan_link_order=0";
    } else {
      env.push_back("ASAN_OPTIONS=verify_asan_link_order=0");
    }
  }

  if (argv.front() != QUILLMERE_TOOL) {
    // The emulator's own loader must not see the target's libraries: hand
    // them to the emulated process alone.
    for (auto entry = env.begin(); entry != env.end();) {
      if (startsWith(*entry, "LD_PRELOAD=") || startsWith(*entry, "LD_LIBRARY_PATH=")) {
        argv.insert(argv.begin() + 1, {"-E", *entry});
        entry = env.erase(entry);
      } else {
        ++entry;
      }
    }
  }

  std::vector<char *> argvPointers = pointers(argv);
  std::vector<char *> envPointers = pointers(env);
  int terminal = -1;
  int terminalSide = -1;
  if (setup.terminal || setup.terminalColumns != 0) {
    struct winsize size = {};
    size.ws_col = static_cast<unsigned short>(setup.terminalColumns);
    size.ws_row = 24;
    struct termios raw = {};
    cfmakeraw(&raw);
    if (openpty(&terminal, &terminalSide, nullptr, &raw, &size) != 0) {
      throw std::runtime_error("openpty failed");
    }
  }
  const pid_t pid = fork();
  if (pid == 0) {
    const std::string &stdoutPath = setup.stdoutPath.empty() ? outPath : setup.stdoutPath;
    int out = terminalSide;
    int err = terminalSide;
    if (terminalSide < 0) {
      out = open(stdoutPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      err = setup.oneLog ? out : open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    }
    for (const int ignored : setup.ignoredSignals) {
      signal(ignored, SIG_IGN);
    }
    const int in = open("/dev/null", O_RDONLY);
    if (out < 0 || err < 0 || in < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0 || dup2(in, 0) < 0) {
      _exit(127);
    }
    if (terminal >= 0) {
      close(terminal);
      close(terminalSide);
    }
    environ = envPointers.data();
    execvp(argvPointers[0], argvPointers.data());
    _exit(127);
  }
  std::atomic<bool> ended(false);
  std::thread watcher;
  if (!setup.triggers.empty() && pid > 0) {
    watcher = std::thread(watchTriggers, std::cref(setup.triggers), openedPath, debugfsRoot, pid, std::cref(ended));
  }
  if (setup.whileRunning && pid > 0) {
    setup.whileRunning(pid);
  }
  std::string onTerminal;
  if (terminal >= 0) {
    close(terminalSide);
    // Read until the last writer has gone (EIO), so nothing waits on a full terminal.
    char buffer[4096];
    for (ssize_t got; (got = read(terminal, buffer, sizeof buffer)) > 0;) {
      onTerminal.append(buffer, static_cast<size_t>(got));
    }
    close(terminal);
  }
  int status = 0;
  const bool waited = pid > 0 && waitpid(pid, &status, 0) == pid;
  ended = true;
  if (watcher.joinable()) {
    watcher.join();
  }
  if (!waited) {
    throw std::runtime_error("could not run the tool");
  }

  ToolRun run;
  run.out = terminal >= 0 ? onTerminal : readFile(outPath);
  run.err = readFile(errPath);
  run.log = readFile(logPath);
  run.opened = readFile(openedPath);
  run.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  run.termSignal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
  removeTree(dir);
  return run;
}

ToolRun runTool(const std::vector<std::string> &args) {
  ToolSetup setup;
  setup.args = args;
  return runTool(setup);
}

std::string bannerAndDevice() {
  return "Memory Bandwidth Test\nDevice:\tStand-in GPU\n";
}

int countLogLines(const std::string &log, const std::string &prefix) {
  int count = 0;
  std::istringstream lines(log);
  for (std::string line; std::getline(lines, line);) {
    if (line == prefix || startsWith(line, prefix + " ")) {
      count++;
    }
  }
  return count;
}
