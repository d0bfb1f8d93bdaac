#include "sampling/board_load.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "board/decimal.h"

const LoadFiles kBoardLoadFiles = {
    // R36 has the first, R32 the second, R35 both; t264 neither.
    {"/sys/devices/platform/gpu.0/load", "/sys/devices/gpu.0/load"},
    {
        // t186, t194, t234 up to R35; readable by everyone.
        "/sys/kernel/actmon_avg_activity/mc_all",
        // t234 on R36; root.
        "/sys/kernel/debug/cactmon/mc_all",
        // t264; root.
        "/sys/kernel/debug/bpmp/debug/actmon/mc_all_avg_activity",
    },
    &kBoardClockFiles,
};

namespace {

// Fifteen digits at most: beyond any load or activity.
const size_t kMostDigits = 15;

// The first file whose first line is digits and a newline, read into *value.
template <size_t kCount>
bool readFirstAnswer(const char *const (&paths)[kCount], char *textBuffer, uint64_t *value) {
  for (const char *path : paths) {
    const char *at = textBuffer;
    if (readFirstLine(path, textBuffer) && readDigits(&at, kMostDigits, value) && strcmp(at, "\n") == 0) {
      return true;
    }
  }
  return false;
}

// A percentage in tenths, as "%.1f" prints it.
long long printedTenths(double percent) {
  char text[64];
  snprintf(text, sizeof text, "%.1f", percent);
  const char *point = strchr(text, '.');
  return point == nullptr ? 0 : strtoll(text, nullptr, 10) * 10 + (point[1] - '0');
}

}  // namespace

LoadReading readBoardLoad(const LoadFiles &files, char *textBuffer) {
  LoadReading reading;
  uint64_t perMille = 0;
  if (readFirstAnswer(files.gpu, textBuffer, &perMille)) {
    reading.gpuTenths = knownAs(static_cast<long long>(perMille));
  }
  uint64_t activityKhz = 0;
  if (!readFirstAnswer(files.memory, textBuffer, &activityKhz)) {
    return reading;
  }
  uint64_t rateHz = 0;
  if (readClockRate(*files.clock, textBuffer, &rateHz) != nullptr && rateHz != 0) {
    const double percent = 100.0 * static_cast<double>(activityKhz) / (static_cast<double>(rateHz) / 1000.0);
    reading.memoryTenths = knownAs(printedTenths(percent));
  }
  return reading;
}

std::string loadText(const Known<long long> &tenths) {
  if (!tenths.known) {
    return "unknown";
  }
  char text[64];
  snprintf(text, sizeof text, "%lld.%lld %%", tenths.value / 10, tenths.value % 10);
  return text;
}

bool loadAbove(const Known<long long> &tenths, int percent) {
  return tenths.known && tenths.value > 10LL * percent;
}

bool readingAbove(const LoadReading &reading, int percent) {
  return loadAbove(reading.gpuTenths, percent) || loadAbove(reading.memoryTenths, percent);
}
