// Replays the fuzzer's regression files through the same paths as the fuzzer, in builds without
// libFuzzer: a crash or a sanitizer's report ends the run with the file's name printed first.
#include "FuzzTarget.h"

#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <vector>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: fuzz_regressions DIR\n";
        return 2;
    }
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(argv[1]))
        files.push_back(entry.path());
    for (const auto& path : files) {
        std::cerr << path.filename().string() << '\n';
        std::ifstream in(path, std::ios::binary);
        const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
        quorvane::fuzz::readIcons(bytes);
    }
    return files.empty() ? 1 : 0;
}
