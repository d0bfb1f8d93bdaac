#ifndef QUILLMERE_BOARD_MEMORY_PEAK_H
#define QUILLMERE_BOARD_MEMORY_PEAK_H

#include <cstdint>
#include <string>

#include "board/known.h"

// Where the bus width of the memory's peak came from.
enum BusWidthSource {
  kBusWidthUnknown,
  kBusWidthOption,            // --bus-width
  kBusWidthModule,            // the module table, by the device tree
  kBusWidthMemoryController,  // the memory controller's channel count
  kBusWidthRuntime,           // the runtime's attribute, for a discrete device
};

struct BusWidth {
  int source = kBusWidthUnknown;
  int bits = 0;
};

// The reports' name of a source ("option", "module", ...).
const char *busWidthSourceName(int source);

// Where the memory controller tells its channel count (t234 on R35-R36,
// t264 on R38; root only).
extern const char *const kMemoryControllerChannels;

// The bus width of a channel count read from the file: 16 bits a channel,
// unknown for a count outside 1 to 4096 or a file that does not read.
Known<int> readChannelBusWidth(const char *path, char *textBuffer);

// The width of the memory's peak. An integrated device's memory is the
// board's: the option, else the module, else the channel count; the
// runtime's answer is wrong on those boards and never used. A discrete
// device takes the option, else the runtime's width.
BusWidth memoryBusWidth(bool integrated, const Known<int> &option, const Known<int> &module,
                        const Known<int> &channels, const Known<int> &runtime);

// The memory's theoretical peak: 2 x clock x bus width / 8.
struct Peak {
  bool known = false;  // false without a bus width or a clock
  double megabytesPerSecond = 0.0;
  uint64_t clockHz = 0;
  BusWidth busWidth;
};

// The peak for a width and a clock; unknown without either, or with a
// clock of 0.
Peak memoryPeak(const BusWidth &busWidth, const Known<uint64_t> &clockHz);

// The copy's Total over the peak; not a number without a peak.
double memoryEfficiency(double total, const Peak &peak);

// How an efficiency compares with a least percentage, as the reports give
// it: in thousandths (its three decimals).
enum EfficiencyVerdict { kEfficiencyMet, kEfficiencyBelow, kEfficiencyUnknownPeak };

// Judges the Total against minPercent of the peak: unknown without a peak,
// below when the efficiency, in thousandths, is below minPercent x 10 or is
// not a finite number. *percentText gets the efficiency in percent, one
// decimal, for the message.
int judgeEfficiency(double total, const Peak &peak, int minPercent, std::string *percentText);

#endif
