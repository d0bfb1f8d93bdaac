#ifndef QUILLMERE_SETTINGS_H
#define QUILLMERE_SETTINGS_H

#include <cstdint>

#include "command_line/command_line.h"

struct RunRecord;

// Run status: a completed run or the usage text.
const int kRunOk = 0;
// Run status: the "size" option was rejected.
const int kRunBadSize = -4000;
// Run status: the "loops" option was rejected.
const int kRunBadLoops = -9000;

// Run status: the "min-total" option was rejected.
const int kRunBadMinTotal = -7000;
// Run status: the "min-efficiency" option was rejected.
const int kRunBadMinEfficiency = -7500;
// Run status: the "bus-width" option was rejected.
const int kRunBadBusWidth = -7600;
// Run status: the "duration" option was rejected.
const int kRunBadDuration = -7700;
// Run status: the "interval" option was rejected, or given without "duration".
const int kRunBadInterval = -7710;
// Run status: the "max-drop" option was rejected, or given without "duration".
const int kRunBadMaxDrop = -7720;
// Run status: the "host-loops" option was rejected, or given without "host-copies".
const int kRunBadHostLoops = -7730;
// Run status: the "max-load" option was rejected.
const int kRunBadMaxLoad = -7740;
// Run status: the "wait-idle" option was rejected, or given without "max-load".
const int kRunBadWaitIdle = -7750;
// Run status: "json" and "prometheus" were both given.
const int kRunBadFormats = -8000;
// Run status: a run that failed a check of its figures: its Memcpy Total
// fell below "min-total", or below "min-efficiency" of the memory's peak,
// or its peak is unknown; its sustained Total fell more than "max-drop";
// or a timer gave a batch or host copy time no memory could.
const int kRunBelowMinimum = 1;

// Run status: the board stayed busy longer than "wait-idle": nothing was
// measured. The exit status too (sysexits' temporary failure).
const int kRunBusy = 75;
// Run status: a signal stopped the run; the process ends by it.
const int kRunInterrupted = 2;

// Transfer size without a "size" option: 16 MiB.
const uint32_t kDefaultMemSize = 16u << 20;
// Repetitions without a "loops" option.
const int kDefaultRepetitions = 4000;
// Seconds of each interval of the sustained copy without an "interval" option.
const int kDefaultIntervalS = 10;

// Validates the numeric options in their order (size, loops, min-total,
// min-efficiency, bus-width, duration, interval, max-drop, host-loops, then
// interval and max-drop without duration and host-loops without
// host-copies, then max-load, wait-idle and wait-idle without max-load,
// then the two formats) into the record, each as it passes. Returns kRunOk or, after printing why, the status of
// the first option rejected.
int readRunOptions(const CommandLine &line, RunRecord *record);

// The report format the command line asks for: JSON or Prometheus when
// exactly one of the two is given and "help" is not, else the text report.
int requestedReportFormat(const CommandLine &line);

// Prints a rejected option's message (in the text report) and records it.
void rejectOption(const char *message);

#endif
