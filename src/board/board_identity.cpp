#include "board/board_identity.h"

#include <cstdio>
#include <cstring>

#include "board/module_table.h"

const DeviceTreeFiles kBoardDeviceTree = {
    // /proc/device-tree is a link to /sys/firmware/devicetree/base.
    "/sys/firmware/devicetree/base/compatible",
    "/sys/firmware/devicetree/base/model",
};

namespace {

// A device tree property is small; anything past this is not a name.
const size_t kMostPropertyBytes = 4096;

// Reads a whole property, at most kMostPropertyBytes of it. False when the
// file does not open or cannot be read.
bool readProperty(const char *path, std::string *bytes) {
  FILE *file = fopen(path, "rb");
  if (file == nullptr) {
    return false;
  }
  char buffer[kMostPropertyBytes];
  const size_t length = fread(buffer, 1, sizeof buffer, file);
  const bool failed = ferror(file) != 0;
  fclose(file);
  if (failed) {
    return false;
  }
  bytes->assign(buffer, length);
  return true;
}

}  // namespace

BoardIdentity readBoardIdentity(const DeviceTreeFiles &files) {
  BoardIdentity board;
  std::string compatible;
  if (!readProperty(files.compatible, &compatible)) {
    return board;
  }
  board.known = true;
  std::string model;
  if (readProperty(files.model, &model)) {
    board.model = knownAs(model.substr(0, model.find('\0')));
  }
  const ModuleMatch module = lookUpModule(compatible.data(), compatible.size());
  if (module.found) {
    board.moduleCompatible = knownAs(module.compatible);
    board.moduleBusWidthBits = knownAs(module.busWidthBits);
  }
  return board;
}
