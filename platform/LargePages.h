// Lets the kernel back the program's heap with huge pages. A program that fills tables of many
// thousand entries touches tens of megabytes of new memory at once; in huge pages that is a few
// dozen page faults instead of thousands, which matters most on virtual machines. Call once at
// start-up, before other threads exist. Does nothing where the system can't do it.
#pragma once

#include <cstddef>

namespace quil {

// Grows the main heap by `reserve` bytes ahead of need, marks that memory for huge pages and
// keeps up to `keep` bytes of freed memory instead of handing it back at once.
void UseLargePagesForHeap(size_t reserve = size_t(64) << 20, size_t keep = size_t(128) << 20);

}  // namespace quil
