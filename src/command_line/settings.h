#ifndef QUILLMERE_COMMAND_LINE_SETTINGS_H
#define QUILLMERE_COMMAND_LINE_SETTINGS_H

#include <cstdint>

#include "command_line/command_line.h"
#include "record/outcomes.h"

struct RunRecord;

// Transfer size without a "size" option: 16 MiB.
const uint32_t kDefaultMemSize = 16u << 20;
// Repetitions without a "loops" option.
const int kDefaultRepetitions = 4000;
// Seconds of each interval of the sustained copy without an "interval" option.
const int kDefaultIntervalS = 10;

// Validates the numeric options in their order (size, loops, min-total,
// min-efficiency, bus-width, duration, interval, max-drop, host-loops,
// sweep-loops, then interval and max-drop without duration, host-loops
// without host-copies and sweep-loops without sweep, then max-load,
// wait-idle and wait-idle without max-load, then cpu-seconds, cpu-threads
// and each without cpu-copies, then the two formats) into the
// record, each as it passes. Without "size", a default of 16 MiB that fits
// the record's L2 becomes the size past the cache. Returns kRunOk or, after
// printing why, the status of the first option rejected.
int readRunOptions(const CommandLine &line, RunRecord *record);

// The report format the command line asks for: JSON or Prometheus when
// exactly one of the two is given and "help" is not, else the text report.
int requestedReportFormat(const CommandLine &line);

// Prints a rejected option's message (in the text report) and records it.
void rejectOption(const char *message);

#endif
