#ifndef QUILLMERE_TIMING_RATE_H
#define QUILLMERE_TIMING_RATE_H

#include <string>

// Rate in MB/s for bytes moved in the given milliseconds, in double precision.
float megabytesPerSecond(double bytes, float elapsedTimeInMs);

// A figure as the text report prints it: one decimal ("%.1f").
std::string printedFigure(double figure);

// A figure's value as the text report prints it, for verdicts that judge
// what the reader sees.
double printedValue(double figure);

#endif
