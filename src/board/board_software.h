#ifndef QUILLMERE_BOARD_BOARD_SOFTWARE_H
#define QUILLMERE_BOARD_BOARD_SOFTWARE_H

#include <string>

#include "board/known.h"

// Number of places the power modes' configuration may be.
const size_t kPowerModeConfCount = 3;

// Where the board's software release and power mode show.
struct BoardSoftwareFiles {
  const char *release;          // "# R36 (release), REVISION: 4.3, ..."
  const char *powerModeStatus;  // "pmode:0002"
  const char *powerModeConfs[kPowerModeConfCount];  // the first that exists names the modes
};

// The board's files.
extern const BoardSoftwareFiles kBoardSoftwareFiles;

// The power mode in force.
struct PowerMode {
  bool known = false;  // a status line gave its id
  int id = 0;
  Known<std::string> name;  // from the configuration's POWER_MODEL line of that id
};

struct BoardSoftware {
  Known<std::string> release;  // "R36.4.3"
  PowerMode powerMode;
};

// "R<major>.<revision>" from "# R<major> (release), REVISION: <revision>,",
// the revision being digits and dots; unknown for any other line.
Known<std::string> parseRelease(const char *line);

// The N of the first "pmode:" followed by decimal digits in the line.
Known<int> parsePowerModeStatus(const char *line);

// The NAME of a line "<", blanks, "POWER_MODEL", blanks, "ID=<id>", blanks,
// "NAME=<letters, digits, _>", blanks, ">"; unknown for any other line or
// another id. Blanks are one or more spaces or tabs.
Known<std::string> parsePowerModeLine(const char *line, int id);

// Reads the release and the power mode.
BoardSoftware readBoardSoftware(const BoardSoftwareFiles &files);

#endif
