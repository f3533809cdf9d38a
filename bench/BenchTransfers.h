#pragma once
// What the FTP transfer benchmarks share: the 1 GiB file, a sink that keeps nothing, a command run
// that ends the benchmark when it fails, the size check, and the number of rounds.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "rtl/Streams.h"

namespace bench {

namespace fs = std::filesystem;

constexpr int64_t kFileSize = int64_t{1} << 30;

inline void WriteBigFile(const std::string& path)
{
    std::vector<char> block(1 << 20);
    uint32_t x = 12345;
    for (char& c : block) {
        x = x * 1103515245u + 12345u;
        c = static_cast<char>(x >> 24);
    }
    std::ofstream out(path, std::ios::binary);
    for (int64_t written = 0; written < kFileSize; written += static_cast<int64_t>(block.size())) {
        block[0] = static_cast<char>(written >> 20); // no two blocks alike
        out.write(block.data(), static_cast<std::streamsize>(block.size()));
    }
}

// Counts what is written and keeps nothing: our client's /dev/null.
class TNullStream : public TStream {
public:
    int64_t Read(void*, int64_t) override { return 0; }
    int64_t Write(const void*, int64_t count) override
    {
        FPosition += count;
        FSize = std::max(FSize, FPosition);
        return count;
    }
    int64_t Seek(int64_t offset, TSeekOrigin origin) override
    {
        FPosition = origin == soBeginning ? offset : (origin == soCurrent ? FPosition : FSize) + offset;
        return FPosition;
    }
    void SetSize(int64_t newSize) override { FSize = newSize; }
    int64_t Size() override { return FSize; }

private:
    int64_t FPosition = 0;
    int64_t FSize = 0;
};

inline void Run(const std::string& command)
{
    if (std::system(command.c_str()) != 0) {
        std::fprintf(stderr, "failed: %s\n", command.c_str());
        std::exit(1);
    }
}

inline void CheckSize(const std::string& path)
{
    std::error_code ec;
    if (static_cast<int64_t>(fs::file_size(path, ec)) != kFileSize || ec) {
        std::fprintf(stderr, "transfer to %s gave a wrong size\n", path.c_str());
        std::exit(1);
    }
}

inline int Rounds()
{
    const char* text = std::getenv("FERRYSTAR_BENCH_ROUNDS");
    return text != nullptr && std::atoi(text) > 0 ? std::atoi(text) : 3;
}

} // namespace bench
