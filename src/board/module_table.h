#ifndef QUILLMERE_BOARD_MODULE_TABLE_H
#define QUILLMERE_BOARD_MODULE_TABLE_H

#include <cstddef>
#include <string>

// The module named by a device tree's root compatible property: the bus
// width of its memory, in bits, and the whole string that named it.
struct ModuleMatch {
  bool found;
  int busWidthBits;
  std::string compatible;
};

// Looks the compatible property (strings separated by NUL, as the kernel
// gives it) up in the module table. Each string in turn loses its vendor
// prefix (up to its first comma) and, for a carrier+module pair, all up to
// its last '+'; the first whose rest names a module decides. A rest names a
// part number "pNNNN", and a SKU "pNNNN-NNNN" where a row asks for one, when
// it begins with it and goes on with '-' or ends there; any other rest must
// equal one of the table's names.
ModuleMatch lookUpModule(const char *compatible, size_t length);

#endif
