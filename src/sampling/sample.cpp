#include "sampling/sample.h"

#include <algorithm>
#include <cstdio>

#include "board/memory_clock.h"
#include "sampling/gpu_clock.h"

namespace {

// The rate files' lines are read here: nothing to allocate between batches.
char textBuffer[kClockTextBufferSize];

}  // namespace

Sample takeSample(const SampleSources &sources) {
  Sample sample;
  uint64_t hz = 0;
  if (sources.memoryClock != nullptr && readDecimalFile(sources.memoryClock, textBuffer, &hz)) {
    sample.memoryClockHz = knownAs(hz);
  }
  if (sources.devfreqFolder != nullptr) {
    sample.gpuClockHz = readGpuClock(sources.devfreqFolder, textBuffer);
  }
  if (sources.thermalFolder != nullptr) {
    sample.temperatures = readThermalZones(sources.thermalFolder, textBuffer);
  }
  return sample;
}

const Temperature *hottest(const std::vector<Temperature> &temperatures) {
  // max_element gives the first of equals.
  const auto found = std::max_element(
      temperatures.begin(), temperatures.end(),
      [](const Temperature &a, const Temperature &b) { return a.milliCelsius < b.milliCelsius; });
  return found != temperatures.end() ? &*found : nullptr;
}

void printRamColumn(const Sample &sample) {
  if (sample.memoryClockHz.known) {
    printf("\tRAM: %.1f MHz", static_cast<double>(static_cast<float>(sample.memoryClockHz.value) / 1000000.0f));
  }
}
