#ifndef QUILLMERE_RUN_WAIT_IDLE_H
#define QUILLMERE_RUN_WAIT_IDLE_H

#include "sampling/board_load.h"

// How the wait for an idle board ended.
enum IdleStatus { kBoardIdle, kBoardBusy, kWaitStopped };

// Takes the run's first reading of the board's load into the record. With
// --max-load, when it is above the allowed load, reads again once a second
// up to --wait-idle seconds after the first reading and returns kBoardIdle
// at the second of two readings in a row that are not above it, kBoardBusy
// when none such came, kWaitStopped when a signal asked the run to stop.
// On a terminal the progress line shows the reading and the seconds left.
int awaitIdleBoard(LoadRecord *load);

// The text report's "Load:\tGPU <g> %, memory <m> %" line, with
// " (waited <w> s)" after a wait; on a line of its own after the RAM text.
void printLoadLine(const LoadRecord &load, bool afterRamText);

// "the board stayed busy for <S> s: GPU load <g> %, memory load <m> %,
// above the allowed <P> %", of the last reading above it.
std::string busyMessage(const LoadRecord &load);

#endif
