// A fuzz target without the fuzzer: runs it over its seed corpus and over
// variations of it made by a fixed-seed generator, so the test suite checks
// the same properties on every run, with any compiler.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

void run(const std::string& s)
{
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(s.data()), s.size());
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> seeds;
    for (int a = 1; a < argc; a++)
        for (const auto& e : std::filesystem::directory_iterator(argv[a])) {
            std::ifstream f(e.path(), std::ios::binary);
            seeds.emplace_back(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
        }
    if (seeds.empty()) {
        std::fprintf(stderr, "no seed inputs given\n");
        return 1;
    }
    for (const auto& s : seeds)
        run(s);
    // The bytes the decoders treat specially, and a few they do not.
    static const char SPICE[] = " \t\n\r\x1b[O0123456789+-ABCD~;x\x80\xbf\xc2\xe4\xf0\xff";
    std::mt19937 rng(20170906);
    auto below = [&](size_t n) { return static_cast<size_t>(rng() % n); };
    const int variations = 20000;
    for (int k = 0; k < variations; k++) {
        std::string s = seeds[below(seeds.size())];
        for (size_t edits = 1 + below(4); edits > 0; edits--) {
            const size_t at = below(s.size() + 1);
            switch (below(4)) {
            case 0: s.insert(at, 1, SPICE[below(sizeof SPICE)]); break;
            case 1: if (at < s.size()) s.erase(at, 1); break;
            case 2: s.insert(at, 1, static_cast<char>(rng() & 0xff)); break;
            default: s.insert(at, seeds[below(seeds.size())]); break;
            }
        }
        run(s);
    }
    std::printf("%zu seed inputs and %d variations hold\n", seeds.size(), variations);
    return 0;
}
