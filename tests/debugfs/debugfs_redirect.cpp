// Preloaded into the tool to stand in for the board's files: fopen of a path
// under /sys/kernel/debug/ opens the same path under DEBUGFS_ROOT instead,
// and one under /sys/class/devfreq/, /sys/firmware/devicetree/ or
// /sys/kernel/nvpmodel_emc_cap/ the same path under DEBUGFS_ROOT/class/devfreq/,
// DEBUGFS_ROOT/firmware/devicetree/ or DEBUGFS_ROOT/kernel/nvpmodel_emc_cap/.
// With DEBUGFS_LOG set, each such path, as the tool named it, is appended
// to that file, a line each.
#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

struct Redirect {
  const char *prefix;
  const char *under;  // what replaces the prefix, below DEBUGFS_ROOT
};
const Redirect kRedirects[] = {
    {"/sys/kernel/debug/", "/"},
    {"/sys/class/devfreq/", "/class/devfreq/"},
    {"/sys/firmware/devicetree/", "/firmware/devicetree/"},
    {"/sys/kernel/nvpmodel_emc_cap/", "/kernel/nvpmodel_emc_cap/"},
};

using FopenFunction = FILE *(*)(const char *, const char *);

FopenFunction realFopen() {
  static FopenFunction function = reinterpret_cast<FopenFunction>(dlsym(RTLD_NEXT, "fopen"));
  return function;
}

}  // namespace

// NOLINTNEXTLINE(readability-inconsistent-declaration-parameter-name)
extern "C" FILE *fopen(const char *path, const char *mode) {
  const char *root = getenv("DEBUGFS_ROOT");
  if (root != nullptr) {
    for (const Redirect &redirect : kRedirects) {
      const size_t length = strlen(redirect.prefix);
      if (strncmp(path, redirect.prefix, length) == 0) {
        const char *logPath = getenv("DEBUGFS_LOG");
        FILE *log = logPath != nullptr ? realFopen()(logPath, "a") : nullptr;
        if (log != nullptr) {
          fprintf(log, "%s\n", path);
          fclose(log);
        }
        const std::string redirected = std::string(root) + redirect.under + (path + length);
        return realFopen()(redirected.c_str(), mode);
      }
    }
  }
  return realFopen()(path, mode);
}
