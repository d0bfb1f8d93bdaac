#include "command_line/command_line.h"

#include "command_line/options.h"

namespace {

OptionValue numericOption(int argc, const char *const *argv, const char *name) {
  OptionValue option;
  option.given = hasOption(argc, argv, name);
  if (option.given) {
    option.value = optionIntValue(argc, argv, name);
  }
  return option;
}

}  // namespace

CommandLine readCommandLine(int argc, const char *const *argv) {
  CommandLine line;
  line.help = hasOption(argc, argv, "help");
  line.json = hasOption(argc, argv, "json");
  line.prometheus = hasOption(argc, argv, "prometheus");
  line.size = numericOption(argc, argv, "size");
  line.loops = numericOption(argc, argv, "loops");
  line.minTotal = numericOption(argc, argv, "min-total");
  line.minEfficiency = numericOption(argc, argv, "min-efficiency");
  line.busWidth = numericOption(argc, argv, "bus-width");
  line.duration = numericOption(argc, argv, "duration");
  line.interval = numericOption(argc, argv, "interval");
  line.maxDrop = numericOption(argc, argv, "max-drop");
  line.hostCopies = hasOption(argc, argv, "host-copies");
  line.hostLoops = numericOption(argc, argv, "host-loops");
  line.sweep = hasOption(argc, argv, "sweep");
  line.sweepLoops = numericOption(argc, argv, "sweep-loops");
  line.verify = hasOption(argc, argv, "verify");
  line.maxLoad = numericOption(argc, argv, "max-load");
  line.waitIdle = numericOption(argc, argv, "wait-idle");
  line.cpuCopies = hasOption(argc, argv, "cpu-copies");
  line.cpuSeconds = numericOption(argc, argv, "cpu-seconds");
  line.cpuThreads = numericOption(argc, argv, "cpu-threads");
  return line;
}
