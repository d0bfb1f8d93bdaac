#include "board/clock_state.h"

#include <cstring>

#include "board/memory_clock.h"

const ClockStateFiles kBoardClockStateFiles = {
    "/sys/kernel/debug/bpmp/debug/clk/emc/max_rate",
    "/sys/class/devfreq/bwmgr/available_frequencies",
    "/sys/kernel/debug/tegra_bwmgr/emc_max_rate",
    "/sys/kernel/nvpmodel_emc_cap/emc_iso_cap",
    "/sys/class/devfreq/bwmgr/max_freq",
    "/sys/kernel/debug/bpmp/debug/clk/emc/mrq_rate_locked",
    "/sys/kernel/debug/clk/override.emc/clk_state",
    "/sys/class/devfreq/bwmgr/min_freq",
};

namespace {

// The largest of the blank-separated rates on the file's first line; 0 when
// there are none.
uint64_t largestListedRate(const char *path, char *textBuffer) {
  uint64_t largest = 0;
  if (!readFirstLine(path, textBuffer)) {
    return largest;
  }
  for (const char *at = textBuffer; *at != '\0';) {
    at += strspn(at, " \t\n");
    const uint64_t rate = parseRate(at);
    if (rate > largest) {
      largest = rate;
    }
    at += strcspn(at, " \t\n");
  }
  return largest;
}

Known<uint64_t> maximumRate(const ClockStateFiles &files, char *textBuffer) {
  uint64_t rate = 0;
  if (readDecimalFile(files.firmwareMax, textBuffer, &rate) && rate != 0) {
    return knownAs(rate);
  }
  rate = largestListedRate(files.availableFrequencies, textBuffer);
  if (rate != 0) {
    return knownAs(rate);
  }
  if (readDecimalFile(files.bandwidthManagerMax, textBuffer, &rate) && rate != 0) {
    return knownAs(rate);
  }
  return Known<uint64_t>();
}

Known<uint64_t> powerModeCap(const ClockStateFiles &files, char *textBuffer, const Known<uint64_t> &maxHz) {
  uint64_t cap = 0;
  if (!readDecimalFile(files.powerModeCap, textBuffer, &cap) &&
      !readDecimalFile(files.devfreqMax, textBuffer, &cap)) {
    return Known<uint64_t>();
  }
  // A cap of 0 is none, and one at the maximum does not hold the clock back.
  if (cap == 0 || (maxHz.known && cap >= maxHz.value)) {
    return Known<uint64_t>();
  }
  return knownAs(cap);
}

Known<bool> lockedRate(const ClockStateFiles &files, char *textBuffer) {
  uint64_t flag = 0;
  if (readDecimalFile(files.firmwareLocked, textBuffer, &flag) ||
      readDecimalFile(files.overrideState, textBuffer, &flag)) {
    return knownAs(flag != 0);
  }
  uint64_t least = 0;
  uint64_t most = 0;
  if (readDecimalFile(files.devfreqMin, textBuffer, &least) && readDecimalFile(files.devfreqMax, textBuffer, &most)) {
    return knownAs(least == most);
  }
  return Known<bool>();
}

}  // namespace

ClockState readClockState(const ClockStateFiles &files, char *textBuffer) {
  ClockState state;
  state.maxHz = maximumRate(files, textBuffer);
  state.capHz = powerModeCap(files, textBuffer, state.maxHz);
  state.locked = lockedRate(files, textBuffer);
  return state;
}
