// Preloaded into the tool to stand in for the board's files: fopen or
// opendir of a path under /sys/kernel/debug/ opens the same path under
// DEBUGFS_ROOT instead, and one under /sys/class/devfreq/,
// /sys/class/thermal/, /sys/firmware/devicetree/, /sys/kernel/nvpmodel_emc_cap/,
// /sys/devices/, /sys/kernel/actmon_avg_activity/,
// /var/lib/nvpmodel/, /odm/etc/ or /vendor/etc/, and /etc/nv_tegra_release
// or /etc/nvpmodel.conf, the same path under DEBUGFS_ROOT (DEBUGFS_ROOT/class/
// thermal/ and so on). With DEBUGFS_LOG set, each such path, as the tool
// named it, is appended to that file, a line each.
#include <dirent.h>
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
    {"/sys/class/thermal/", "/class/thermal/"},
    {"/sys/devices/", "/devices/"},
    {"/sys/kernel/actmon_avg_activity/", "/kernel/actmon_avg_activity/"},
    {"/var/lib/nvpmodel/", "/var/lib/nvpmodel/"},
    {"/odm/etc/", "/odm/etc/"},
    {"/vendor/etc/", "/vendor/etc/"},
    {"/etc/nv_tegra_release", "/etc/nv_tegra_release"},
    {"/etc/nvpmodel.conf", "/etc/nvpmodel.conf"},
    {"/proc/meminfo", "/proc/meminfo"},
    {"/proc/self/cgroup", "/proc/self/cgroup"},
    {"/sys/fs/cgroup/", "/fs/cgroup/"},
};

// The next definition of the function, as the C library has it.
template <typename Function>
Function next(const char *name) {
  return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

using FopenFunction = FILE *(*)(const char *, const char *);

// The path under DEBUGFS_ROOT that stands in for a board's path, logged;
// empty for any other path.
std::string redirected(const char *path) {
  const char *root = getenv("DEBUGFS_ROOT");
  if (root == nullptr) {
    return std::string();
  }
  for (const Redirect &redirect : kRedirects) {
    const size_t length = strlen(redirect.prefix);
    if (strncmp(path, redirect.prefix, length) == 0) {
      const char *logPath = getenv("DEBUGFS_LOG");
      static const auto realFopen = next<FopenFunction>("fopen");
      FILE *log = logPath != nullptr ? realFopen(logPath, "a") : nullptr;
      if (log != nullptr) {
        fprintf(log, "%s\n", path);
        fclose(log);
      }
      return std::string(root) + redirect.under + (path + length);
    }
  }
  return std::string();
}

}  // namespace

// NOLINTNEXTLINE(readability-inconsistent-declaration-parameter-name)
extern "C" FILE *fopen(const char *path, const char *mode) {
  static const auto realFopen = next<FopenFunction>("fopen");
  const std::string board = redirected(path);
  return realFopen(board.empty() ? path : board.c_str(), mode);
}

// NOLINTNEXTLINE(readability-inconsistent-declaration-parameter-name)
extern "C" DIR *opendir(const char *path) {
  static const auto realOpendir = next<DIR *(*)(const char *)>("opendir");
  const std::string board = redirected(path);
  return realOpendir(board.empty() ? path : board.c_str());
}
