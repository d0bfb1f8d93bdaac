#include "host_copies/host_copy_record.h"

const char *hostCopyName(int direction, int memory) {
  static const char *const kNames[2][3] = {
      {"HtoD pinned", "HtoD pageable", "HtoD registered"},
      {"DtoH pinned", "DtoH pageable", "DtoH registered"},
  };
  return kNames[direction][memory];
}

const char *hostCopyDirectionName(int direction) {
  return direction == kHostToDevice ? "host_to_device" : "device_to_host";
}

const char *hostMemoryName(int memory) {
  static const char *const kNames[] = {"pinned", "pageable", "registered"};
  return kNames[memory];
}
