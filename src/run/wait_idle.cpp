#include "run/wait_idle.h"

#include <time.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "console/stop_signals.h"
#include "console/progress.h"

namespace {

// The load files' lines are read here.
char textBuffer[kClockTextBufferSize];

void takeReading(LoadRecord *load) {
  load->reading = readBoardLoad(kBoardLoadFiles, textBuffer);
  if (load->maxPercent.known && readingAbove(load->reading, load->maxPercent.value)) {
    load->lastAbove = load->reading;
  }
}

// Sleeps until the instant; false when a stop signal ended the sleep.
bool sleepUntil(const struct timespec &instant) {
  if (stopSignal != 0) {
    return false;
  }
  while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &instant, nullptr) == EINTR) {
    if (stopSignal != 0) {
      return false;
    }
  }
  return stopSignal == 0;
}

void drawWaiting(const LoadReading &reading, int secondsLeft) {
  char line[256];
  snprintf(line, sizeof line, "Waiting for an idle board: GPU %s, memory %s, %d s left",
           loadText(reading.gpuTenths).c_str(), loadText(reading.memoryTenths).c_str(), secondsLeft);
  drawProgressText(line);
}

}  // namespace

int awaitIdleBoard(LoadRecord *load) {
  takeReading(load);
  load->read = true;
  if (!load->maxPercent.known || !readingAbove(load->reading, load->maxPercent.value)) {
    return kBoardIdle;
  }
  struct timespec first = {};
  clock_gettime(CLOCK_MONOTONIC, &first);
  bool calmBefore = false;
  for (int second = 1; second <= load->waitLimitS; second++) {
    drawWaiting(load->reading, load->waitLimitS - second + 1);
    struct timespec next = first;
    next.tv_sec += second;
    if (!sleepUntil(next)) {
      return kWaitStopped;
    }
    takeReading(load);
    load->waitedS = second;
    const bool calm = !readingAbove(load->reading, load->maxPercent.value);
    // A settling pair: one calm look right after a burst is not enough.
    if (calm && calmBefore) {
      return kBoardIdle;
    }
    calmBefore = calm;
  }
  return kBoardBusy;
}

void printLoadLine(const LoadRecord &load, bool afterRamText) {
  if (afterRamText) {
    printf("\n");
  }
  printf("Load:\tGPU %s, memory %s", loadText(load.reading.gpuTenths).c_str(),
         loadText(load.reading.memoryTenths).c_str());
  if (load.waitedS > 0) {
    printf(" (waited %d s)", load.waitedS);
  }
  printf("\n");
}

std::string busyMessage(const LoadRecord &load) {
  char text[256];
  snprintf(text, sizeof text, "the board stayed busy for %d s: GPU load %s, memory load %s, above the allowed %d %%",
           load.waitLimitS, loadText(load.lastAbove.gpuTenths).c_str(), loadText(load.lastAbove.memoryTenths).c_str(),
           load.maxPercent.value);
  return text;
}
