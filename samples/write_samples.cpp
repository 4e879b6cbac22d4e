// Writes the bundled sample series as raw files, one per kind, so they can
// be fed to other tools: reduct-samples [DIR]
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

#include "samples.h"

int main(int argc, char** argv) {
    const std::string dir = argc > 1 ? argv[1] : ".";
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (ec) {
        std::fprintf(stderr, "reduct-samples: cannot create %s: %s\n", dir.c_str(), ec.message().c_str());
        return 1;
    }
    for (const auto& s : reduct::samples::generateAll()) {
        const std::string path = dir + "/" + s.name + ".bin";
        std::FILE* f = std::fopen(path.c_str(), "wb");
        if (f == nullptr || std::fwrite(s.bytes.data(), 1, s.bytes.size(), f) != s.bytes.size()) {
            std::fprintf(stderr, "reduct-samples: cannot write %s\n", path.c_str());
            if (f != nullptr) std::fclose(f);
            return 1;
        }
        std::fclose(f);
        std::printf("%-12s %9zu bytes\n", path.c_str(), s.bytes.size());
    }
    return 0;
}
