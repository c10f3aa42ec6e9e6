#include <cstdio>
#include <filesystem>

#include "BenchData.h"

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: korvalin-bench-data FOLDER\n");
        return 2;
    }
    std::filesystem::create_directories(argv[1]);
    writeBenchData(argv[1]);
    return 0;
}
