#ifndef QUILLMERE_CPU_AND_GPU_HOST_CPUS_H
#define QUILLMERE_CPU_AND_GPU_HOST_CPUS_H

#include <cstdint>
#include <vector>

// What the host lets the CPU copies use, read when the phase starts.

// The CPUs the process may run on (its affinity mask), in ascending order.
std::vector<int> allowedCpus();

// The process's CPU quota in whole CPUs, rounded up, from its cgroup (v2
// cpu.max, or v1 cpu.cfs_quota_us over cpu.cfs_period_us), the tightest of
// its cgroup and the ones above it; 0 when none is set or none reads.
int cgroupQuotaCpus();

// MemAvailable of /proc/meminfo in bytes; 0 when it does not read.
uint64_t availableMemory();

#endif
