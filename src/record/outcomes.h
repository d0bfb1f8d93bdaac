#ifndef QUILLMERE_RECORD_OUTCOMES_H
#define QUILLMERE_RECORD_OUTCOMES_H

// How a run ends, as runProgram returns it. main turns every status but
// kRunOk into exit status 1, except kRunBusy (75) and kRunInterrupted (the
// process ends by the signal).

// A completed run that met its limits, or the usage text.
const int kRunOk = 0;

// A rejected option: below 0, one status per option, as the entry point has
// always told them apart. "size" and "loops" keep their historic values.
const int kRunBadSize = -4000;
const int kRunBadLoops = -9000;
const int kRunBadMinTotal = -7000;
const int kRunBadMinEfficiency = -7500;
const int kRunBadBusWidth = -7600;
const int kRunBadDuration = -7700;
const int kRunBadInterval = -7710;   // or given without "duration"
const int kRunBadMaxDrop = -7720;    // or given without "duration"
const int kRunBadHostLoops = -7730;  // or given without "host-copies"
const int kRunBadSweepLoops = -7735; // or given without "sweep"
const int kRunBadMaxLoad = -7740;
const int kRunBadWaitIdle = -7750;   // or given without "max-load"
const int kRunBadCpuSeconds = -7760; // or given without "cpu-copies"
const int kRunBadCpuThreads = -7770; // or given without "cpu-copies"
const int kRunBadFormats = -8000;    // "json" and "prometheus" both given

// A verdict failed: the Memcpy Total below "min-total" or below
// "min-efficiency" of the memory's peak (or the peak unknown), or the
// sustained Total fell more than "max-drop".
const int kRunVerdictFailed = 1;
// A signal stopped the run.
const int kRunInterrupted = 2;
// A read-back of --verify differed from what was copied.
const int kRunDataDiffers = 3;
// A timer gave a time that no memory could.
const int kRunTimerFault = 4;
// A CPU thread of the CPU copies could not start.
const int kRunThreadFailed = 5;
// The CPU copies' buffers would take more than half the available memory.
const int kRunMemoryShort = 6;
// The board stayed busy longer than "wait-idle": nothing was measured.
// Also the exit status (sysexits' temporary failure).
const int kRunBusy = 75;

// Why a run failed, in the order of the machine reports' kinds.
enum ErrorKind {
  kNoError,
  kErrorOption,
  kErrorProperties,
  kErrorProhibited,
  kErrorHostMemory,
  kErrorCuda,
  kErrorBelowMinimum,
  kErrorBelowEfficiency,
  kErrorUnknownPeak,
  kErrorTimer,
  kErrorBandwidthDrop,
  kErrorData,
  kErrorBusy,
  kErrorInterrupted,
  kErrorCacheSized,
  kErrorCpuThreads,
};

#endif
