// Option scanning on an argument vector made of the input's NUL-separated
// pieces (argument 0 is the program name and is never scanned).
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "command_line/command_line.h"
#include "command_line/options.h"
#include "record/run_record.h"
#include "command_line/settings.h"
#include "sustained/sustained_record.h"

namespace {

void require(bool condition, const char *what) {
  if (!condition) {
    fprintf(stderr, "property broken: %s\n", what);
    abort();
  }
}

// atoi's reading of text, widened so nothing overflows, then saturated.
long long referenceValue(const char *text) {
  const long long value = strtoll(text, nullptr, 10);
  const long long low = -2147483649LL;
  const long long high = 2147483648LL;
  return value < low ? low : (value > high ? high : value);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  std::vector<std::string> pieces(1, "quillmere");
  pieces.emplace_back();
  for (size_t i = 0; i < size; i++) {
    if (data[i] == '\0') {
      pieces.emplace_back();
    } else {
      pieces.back() += static_cast<char>(data[i]);
    }
  }
  std::vector<const char *> argv(pieces.size());
  std::transform(pieces.begin(), pieces.end(), argv.begin(),
                 [](const std::string &piece) { return piece.c_str(); });
  const int argc = static_cast<int>(argv.size());

  for (const char *argument : argv) {
    const int skip = dashPrefixLength('-', argument);
    const long long length = static_cast<long long>(strlen(argument));
    require(skip == 0 || (skip < length - 1 && argument[skip - 1] == '-'), "dash prefix in range");
    const long long value = decimalPrefixValue(argument);
    require(value == referenceValue(argument), "value as atoi reads it, saturated");
  }

  for (const char *name : {"help", "size", "loops"}) {
    const long long value = optionIntValue(argc, argv.data(), name);
    require(value >= -2147483649LL && value <= 2147483648LL, "option value in range");
  }

  // Whatever the arguments, what is accepted lies in range: a size of whole
  // MiB below 4 GiB, positive loops, a sustained copy whose interval is
  // within its duration and whose batch copies 1 GiB or just over.
  const CommandLine line = readCommandLine(argc, argv.data());
  require(line.size.given == hasOption(argc, argv.data(), "size"), "size read once, as scanned");
  RunRecord record;
  const int status = readRunOptions(line, &record);
  require(status == kRunOk || status < 0, "a rejected option has a negative status");
  if (record.haveMemSize) {
    require(record.memSize % (1u << 20) == 0 && record.memSize != 0, "size is whole MiB");
    require(record.memSize == 16u << 20 || line.size.given, "size only from the option");
  } else {
    require(status == kRunBadSize, "only a rejected size leaves no size");
  }
  if (record.haveRepetitions) {
    require(record.repetitions > 0, "loops positive");
  }
  // The phases' options are judged before the wait's and the formats.
  const bool phasesAccepted = status == kRunOk || status == kRunBadMaxLoad || status == kRunBadWaitIdle ||
                              status == kRunBadCpuSeconds || status == kRunBadCpuThreads || status == kRunBadFormats;
  const SustainedRecord &sustained = record.sustained;
  if (sustained.requested) {
    require(phasesAccepted, "a sustained copy only with its options accepted");
    require(sustained.intervalS >= 1 && sustained.intervalS <= sustained.durationS, "interval within duration");
    require(sustained.durationS <= 86400, "duration at most a day");
    const double batch = static_cast<double>(sustained.batchCopies) * record.memSize;
    require(batch >= 1073741824.0 && batch - record.memSize < 1073741824.0, "a batch is 1 GiB or just over");
  }
  if (record.hostCopies.requested) {
    require(phasesAccepted && line.hostCopies, "host copies only when asked and accepted");
    require(record.hostCopies.repetitions >= 1, "host copy repetitions positive");
  }
  if (record.sweep.requested) {
    require(phasesAccepted && line.sweep, "a sweep only when asked and accepted");
    require(record.sweep.repetitions >= 1, "sweep repetitions positive");
  }
  // The CPU copies: judged after the wait, before the formats.
  const CpuAndGpuRecord &cpuAndGpu = record.cpuAndGpu;
  if (cpuAndGpu.requested) {
    require((status == kRunOk || status == kRunBadFormats) && line.cpuCopies, "CPU copies only when accepted");
    require(cpuAndGpu.seconds >= 1 && cpuAndGpu.seconds <= 3600, "parts of 1 s to an hour");
    require(!cpuAndGpu.threadsAsked.known ||
                (cpuAndGpu.threadsAsked.value >= 1 && cpuAndGpu.threadsAsked.value <= kMostCpuThreads),
            "threads in range");
  }
  // The wait: a limit of 1 to 100 %, at most an hour, a wait only with a limit.
  const LoadRecord &load = record.load;
  require(!load.maxPercent.known || (load.maxPercent.value >= 1 && load.maxPercent.value <= 100), "limit in range");
  require(load.waitLimitS >= 0 && load.waitLimitS <= 3600, "wait within an hour");
  require(load.maxPercent.known || load.waitLimitS == 60, "a wait only with a limit");
  require(record.verify.requested == (status == kRunOk && line.verify), "verify only with every option accepted");
  return 0;
}
