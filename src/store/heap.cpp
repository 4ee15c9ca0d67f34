#include "store/heap.h"

#include <malloc.h>

namespace tavrine {

void KeepFreedMemory() {
  // glibc's largest mmap threshold (32 MiB on 64-bit); a trim threshold above
  // anything the program holds, so the heap's top is not given back.
  mallopt(M_MMAP_THRESHOLD, 32 << 20);
  mallopt(M_TRIM_THRESHOLD, 256 << 20);
}

}  // namespace tavrine
