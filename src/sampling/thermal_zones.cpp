#include "sampling/thermal_zones.h"

#include <dirent.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <utility>

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
  const size_t count = strspn(digits, "0123456789");
  // Nine digits at most, so that the number fits an int.
  if (count == 0 || count > 9 || digits[count] != '\0') {
    return false;
  }
  *zone = 0;
  for (size_t i = 0; i < count; i++) {
    *zone = *zone * 10 + (digits[i] - '0');
  }
  return true;
}

// The first line of a small file, without its newline; false when it does
// not open or does not read.
bool firstLine(const std::string &path, std::string *line) {
  FILE *file = fopen(path.c_str(), "r");
  if (file == nullptr) {
    return false;
  }
  char text[256];
  const bool read = fgets(text, sizeof text, file) != nullptr;
  fclose(file);
  if (!read) {
    return false;
  }
  line->assign(text, strcspn(text, "\n"));
  return true;
}

bool readZone(const std::string &folder, int number, const std::string &zone, Temperature *reading) {
  const std::string path = folder + zone + "/";
  FILE *file = fopen((path + "temp").c_str(), "r");
  if (file == nullptr) {
    return false;
  }
  char text[64];
  // Offline zones fail the read (EAGAIN); such a zone is not retried.
  const bool read = fgets(text, sizeof text, file) != nullptr && ferror(file) == 0;
  fclose(file);
  if (!read || !parseMilliCelsius(text, &reading->milliCelsius) ||
      reading->milliCelsius == kUnavailableMilliCelsius) {
    return false;
  }
  reading->number = number;
  reading->zone = zone;
  std::string type;
  if (firstLine(path + "type", &type)) {
    reading->type = knownAs(type);
  }
  return true;
}

}  // namespace

bool parseMilliCelsius(const char *text, long long *milliCelsius) {
  const bool negative = *text == '-';
  const char *digits = negative ? text + 1 : text;
  const size_t count = strspn(digits, "0123456789");
  if (count == 0 || count > kMostDigits || (digits[count] != '\0' && digits[count] != '\n')) {
    return false;
  }
  long long value = 0;
  for (size_t i = 0; i < count; i++) {
    value = value * 10 + (digits[i] - '0');
  }
  *milliCelsius = negative ? -value : value;
  return true;
}

std::vector<Temperature> readThermalZones(const char *folder) {
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
    if (readZone(folder, zone.first, zone.second, &reading)) {
      readings.push_back(reading);
    }
  }
  return readings;
}
