// The settings store's parser over arbitrary files: an unparsable file is refused, never
// overwritten; a parsed one takes a new value and reads back with it, the value unable to
// add lines of its own.
#include <cstdlib>
#include <fstream>
#include <string>

#include "fuzz_support.h"
#include "platform/settings_store.h"

namespace {

constexpr char kKey[] = "HKEY_CURRENT_USER\\Software\\Hollin\\Tolva\\Fuzz";

void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string bytes(reinterpret_cast<const char*>(data), size);
    // The first line of the input is also used as a value to store.
    std::string value = bytes.substr(0, bytes.find('\n'));
    const std::string path = (tolva::fuzz::ScratchFolder() / "registry.reg").string();
    WriteBytes(path, bytes);

    tolva::SettingsStore store(path);
    if (!store.Load()) {
        store.SetString(kKey, "0", value);
        if (store.Save() || ReadBytes(path) != bytes) std::abort();
        return 0;
    }
    store.SetString(kKey, "0", value);
    store.SetBinary(kKey, "1", std::vector<unsigned char>(value.begin(), value.end()));
    if (!store.Save()) std::abort();

    tolva::SettingsStore reread(path);
    std::string back;
    std::vector<unsigned char> binary;
    if (!reread.Load() || !reread.GetString(kKey, "0", back) || back != value) std::abort();
    if (!reread.GetBinary(kKey, "1", binary) || std::string(binary.begin(), binary.end()) != value) std::abort();
    return 0;
}
