// Runs a fuzz entry point over seed files and folders given on the command line, so the
// normal build keeps every entry point compiling and its seeds passing.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

int RunFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    int count = 0;
    for (int i = 1; i < argc; ++i) {
        std::filesystem::path target(argv[i]);
        if (std::filesystem::is_directory(target)) {
            for (const auto& entry : std::filesystem::directory_iterator(target)) {
                if (entry.is_regular_file()) count += RunFile(entry.path());
            }
        } else {
            count += RunFile(target);
        }
    }
    // Also the empty input, which every reader must survive.
    LLVMFuzzerTestOneInput(nullptr, 0);
    std::printf("replayed %d inputs\n", count);
    return count > 0 ? 0 : 1;
}
