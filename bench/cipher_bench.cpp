// Throughput of the string members against three references on the same input: a plain copy
// (the floor, since each member copies its argument), a naive branchy loop, and a 256-entry
// table loop such as tr uses.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <random>
#include <string>

#include "SimpleEncryption.h"

namespace {

constexpr int kShift = 3;

// Letters with spaces, digits and punctuation mixed in at random, so that a branchy loop cannot
// learn the pattern as it could with one sentence repeated.
std::string MakeText(std::size_t size) {
  static const std::string kPool =
      "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ    ,.!?0123456789";
  // A fixed seed: every run and every benchmark sees the same text.
  std::mt19937 random(12345);  // NOLINT(cert-msc32-c,cert-msc51-cpp)
  std::uniform_int_distribution<std::size_t> pick(0, kPool.size() - 1);
  std::string text(size, ' ');
  std::generate(text.begin(), text.end(), [&] { return kPool[pick(random)]; });
  return text;
}

template <typename Transform>
void Run(benchmark::State& state, Transform transform) {
  const std::string text = MakeText(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) {
    std::string result = transform(text);
    benchmark::DoNotOptimize(result.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}

void CopyString(benchmark::State& state) {
  Run(state, [](const std::string& text) { return text; });
}

void EncryptString(benchmark::State& state) {
  const SimpleEncryption cipher(kShift);
  Run(state, [&cipher](const std::string& text) { return cipher.EncryptString(text); });
}

void DecryptString(benchmark::State& state) {
  const SimpleEncryption cipher(kShift);
  Run(state, [&cipher](const std::string& text) { return cipher.DecryptString(text); });
}

// The rule as first written: a test and a remainder per byte.
void NaiveLoop(benchmark::State& state) {
  Run(state, [](const std::string& text) {
    std::string result = text;
    for (char& c : result) {
      if (c >= 'A' && c <= 'Z') {
        c = static_cast<char>('A' + (c - 'A' + kShift) % 26);
      } else if (c >= 'a' && c <= 'z') {
        c = static_cast<char>('a' + (c - 'a' + kShift) % 26);
      }
    }
    return result;
  });
}

void TableLoop(benchmark::State& state) {
  std::array<char, 256> table{};
  for (int b = 0; b < 256; ++b) table[static_cast<std::size_t>(b)] = static_cast<char>(b);
  for (std::size_t i = 0; i < 26; ++i) {
    table['A' + i] = static_cast<char>('A' + (i + kShift) % 26);
    table['a' + i] = static_cast<char>('a' + (i + kShift) % 26);
  }
  Run(state, [&table](const std::string& text) {
    std::string result = text;
    // The plain loop is the reference being measured.
    // cppcheck-suppress useStlAlgorithm
    for (char& c : result) c = table[static_cast<unsigned char>(c)];
    return result;
  });
}

void Sizes(benchmark::internal::Benchmark* benchmark) {
  for (const std::int64_t size : {16, 64, 4 << 10, 64 << 10, 1 << 20, 64 << 20}) {
    benchmark->Arg(size);
  }
}

BENCHMARK(CopyString)->Apply(Sizes);
BENCHMARK(EncryptString)->Apply(Sizes);
BENCHMARK(DecryptString)->Apply(Sizes);
BENCHMARK(NaiveLoop)->Apply(Sizes);
BENCHMARK(TableLoop)->Apply(Sizes);

}  // namespace

BENCHMARK_MAIN();
