#include "board/board_software.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "board/decimal.h"
#include "board/memory_clock.h"

const BoardSoftwareFiles kBoardSoftwareFiles = {
    "/etc/nv_tegra_release",
    "/var/lib/nvpmodel/status",
    // nvpmodel's own order of preference.
    {"/odm/etc/nvpmodel.conf", "/vendor/etc/nvpmodel.conf", "/etc/nvpmodel.conf"},
};

namespace {

const size_t kLineBytes = 4096;

// Skips text at *at when it starts there.
bool skipText(const char **at, const char *text) {
  const size_t length = strlen(text);
  if (strncmp(*at, text, length) != 0) {
    return false;
  }
  *at += length;
  return true;
}

// Skips one or more spaces or tabs.
bool skipBlanks(const char **at) {
  const size_t count = strspn(*at, " \t");
  *at += count;
  return count > 0;
}

// Reads up to nine decimal digits at *at, so that the number fits an int.
bool readNumber(const char **at, int *value) {
  uint64_t digits = 0;
  if (!readDigits(at, 9, &digits)) {
    return false;
  }
  *value = static_cast<int>(digits);
  return true;
}

}  // namespace

Known<std::string> parseRelease(const char *line) {
  const char *at = line;
  if (!skipText(&at, "# R")) {
    return Known<std::string>();
  }
  const size_t major = strspn(at, "0123456789");
  const char *majorText = at;
  at += major;
  if (major == 0 || !skipText(&at, " (release), REVISION: ")) {
    return Known<std::string>();
  }
  const size_t revision = strspn(at, "0123456789.");
  if (revision == 0 || at[revision] != ',') {
    return Known<std::string>();
  }
  return knownAs("R" + std::string(majorText, major) + "." + std::string(at, revision));
}

Known<int> parsePowerModeStatus(const char *line) {
  for (const char *at = strstr(line, "pmode:"); at != nullptr; at = strstr(at, "pmode:")) {
    at += strlen("pmode:");
    int id = 0;
    if (readNumber(&at, &id)) {
      return knownAs(id);
    }
  }
  return Known<int>();
}

Known<std::string> parsePowerModeLine(const char *line, int id) {
  const char *at = line;
  int lineId = 0;
  if (!skipText(&at, "<") || !skipBlanks(&at) || !skipText(&at, "POWER_MODEL") || !skipBlanks(&at) ||
      !skipText(&at, "ID=") || !readNumber(&at, &lineId) || lineId != id || !skipBlanks(&at) ||
      !skipText(&at, "NAME=")) {
    return Known<std::string>();
  }
  const size_t length = strspn(at, "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789_");
  const std::string name(at, length);
  at += length;
  if (length == 0 || !skipBlanks(&at) || !skipText(&at, ">") || at[strspn(at, " \t\r\n")] != '\0') {
    return Known<std::string>();
  }
  return knownAs(name);
}

namespace {

// Calls test on each line of the file until it gives a known value.
template <typename T, typename Test>
Known<T> firstLineThat(FILE *file, Test test) {
  char line[kLineBytes];
  while (fgets(line, sizeof line, file) != nullptr) {
    Known<T> found = test(line);
    if (found.known) {
      return found;
    }
  }
  return Known<T>();
}

}  // namespace

BoardSoftware readBoardSoftware(const BoardSoftwareFiles &files) {
  BoardSoftware software;
  std::vector<char> textBuffer(kClockTextBufferSize);
  if (readFirstLine(files.release, textBuffer.data())) {
    software.release = parseRelease(textBuffer.data());
  }
  FILE *file = fopen(files.powerModeStatus, "r");
  if (file == nullptr) {
    return software;
  }
  const Known<int> id = firstLineThat<int>(file, parsePowerModeStatus);
  fclose(file);
  if (!id.known) {
    return software;
  }
  software.powerMode.known = true;
  software.powerMode.id = id.value;
  for (const char *path : files.powerModeConfs) {
    file = fopen(path, "r");
    if (file != nullptr) {
      software.powerMode.name = firstLineThat<std::string>(
          file, [&id](const char *line) { return parsePowerModeLine(line, id.value); });
      fclose(file);
      break;
    }
  }
  return software;
}
