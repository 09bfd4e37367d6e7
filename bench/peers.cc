#include "bench/peers.h"

#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "zevar/dmem.h"

namespace {

bool Load(const char* file, const char* prefix, const char* name, Peer* peer) {
  void* library = dlopen(file, RTLD_NOW | RTLD_LOCAL | RTLD_DEEPBIND);
  if (library == nullptr) {
    std::fprintf(stderr, "%s: %s\n", name, dlerror());
    return false;
  }
  std::string base(prefix);
  peer->name = name;
  peer->alloc = reinterpret_cast<void* (*)(size_t)>(dlsym(library, (base + "malloc").c_str()));
  peer->realloc = reinterpret_cast<void* (*)(void*, size_t)>(dlsym(library, (base + "realloc").c_str()));
  peer->free = reinterpret_cast<void (*)(void*)>(dlsym(library, (base + "free").c_str()));
  return peer->alloc && peer->realloc && peer->free;
}

}  // namespace

std::vector<Peer> LoadPeers() {
  std::vector<Peer> peers;
  peers.push_back({"dmem", DMemAlloc, DMemRealloc, DMemFree});
  peers.push_back({"glibc", std::malloc, std::realloc, std::free});
  Peer peer{};
  if (Load("libmimalloc.so.2", "mi_", "mimalloc", &peer)) peers.push_back(peer);
  if (Load("libjemalloc.so.2", "", "jemalloc", &peer)) peers.push_back(peer);
  return peers;
}
