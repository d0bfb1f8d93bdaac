#ifndef QUILLMERE_CONSOLE_END_RUN_H
#define QUILLMERE_CONSOLE_END_RUN_H

#include <string>

// Ends the run with an error where it stands, the one way every error line
// but a failed runtime call's is written: clears the progress line, writes
// out what standard output holds (so that in a log of both streams the
// figures stand before the error that judges them), then "Error: <message>"
// on standard error, or the message alone without errorPrefix, and records
// it with its kind.
void reportRunError(int kind, const std::string &message, bool errorPrefix = true);

// A note on standard error that ends nothing: clears the progress line and
// writes out standard output first, as an error line; "Note: <message>".
void reportNote(const std::string &message);

// After a stop signal: "Error: interrupted by <signal>", as reportRunError.
// Returns kRunInterrupted.
int reportInterruption();

// A timer gave a time no memory could: "Error: the GPU timer gave <ms> ms
// for <what>" (the host clock's "the host clock gave"), as reportRunError.
// Returns kRunTimerFault.
int reportTimerFault(bool hostClock, float ms, const std::string &what);

// A host buffer could not be allocated: "Not enough memory avaialable on
// host to run test!" as reportRunError writes it, then exits with status 1.
[[noreturn]] void failHostAllocation();

#endif
