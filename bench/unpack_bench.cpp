// Unpacking the packed app against the floor set by liblzma itself: a plain
// single-call decode into a buffer of the right size, allocated once. The
// goal is that unpack_packed_app (growing its own buffer, splitting, copying
// every file out) costs at most 1.15 times that floor.
//
// The payload has the shape of the real one: "WebView2Loader.dll" (160,880
// bytes) and "vestrana.exe" (5,264,384 bytes), 5,425,318 bytes unpacked, with
// synthetic contents that pack to about 30 % like the real programs do
// (1,743,856 bytes).

#include <benchmark/benchmark.h>
#include <lzma.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <vector>

#include "payload/packed_app.h"

namespace {

using Bytes = std::vector<uint8_t>;

class Random {
 public:
  explicit Random(uint64_t seed) : state_(seed) {}
  uint64_t next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 7;
    state_ ^= state_ << 17;
    return state_;
  }
  uint32_t below(uint32_t n) { return static_cast<uint32_t>(next() % n); }

 private:
  uint64_t state_;
};

// Machine-code-like bytes: a vocabulary of short instruction patterns, used
// with a skewed frequency and mixed with random immediates, addresses and
// stretches of incompressible data (tables, compressed resources).
Bytes synthetic_code(size_t size, uint64_t seed) {
  Random rng(seed);
  std::vector<Bytes> vocabulary(768);
  for (Bytes& word : vocabulary) {
    word.resize(2 + rng.below(7));
    for (uint8_t& b : word) b = static_cast<uint8_t>(rng.next());
  }
  // Shares per mille, tuned so that the payload packs to about 30 %.
  constexpr uint32_t kImmediate = 95, kRaw = 4, kRepeat = 160;
  Bytes out;
  out.reserve(size + 1024);
  while (out.size() < size) {
    uint32_t roll = rng.below(1000);
    if (roll < kImmediate) {  // an immediate or address
      for (int i = 0, n = 1 + static_cast<int>(rng.below(4)); i < n; ++i)
        out.push_back(static_cast<uint8_t>(rng.next()));
    } else if (roll < kImmediate + kRaw) {  // a stretch of data that does not pack
      for (int i = 0, n = 64 + static_cast<int>(rng.below(512)); i < n; ++i)
        out.push_back(static_cast<uint8_t>(rng.next()));
    } else if (roll < kImmediate + kRaw + kRepeat && out.size() > 4096) {  // a repeated idiom
      size_t length = 8 + rng.below(56);
      size_t from = out.size() - 64 - rng.below(4000);
      for (size_t i = 0; i < length; ++i) out.push_back(out[from + i]);
    } else {  // a common instruction: small indices far more often
      uint32_t limit = 1 + rng.below(static_cast<uint32_t>(vocabulary.size()));
      const Bytes& word = vocabulary[rng.below(limit)];
      out.insert(out.end(), word.begin(), word.end());
    }
  }
  out.resize(size);
  return out;
}

void put_le(Bytes& out, uint64_t value, int width) {
  for (int i = 0; i < width; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

void add_record(Bytes& archive, std::string_view name, const Bytes& data) {
  put_le(archive, name.size(), 4);
  archive.insert(archive.end(), name.begin(), name.end());
  put_le(archive, data.size(), 8);
  archive.insert(archive.end(), data.begin(), data.end());
}

struct Payload {
  Bytes packed;
  size_t unpacked_size = 0;
};

// Packed with the settings of the real build: CRC32, LZMA2 preset 9, 64 MiB dictionary.
const Payload& payload() {
  static const Payload p = [] {
    Bytes archive;
    add_record(archive, "WebView2Loader.dll", synthetic_code(160'880, 1));
    add_record(archive, "vestrana.exe", synthetic_code(5'264'384, 2));
    Payload out;
    out.unpacked_size = archive.size();
    lzma_options_lzma options;
    lzma_lzma_preset(&options, 9);
    options.dict_size = 64u << 20;
    lzma_filter filters[] = {{LZMA_FILTER_LZMA2, &options}, {LZMA_VLI_UNKNOWN, nullptr}};
    out.packed.resize(lzma_stream_buffer_bound(archive.size()));
    size_t packed_size = 0;
    if (lzma_stream_buffer_encode(filters, LZMA_CHECK_CRC32, nullptr, archive.data(), archive.size(), out.packed.data(),
                                  &packed_size, out.packed.size()) != LZMA_OK) {
      std::fprintf(stderr, "encoding the payload failed\n");
      std::abort();
    }
    out.packed.resize(packed_size);
    return out;
  }();
  return p;
}

bool plain_decode(const Payload& p, Bytes& out) {
  uint64_t memlimit = UINT64_MAX;
  size_t in_pos = 0, out_pos = 0;
  return lzma_stream_buffer_decode(&memlimit, 0, nullptr, p.packed.data(), &in_pos, p.packed.size(), out.data(),
                                   &out_pos, out.size()) == LZMA_OK &&
         out_pos == p.unpacked_size;
}

void report_sizes(benchmark::State& state, const Payload& p) {
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * p.unpacked_size));
  state.counters["unpacked"] = static_cast<double>(p.unpacked_size);
  state.counters["packed"] = static_cast<double>(p.packed.size());
}

void BM_UnpackPackedApp(benchmark::State& state) {
  const Payload& p = payload();
  for (auto _ : state) {
    auto entries = vestrana::unpack_packed_app(p.packed);
    if (!entries || entries->size() != 2) {
      state.SkipWithError("unpacking failed");
      break;
    }
    benchmark::DoNotOptimize(entries->data());
  }
  report_sizes(state, p);
}
BENCHMARK(BM_UnpackPackedApp)->Unit(benchmark::kMillisecond);

void BM_PlainDecodePreallocated(benchmark::State& state) {
  const Payload& p = payload();
  Bytes out(p.unpacked_size);
  for (auto _ : state) {
    if (!plain_decode(p, out)) {
      state.SkipWithError("decoding failed");
      break;
    }
    benchmark::DoNotOptimize(out.data());
  }
  report_sizes(state, p);
}
BENCHMARK(BM_PlainDecodePreallocated)->Unit(benchmark::kMillisecond);

// Thread CPU time (page faults included): steadier than the wall clock on a
// machine shared with other work.
double thread_seconds() {
  timespec ts;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

// Both in alternation, so that both see the same machine load; the time
// reported is unpack_packed_app's, the counter "ratio" its cost over the floor.
void BM_UnpackOverPlainDecode(benchmark::State& state) {
  const Payload& p = payload();
  Bytes out(p.unpacked_size);
  double unpack_seconds = 0, plain_seconds = 0;
  for (auto _ : state) {
    double t0 = thread_seconds();
    auto entries = vestrana::unpack_packed_app(p.packed);
    double t1 = thread_seconds();
    bool decoded = plain_decode(p, out);
    double t2 = thread_seconds();
    if (!entries || !decoded) {
      state.SkipWithError("decoding failed");
      break;
    }
    benchmark::DoNotOptimize(entries->data());
    benchmark::DoNotOptimize(out.data());
    unpack_seconds += t1 - t0;
    plain_seconds += t2 - t1;
    state.SetIterationTime(t1 - t0);
  }
  state.counters["ratio"] = plain_seconds > 0 ? unpack_seconds / plain_seconds : 0;
  report_sizes(state, p);
}
BENCHMARK(BM_UnpackOverPlainDecode)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
