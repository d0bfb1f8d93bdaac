// Preloaded into the tool to stand in for debugfs: fopen of a path under
// /sys/kernel/debug/ opens the same path under DEBUGFS_ROOT instead.
#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

const char kDebugfs[] = "/sys/kernel/debug/";

using FopenFunction = FILE *(*)(const char *, const char *);

FopenFunction realFopen() {
  static FopenFunction function = reinterpret_cast<FopenFunction>(dlsym(RTLD_NEXT, "fopen"));
  return function;
}

}  // namespace

// NOLINTNEXTLINE(readability-inconsistent-declaration-parameter-name)
extern "C" FILE *fopen(const char *path, const char *mode) {
  const char *root = getenv("DEBUGFS_ROOT");
  if (root != nullptr && strncmp(path, kDebugfs, sizeof kDebugfs - 1) == 0) {
    const std::string redirected = std::string(root) + "/" + (path + sizeof kDebugfs - 1);
    return realFopen()(redirected.c_str(), mode);
  }
  return realFopen()(path, mode);
}
