#include <algorithm>
#include <cstdio>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "board/decimal.h"
#include "reports/machine_report.h"
#include "reports/text_escape.h"

namespace {

using Members = std::vector<std::pair<const char *, std::string>>;

const char kNull[] = "null";

// Members one to a line, indented by the nesting depth.
std::string object(const Members &members, size_t depth) {
  const std::string indent(2 * (depth + 1), ' ');
  std::string text = "{";
  for (size_t i = 0; i < members.size(); i++) {
    text += (i == 0 ? "\n" : ",\n") + indent + jsonString(members[i].first) + ": " + members[i].second;
  }
  return text + "\n" + std::string(2 * depth, ' ') + "}";
}

// A number in the given printf format; null when it is not finite.
std::string number(const char *format, double value) {
  const std::string text = finiteNumber(format, value);
  return text.empty() ? kNull : text;
}

std::string integer(long long value) {
  return std::to_string(value);
}

template <typename T>
std::string knownInteger(const Known<T> &value) {
  return value.known ? integer(static_cast<long long>(value.value)) : kNull;
}

std::string knownString(const Known<std::string> &value) {
  return value.known ? jsonString(value.value) : kNull;
}

std::string knownFlag(const Known<bool> &flag) {
  return flag.known ? (flag.value ? "true" : "false") : kNull;
}

std::string error(const RunRecord &record) {
  if (record.errorKind == kNoError) {
    return kNull;
  }
  Members members = {{"kind", jsonString(errorKindName(record.errorKind))},
                     {"message", jsonString(record.errorMessage)}};
  if (record.errorKind == kErrorCuda) {
    members.emplace_back("site", integer(record.errorSite));
  }
  if (record.errorKind == kErrorProperties || record.errorKind == kErrorCuda) {
    members.emplace_back("code", integer(record.errorCode));
    members.emplace_back("name", jsonString(record.errorName));
  }
  if (record.errorKind == kErrorCuda) {
    members.emplace_back("call", jsonString(record.errorCall));
  }
  return object(members, 1);
}

std::string device(const RunRecord &record) {
  if (!record.haveDevice) {
    return kNull;
  }
  return object({{"index", "0"},
                 {"name", jsonString(record.deviceName)},
                 {"uuid", jsonString(deviceUuid(record.uuid))},
                 {"bus_width_bits", knownInteger(record.busWidthBits)},
                 {"memory_clock_khz", knownInteger(record.memoryClockKhz)},
                 {"l2_cache_bytes", knownInteger(record.l2CacheBytes)}},
                1);
}

std::string powerMode(const PowerMode &mode) {
  if (!mode.known) {
    return kNull;
  }
  return object({{"id", integer(mode.id)}, {"name", knownString(mode.name)}}, 2);
}

std::string board(const RunRecord &record) {
  const BoardSoftware &software = record.software;
  if (!record.board.known && !software.release.known && !software.powerMode.known) {
    return kNull;
  }
  return object({{"model", knownString(record.board.model)},
                 {"compatible", knownString(record.board.moduleCompatible)},
                 {"release", knownString(software.release)},
                 {"power_mode", powerMode(software.powerMode)}},
                1);
}

// Bytes over the mean repetition time, in MB/s.
double meanFigure(double bytes, const TimingStats &stats) {
  return bytes / meanTime(stats) / 1000.0;
}

std::string spread(Members members, const TimingStats &stats) {
  members.emplace_back("cv", number("%.4f", coefficientOfVariation(stats)));
  members.emplace_back("best_ms", number("%.9g", stats.shortest));
  members.emplace_back("worst_ms", number("%.9g", stats.longest));
  return object(members, 1);
}

std::string copy(const RunRecord &record) {
  if (!record.copy.done) {
    return kNull;
  }
  const double bytes = 2.0 * record.memSize;
  return spread({{"mb_per_s", number("%.1f", record.copy.figure / 2)},
                 {"total_mb_per_s", number("%.1f", record.copy.figure)},
                 {"mean_total_mb_per_s", number("%.1f", meanFigure(bytes, record.copy.stats))}},
                record.copy.stats);
}

std::string fill(const RunRecord &record) {
  if (!record.fill.done) {
    return kNull;
  }
  return spread({{"mb_per_s", number("%.1f", record.fill.figure)},
                 {"mean_mb_per_s", number("%.1f", meanFigure(record.memSize, record.fill.stats))}},
                record.fill.stats);
}

std::string memoryClock(const RunRecord &record) {
  if (record.clock.rateSource == nullptr) {
    return kNull;
  }
  const ClockState &state = record.clockState;
  return object({{"hz", std::to_string(record.clock.rateHz)},
                 {"source", jsonString(record.clock.rateSource)},
                 {"cfg", record.clock.haveTag ? jsonString(record.clock.tag) : kNull},
                 {"max_hz", knownInteger(state.maxHz)},
                 {"cap_hz", knownInteger(state.capHz)},
                 {"locked", knownFlag(state.locked)}},
                1);
}

// A load's percentage with its one decimal, as the text report prints it.
std::string percent(const Known<uint64_t> &tenths) {
  return tenths.known ? thousandthsAsPercent(tenths.value) : kNull;
}

std::string load(const LoadRecord &load) {
  if (!load.read) {
    return kNull;
  }
  const bool limited = load.maxPercent.known;
  return object({{"gpu_percent", percent(load.reading.gpuTenths)},
                 {"memory_percent", percent(load.reading.memoryTenths)},
                 {"max_percent", knownInteger(load.maxPercent)},
                 {"waited_s", limited ? integer(load.waitedS) : kNull}},
                1);
}

std::string peak(const Peak &peak) {
  if (!peak.known) {
    return kNull;
  }
  return object({{"mb_per_s", number("%.1f", peak.megabytesPerSecond)},
                 {"clock_hz", std::to_string(peak.clockHz)},
                 {"bus_width_bits", integer(peak.busWidth.bits)},
                 {"bus_width_source", jsonString(busWidthSourceName(peak.busWidth.source))}},
                1);
}

// Elements one to a line, each rendered at the nesting depth given.
std::string array(const std::vector<std::string> &elements, size_t depth) {
  if (elements.empty()) {
    return "[]";
  }
  std::string text = "[";
  for (size_t i = 0; i < elements.size(); i++) {
    text += (i == 0 ? "\n" : ",\n") + std::string(2 * depth, ' ') + elements[i];
  }
  return text + "\n" + std::string(2 * (depth - 1), ' ') + "]";
}

std::string temperatures(const std::vector<Temperature> &readings) {
  std::vector<std::string> elements;
  elements.reserve(readings.size());
  for (const Temperature &reading : readings) {
    elements.push_back(object({{"zone", jsonString(reading.zone)},
                               {"type", knownString(reading.type)},
                               {"celsius", number("%.3f", static_cast<double>(reading.milliCelsius) / 1000.0)}},
                              5));
  }
  return array(elements, 5);
}

std::string intervals(const std::vector<IntervalRecord> &ended) {
  std::vector<std::string> elements;
  elements.reserve(ended.size());
  for (const IntervalRecord &interval : ended) {
    elements.push_back(object({{"end_s", integer(interval.endS)},
                               {"gpu_seconds", number("%.6f", interval.gpuMs / 1000.0)},
                               {"mb_per_s", number("%.1f", interval.mbPerS)},
                               {"total_mb_per_s", number("%.1f", interval.totalMbPerS)},
                               {"memory_clock_hz", knownInteger(interval.sample.memoryClockHz)},
                               {"gpu_clock_hz", knownInteger(interval.sample.gpuClockHz)},
                               {"temperatures", temperatures(interval.sample.temperatures)}},
                              3));
  }
  return array(elements, 3);
}

std::string hostCopy(const HostCopyRecord &copy, uint32_t memSize) {
  Members members = {{"direction", jsonString(hostCopyDirectionName(copy.direction))},
                     {"memory", jsonString(hostMemoryName(copy.memory))},
                     {"supported", copy.supported ? "true" : "false"}};
  if (!copy.supported) {
    const char *const figures[] = {"timer", "mb_per_s", "mean_mb_per_s", "cv", "best_ms", "worst_ms"};
    std::transform(std::begin(figures), std::end(figures), std::back_inserter(members),
                   [](const char *name) { return std::make_pair(name, std::string(kNull)); });
    return object(members, 3);
  }
  members.emplace_back("timer", jsonString(copy.gpuTimed ? "gpu" : "host"));
  members.emplace_back("mb_per_s", number("%.1f", copy.figure));
  members.emplace_back("mean_mb_per_s", number("%.1f", meanFigure(memSize, copy.stats)));
  members.emplace_back("cv", number("%.4f", coefficientOfVariation(copy.stats)));
  members.emplace_back("best_ms", number("%.9g", copy.stats.shortest));
  members.emplace_back("worst_ms", number("%.9g", copy.stats.longest));
  return object(members, 3);
}

std::string hostCopies(const HostCopiesRecord &phase, uint32_t memSize) {
  if (!phase.reached) {
    return kNull;
  }
  std::vector<std::string> copies(phase.copies.size());
  std::transform(phase.copies.begin(), phase.copies.end(), copies.begin(),
                 [memSize](const HostCopyRecord &measured) { return hostCopy(measured, memSize); });
  return object({{"repetitions", integer(phase.repetitions)},
                 {"integrated", knownFlag(phase.integrated)},
                 {"can_map_host_memory", knownFlag(phase.canMapHostMemory)},
                 {"pageable_memory_access", knownFlag(phase.pageableMemoryAccess)},
                 {"host_register_supported", knownFlag(phase.hostRegisterSupported)},
                 {"copies", array(copies, 3)}},
                1);
}

std::string verify(const VerifyRecord &checks) {
  if (!checks.requested) {
    return kNull;
  }
  std::string first = kNull;
  if (checks.differs) {
    first = object({{"where", jsonString(checks.where)},
                    {"offset", integer(static_cast<long long>(checks.first.offset))},
                    {"read", integer(checks.first.read)},
                    {"expected", integer(checks.first.expected)}},
                   2);
  }
  return object({{"read_backs", integer(checks.readBacks)},
                 {"bytes", integer(static_cast<long long>(checks.bytes))},
                 {"differing_bytes", integer(static_cast<long long>(checks.differingBytes))},
                 {"first_difference", first}},
                1);
}

std::string sustained(const SustainedRecord &phase) {
  if (!phase.requested) {
    return kNull;
  }
  const SustainedSummary summary = summarizeSustained(phase);
  return object({{"duration_s", integer(phase.durationS)},
                 {"interval_s", integer(phase.intervalS)},
                 {"batch_copies", integer(phase.batchCopies)},
                 {"max_drop_percent", knownInteger(phase.maxDropPercent)},
                 {"intervals", intervals(phase.intervals)},
                 {"lowest_total_mb_per_s", summary.known ? number("%.1f", summary.lowest) : kNull},
                 {"highest_total_mb_per_s", summary.known ? number("%.1f", summary.highest) : kNull},
                 {"drop", summary.known ? number("%.3f", summary.drop) : kNull}},
                1);
}

std::string sweep(const SweepRecord &phase) {
  if (phase.planMiB.empty()) {
    return kNull;
  }
  std::vector<std::string> sizes;
  for (const SweepSize &size : phase.sizes) {
    sizes.push_back(object({{"size_bytes", integer(static_cast<long long>(size.sizeMiB) << 20)},
                            {"total_mb_per_s", number("%.1f", size.totalMbPerS)},
                            {"best_ms", number("%.9g", size.stats.shortest)}},
                           3));
  }
  const uint32_t plateau = sweepPlateauMiB(phase);
  return object({{"repetitions", integer(phase.repetitions)},
                 {"sizes", array(sizes, 3)},
                 {"plateau_bytes", plateau != 0 ? integer(static_cast<long long>(plateau) << 20) : kNull}},
                1);
}

// The CPU and GPU copies; null unless the phase began.
std::string cpuAndGpu(const CpuAndGpuRecord &phase, const Peak &memory) {
  if (!phase.reached) {
    return kNull;
  }
  std::vector<std::string> cpus;
  for (const int cpu : phase.cpus) {
    cpus.push_back(cpu >= 0 ? integer(cpu) : kNull);
  }
  std::string cpuList = "[";
  for (size_t i = 0; i < cpus.size(); i++) {
    cpuList += (i == 0 ? "" : ", ") + cpus[i];
  }
  std::vector<std::string> parts;
  for (const CpuGpuPart &part : phase.parts) {
    const bool cpu = part.name != kGpuAlone;
    const bool gpu = part.name != kCpuAlone;
    parts.push_back(object({{"name", jsonString(cpuGpuPartName(part.name))},
                            {"seconds", number("%.6f", part.seconds)},
                            {"cpu_mb_per_s", cpu ? number("%.1f", part.cpuMbPerS) : kNull},
                            {"gpu_mb_per_s", gpu ? number("%.1f", part.gpuMbPerS) : kNull},
                            {"gpu_seconds", gpu ? number("%.6f", part.gpuSeconds) : kNull},
                            {"memory_clock_hz", knownInteger(part.sample.memoryClockHz)},
                            {"gpu_clock_hz", knownInteger(part.sample.gpuClockHz)},
                            {"temperatures", temperatures(part.sample.temperatures)}},
                           3));
  }
  const CpuGpuSummary summary = summarizeCpuAndGpu(phase);
  const auto drop = [](const Known<double> &value) { return value.known ? number("%.3f", value.value) : kNull; };
  return object({{"seconds", integer(phase.seconds)},
                 {"cpu_threads", integer(phase.threads)},
                 {"cpus", cpuList + "]"},
                 {"cpu_buffer_bytes", integer(static_cast<long long>(kCpuBufferBytes))},
                 {"batch_copies", integer(phase.batchCopies)},
                 {"parts", array(parts, 3)},
                 {"cpu_drop", summary.ended ? drop(summary.cpuDrop) : kNull},
                 {"gpu_drop", summary.ended ? drop(summary.gpuDrop) : kNull},
                 {"both_mb_per_s", summary.ended ? number("%.1f", summary.both) : kNull},
                 {"efficiency", summary.ended ? number("%.3f", memoryEfficiency(summary.both, memory)) : kNull}},
                1);
}

// Where the size came from; null when --size was rejected.
std::string sizeSource(int source) {
  switch (source) {
    case kSizeOption: return jsonString("option");
    case kSizeDefault: return jsonString("default");
    case kSizeFromL2: return jsonString("l2");
    default: return kNull;
  }
}

}  // namespace

