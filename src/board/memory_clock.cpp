#include "board/memory_clock.h"

#include <cstdio>
#include <cstring>

#include "board/decimal.h"

const ClockFiles kBoardClockFiles = {
    {
        // The measured rate, where the kernel has one for the EMC clock.
        "/sys/kernel/debug/clk/emc/pto_rate",
        // t186, t194, t234 (R32 to R36): the firmware's (BPMP) EMC clock.
        "/sys/kernel/debug/bpmp/debug/clk/emc/rate",
        // t264 (R38): the bandwidth manager's devfreq device; no root needed.
        "/sys/class/devfreq/bwmgr/cur_freq",
        // t210, and any kernel whose clock framework has an emc clock.
        "/sys/kernel/debug/clk/emc/clk_rate",
    },
    "/sys/kernel/debug/clk/emc/clk_rate",
    {"/sys/kernel/debug/bpmp/debug/emc/tables_info", "/sys/kernel/debug/tegra_emc/tables_info"},
};

bool readFirstLine(const char *path, char *textBuffer) {
  FILE *file = fopen(path, "r");
  if (file == nullptr) {
    return false;
  }
  const bool haveLine = fgets(textBuffer, static_cast<int>(kClockTextBufferSize - 1), file) != nullptr;
  fclose(file);
  return haveLine;
}

bool readDecimalFile(const char *path, char *textBuffer, uint64_t *value) {
  if (!readFirstLine(path, textBuffer)) {
    return false;
  }
  *value = parseRate(textBuffer);
  return true;
}

namespace {

FILE *openClockTable(const ClockFiles &files) {
  FILE *file = fopen(files.tables[0], "r");
  if (file == nullptr) {
    file = fopen(files.tables[1], "r");
  }
  return file;
}

}  // namespace

uint64_t parseRate(const char *text) {
  bool negative = false;
  const uint64_t value = decimalPrefix(text, &negative);
  // A negative rate means nothing; it must not wrap to a huge one.
  return negative ? 0 : value;
}

bool findClockTag(const char *text, size_t textLength, const char *key, char *tag) {
  const void *nul = memchr(text, '\0', textLength);
  const size_t length =
      nul != nullptr ? static_cast<size_t>(static_cast<const char *>(nul) - text) : textLength;
  const size_t keyLength = strlen(key);
  const size_t skip = keyLength + kClockTagOffset;
  if (keyLength == 0 || length < skip + kClockTagLength) {
    return false;
  }
  // The key is plain text: the first occurrence wins, even inside a longer number.
  for (size_t at = 0; at + keyLength <= length; at++) {
    if (memcmp(text + at, key, keyLength) == 0) {
      if (at + skip + kClockTagLength > length) {
        return false;
      }
      memcpy(tag, text + at + skip, kClockTagLength);
      tag[kClockTagLength] = '\0';
      return true;
    }
  }
  return false;
}

const char *readClockRate(const ClockFiles &files, char *textBuffer, uint64_t *rateHz) {
  for (const char *path : files.rates) {
    if (readDecimalFile(path, textBuffer, rateHz)) {
      return path;
    }
  }
  return nullptr;
}

void readMemoryClock(const ClockFiles &files, char *textBuffer, char *scratch, MemoryClock *clock) {
  *clock = MemoryClock();
  clock->rateSource = readClockRate(files, textBuffer, &clock->rateHz);

  uint64_t clockRate = 0;
  clock->haveClockRate = readDecimalFile(files.clkRate, textBuffer, &clockRate);
  if (!clock->haveClockRate) {
    return;
  }
  FILE *table = openClockTable(files);
  if (table == nullptr) {
    return;
  }
  const size_t length = fread(textBuffer, 1, kClockTextBufferSize - 1, table);
  fclose(table);
  textBuffer[length] = '\0';

  snprintf(scratch, kClockScratchSize, "%llu", static_cast<unsigned long long>(clockRate / 1000u));
  clock->haveTag = findClockTag(textBuffer, length, scratch, clock->tag);
}

void printMemoryClock(const MemoryClock &clock) {
  if (clock.rateSource != nullptr) {
    printf("RAM:\t%.1f MHz", static_cast<double>(static_cast<float>(clock.rateHz) / 1000000.0f));
  }
  // Without clk_rate the RAM text runs straight into the figures' blank line.
  if (!clock.haveClockRate) {
    return;
  }
  if (clock.haveTag) {
    printf(" (cfg: %s)\n", clock.tag);
  } else {
    printf("\n");
  }
}
