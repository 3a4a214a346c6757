#include "platform/LargePages.h"

#if defined(__GLIBC__)
#include <malloc.h>
#endif
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>

namespace quil {

void UseLargePagesForHeap(size_t reserve, size_t keep) {
#if defined(__GLIBC__) && defined(MADV_HUGEPAGE)
  constexpr uintptr_t kHuge = uintptr_t(2) << 20;
  // Large blocks come from the heap too (so they share its pages and are reused after a close),
  // the heap grows in steps of `reserve`, and freed memory up to `keep` stays with the program.
  ::mallopt(M_MMAP_THRESHOLD, int(reserve / 2));
  ::mallopt(M_TOP_PAD, int(reserve));
  ::mallopt(M_TRIM_THRESHOLD, int(keep));
  // A block larger than what the heap has free makes it grow by the block and the reserve.
  void* probe = std::malloc(reserve / 4);
  if (probe == nullptr) return;
  const uintptr_t begin = (reinterpret_cast<uintptr_t>(probe) + kHuge - 1) & ~(kHuge - 1);
  const uintptr_t end = reinterpret_cast<uintptr_t>(::sbrk(0)) & ~(kHuge - 1);
  if (end > begin) ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
  std::free(probe);
#else
  (void)reserve;
  (void)keep;
#endif
}

}  // namespace quil
