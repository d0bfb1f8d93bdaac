#ifndef QUILLMERE_RUN_RUN_ERROR_H
#define QUILLMERE_RUN_RUN_ERROR_H

#include <string>

// Ends the run with an error where it stands: clears the progress line,
// writes out what standard output holds, then "Error: <message>" on
// standard error, and records it with its kind.
void reportRunError(int kind, const std::string &message);

#endif
