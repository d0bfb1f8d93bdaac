#ifndef QUILLMERE_SUSTAINED_SUSTAINED_PHASE_H
#define QUILLMERE_SUSTAINED_SUSTAINED_PHASE_H

#include <cstdint>

#include "data/verify.h"
#include "sampling/sample.h"
#include "sustained/sustained_record.h"
#include "timing/phase_observer.h"

// How the phase ended.
enum SustainedStatus { kSustainedCompleted, kSustainedBadTimer, kSustainedDataDiffers, kSustainedStopped };

// Copies memSize bytes device to device, in batches of record->batchCopies
// copies on two buffers of its own, for record->durationS seconds of GPU
// time in intervals of record->intervalS, and appends each interval that
// ends to record->intervals, sampled from sources. Every runtime call is
// checked. Returns kSustainedBadTimer, with record->badBatchMs, when a batch
// time is not a positive finite number or gives a Total above
// kMostMbPerS. With a check, the input is filled with the check
// pattern before the first batch, the copies alternate direction, and at
// each interval's end, after its sample, the buffer the newest copy wrote
// is read back and compared with the pattern: kSustainedDataDiffers, after
// that interval is recorded, when a byte differs. When the observer asks it
// to stop after a batch, the interval under way is dropped and the phase
// returns kSustainedStopped. The buffers and events are released either
// way.
int runSustainedPhase(uint32_t memSize, const SampleSources &sources, const PhaseObserver &observer,
                      SustainedRecord *record, const DataCheck *check);

#endif
