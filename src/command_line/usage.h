#ifndef QUILLMERE_COMMAND_LINE_USAGE_H
#define QUILLMERE_COMMAND_LINE_USAGE_H

// Prints a blank line and the option summary on standard output. The stated
// defaults (32 MiB, 2000 transfers) are the long-standing text, kept as is;
// the machine-report options follow.
void printUsage();

#endif
