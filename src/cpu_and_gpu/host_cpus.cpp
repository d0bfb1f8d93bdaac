#include "cpu_and_gpu/host_cpus.h"

#include <sched.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "cpu_and_gpu/cpu_and_gpu_record.h"

namespace {

// A small file's text, up to size - 1 bytes; false when it does not open.
bool readText(const std::string &path, char *text, size_t size) {
  FILE *file = fopen(path.c_str(), "r");
  if (file == nullptr) {
    return false;
  }
  const size_t length = fread(text, 1, size - 1, file);
  text[length] = '\0';
  fclose(file);
  return true;
}

// The tighter of two quotas in CPUs, 0 being none.
int tighter(int a, int b) {
  return a == 0 ? b : b == 0 ? a : (a < b ? a : b);
}

// The quota of a cgroup folder and those above it, up to the root.
int quotaUpFrom(const std::string &root, std::string path, bool v2) {
  char first[128];
  char second[128];
  int quota = 0;
  while (true) {
    const std::string folder = root + path;
    if (v2 && readText(folder + "/cpu.max", first, sizeof first)) {
      quota = tighter(quota, quotaCpusFromMax(first));
    } else if (!v2 && readText(folder + "/cpu.cfs_quota_us", first, sizeof first) &&
               readText(folder + "/cpu.cfs_period_us", second, sizeof second)) {
      quota = tighter(quota, quotaCpusFromCfs(first, second));
    }
    const size_t slash = path.rfind('/');
    if (path.empty() || slash == std::string::npos) {
      return quota;
    }
    path.erase(slash);
  }
}

}  // namespace

std::vector<int> allowedCpus() {
  std::vector<int> cpus;
  cpu_set_t mask;
  CPU_ZERO(&mask);
  if (sched_getaffinity(0, sizeof mask, &mask) != 0) {
    return cpus;
  }
  for (int cpu = 0; cpu < CPU_SETSIZE; cpu++) {
    if (CPU_ISSET(cpu, &mask)) {
      cpus.push_back(cpu);
    }
  }
  return cpus;
}

int cgroupQuotaCpus() {
  char text[4096];
  if (!readText("/proc/self/cgroup", text, sizeof text)) {
    return 0;
  }
  // "0::/path" for v2; "N:cpu,cpuacct:/path" (or "cpuacct,cpu") for v1.
  for (char *line = text; *line != '\0';) {
    char *end = strchr(line, '\n');
    char *next = end != nullptr ? end + 1 : line + strlen(line);
    if (end != nullptr) {
      *end = '\0';
    }
    const char *controllers = strchr(line, ':');
    line = next;
    const char *path = controllers != nullptr ? strchr(controllers + 1, ':') : nullptr;
    if (path == nullptr) {
      continue;
    }
    const std::string names(controllers + 1, path);
    std::string folder = path + 1;
    if (folder == "/") {
      folder.clear();
    }
    if (names.empty()) {
      return quotaUpFrom("/sys/fs/cgroup", folder, true);
    }
    if ((',' + names + ',').find(",cpu,") != std::string::npos) {
      return tighter(quotaUpFrom("/sys/fs/cgroup/cpu,cpuacct", folder, false),
                     quotaUpFrom("/sys/fs/cgroup/cpu", folder, false));
    }
  }
  return 0;
}

uint64_t availableMemory() {
  char text[4096];
  return readText("/proc/meminfo", text, sizeof text) ? memAvailableBytes(text) : 0;
}
