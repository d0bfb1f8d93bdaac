#ifndef QUILLMERE_HOST_COPIES_HOST_COPY_PHASE_H
#define QUILLMERE_HOST_COPIES_HOST_COPY_PHASE_H

#include <cstdint>

#include "data/verify.h"
#include "host_copies/host_copy_record.h"
#include "timing/phase_observer.h"

// How the phase ended.
enum HostCopiesStatus {
  kHostCopiesCompleted,
  kHostCopiesBadTimer,
  kHostCopiesNoHostMemory,
  kHostCopiesDataDiffers,
  kHostCopiesStopped,
};

// Asks device 0's host-memory attributes into the record, then copies
// memSize bytes between a device buffer of its own and host memory of each
// kind in turn (pinned, pageable, registered), host to device and then
// device to host, record->repetitions times each, and appends each copy to
// record->copies as it completes. Pinned and registered copies are timed by
// the GPU's events; pageable ones by the host's monotonic clock around the
// copy and a device synchronisation. Registration is not supported when the
// device says so, or when the runtime answers cudaErrorNotSupported. Every
// other runtime call is checked. Returns kHostCopiesBadTimer, with
// record->badMs, for a time that is not a positive finite number or gives
// more than kMostMbPerS, and kHostCopiesNoHostMemory when a
// page-aligned host buffer cannot be allocated. With a verify record, each
// host buffer is cleared before its device-to-host repetitions and checked
// against the staging pattern after them: kHostCopiesDataDiffers when a
// byte differs. When the observer asks it to stop after a repetition, the
// copy under way is not recorded and the phase returns kHostCopiesStopped.
// The phase's buffers and events are released either way.
int runHostCopyPhase(uint32_t memSize, const PhaseObserver &observer, HostCopiesRecord *record,
                     VerifyRecord *verify);

#endif
