#ifndef QUILLMERE_RUN_RECORD_H
#define QUILLMERE_RUN_RECORD_H

#include <cstdint>
#include <string>

#include "board/memory_clock.h"
#include "run/timing_stats.h"

// How the run reports.
enum ReportFormat { kTextReport, kJsonReport, kPrometheusReport };

// Why a run failed, in the order of the machine reports' kinds.
enum ErrorKind {
  kNoError,
  kErrorOption,
  kErrorProperties,
  kErrorProhibited,
  kErrorHostMemory,
  kErrorCuda,
  kErrorBelowMinimum,
};

// One measurement's outcome.
struct MeasuredFigure {
  bool done = false;
  double figure = 0.0;  // MB/s as the text report prints it (the copy's Total)
  TimingStats stats;
};

// Everything the machine reports say about one run, each value captured when
// it is known, so that rendering needs no runtime call. Integers that the
// runtime gave as 0, or not at all, stand for unknown.
struct RunRecord {
  long long minTotal = 0;  // MB/s; 0: no minimum, or not yet validated
  MemoryClock clock = {};  // all empty until the clock report has read the files

  std::string errorMessage;
  std::string errorName;
  std::string errorCall;
  std::string deviceName;

  MeasuredFigure copy;
  MeasuredFigure fill;

  int format = kTextReport;
  int errorKind = kNoError;
  int errorCode = 0;
  int errorSite = 0;
  int runtimeVersion = 0;
  int driverVersion = 0;
  int busWidthBits = 0;
  int memoryClockKhz = 0;
  uint32_t memSize = 0;
  int repetitions = 0;

  bool completed = false;  // the measurements and the clock report ran to their end
  bool haveDevice = false;
  bool haveMemSize = false;
  bool haveRepetitions = false;
  unsigned char uuid[16] = {};
};

// The run's one record.
RunRecord &runRecord();

// True for a run that completed without an error (and met its minimum).
bool runPassed(const RunRecord &record);

// True when the run prints the text report (the default): the lines of
// standard output are printed as the run goes. False in the machine modes.
bool textReport();

// Records a failure, unless one was recorded already: the first one is
// the report's error.
void recordError(int kind, const std::string &message);

// Records a failed runtime call, with the runtime's message and name for its
// status, unless a failure was recorded already.
void recordCudaError(int kind, int status, const char *message, const char *name,
                     const char *callText, int callSite);

#endif
