#include "sampling/thermal_zones.h"

#include <dirent.h>

#include <algorithm>
#include <cstring>
#include <utility>

#include "board/decimal.h"
#include "board/memory_clock.h"

const char *const kThermalFolder = "/sys/class/thermal/";

namespace {

const char kZonePrefix[] = "thermal_zone";
const size_t kMostDigits = 15;

// The N of "thermal_zoneN"; false for any other name.
bool zoneNumber(const char *name, int *zone) {
  const size_t prefix = sizeof kZonePrefix - 1;
  if (strncmp(name, kZonePrefix, prefix) != 0) {
    return false;
  }
  const char *digits = name + prefix;
  uint64_t number = 0;
  // Nine digits at most, so that the number fits an int.
  if (!readDigits(&digits, 9, &number) || *digits != '\0') {
    return false;
  }
  *zone = static_cast<int>(number);
  return true;
}

bool readZone(const std::string &folder, int number, const std::string &zone, char *textBuffer,
              Temperature *reading) {
  const std::string path = folder + zone + "/";
  // Offline zones fail the read (EAGAIN); such a zone is not retried.
  if (!readFirstLine((path + "temp").c_str(), textBuffer) || !parseMilliCelsius(textBuffer, &reading->milliCelsius) ||
      reading->milliCelsius == kUnavailableMilliCelsius) {
    return false;
  }
  reading->number = number;
  reading->zone = zone;
  if (readFirstLine((path + "type").c_str(), textBuffer)) {
    reading->type = knownAs(std::string(textBuffer, strcspn(textBuffer, "\n")));
  }
  return true;
}

}  // namespace

bool parseMilliCelsius(const char *text, long long *milliCelsius) {
  const bool negative = *text == '-';
  const char *digits = negative ? text + 1 : text;
  uint64_t value = 0;
  if (!readDigits(&digits, kMostDigits, &value) || (*digits != '\0' && *digits != '\n')) {
    return false;
  }
  *milliCelsius = negative ? -static_cast<long long>(value) : static_cast<long long>(value);
  return true;
}

std::vector<Temperature> readThermalZones(const char *folder, char *textBuffer) {
  std::vector<std::pair<int, std::string>> zones;
  DIR *listing = opendir(folder);
  if (listing == nullptr) {
    return std::vector<Temperature>();
  }
  for (const struct dirent *entry = readdir(listing); entry != nullptr; entry = readdir(listing)) {
    int zone = 0;
    if (zoneNumber(entry->d_name, &zone)) {
      zones.emplace_back(zone, entry->d_name);
    }
  }
  closedir(listing);
  std::sort(zones.begin(), zones.end());
  std::vector<Temperature> readings;
  for (const auto &zone : zones) {
    Temperature reading;
    if (readZone(folder, zone.first, zone.second, textBuffer, &reading)) {
      readings.push_back(reading);
    }
  }
  return readings;
}
