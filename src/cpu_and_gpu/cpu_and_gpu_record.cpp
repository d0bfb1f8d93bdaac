#include "cpu_and_gpu/cpu_and_gpu_record.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "timing/rate.h"

namespace {

// 1 - together / alone; unknown when alone prints as 0.0.
Known<double> drop(double alone, double together) {
  const double before = printedValue(alone);
  if (before == 0.0) {
    return Known<double>();
  }
  return knownAs(1.0 - printedValue(together) / before);
}

// A whole decimal number at the start of text (after blanks); false
// without one, or when it does not fit.
bool leadingNumber(const char *text, long long *value) {
  while (*text == ' ' || *text == '\t') {
    text++;
  }
  if ((*text < '0' || *text > '9') && *text != '-') {
    return false;
  }
  errno = 0;
  char *end = nullptr;
  *value = strtoll(text, &end, 10);
  return errno == 0 && end != text && (*end == '\0' || *end == ' ' || *end == '\n' || *end == '\t');
}

// Whole CPUs for quota microseconds per period, rounded up; 0 for none.
int quotaCpus(long long quota, long long period) {
  if (quota <= 0 || period <= 0) {
    return 0;
  }
  const long long cpus = (quota + period - 1) / period;
  return cpus > kMostCpuThreads ? kMostCpuThreads + 1 : static_cast<int>(cpus);
}

}  // namespace

const char *cpuGpuPartName(int name) {
  switch (name) {
    case kCpuAlone: return "cpu_alone";
    case kGpuAlone: return "gpu_alone";
    default: return "together";
  }
}

CpuGpuSummary summarizeCpuAndGpu(const CpuAndGpuRecord &record) {
  CpuGpuSummary summary;
  if (record.parts.size() != 3) {
    return summary;
  }
  const CpuGpuPart &cpu = record.parts[kCpuAlone];
  const CpuGpuPart &gpu = record.parts[kGpuAlone];
  const CpuGpuPart &both = record.parts[kTogether];
  summary.ended = true;
  summary.cpuDrop = drop(cpu.cpuMbPerS, both.cpuMbPerS);
  summary.gpuDrop = drop(gpu.gpuMbPerS, both.gpuMbPerS);
  summary.both = printedValue(both.cpuMbPerS) + printedValue(both.gpuMbPerS);
  return summary;
}

int defaultCpuThreads(int cpusInMask, int quotaCpus) {
  int cpus = cpusInMask;
  if (quotaCpus > 0 && quotaCpus < cpus) {
    cpus = quotaCpus;
  }
  const int threads = cpus - 1;
  if (threads < 1) {
    return 1;
  }
  return threads > kMostCpuThreads ? kMostCpuThreads : threads;
}

int quotaCpusFromMax(const char *cpuMax) {
  long long quota = 0;
  if (!leadingNumber(cpuMax, &quota)) {
    return 0;  // "max": no quota
  }
  const char *period = strpbrk(cpuMax, " \t");
  long long periodUs = 0;
  return period != nullptr && leadingNumber(period, &periodUs) ? quotaCpus(quota, periodUs) : 0;
}

int quotaCpusFromCfs(const char *quotaText, const char *periodText) {
  long long quota = 0;
  long long period = 0;
  return leadingNumber(quotaText, &quota) && leadingNumber(periodText, &period) ? quotaCpus(quota, period) : 0;
}

uint64_t memAvailableBytes(const char *meminfo) {
  const char *line = strstr(meminfo, "MemAvailable:");
  if (line == nullptr || (line != meminfo && line[-1] != '\n')) {
    return 0;
  }
  long long kilobytes = 0;
  if (!leadingNumber(line + strlen("MemAvailable:"), &kilobytes) || kilobytes <= 0) {
    return 0;
  }
  return static_cast<uint64_t>(kilobytes) * 1024;
}
