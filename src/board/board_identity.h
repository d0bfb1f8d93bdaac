#ifndef QUILLMERE_BOARD_BOARD_IDENTITY_H
#define QUILLMERE_BOARD_BOARD_IDENTITY_H

#include <string>

#include "board/known.h"

// Where the device tree names the board.
struct DeviceTreeFiles {
  const char *compatible;  // strings separated by NUL; world-readable
  const char *model;       // one string and its NUL
};

// The board's device tree files.
extern const DeviceTreeFiles kBoardDeviceTree;

// What the device tree says of the board.
struct BoardIdentity {
  bool known = false;                   // the compatible property could be read
  Known<std::string> model;             // up to its first NUL
  Known<std::string> moduleCompatible;  // the whole string that named a module
  Known<int> moduleBusWidthBits;        // that module's memory bus width
};

// Reads the device tree's compatible and model and looks the module up.
BoardIdentity readBoardIdentity(const DeviceTreeFiles &files);

#endif
