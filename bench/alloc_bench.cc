// The runtime allocator next to glibc malloc, mimalloc and jemalloc in one
// run: alloc/free pairs on one thread, a batch of mixed sizes, blocks handed
// from a producer thread to a consumer that frees them, and a block grown in
// 1 MiB steps. Ends with a table of nanoseconds per operation.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

#include "bench/mixed_sizes.h"
#include "bench/peers.h"
#include "zevar/dmem_os.h"

namespace {

std::vector<Peer> g_peers;

void SetOps(benchmark::State& state, double ops) { state.counters["ops"] = ops; }

void Pair(benchmark::State& state, const Peer* peer) {
  for (auto _ : state) {
    void* p = peer->alloc(64);
    benchmark::DoNotOptimize(p);
    peer->free(p);
  }
  SetOps(state, 1);
}

// The design's floor for a pair: the allocation holds the heap's lock around
// a compare-and-swap pop, the free pushes by compare-and-swap. The same
// primitives, with nothing around them.
void Floor(benchmark::State& state, const Peer*) {
  dmem_os::Lock lock;
  if (!dmem_os::LockInit(&lock, 128)) return state.SkipWithError("no lock");
  alignas(64) uint32_t word = 0;
  for (auto _ : state) {
    dmem_os::LockEnter(&lock);
    uint32_t seen = __atomic_load_n(&word, __ATOMIC_ACQUIRE);
    __atomic_compare_exchange_n(&word, &seen, seen + 1, true, __ATOMIC_ACQ_REL, __ATOMIC_ACQUIRE);
    dmem_os::LockLeave(&lock);
    seen = __atomic_load_n(&word, __ATOMIC_ACQUIRE);
    __atomic_compare_exchange_n(&word, &seen, seen - 1, true, __ATOMIC_ACQ_REL, __ATOMIC_ACQUIRE);
    benchmark::DoNotOptimize(word);
  }
  dmem_os::LockDelete(&lock);
  SetOps(state, 1);
}

void Batch(benchmark::State& state, const Peer* peer) {
  static const std::vector<size_t> sizes = MixedSizes();
  std::vector<void*> blocks(sizes.size());
  for (auto _ : state) {
    for (size_t i = 0; i < sizes.size(); ++i) blocks[i] = peer->alloc(sizes[i]);
    benchmark::DoNotOptimize(blocks.data());
    for (void* p : blocks) peer->free(p);
  }
  SetOps(state, 2.0 * sizes.size());  // an allocation and a free per block
}

// Single-producer, single-consumer ring of blocks.
class Ring {
 public:
  bool Push(void* p) {
    size_t head = head_.load(std::memory_order_relaxed);
    if (head - tail_.load(std::memory_order_acquire) == kSize) return false;
    slots_[head % kSize] = p;
    head_.store(head + 1, std::memory_order_release);
    return true;
  }
  void* Pop() {
    size_t tail = tail_.load(std::memory_order_relaxed);
    if (tail == head_.load(std::memory_order_acquire)) return nullptr;
    void* p = slots_[tail % kSize];
    tail_.store(tail + 1, std::memory_order_release);
    return p;
  }

 private:
  static constexpr size_t kSize = 1024;
  void* slots_[kSize];
  alignas(64) std::atomic<size_t> head_{0};
  alignas(64) std::atomic<size_t> tail_{0};
};

void Handoff(benchmark::State& state, const Peer* peer) {
  constexpr int kPerIteration = 1000;
  Ring ring;
  std::atomic<bool> done{false};
  std::thread consumer([&] {
    for (;;) {
      if (void* p = ring.Pop()) {
        peer->free(p);
      } else if (done.load(std::memory_order_acquire)) {
        while (void* q = ring.Pop()) peer->free(q);
        return;
      } else {
        std::this_thread::yield();  // the machine may have fewer cores than busy threads
      }
    }
  });
  for (auto _ : state) {
    for (int i = 0; i < kPerIteration; ++i) {
      void* p = peer->alloc(16 + (i % 8) * 24);
      while (!ring.Push(p)) std::this_thread::yield();
    }
  }
  done.store(true, std::memory_order_release);
  consumer.join();
  SetOps(state, kPerIteration);
}

// A payload grown by DMemRealloc-style steps of 1 MiB, each step written.
void Grow(benchmark::State& state, const Peer* peer) {
  const size_t step = size_t(1) << 20, total = size_t(state.range(0)) << 20;
  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state) {
    char* p = nullptr;
    for (size_t size = step; size <= total; size += step) {
      // Copy-on-grow is quadratic: give up on a peer that takes too long.
      if (std::chrono::steady_clock::now() - start > std::chrono::seconds(20)) {
        peer->free(p);
        state.SkipWithError("over 20 s (copies on growth)");
        return;
      }
      p = static_cast<char*>(peer->realloc(p, size));
      if (p == nullptr) {
        state.SkipWithError("out of memory");
        return;
      }
      std::memset(p + size - step, 1, step);
    }
    benchmark::DoNotOptimize(p);
    peer->free(p);
  }
  SetOps(state, double(state.range(0)));
}

