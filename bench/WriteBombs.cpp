// Writes the files of tests/support/Bombs.cpp into a directory, for the budget benchmark.
// Usage: write_bombs DIR
#include "IconBuilders.h"

#include <filesystem>
#include <fstream>

int main(int argc, char** argv) {
    if (argc != 2)
        return 2;
    for (const auto& bomb : quorvane::testing::makeBombs())
        std::ofstream(std::filesystem::path(argv[1]) / bomb.name, std::ios::binary)
            .write(reinterpret_cast<const char*>(bomb.bytes.data()),
                   static_cast<std::streamsize>(bomb.bytes.size()));
    return 0;
}
