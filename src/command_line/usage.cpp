#include "command_line/usage.h"

#include <cstdio>

void printUsage() {
  printf("\n");
  printf("Options:\n");
  printf("--help\tDisplay this help menu\n");
  printf("--size=[SIZE]\tTransfer size in MiB. Defaults to 32.\n");
  printf("--loops=[SIZE]\tAmmount of transfers. Defaults to 2000\n");
  printf("--json\tReport as one JSON object\n");
  printf("--prometheus\tReport in the Prometheus text format\n");
  printf("--min-total=[MB/s]\tFail when the Memcpy Total is below this\n");
  printf("--min-efficiency=[%%]\tFail when the Memcpy Total is below this share of the memory's peak\n");
  printf("--bus-width=[BITS]\tThe memory's bus width, for its peak\n");
  printf("--duration=[SECONDS]\tAfter the measurements, copy for this long and report each interval\n");
  printf("--interval=[SECONDS]\tLength of each interval of the sustained copy. Defaults to 10\n");
  printf("--max-drop=[%%]\tFail when the sustained Memcpy Total falls this far below its highest interval\n");
  printf("--host-copies\tAfter the measurements, copy between host and device memory, each way\n");
  printf("--host-loops=[SIZE]\tRepetitions of each host copy. Defaults to 100\n");
  printf("--sweep\tAfter the measurements, copy at each size from 1 MiB up\n");
  printf("--sweep-loops=[SIZE]\tRepetitions at each size of the sweep. Defaults to 100\n");
  printf("--verify\tRead the copied data back and check every byte\n");
  printf("--max-load=[%%]\tBefore measuring, wait until the GPU and memory load are at most this\n");
  printf("--wait-idle=[SECONDS]\tThe longest wait for an idle board. Defaults to 60\n");
  printf("--cpu-copies\tAfter the measurements, copy on the CPU and the GPU, alone and at once\n");
  printf("--cpu-seconds=[SECONDS]\tLength of each part of the CPU copies. Defaults to 10\n");
  printf("--cpu-threads=[SIZE]\tCPU threads that copy. Defaults to the CPUs less one\n");
}
