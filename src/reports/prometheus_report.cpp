#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "reports/machine_report.h"
#include "reports/text_escape.h"
#include "timing/rate.h"

namespace {

// A gauge's HELP and TYPE lines, before its samples.
void gaugeHeader(std::string *text, const char *name, const char *help) {
  *text += std::string("# HELP ") + name + " " + help + "\n";
  *text += std::string("# TYPE ") + name + " gauge\n";
}

// One gauge with its HELP and TYPE lines; value as written in the sample.
void gauge(std::string *text, const char *name, const char *help, const std::string &labels,
           const std::string &value) {
  gaugeHeader(text, name, help);
  *text += name + (labels.empty() ? "" : "{" + labels + "}") + " " + value + "\n";
}

std::string label(const char *name, const std::string &value) {
  return std::string(name) + "=\"" + prometheusLabelValue(value) + "\"";
}

template <typename T>
std::string knownText(const Known<T> &value) {
  return value.known ? std::to_string(value.value) : "";
}

// A number in "%.10g": exact for the eighths and hundredths written here.
std::string shortNumber(double value) {
  char text[64];
  snprintf(text, sizeof text, "%.10g", value);
  return text;
}

// A figure as printed (one decimal), times 10^6, as an integer; empty when
// the figure is not finite.
std::string printedTimesMillion(double figure) {
  if (!std::isfinite(figure)) {
    return "";
  }
  std::string digits = printedFigure(figure);
  digits.erase(digits.find('.'), 1);
  digits += "00000";
  const size_t first = digits.find_first_not_of('0');
  return first == std::string::npos ? "0" : digits.substr(first);
}

// A gauge left out when its value is unknown (empty).
void knownGauge(std::string *text, const char *name, const char *help, const std::string &value) {
  if (!value.empty()) {
    gauge(text, name, help, "", value);
  }
}

// The power mode's name, else its id, else empty.
std::string powerModeLabel(const PowerMode &mode) {
  if (!mode.known) {
    return "";
  }
  return mode.name.known ? mode.name.value : std::to_string(mode.id);
}

// The highest reading of each zone over the intervals, in zone order.
std::vector<Temperature> highestPerZone(const std::vector<IntervalRecord> &intervals) {
  std::map<std::pair<int, std::string>, Temperature> zones;
  for (const IntervalRecord &interval : intervals) {
    for (const Temperature &reading : interval.sample.temperatures) {
      const std::pair<int, std::string> key(reading.number, reading.zone);
      const auto found = zones.find(key);
      if (found == zones.end()) {
        zones[key] = reading;
      } else if (reading.milliCelsius > found->second.milliCelsius) {
        found->second.milliCelsius = reading.milliCelsius;
      }
    }
  }
  std::vector<Temperature> highest(zones.size());
  std::transform(zones.begin(), zones.end(), highest.begin(),
                 [](const std::pair<const std::pair<int, std::string>, Temperature> &zone) { return zone.second; });
  return highest;
}

// A load's printed percentage over 100.
std::string loadRatio(const Known<uint64_t> &tenths) {
  return tenths.known ? shortNumber(static_cast<double>(tenths.value) / 1000.0) : "";
}

void loadGauges(std::string *text, const LoadRecord &load) {
  if (!load.read) {
    return;
  }
  knownGauge(text, "quillmere_gpu_load_ratio", "The GPU's load before the measurements, as a ratio.",
             loadRatio(load.reading.gpuTenths));
  knownGauge(text, "quillmere_memory_load_ratio",
             "The memory controller's activity over its clock before the measurements, as a ratio.",
             loadRatio(load.reading.memoryTenths));
  if (load.maxPercent.known) {
    gauge(text, "quillmere_max_load_ratio", "The most load the run waited for (--max-load).", "",
          shortNumber(load.maxPercent.value / 100.0));
    gauge(text, "quillmere_idle_wait_seconds", "How long the run waited for an idle board.", "",
          std::to_string(load.waitedS));
  }
}

// A gauge of one sample per measured host copy, labelled with its direction
// and memory; left out when no copy was measured.
void hostCopyGauge(std::string *text, const char *name, const char *help, const HostCopiesRecord &phase,
                   std::string (*value)(const HostCopyRecord &copy)) {
  std::string samples;
  for (const HostCopyRecord &copy : phase.copies) {
    const std::string sample = copy.supported ? value(copy) : "";
    if (!sample.empty()) {
      samples += std::string(name) + "{" + label("direction", hostCopyDirectionName(copy.direction)) + "," +
                 label("memory", hostMemoryName(copy.memory)) + "} " + sample + "\n";
    }
  }
  if (!samples.empty()) {
    gaugeHeader(text, name, help);
    *text += samples;
  }
}

void hostCopyGauges(std::string *text, const HostCopiesRecord &phase) {
  gauge(text, "quillmere_host_copy_repetitions", "Timed repetitions of each host copy.", "",
        std::to_string(phase.repetitions));
  if (phase.hostRegisterSupported.known) {
    gauge(text, "quillmere_host_register_supported",
          "1 when the device can register ordinary host memory (cudaHostRegister), else 0.", "",
          phase.hostRegisterSupported.value ? "1" : "0");
  }
  hostCopyGauge(text, "quillmere_host_copy_bytes_per_second",
                "Best copy rate between host and device memory, bytes per second.", phase,
                [](const HostCopyRecord &copy) { return printedTimesMillion(copy.figure); });
  hostCopyGauge(text, "quillmere_host_copy_cv_ratio",
                "Standard deviation of a host copy's repetition times over their mean.", phase,
                [](const HostCopyRecord &copy) { return finiteNumber("%.4f", coefficientOfVariation(copy.stats)); });
}

void sustainedGauges(std::string *text, const SustainedRecord &phase) {
  double seconds = 0.0;
  Known<uint64_t> lowestClock;
  for (const IntervalRecord &interval : phase.intervals) {
    seconds += interval.gpuMs / 1000.0;
    const Known<uint64_t> &clock = interval.sample.memoryClockHz;
    if (clock.known && (!lowestClock.known || clock.value < lowestClock.value)) {
      lowestClock = clock;
    }
  }
  gauge(text, "quillmere_sustained_seconds", "GPU time of the sustained copy's intervals that ended.", "",
        finiteNumber("%.6f", seconds));
  gauge(text, "quillmere_sustained_intervals", "Intervals of the sustained copy that ended.", "",
        std::to_string(phase.intervals.size()));
  if (phase.maxDropPercent.known) {
    gauge(text, "quillmere_max_drop_ratio", "The most the sustained Total may fall below its highest interval.", "",
          shortNumber(phase.maxDropPercent.value / 100.0));
  }
  const SustainedSummary summary = summarizeSustained(phase);
  if (!summary.known) {
    return;
  }
  knownGauge(text, "quillmere_sustained_lowest_read_write_bytes_per_second",
             "The sustained copy's lowest interval, bytes read and written per second.",
             printedTimesMillion(summary.lowest));
  knownGauge(text, "quillmere_sustained_highest_read_write_bytes_per_second",
             "The sustained copy's highest interval, bytes read and written per second.",
             printedTimesMillion(summary.highest));
  gauge(text, "quillmere_sustained_drop_ratio", "1 - lowest / highest of the sustained copy's intervals.", "",
        finiteNumber("%.3f", summary.drop));
  if (lowestClock.known) {
    gauge(text, "quillmere_sustained_memory_clock_lowest_hertz",
          "The lowest memory controller clock sampled during the sustained copy.", "",
          std::to_string(lowestClock.value));
  }
  const std::vector<Temperature> zones = highestPerZone(phase.intervals);
  if (zones.empty()) {
    return;
  }
  gaugeHeader(text, "quillmere_temperature_highest_celsius",
              "The highest temperature of each zone during the sustained copy.");
  for (const Temperature &zone : zones) {
    *text += "quillmere_temperature_highest_celsius{" + label("zone", zone.zone) + "," +
             label("type", zone.type.known ? zone.type.value : "") + "} " +
             finiteNumber("%.3f", static_cast<double>(zone.milliCelsius) / 1000.0) + "\n";
  }
}

// The CPU and GPU copies, once the phase began: a figure per side and part
// measured, and the drops, both sides together and their efficiency once
// the three parts ended.
void cpuAndGpuGauges(std::string *text, const CpuAndGpuRecord &phase, const Peak &peak) {
  gauge(text, "quillmere_cpu_and_gpu_part_seconds", "Seconds of each part of the CPU and GPU copies.", "",
        std::to_string(phase.seconds));
  gauge(text, "quillmere_cpu_threads", "CPU threads that copied beside the GPU.", "", std::to_string(phase.threads));
  if (!phase.parts.empty()) {
    gaugeHeader(text, "quillmere_cpu_and_gpu_read_write_bytes_per_second",
                "Each side's copy rate in each part, alone or beside the other, bytes read and written per second.");
    for (const CpuGpuPart &part : phase.parts) {
      const std::string partLabel = label("part", cpuGpuPartName(part.name));
      if (part.name != kGpuAlone) {
        *text += "quillmere_cpu_and_gpu_read_write_bytes_per_second{" + label("side", "cpu") + "," + partLabel +
                 "} " + printedTimesMillion(part.cpuMbPerS) + "\n";
      }
      if (part.name != kCpuAlone) {
        *text += "quillmere_cpu_and_gpu_read_write_bytes_per_second{" + label("side", "gpu") + "," + partLabel +
                 "} " + printedTimesMillion(part.gpuMbPerS) + "\n";
      }
    }
  }
  const CpuGpuSummary summary = summarizeCpuAndGpu(phase);
  if (summary.ended) {
    gauge(text, "quillmere_cpu_and_gpu_both_read_write_bytes_per_second",
          "Both sides' copy rates beside each other, added, bytes read and written per second.", "",
          printedTimesMillion(summary.both));
    knownGauge(text, "quillmere_cpu_and_gpu_efficiency_ratio", "Both sides together over the memory's peak.",
               finiteNumber("%.3f", memoryEfficiency(summary.both, peak)));
    std::string drops;
    for (const auto &side : {std::make_pair("cpu", summary.cpuDrop), std::make_pair("gpu", summary.gpuDrop)}) {
      if (side.second.known) {
        drops += "quillmere_cpu_and_gpu_drop_ratio{" + label("side", side.first) + "} " +
                 finiteNumber("%.3f", side.second.value) + "\n";
      }
    }
    if (!drops.empty()) {
      gaugeHeader(text, "quillmere_cpu_and_gpu_drop_ratio", "1 - beside the other / alone, for each side.");
      *text += drops;
    }
  }
  std::string clocks;
  for (const CpuGpuPart &part : phase.parts) {
    if (part.sample.memoryClockHz.known) {
      clocks += "quillmere_cpu_and_gpu_memory_clock_hertz{" + label("part", cpuGpuPartName(part.name)) + "} " +
                std::to_string(part.sample.memoryClockHz.value) + "\n";
    }
  }
  if (!clocks.empty()) {
    gaugeHeader(text, "quillmere_cpu_and_gpu_memory_clock_hertz", "The memory controller's clock at each part's end.");
    *text += clocks;
  }
}

// The sweep's Totals, a sample per size measured, and its plateau once
// every size was.
void sweepGauges(std::string *text, const SweepRecord &sweep) {
  if (!sweep.sizes.empty()) {
    gaugeHeader(text, "quillmere_sweep_read_write_bytes_per_second",
                "The copy's best rate at each size of the sweep, bytes read and written per second.");
    for (const SweepSize &size : sweep.sizes) {
      *text += "quillmere_sweep_read_write_bytes_per_second{" +
               label("size_bytes", std::to_string(static_cast<uint64_t>(size.sizeMiB) << 20)) + "} " +
               printedTimesMillion(size.totalMbPerS) + "\n";
    }
  }
  const uint32_t plateau = sweepPlateauMiB(sweep);
  if (plateau != 0) {
    gauge(text, "quillmere_sweep_plateau_bytes",
          "The smallest size from which every Total of the sweep is within 10 % of the largest size's.", "",
          std::to_string(static_cast<uint64_t>(plateau) << 20));
  }
}

}  // namespace

