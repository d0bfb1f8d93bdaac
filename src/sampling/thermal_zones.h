#ifndef QUILLMERE_SAMPLING_THERMAL_ZONES_H
#define QUILLMERE_SAMPLING_THERMAL_ZONES_H

#include <string>
#include <vector>

#include "board/known.h"

// Where the kernel lists its thermal zones.
extern const char *const kThermalFolder;

// What unavailable zones show as their temperature on some releases.
const long long kUnavailableMilliCelsius = -256000;

// One zone's reading.
struct Temperature {
  int number = 0;            // N
  std::string zone;          // its folder's name, thermal_zoneN
  Known<std::string> type;   // the first line of its type file
  long long milliCelsius = 0;
};

// Reads a temperature file's text: an optional '-' and decimal digits (at
// most 15), then a newline or the end. False for anything else.
bool parseMilliCelsius(const char *text, long long *milliCelsius);

// The folder's entries named thermal_zone and digits, in ascending order of
// the number, each with its temperature. A zone whose temp does not read,
// does not parse or reads kUnavailableMilliCelsius is left out. textBuffer
// holds kClockTextBufferSize bytes.
std::vector<Temperature> readThermalZones(const char *folder, char *textBuffer);

#endif
