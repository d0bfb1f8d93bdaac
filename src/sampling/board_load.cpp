#include "sampling/board_load.h"

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

}  // namespace

LoadReading readBoardLoad(const LoadFiles &files, char *textBuffer) {
  LoadReading reading;
  uint64_t perMille = 0;
  if (readFirstAnswer(files.gpu, textBuffer, &perMille)) {
    reading.gpuTenths = knownAs(perMille);
  }
  uint64_t activityKhz = 0;
  if (!readFirstAnswer(files.memory, textBuffer, &activityKhz)) {
    return reading;
  }
  uint64_t rateHz = 0;
  if (readClockRate(*files.clock, textBuffer, &rateHz) != nullptr && rateHz != 0) {
    const double percent = 100.0 * static_cast<double>(activityKhz) / (static_cast<double>(rateHz) / 1000.0);
    bool negative = false;
    reading.memoryTenths = knownAs(printedDigits(percent, 1, &negative));
  }
  return reading;
}

std::string loadText(const Known<uint64_t> &tenths) {
  return tenths.known ? thousandthsAsPercent(tenths.value) + " %" : "unknown";
}

bool loadAbove(const Known<uint64_t> &tenths, int percent) {
  return tenths.known && tenths.value > 10ULL * static_cast<uint64_t>(percent);
}

bool readingAbove(const LoadReading &reading, int percent) {
  return loadAbove(reading.gpuTenths, percent) || loadAbove(reading.memoryTenths, percent);
}