std::string renderJsonReport(const RunRecord &record, const std::string &host,
                             const std::string &timestamp) {
  const Peak memory = runPeak(record);
  const Members members = {
      {"tool", jsonString("quillmere")},
      {"version", jsonString(QUILLMERE_VERSION)},
      {"host", jsonString(host)},
      {"timestamp", jsonString(timestamp)},
      {"result", jsonString(runPassed(record) ? "PASS" : "FAIL")},
      {"error", error(record)},
      {"device", device(record)},
      {"board", board(record)},
      {"cuda", object({{"runtime_version", knownInteger(record.runtimeVersion)},
                       {"driver_version", knownInteger(record.driverVersion)}},
                      1)},
      {"size_bytes", record.haveMemSize ? integer(record.memSize) : kNull},
      {"size_source", sizeSource(record.sizeSource)},
      {"cache_sized", knownFlag(record.cacheSized)},
      {"repetitions", record.haveRepetitions ? integer(record.repetitions) : kNull},
      {"min_total_mb_per_s", knownInteger(record.minTotal)},
      {"min_efficiency_percent", knownInteger(record.minEfficiency)},
      {"memcpy", copy(record)},
      {"memset", fill(record)},
      {"memory_clock", memoryClock(record)},
      {"load", load(record.load)},
      {"peak", peak(memory)},
      {"efficiency", number("%.3f", runEfficiency(record, memory))},
      {"sweep", sweep(record.sweep)},
      {"host_copies", hostCopies(record.hostCopies, record.memSize)},
      {"sustained", sustained(record.sustained)},
      {"cpu_and_gpu", cpuAndGpu(record.cpuAndGpu, memory)},
      {"verify", verify(record.verify)},
  };
  return object(members, 0) + "\n";
}
