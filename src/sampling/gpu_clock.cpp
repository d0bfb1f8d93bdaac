#include "sampling/gpu_clock.h"

#include <dirent.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <string>

#include "board/memory_clock.h"

const char *const kDevfreqFolder = "/sys/class/devfreq/";

bool isGpuDevfreqName(const char *name) {
  if (strcmp(name, "gpu-gpc-0") == 0) {
    return true;
  }
  const size_t length = strlen(name);
  const char *const suffixes[] = {".gpu", ".gp10b", ".gv11b", ".ga10b"};
  return std::any_of(std::begin(suffixes), std::end(suffixes), [name, length](const char *suffix) {
    const size_t suffixLength = strlen(suffix);
    return length >= suffixLength && strcmp(name + length - suffixLength, suffix) == 0;
  });
}

Known<uint64_t> readGpuClock(const char *folder, char *textBuffer) {
  DIR *listing = opendir(folder);
  if (listing == nullptr) {
    return Known<uint64_t>();
  }
  std::string first;
  bool found = false;
  for (const struct dirent *entry = readdir(listing); entry != nullptr; entry = readdir(listing)) {
    // strcmp orders as unsigned bytes.
    if (isGpuDevfreqName(entry->d_name) && (!found || strcmp(entry->d_name, first.c_str()) < 0)) {
      first = entry->d_name;
      found = true;
    }
  }
  closedir(listing);
  uint64_t hz = 0;
  if (!found || !readDecimalFile((std::string(folder) + first + "/cur_freq").c_str(), textBuffer, &hz)) {
    return Known<uint64_t>();
  }
  return knownAs(hz);
}
