#ifndef QUILLMERE_RECORD_RUN_RECORD_H
#define QUILLMERE_RECORD_RUN_RECORD_H

#include <cstdint>
#include <string>

#include "board/board_identity.h"
#include "board/board_software.h"
#include "board/clock_state.h"
#include "board/known.h"
#include "board/memory_clock.h"
#include "board/memory_peak.h"
#include "cpu_and_gpu/cpu_and_gpu_record.h"
#include "data/verify.h"
#include "host_copies/host_copy_record.h"
#include "measurements/measurements.h"
#include "sampling/board_load.h"
#include "timing/timing_stats.h"
#include "sustained/sustained_record.h"
#include "sweep/sweep_record.h"
#include "record/outcomes.h"

// Where the transfer size came from.
enum SizeSource { kSizeUnknown, kSizeOption, kSizeDefault, kSizeFromL2 };

// How the run reports.
enum ReportFormat { kTextReport, kJsonReport, kPrometheusReport };



// Everything the machine reports say about one run, each value captured when
// it is known, so that rendering needs no runtime call. What the runtime
// gave as 0 is unknown, as is all it was not asked.
struct RunRecord {
  Known<long long> minTotal;    // MB/s, once validated
  Known<int> minEfficiency;     // percent of the peak, once validated
  Known<int> busWidthOption;    // bits, once validated
  MemoryClock clock = {};       // all empty until the clock report has read the files
  ClockState clockState;        // read after the measurements, in the machine reports
  BoardIdentity board;          // read with the device's properties
  BoardSoftware software;       // likewise, in the machine reports only
  Known<int> channelBusWidth;   // read after the measurements, when the peak needs it

  std::string errorMessage;
  std::string errorName;
  std::string errorCall;
  std::string deviceName;

  MeasuredFigure copy;
  MeasuredFigure fill;
  HostCopiesRecord hostCopies;
  SustainedRecord sustained;
  SweepRecord sweep;
  CpuAndGpuRecord cpuAndGpu;
  VerifyRecord verify;
  LoadRecord load;

  int format = kTextReport;
  int errorKind = kNoError;
  int errorCode = 0;
  int errorSite = 0;
  Known<int> runtimeVersion;
  Known<int> driverVersion;
  Known<int> busWidthBits;     // the runtime's; never asked for an integrated device
  Known<int> memoryClockKhz;   // likewise
  Known<long long> l2CacheBytes;  // from the properties
  uint32_t memSize = 0;
  int sizeSource = kSizeUnknown;  // once the size is accepted
  Known<bool> cacheSized;         // both buffers fit the L2; once every option is accepted and the L2 known
  int repetitions = 0;

  bool completed = false;  // the measurements and the clock report ran to their end
  bool haveDevice = false;
  bool integrated = false;  // the device's memory is the board's
  bool boardFacts = false;  // the board's files and the memory's attributes are read
  bool haveMemSize = false;
  bool haveRepetitions = false;
  unsigned char uuid[16] = {};
};

// The run's one record.
RunRecord &runRecord();

// The memory's peak from what the run learnt.
Peak runPeak(const RunRecord &record);

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
