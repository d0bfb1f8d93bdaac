#include "command_line/settings.h"

#include <cstdio>

#include <string>

#include "board/gpu_cache.h"
#include "record/run_record.h"
#include "sustained/sustained_record.h"

namespace {

// Reads a given option into *value. A value below 1 or above largest is
// rejected with its message and rejectStatus; tooLargeMessage null gives
// "<name> must be at most <largest>".
int readPositiveOption(const OptionValue &option, const char *name, long long largest,
                       const char *tooLargeMessage, int rejectStatus, long long *value) {
  if (!option.given) {
    return kRunOk;
  }
  const std::string prefix = "Illegal argument - " + std::string(name);
  if (option.value <= 0) {
    rejectOption((prefix + " must be greater than zero").c_str());
    return rejectStatus;
  }
  if (option.value > largest) {
    rejectOption(tooLargeMessage != nullptr ? tooLargeMessage
                                            : (prefix + " must be at most " + std::to_string(largest)).c_str());
    return rejectStatus;
  }
  *value = option.value;
  return kRunOk;
}

// Reads a given option into *into, known only once accepted.
int readKnownOption(const OptionValue &option, const char *name, long long largest, int rejectStatus,
                    Known<int> *into) {
  long long value = 0;
  const int status = readPositiveOption(option, name, largest, nullptr, rejectStatus, &value);
  if (status == kRunOk && option.given) {
    *into = knownAs(static_cast<int>(value));
  }
  return status;
}

int readSizeAndLoops(const CommandLine &line, RunRecord *record) {
  // The byte count is 32 bits wide: 4096 MiB would wrap to 0.
  long long sizeMiB = kDefaultMemSize >> 20;
  int status = readPositiveOption(line.size, "size", 4095, "Illegal argument - size must be less than 4096",
                                  kRunBadSize, &sizeMiB);
  if (status != kRunOk) {
    return status;
  }
  const long long l2Bytes = record->l2CacheBytes.known ? record->l2CacheBytes.value : 0;
  record->sizeSource = line.size.given ? kSizeOption : kSizeDefault;
  // A default that fits the L2 would measure the cache: the size past it instead.
  if (!line.size.given && cacheSized(l2Bytes, kDefaultMemSize)) {
    sizeMiB = sizePastCacheMiB(l2Bytes);
    record->sizeSource = kSizeFromL2;
  }
  record->haveMemSize = true;
  record->memSize = static_cast<uint32_t>(sizeMiB) << 20;
  long long loops = kDefaultRepetitions;
  status = readPositiveOption(line.loops, "loops", 2147483647, nullptr, kRunBadLoops, &loops);
  if (status != kRunOk) {
    return status;
  }
  record->haveRepetitions = true;
  record->repetitions = static_cast<int>(loops);
  return kRunOk;
}

// The phases' options as accepted so far.
struct PhaseOptions {
  Known<int> duration;
  Known<int> interval;
  Known<int> maxDrop;
  Known<int> hostLoops;
  Known<int> sweepLoops;
};

// The values of the phases' options, in order.
int readPhaseValues(const CommandLine &line, PhaseOptions *options) {
  int status = readKnownOption(line.duration, "duration", 86400, kRunBadDuration, &options->duration);
  if (status == kRunOk) {
    status = readKnownOption(line.interval, "interval", 3600, kRunBadInterval, &options->interval);
  }
  if (status == kRunOk) {
    status = readKnownOption(line.maxDrop, "max-drop", 100, kRunBadMaxDrop, &options->maxDrop);
  }
  if (status == kRunOk) {
    status = readKnownOption(line.hostLoops, "host-loops", 2147483647, kRunBadHostLoops, &options->hostLoops);
  }
  if (status == kRunOk) {
    status = readKnownOption(line.sweepLoops, "sweep-loops", 2147483647, kRunBadSweepLoops, &options->sweepLoops);
  }
  return status;
}

// The options that mean nothing without another one.
int checkCompanions(const CommandLine &line, const PhaseOptions &options) {
  if (!options.duration.known && options.interval.known) {
    rejectOption("Illegal argument - interval needs duration");
    return kRunBadInterval;
  }
  if (!options.duration.known && options.maxDrop.known) {
    rejectOption("Illegal argument - max-drop needs duration");
    return kRunBadMaxDrop;
  }
  if (!line.hostCopies && options.hostLoops.known) {
    rejectOption("Illegal argument - host-loops needs host-copies");
    return kRunBadHostLoops;
  }
  if (!line.sweep && options.sweepLoops.known) {
    rejectOption("Illegal argument - sweep-loops needs sweep");
    return kRunBadSweepLoops;
  }
  return kRunOk;
}

// The phases after the measurements, asked for in the record only once
// every option of theirs is accepted.
int readPhaseOptions(const CommandLine &line, RunRecord *record) {
  PhaseOptions options;
  int status = readPhaseValues(line, &options);
  if (status == kRunOk) {
    status = checkCompanions(line, options);
  }
  if (status != kRunOk) {
    return status;
  }
  if (line.hostCopies) {
    record->hostCopies.requested = true;
    record->hostCopies.repetitions = options.hostLoops.known ? options.hostLoops.value : kDefaultHostCopyRepetitions;
  }
  if (line.sweep) {
    record->sweep.requested = true;
    record->sweep.repetitions = options.sweepLoops.known ? options.sweepLoops.value : kDefaultSweepRepetitions;
  }
  if (options.duration.known) {
    SustainedRecord &sustained = record->sustained;
    sustained.requested = true;
    sustained.durationS = options.duration.value;
    const int asked = options.interval.known ? options.interval.value : kDefaultIntervalS;
    sustained.intervalS = asked < options.duration.value ? asked : options.duration.value;
    sustained.batchCopies = batchCopies(record->memSize);
    sustained.maxDropPercent = options.maxDrop;
  }
  return kRunOk;
}

// The wait for an idle board: its load limit, its time, and the time
// without the limit.
int readLoadOptions(const CommandLine &line, LoadRecord *load) {
  Known<int> maxLoad;
  int status = readKnownOption(line.maxLoad, "max-load", 100, kRunBadMaxLoad, &maxLoad);
  if (status != kRunOk) {
    return status;
  }
  if (line.waitIdle.given && line.waitIdle.value < 0) {
    rejectOption("Illegal argument - wait-idle must not be negative");
    return kRunBadWaitIdle;
  }
  if (line.waitIdle.given && line.waitIdle.value > 3600) {
    rejectOption("Illegal argument - wait-idle must be at most 3600");
    return kRunBadWaitIdle;
  }
  if (line.waitIdle.given && !maxLoad.known) {
    rejectOption("Illegal argument - wait-idle needs max-load");
    return kRunBadWaitIdle;
  }
  load->maxPercent = maxLoad;
  if (line.waitIdle.given) {
    load->waitLimitS = static_cast<int>(line.waitIdle.value);
  }
  return kRunOk;
}

// The CPU copies: their values, then what they need.
int readCpuOptions(const CommandLine &line, CpuAndGpuRecord *cpuAndGpu) {
  Known<int> seconds;
  Known<int> threads;
  int status = readKnownOption(line.cpuSeconds, "cpu-seconds", 3600, kRunBadCpuSeconds, &seconds);
  if (status == kRunOk) {
    status = readKnownOption(line.cpuThreads, "cpu-threads", kMostCpuThreads, kRunBadCpuThreads, &threads);
  }
  if (status != kRunOk) {
    return status;
  }
  if (!line.cpuCopies && seconds.known) {
    rejectOption("Illegal argument - cpu-seconds needs cpu-copies");
    return kRunBadCpuSeconds;
  }
  if (!line.cpuCopies && threads.known) {
    rejectOption("Illegal argument - cpu-threads needs cpu-copies");
    return kRunBadCpuThreads;
  }
  cpuAndGpu->requested = line.cpuCopies;
  cpuAndGpu->seconds = seconds.known ? seconds.value : kDefaultCpuSeconds;
  cpuAndGpu->threadsAsked = threads;
  return kRunOk;
}

}  // namespace

