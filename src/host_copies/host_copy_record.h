#ifndef QUILLMERE_HOST_COPIES_HOST_COPY_RECORD_H
#define QUILLMERE_HOST_COPIES_HOST_COPY_RECORD_H

#include <vector>

#include "board/known.h"
#include "timing/timing_stats.h"

// Repetitions of each host copy without a "host-loops" option.
const int kDefaultHostCopyRepetitions = 100;

// Which way a host copy goes.
enum HostCopyDirection { kHostToDevice, kDeviceToHost };

// Which host memory it copies to or from.
enum HostMemory { kPinnedMemory, kPageableMemory, kRegisteredMemory };

// One host copy: a direction and a kind of host memory, measured or not
// supported by the device.
struct HostCopyRecord {
  int direction = kHostToDevice;
  int memory = kPinnedMemory;
  bool supported = false;
  bool gpuTimed = false;  // by the GPU's events; else by the host's clock
  float figure = 0.0f;    // MB/s one way, from the best repetition
  TimingStats stats;
};

// The host copies as asked and as they went.
struct HostCopiesRecord {
  bool requested = false;  // --host-copies, with --host-loops, was accepted
  bool reached = false;    // the phase began: the device's attributes were asked
  int repetitions = kDefaultHostCopyRepetitions;
  // The device's attributes as the runtime answered them; unknown when the
  // query failed.
  Known<bool> integrated;
  Known<bool> canMapHostMemory;
  Known<bool> pageableMemoryAccess;
  Known<bool> hostRegisterSupported;
  std::vector<HostCopyRecord> copies;  // those the phase completed, in order, unsupported ones too
  float badMs = 0.0f;                  // the time that ended the phase, if one did
  bool badTimeFromHostClock = false;   // ... read from the host's clock, not the GPU's
};

// The copy's name as the text report gives it: "HtoD pinned", "DtoH registered".
const char *hostCopyName(int direction, int memory);

// The machine reports' names: "host_to_device"; "pinned", "pageable", "registered".
const char *hostCopyDirectionName(int direction);
const char *hostMemoryName(int memory);

#endif
