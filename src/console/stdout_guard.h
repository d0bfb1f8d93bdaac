#ifndef QUILLMERE_CONSOLE_STDOUT_GUARD_H
#define QUILLMERE_CONSOLE_STDOUT_GUARD_H

// Makes the process end with status 1, after the line "Error: the report
// could not be written to standard output (<reason>)" on standard error,
// when standard output cannot be written completely. Standard output stays
// buffered; it is written out as the process ends, whichever way it ends.
// Call once, first thing in main.
void guardStandardOutput();

// Writes out what standard output holds now, for the lines that must show
// as they are printed. A failure is kept, with its reason, for the line at
// exit.
void flushStandardOutput();

#endif
