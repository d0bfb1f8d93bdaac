#include "board/memory_peak.h"

#include <cmath>
#include <cstdio>
#include <limits>

#include "board/decimal.h"
#include "board/memory_clock.h"

const char *const kMemoryControllerChannels = "/sys/kernel/debug/tegra_mc_utils/num_channel";

const char *busWidthSourceName(int source) {
  static const char *const kNames[] = {"", "option", "module", "memory_controller", "runtime"};
  return kNames[source];
}

Known<int> readChannelBusWidth(const char *path, char *textBuffer) {
  uint64_t channels = 0;
  if (!readDecimalFile(path, textBuffer, &channels) || channels < 1 || channels > 4096) {
    return Known<int>();
  }
  return knownAs(static_cast<int>(channels) * 16);
}

BusWidth memoryBusWidth(bool integrated, const Known<int> &option, const Known<int> &module,
                        const Known<int> &channels, const Known<int> &runtime) {
  BusWidth width;
  if (option.known) {
    width.source = kBusWidthOption;
    width.bits = option.value;
  } else if (integrated && module.known) {
    width.source = kBusWidthModule;
    width.bits = module.value;
  } else if (integrated && channels.known) {
    width.source = kBusWidthMemoryController;
    width.bits = channels.value;
  } else if (!integrated && runtime.known) {
    width.source = kBusWidthRuntime;
    width.bits = runtime.value;
  }
  return width;
}

Peak memoryPeak(const BusWidth &busWidth, const Known<uint64_t> &clockHz) {
  Peak peak;
  peak.busWidth = busWidth;
  peak.clockHz = clockHz.known ? clockHz.value : 0;
  peak.known = busWidth.source != kBusWidthUnknown && peak.clockHz != 0;
  if (peak.known) {
    peak.megabytesPerSecond = 2.0 * static_cast<double>(peak.clockHz) * busWidth.bits / 8.0 / 1e6;
  }
  return peak;
}

double memoryEfficiency(double total, const Peak &peak) {
  if (!peak.known) {
    return std::numeric_limits<double>::quiet_NaN();
  }
  return total / peak.megabytesPerSecond;
}

int judgeEfficiency(double total, const Peak &peak, int minPercent, std::string *percentText) {
  if (!peak.known) {
    return kEfficiencyUnknownPeak;
  }
  const double efficiency = memoryEfficiency(total, peak);
  char text[512];
  if (!std::isfinite(efficiency)) {
    snprintf(text, sizeof text, "%.1f", efficiency * 100.0);
    *percentText = text;
    return kEfficiencyBelow;
  }
  bool negative = false;
  const uint64_t thousandths = printedThousandths(efficiency, &negative);
  if (!negative && thousandths >= static_cast<uint64_t>(minPercent) * 10) {
    return kEfficiencyMet;
  }
  *percentText = thousandthsAsPercent(thousandths);
  return kEfficiencyBelow;
}
