// Runs a libFuzzer target without libFuzzer: every file of the seed corpus folder given as the
// first argument, then a fixed, seeded stream of mutations of those seeds and of random bytes.
// This keeps every fuzz target compiled and exercised in the ordinary test run; real fuzzing
// uses the -DTQ_FUZZ=ON build with clang.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

int main(int argc, char** argv) {
  std::vector<std::string> seeds;
  if (argc > 1 && std::filesystem::is_directory(argv[1])) {
    for (const auto& entry : std::filesystem::directory_iterator(argv[1])) {
      std::ifstream in(entry.path(), std::ios::binary);
      seeds.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
  }
  seeds.emplace_back();
  for (const auto& s : seeds)
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(s.data()), s.size());

  const int iterations =
      std::getenv("TQ_FUZZ_RUNS") ? std::atoi(std::getenv("TQ_FUZZ_RUNS")) : 3000;
  std::mt19937 rng(20261209);
  for (int i = 0; i < iterations; ++i) {
    std::string input = seeds[rng() % seeds.size()];
    const int edits = 1 + static_cast<int>(rng() % 8);
    for (int e = 0; e < edits; ++e) {
      const auto pos = input.empty() ? 0 : rng() % (input.size() + 1);
      switch (rng() % 4) {
        case 0:
          input.insert(input.begin() + pos, static_cast<char>(rng()));
          break;
        case 1:
          if (pos < input.size()) input.erase(pos, 1 + rng() % 16);
          break;
        case 2:
          if (pos < input.size()) input[pos] = static_cast<char>(rng());
          break;
        default: {  // splice a slice of another seed in
          const std::string& other = seeds[rng() % seeds.size()];
          if (!other.empty()) {
            const auto from = rng() % other.size();
            input.insert(pos, other.substr(from, 1 + rng() % 64));
          }
        }
      }
    }
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(input.data()), input.size());
  }
  std::printf("%zu seeds, %d mutated inputs: no failure\n", seeds.size(), iterations);
  return 0;
}
