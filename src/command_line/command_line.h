#ifndef QUILLMERE_COMMAND_LINE_COMMAND_LINE_H
#define QUILLMERE_COMMAND_LINE_COMMAND_LINE_H

// One numeric option as the command line gives it, not yet validated.
struct OptionValue {
  bool given = false;    // some argument names the option
  long long value = 0;   // as optionIntValue reads it
};

// The whole command line, read once: which options are named and the
// values given, before any of them is judged.
struct CommandLine {
  bool help = false;
  bool json = false;
  bool prometheus = false;
  OptionValue size;           // MiB
  OptionValue loops;
  OptionValue minTotal;       // MB/s
  OptionValue minEfficiency;  // percent of the memory's peak
  OptionValue busWidth;       // bits
  OptionValue duration;       // seconds of the sustained copy
  OptionValue interval;       // seconds of each of its intervals
  OptionValue maxDrop;        // percent below its highest interval
  bool hostCopies = false;    // copy between host and device memory too
  OptionValue hostLoops;      // repetitions of each host copy
  bool sweep = false;         // copy at each size from 1 MiB up too
  OptionValue sweepLoops;     // repetitions at each size of the sweep
  bool verify = false;        // read the copied data back and check it
  OptionValue maxLoad;        // percent of GPU and memory load to wait below
  OptionValue waitIdle;       // seconds to wait at most
  bool cpuCopies = false;     // copy on the CPU and the GPU, alone and at once
  OptionValue cpuSeconds;     // seconds of each part of the CPU copies
  OptionValue cpuThreads;     // CPU threads that copy
};

// Reads every option the tool knows from argv[1..argc-1].
CommandLine readCommandLine(int argc, const char *const *argv);

#endif