std::string renderPrometheusReport(const RunRecord &record, long long endSeconds) {
  std::string text;
  gauge(&text, "quillmere_success", "1 for a completed run that met --min-total, --min-efficiency and --max-drop and whose --verify read-backs matched, else 0.", "",
        runPassed(record) ? "1" : "0");
  gauge(&text, "quillmere_info",
        "The tool's version, device 0, the board's model, release and power mode, the CUDA versions and the transfer size.",
        label("version", QUILLMERE_VERSION) + "," +
            label("device", record.haveDevice ? record.deviceName : "") + "," +
            label("uuid", record.haveDevice ? deviceUuid(record.uuid) : "") + "," +
            label("board", record.board.model.known ? record.board.model.value : "") + "," +
            label("release", record.software.release.known ? record.software.release.value : "") + "," +
            label("power_mode", powerModeLabel(record.software.powerMode)) + "," +
            label("cfg", record.clock.haveTag ? record.clock.tag : "") + "," +
            label("cuda_runtime", knownText(record.runtimeVersion)) + "," +
            label("cuda_driver", knownText(record.driverVersion)) + "," +
            label("size_bytes", record.haveMemSize ? std::to_string(record.memSize) : ""),
        "1");
  if (!runPassed(record)) {
    const bool cuda = record.errorKind == kErrorCuda;
    const bool named = cuda || record.errorKind == kErrorProperties;
    gauge(&text, "quillmere_error_info", "Why the run failed.",
          label("kind", errorKindName(record.errorKind)) + "," +
              label("site", cuda ? std::to_string(record.errorSite) : "") + "," +
              label("name", named ? record.errorName : ""),
          "1");
  }
  gauge(&text, "quillmere_run_timestamp_seconds", "When the run ended, in Unix seconds.", "",
        std::to_string(endSeconds));
  knownGauge(&text, "quillmere_l2_cache_bytes", "The GPU's L2 cache; a transfer that fits it measures the cache.",
             knownText(record.l2CacheBytes));
  knownGauge(&text, "quillmere_transfer_size_bytes", "Bytes moved by each repetition.",
             record.haveMemSize ? std::to_string(record.memSize) : "");
  if (record.cacheSized.known) {
    gauge(&text, "quillmere_cache_sized", "1 when both buffers fit the GPU's L2 cache: the figures are the cache's.",
          "", record.cacheSized.value ? "1" : "0");
  }
  knownGauge(&text, "quillmere_repetitions", "Timed repetitions of each measurement.",
             record.haveRepetitions ? std::to_string(record.repetitions) : "");
  if (record.copy.done) {
    knownGauge(&text, "quillmere_memcpy_bytes_per_second",
               "Best device-to-device copy rate, bytes copied per second.",
               printedTimesMillion(record.copy.figure / 2));
    knownGauge(&text, "quillmere_memcpy_read_write_bytes_per_second",
               "Best device-to-device copy rate, bytes read and written per second.",
               printedTimesMillion(record.copy.figure));
  }
  if (record.fill.done) {
    knownGauge(&text, "quillmere_memset_bytes_per_second", "Best device memory fill rate, bytes per second.",
               printedTimesMillion(record.fill.figure));
  }
  if (record.copy.done) {
    knownGauge(&text, "quillmere_memcpy_cv_ratio",
               "Standard deviation of the copy's repetition times over their mean.",
               finiteNumber("%.4f", coefficientOfVariation(record.copy.stats)));
  }
  if (record.fill.done) {
    knownGauge(&text, "quillmere_memset_cv_ratio",
               "Standard deviation of the fill's repetition times over their mean.",
               finiteNumber("%.4f", coefficientOfVariation(record.fill.stats)));
  }
  const ClockState &state = record.clockState;
  if (record.clock.rateSource != nullptr) {
    gauge(&text, "quillmere_memory_clock_hertz", "The memory controller's clock.", "",
          std::to_string(record.clock.rateHz));
  }
  knownGauge(&text, "quillmere_memory_clock_max_hertz", "The highest clock the memory controller can run at.",
             knownText(state.maxHz));
  knownGauge(&text, "quillmere_memory_clock_cap_hertz", "The power mode's cap on the memory controller's clock.",
             knownText(state.capHz));
  if (state.locked.known) {
    gauge(&text, "quillmere_memory_clock_locked", "1 when the memory controller's clock is locked, else 0.", "",
          state.locked.value ? "1" : "0");
  }
  loadGauges(&text, record.load);
  const Peak peak = runPeak(record);
  if (peak.busWidth.source != kBusWidthUnknown) {
    gauge(&text, "quillmere_memory_bus_width_bytes", "The memory's bus width that the peak uses, in bytes.", "",
          shortNumber(peak.busWidth.bits / 8.0));
  }
  if (peak.known) {
    knownGauge(&text, "quillmere_peak_bytes_per_second",
               "The memory's peak: 2 x clock x bus width / 8, bytes per second.",
               printedTimesMillion(peak.megabytesPerSecond));
  }
  knownGauge(&text, "quillmere_efficiency_ratio", "The copy's read and write rate over the peak.",
             finiteNumber("%.3f", runEfficiency(record, peak)));
  if (record.minTotal.known) {
    gauge(&text, "quillmere_min_total_bytes_per_second",
          "The least read and write copy rate the run must reach, bytes per second.", "",
          std::to_string(record.minTotal.value) + "000000");
  }
  if (record.minEfficiency.known) {
    gauge(&text, "quillmere_min_efficiency_ratio", "The least efficiency the run must reach.", "",
          shortNumber(record.minEfficiency.value / 100.0));
  }
  if (!record.sweep.planMiB.empty()) {
    sweepGauges(&text, record.sweep);
  }
  if (record.hostCopies.reached) {
    hostCopyGauges(&text, record.hostCopies);
  }
  if (record.sustained.requested) {
    sustainedGauges(&text, record.sustained);
  }
  if (record.cpuAndGpu.reached) {
    cpuAndGpuGauges(&text, record.cpuAndGpu, peak);
  }
  if (record.verify.requested) {
    gauge(&text, "quillmere_verified_bytes", "Bytes the run read back and checked (--verify).", "",
          std::to_string(record.verify.bytes));
    gauge(&text, "quillmere_data_differing_bytes", "Bytes read back that differed from what was written (--verify).", "",
          std::to_string(record.verify.differingBytes));
  }
  return text;
}
