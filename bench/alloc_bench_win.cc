// The runtime allocator next to the process heap (HeapAlloc) and the C
// library's malloc on Windows, single-threaded: alloc/free pairs, a batch of
// 1,000 mixed sizes (best of five timings), and a block grown in 1 MiB steps.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "bench/mixed_sizes.h"
#include "zevar/dmem.h"

namespace {

struct Peer {
  const char* name;
  void* (*alloc)(size_t);
  void* (*realloc)(void*, size_t);
  void (*free)(void*);
};

HANDLE g_heap;
void* HeapGet(size_t n) { return HeapAlloc(g_heap, 0, n); }
void* HeapGrow(void* p, size_t n) { return p ? HeapReAlloc(g_heap, 0, p, n) : HeapAlloc(g_heap, 0, n); }
void HeapPut(void* p) { HeapFree(g_heap, 0, p); }

const Peer kPeers[] = {
    {"dmem", DMemAlloc, DMemRealloc, DMemFree},
    {"HeapAlloc", HeapGet, HeapGrow, HeapPut},
    {"malloc", std::malloc, std::realloc, std::free},
};

double Now() {
  static LARGE_INTEGER frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER t;
  QueryPerformanceCounter(&t);
  return double(t.QuadPart) / double(frequency.QuadPart);
}

void* volatile g_sink;

// Nanoseconds per operation of the best of five runs of `body`, which does `ops` operations.
template <typename F>
double Best(double ops, F body) {
  double best = 1e30;
  for (int run = 0; run < 5; ++run) {
    double start = Now();
    body();
    double ns = (Now() - start) * 1e9 / ops;
    if (ns < best) best = ns;
  }
  return best;
}

double Pair(const Peer& peer) {
  constexpr int kPairs = 2000000;
  return Best(kPairs, [&] {
    for (int i = 0; i < kPairs; ++i) {
      void* p = peer.alloc(64);
      g_sink = p;
      peer.free(p);
    }
  });
}

double Batch(const Peer& peer) {
  static const std::vector<size_t> sizes = MixedSizes();
  constexpr int kRounds = 1000;
  std::vector<void*> blocks(sizes.size());
  return Best(2.0 * kRounds * sizes.size(), [&] {
    for (int round = 0; round < kRounds; ++round) {
      for (size_t i = 0; i < sizes.size(); ++i) blocks[i] = peer.alloc(sizes[i]);
      g_sink = blocks[0];
      for (void* p : blocks) peer.free(p);
    }
  });
}

// One run: copy-on-grow peers take minutes for the larger sizes.
double Grow(const Peer& peer, size_t mib) {
  const size_t step = size_t(1) << 20;
  double start = Now();
  {
    char* p = nullptr;
    for (size_t size = step; size <= mib * step; size += step) {
      char* grown = static_cast<char*>(peer.realloc(p, size));
      if (grown == nullptr) {
        std::fprintf(stderr, "%s: out of memory at %zu MiB\n", peer.name, size >> 20);
        break;
      }
      p = grown;
      std::memset(p + size - step, 1, step);
    }
    g_sink = p;
    peer.free(p);
  }
  return (Now() - start) * 1e9 / double(mib);
}

}  // namespace

int main() {
  g_heap = GetProcessHeap();
  std::printf("ns per operation (GrowMiB: us per MiB grown)\n%-14s", "case");
  for (const Peer& peer : kPeers) std::printf("%12s", peer.name);
  std::printf("\n%-14s", "Pair");
  for (const Peer& peer : kPeers) std::printf("%12.1f", Pair(peer));
  std::printf("\n%-14s", "Batch");
  for (const Peer& peer : kPeers) std::printf("%12.1f", Batch(peer));
  double slow[3] = {};
  for (size_t mib : {16, 64, 256}) {
    std::printf("\nGrowMiB/%-6zu", mib);
    for (size_t i = 0; i < 3; ++i) {
      // Skips a peer whose previous size already took over 10 s.
      if (slow[i] * double(mib) / 4 > 10e9) {
        std::printf("%12s", "skipped");
        continue;
      }
      slow[i] = Grow(kPeers[i], mib);
      std::printf("%12.0f", slow[i] / 1000);
    }
    std::fflush(stdout);
  }
  std::printf("\n");
  return 0;
}
