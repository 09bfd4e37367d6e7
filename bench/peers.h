// The allocators measured side by side: the runtime's own, the C library's,
// and mimalloc and jemalloc loaded privately (RTLD_LOCAL | RTLD_DEEPBIND) so
// that neither replaces malloc for the rest of the process.
#pragma once

#include <cstddef>
#include <vector>

struct Peer {
  const char* name;
  void* (*alloc)(size_t);
  void* (*realloc)(void*, size_t);
  void (*free)(void*);
};

// The peers that could be loaded, the runtime's allocator first.
std::vector<Peer> LoadPeers();
