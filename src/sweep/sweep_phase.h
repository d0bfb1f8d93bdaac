#ifndef QUILLMERE_SWEEP_SWEEP_PHASE_H
#define QUILLMERE_SWEEP_SWEEP_PHASE_H

#include "sweep/sweep_record.h"
#include "timing/phase_observer.h"

// How the sweep ended.
enum SweepStatus { kSweepCompleted, kSweepBadTimer, kSweepStopped };

// Copies device to device at each size of record->planMiB in turn, on two
// buffers of that size allocated before its repetitions and released after
// them, with two events for the whole sweep; each size's figure is the best
// of record->repetitions, timed by the one timed loop, and is appended to
// record->sizes as it completes. Returns kSweepBadTimer, the time in
// record->badMs, for a time no memory could give, and kSweepStopped when the
// observer stops it (the size under way is not recorded). Every runtime call
// is checked; the buffers and events are released either way.
int runSweepPhase(const PhaseObserver &observer, SweepRecord *record);

#endif
