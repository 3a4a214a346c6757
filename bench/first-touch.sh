#!/usr/bin/env bash
# How much the first write to new memory costs on this machine, against a second write to the
# same memory, with small pages and with huge pages. On virtual machines the first touch of each
# small page can cost several microseconds, which is what a large listing's tables pay.
#   usage: bench/first-touch.sh [MiB]     (default 32)
set -euo pipefail
MIB=${1:-32}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cat >"$work/touch.c" <<'C'
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <stdint.h>
#include <sys/mman.h>
#include <time.h>
static double now(void) {
  struct timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}
static void run(const char* what, size_t n, int huge) {
  size_t h = (size_t)2 << 20;
  char* raw = mmap(0, n + h, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (raw == MAP_FAILED) { perror("mmap"); exit(1); }
  char* p = (char*)(((uintptr_t)raw + h - 1) & ~(uintptr_t)(h - 1));
  if (huge) madvise(p, n, MADV_HUGEPAGE);
  double t0 = now(); memset(p, 1, n);
  double t1 = now(); memset(p, 2, n);
  double t2 = now();
  printf("%-12s first write %7.1f ms, second write %5.1f ms\n", what, t1 - t0, t2 - t1);
  munmap(raw, n + h);
}
int main(int argc, char** argv) {
  size_t n = (size_t)atoi(argv[1]) << 20;
  printf("%s MiB of new memory\n", argv[1]);
  run("small pages", n, 0);
  run("huge pages", n, 1);
  return 0;
}
C
cc -O2 -o "$work/touch" "$work/touch.c"
"$work/touch" "$MIB"
