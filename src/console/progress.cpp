#include "console/progress.h"

#include <sys/ioctl.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "console/stop_signals.h"
#include "record/run_record.h"
#include "timing/rate.h"

long progressCountdown = LONG_MAX;

namespace {

const long kNeverMs = -1;
const long kFirstDrawMs = 100;  // into the measurements
const long kRedrawMs = 100;     // at most ten drawings a second
const long kCheckMs = 10;       // aim to look at the clock this often
const long kMostBetweenChecks = 1L << 20;

struct Progress {
  bool active = false;        // standard error is a terminal
  bool plain = false;         // TERM unset or dumb: no escape sequences
  char name[64] = {};        // a copy: the caller's may not outlive the part
  long long repetitions = 0;  // 0: the part runs for a time
  double bytes = 0.0;
  long startMs = kNeverMs;    // the first measurement's start
  long lastDrawMs = kNeverMs;
  long lastCheckMs = 0;
  long betweenChecks = 1;     // repetitions between two looks at the clock
  size_t drawn = 0;           // characters of the line on the terminal
};

Progress progress;

// A part's line in the machine reports, or in a phase without one.
void noLine() {}

long nowMs() {
  struct timespec now = {};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<long>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

// The terminal's width, 80 when it cannot tell.
size_t terminalWidth() {
  struct winsize size = {};
  if (ioctl(STDERR_FILENO, TIOCGWINSZ, &size) != 0 || size.ws_col == 0) {
    return 80;
  }
  return size.ws_col;
}

// Draws the line's text over the last drawing.
void draw(const char *line) {
  // One column short of the width, so that the line never wraps.
  size_t length = std::min(strlen(line), terminalWidth() - 1);
  std::string text = "\r" + std::string(line, length);
  if (progress.plain) {
    if (progress.drawn > length) {
      text.append(progress.drawn - length, ' ');
    }
  } else {
    text += "\033[K";
  }
  fwrite(text.data(), 1, text.size(), stderr);
  progress.drawn = length;
}

// True when a drawing is due at now.
bool drawingDue(long now) {
  return progress.lastDrawMs == kNeverMs ? now - progress.startMs >= kFirstDrawMs
                                         : now - progress.lastDrawMs >= kRedrawMs;
}

void start() {
  if (progress.startMs == kNeverMs) {
    progress.active = isatty(STDERR_FILENO) != 0;
    const char *term = getenv("TERM");
    progress.plain = term == nullptr || *term == '\0' || strcmp(term, "dumb") == 0;
    progress.startMs = nowMs();
    progress.lastCheckMs = progress.startMs;
  }
}

}  // namespace

void beginProgress(const char *name, long long repetitions, double bytes) {
  start();
  snprintf(progress.name, sizeof progress.name, "%s", name);
  progress.repetitions = repetitions;
  progress.bytes = bytes;
  // A part that runs for a time has long repetitions (batches): it looks at
  // every one.
  progressCountdown = repetitions <= 0 ? 1 : progress.betweenChecks;
}

void drawProgressText(const char *line) {
  start();
  if (progress.active) {
    draw(line);
    progress.lastDrawMs = nowMs();
  }
}

bool checkProgress(const TimingStats &stats) {
  if (progress.repetitions < 0) {
    progressCountdown = 1;
    return stopSignal != 0;
  }
  if (progress.repetitions == 0) {
    progressCountdown = 1;
    if (!progress.active) {
      return stopSignal != 0;
    }
    const long now = nowMs();
    if (drawingDue(now)) {
      char line[512];
      snprintf(line, sizeof line, "%s, total %.1f MB/s", progress.name,
               progress.bytes * static_cast<double>(stats.count) / stats.sum / 1000.0);
      draw(line);
      progress.lastDrawMs = now;
    }
    return stopSignal != 0;
  }
  const long now = nowMs();
  // Looks at the clock about every kCheckMs, however long a repetition takes.
  const long sinceCheck = now - progress.lastCheckMs;
  if (sinceCheck < kCheckMs / 2) {
    progress.betweenChecks = std::min(progress.betweenChecks * 2, kMostBetweenChecks);
  } else if (sinceCheck > 2 * kCheckMs) {
    progress.betweenChecks = std::max(progress.betweenChecks / 2, 1L);
  }
  progress.lastCheckMs = now;
  progressCountdown = progress.betweenChecks;

  if (progress.active && drawingDue(now)) {
    char line[512];
    snprintf(line, sizeof line, "%s %lld/%lld, best %.1f MB/s", progress.name, stats.count, progress.repetitions,
             static_cast<double>(megabytesPerSecond(progress.bytes, stats.shortest)));
    draw(line);
    progress.lastDrawMs = now;
  }
  return stopSignal != 0;
}

void clearProgress() {
  if (progress.drawn == 0) {
    return;
  }
  if (progress.plain) {
    const std::string text = "\r" + std::string(progress.drawn, ' ') + "\r";
    fwrite(text.data(), 1, text.size(), stderr);
  } else {
    fputs("\r\033[K", stderr);
  }
  progress.drawn = 0;
}

PhaseObserver consoleObserver(void (*printPart)()) {
  return {beginProgress,
          checkProgress,
          &progressCountdown,
          &stopSignal,
          textReport() && printPart != nullptr ? printPart : noLine,
          drawProgressText};
}