// Collects nanoseconds per operation by case and peer for the closing table.
class TableReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      // Repeated cases count by their median.
      bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
      if (run.error_occurred || !(median || (run.run_type == Run::RT_Iteration && run.repetitions <= 1))) continue;
      std::string name = run.benchmark_name();
      if (median) name.erase(name.rfind("_median"));
      size_t repeats = name.find("/repeats:");
      if (repeats != std::string::npos) name.erase(repeats);
      size_t real = name.find("/real_time");
      bool use_real_time = real != std::string::npos;
      if (use_real_time) name.erase(real);
      size_t slash = name.find('/');
      std::string test = name.substr(0, slash), rest = name.substr(slash + 1);
      size_t next = rest.find('/');
      std::string peer = rest.substr(0, next);
      if (next != std::string::npos) test += "/" + rest.substr(next + 1, rest.find('/', next + 1) - next - 1);
      auto ops = run.counters.find("ops");
      // CPU time where one thread works: the machine is shared.
      double time = use_real_time ? run.GetAdjustedRealTime() : run.GetAdjustedCPUTime();
      // Nanoseconds per operation; microseconds per MiB for the growth.
      double scale = test.rfind("GrowMiB", 0) == 0 ? 1e6 : 1e9;
      double per_op = time * scale / benchmark::GetTimeUnitMultiplier(run.time_unit) / (ops == run.counters.end() ? 1.0 : ops->second.value);
      table_[test][peer] = per_op;
      if (std::find(cases_.begin(), cases_.end(), test) == cases_.end()) cases_.push_back(test);
    }
  }
  void PrintTable() const {
    std::printf("\nns per operation (GrowMiB: us per MiB grown)\n%-12s", "case");
    for (const Peer& p : g_peers) std::printf("%10s", p.name);
    std::printf("%12s\n", "dmem/best");
    for (const std::string& test : cases_) {
      const auto& row = table_.at(test);
      std::printf("%-12s", test.c_str());
      double best = 0;
      for (const Peer& p : g_peers) {
        auto it = row.find(p.name);
        if (it == row.end()) {
          std::printf("%10s", "-");
          continue;
        }
        std::printf("%10.1f", it->second);
        if (std::string(p.name) != "dmem" && (best == 0 || it->second < best)) best = it->second;
      }
      auto own = row.find("dmem");
      if (own != row.end() && best > 0) std::printf("%11.2fx", own->second / best);
      std::printf("\n");
    }
  }

 private:
  std::vector<std::string> cases_;
  std::map<std::string, std::map<std::string, double>> table_;
};

}  // namespace

int main(int argc, char** argv) {
  // jemalloc needs initial-exec TLS, which a library loaded late only gets
  // from the loader's surplus: ask for more and start again.
  const char* tunables = std::getenv("GLIBC_TUNABLES");
  if (tunables == nullptr || std::strstr(tunables, "optional_static_tls") == nullptr) {
    setenv("GLIBC_TUNABLES", "glibc.rtld.optional_static_tls=65536", 1);
    execv("/proc/self/exe", argv);
  }
  g_peers = LoadPeers();
  // In the dmem column: ns per pair (a batch operation's floor is half).
  benchmark::RegisterBenchmark("Floor/dmem", Floor, &g_peers[0]);
  for (const Peer& peer : g_peers) {
    std::string name(peer.name);
    benchmark::RegisterBenchmark(("Pair/" + name).c_str(), Pair, &peer);
    benchmark::RegisterBenchmark(("Batch/" + name).c_str(), Batch, &peer);
    // Two threads on a shared machine: the median of several runs.
    benchmark::RegisterBenchmark(("Handoff/" + name).c_str(), Handoff, &peer)
        ->UseRealTime()->Repetitions(7)->ReportAggregatesOnly();
    benchmark::RegisterBenchmark(("GrowMiB/" + name).c_str(), Grow, &peer)
        ->Arg(16)->Arg(64)->Arg(256)->Unit(benchmark::kMillisecond);
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  TableReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintTable();
  benchmark::Shutdown();
  return 0;
}
