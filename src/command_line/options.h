#ifndef QUILLMERE_OPTIONS_H
#define QUILLMERE_OPTIONS_H

#include <cstddef>

// Number of leading delimiter characters to skip in an argument: the count of
// leading delimiters when it is less than the argument's length minus 1,
// otherwise 0 (so "-x", "--x" and "---" skip nothing).
int dashPrefixLength(char delimiter, const char *argument);

// True when some argument in argv[1..argc-1] names the option: its text after
// the dashes, up to the first '=', equals name ignoring ASCII case.
bool hasOption(int argc, const char *const *argv, const char *name);

// The value of the last argument whose text after the dashes starts with name
// (ignoring case; what follows the name is not tested), read as a decimal
// integer right after the name and one optional '='; 0 when no argument
// matches or nothing follows the name. Values outside the 32-bit signed range
// come back as -2147483649 or 2147483648, so callers can reject them.
long long optionIntValue(int argc, const char *const *argv, const char *name);

// Reads a decimal integer as atoi does (leading blanks, a sign, digits up to
// the first other character; 0 when there are no digits) but saturates
// instead of overflowing: the result lies in [-2147483649, 2147483648].
long long decimalPrefixValue(const char *text);

#endif
