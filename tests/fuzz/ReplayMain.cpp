// Runs a fuzz target over its seed corpus and over a fixed, repeatable set of
// mutations of it, so every test run exercises the target without libFuzzer.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

namespace {
std::vector<uint8_t> readAll(const std::filesystem::path &p)
{
    std::ifstream in(p, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void run(const std::vector<uint8_t> &input)
{
    LLVMFuzzerTestOneInput(input.empty() ? nullptr : input.data(), input.size());
}
} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s CORPUS_DIR\n", argv[0]);
        return 2;
    }
    std::vector<std::vector<uint8_t>> seeds;
    for (const auto &entry : std::filesystem::directory_iterator(argv[1]))
        if (entry.is_regular_file())
            seeds.push_back(readAll(entry.path()));
    if (seeds.empty()) {
        std::fprintf(stderr, "no seeds in %s\n", argv[1]);
        return 2;
    }
    std::mt19937 rng(20261208);
    size_t runs = 0;
    run({});
    for (const auto &seed : seeds) {
        run(seed);
        ++runs;
        for (int i = 0; i < 500; ++i) {
            std::vector<uint8_t> m = seed;
            const int edits = 1 + int(rng() % 8);
            for (int e = 0; e < edits; ++e) {
                switch (rng() % 4) {
                case 0: if (!m.empty()) m[rng() % m.size()] = uint8_t(rng()); break;
                case 1: m.insert(m.begin() + (m.empty() ? 0 : rng() % m.size()), uint8_t(rng())); break;
                case 2: if (!m.empty()) m.erase(m.begin() + rng() % m.size()); break;
                case 3: m.resize(rng() % (m.size() + 2)); break;
                }
            }
            run(m);
            ++runs;
        }
    }
    std::printf("%zu inputs from %zu seeds ran without a fault\n", runs, seeds.size());
    return 0;
}
