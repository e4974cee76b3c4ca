// Low mappings: MAP_32BIT first, then any free gap below 2 GiB that /proc/self/maps shows.
#include "low_memory.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <utility>
#include <vector>

#ifndef MAP_FIXED_NOREPLACE
#define MAP_FIXED_NOREPLACE 0x100000
#endif

namespace ormi::win32emu {
namespace {

// MAP_32BIT only searches [1 GiB, 2 GiB), too little for 1 GiB of live blocks plus everything else,
// so the fallback also uses the space below it; keep clear of the lowest 256 MiB, where a non-PIE
// executable and its brk heap live.
constexpr std::uintptr_t kGapFloor = 0x10000000u;
constexpr int kPlacementAttempts = 4;

using Range = std::pair<std::uintptr_t, std::uintptr_t>;

std::vector<Range> ReadMappings() {
  std::vector<Range> mappings;
  std::FILE* maps = std::fopen("/proc/self/maps", "re");
  if (maps == nullptr) return mappings;
  char line[512];
  bool atLineStart = true;  // a path longer than the buffer arrives in pieces; parse only line starts
  while (std::fgets(line, sizeof line, maps) != nullptr) {
    unsigned long long start = 0;
    unsigned long long end = 0;
    if (atLineStart && std::sscanf(line, "%llx-%llx", &start, &end) == 2)
      mappings.emplace_back(static_cast<std::uintptr_t>(start), static_cast<std::uintptr_t>(end));
    std::size_t length = std::strlen(line);
    atLineStart = length > 0 && line[length - 1] == '\n';
  }
  std::fclose(maps);
  return mappings;
}

// Highest free gap in [kGapFloor, kLowLimit) that holds `bytes`; returns the address to map at.
std::uintptr_t FindGap(std::size_t bytes) {
  std::vector<Range> mappings = ReadMappings();
  if (mappings.empty()) return 0;
  std::uintptr_t best = 0;
  std::uintptr_t previousEnd = 0;
  mappings.emplace_back(UINTPTR_MAX, UINTPTR_MAX);  // sentinel closes the last gap
  for (const Range& mapping : mappings) {
    std::uintptr_t gapStart = previousEnd > kGapFloor ? previousEnd : kGapFloor;
    std::uintptr_t gapEnd = mapping.first < kLowLimit ? mapping.first : kLowLimit;
    if (gapEnd > gapStart && gapEnd - gapStart >= bytes) best = gapEnd - bytes;
    if (mapping.second > previousEnd) previousEnd = mapping.second;
    if (previousEnd >= kLowLimit) break;
  }
  std::size_t page = PageSize();
  return best & ~(static_cast<std::uintptr_t>(page) - 1);
}

bool FitsLow(void* p, std::size_t bytes) {
  auto address = reinterpret_cast<std::uintptr_t>(p);
  return address != 0 && address <= kLowLimit && bytes <= kLowLimit - address;
}

}  // namespace

std::size_t PageSize() {
  static const std::size_t page = [] {
    long size = sysconf(_SC_PAGESIZE);
    return size > 0 ? static_cast<std::size_t>(size) : std::size_t{4096};
  }();
  return page;
}

void* MapLow(std::size_t bytes, int prot) {
  if (bytes == 0 || bytes >= kLowLimit) return nullptr;
  void* p = mmap(nullptr, bytes, prot, MAP_PRIVATE | MAP_ANONYMOUS | MAP_32BIT, -1, 0);
  if (p != MAP_FAILED) {
    if (FitsLow(p, bytes)) return p;
    munmap(p, bytes);
  }
  for (int attempt = 0; attempt < kPlacementAttempts; ++attempt) {
    std::uintptr_t at = FindGap(bytes);
    if (at == 0) return nullptr;
    // Another thread may take the gap first: NOREPLACE then fails and we look again. Kernels that
    // predate the flag treat the address as a hint, so check where the mapping landed.
    p = mmap(reinterpret_cast<void*>(at), bytes, prot, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED_NOREPLACE, -1, 0);
    if (p == MAP_FAILED) continue;
    if (reinterpret_cast<std::uintptr_t>(p) == at) return p;
    munmap(p, bytes);
  }
  return nullptr;
}

std::uintptr_t ReserveHandleRange(std::size_t slots, std::size_t stride) {
  std::size_t page = PageSize();
  std::size_t bytes = (slots * stride + page - 1) / page * page;
  void* p = MapLow(bytes, PROT_NONE);
  return reinterpret_cast<std::uintptr_t>(p);
}

}  // namespace ormi::win32emu