int readRunOptions(const CommandLine &line, RunRecord *record) {
  // The size is validated first: with both values bad, only the size is reported.
  int status = readSizeAndLoops(line, record);
  if (status == kRunOk) {
    status = readPositiveOption(line.minTotal, "min-total", 2147483647, nullptr, kRunBadMinTotal,
                                &record->minTotal.value);
    record->minTotal.known = status == kRunOk && line.minTotal.given;
  }
  if (status == kRunOk) {
    status = readKnownOption(line.minEfficiency, "min-efficiency", 100, kRunBadMinEfficiency,
                             &record->minEfficiency);
  }
  if (status == kRunOk) {
    status = readKnownOption(line.busWidth, "bus-width", 65536, kRunBadBusWidth, &record->busWidthOption);
  }
  if (status == kRunOk) {
    status = readPhaseOptions(line, record);
  }
  if (status == kRunOk) {
    status = readLoadOptions(line, &record->load);
  }
  if (status == kRunOk) {
    status = readCpuOptions(line, &record->cpuAndGpu);
  }
  if (status == kRunOk && line.json && line.prometheus) {
    rejectOption("Illegal argument - json and prometheus exclude each other");
    status = kRunBadFormats;
  }
  record->verify.requested = status == kRunOk && line.verify;
  if (status == kRunOk && record->l2CacheBytes.known) {
    record->cacheSized = knownAs(cacheSized(record->l2CacheBytes.value, record->memSize));
  }
  return status;
}

int requestedReportFormat(const CommandLine &line) {
  if (line.help || line.json == line.prometheus) {
    return kTextReport;
  }
  return line.json ? kJsonReport : kPrometheusReport;
}

void rejectOption(const char *message) {
  if (textReport()) {
    printf("%s\n", message);
  }
  recordError(kErrorOption, message);
}
