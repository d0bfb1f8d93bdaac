#include "usage.h"

#include <cstdio>

void printUsage() {
  printf("\n");
  printf("Options:\n");
  printf("--help\tDisplay this help menu\n");
  printf("--size=[SIZE]\tTransfer size in MiB. Defaults to 32.\n");
  printf("--loops=[SIZE]\tAmmount of transfers. Defaults to 2000\n");
}
