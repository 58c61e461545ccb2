#include "formats/compressed_backup.h"

#include <lz4.h>

#include <cstdint>
#include <limits>
#include <memory>

namespace tolva {

namespace {

constexpr std::string_view kMagic{"mozLz40\0", 8};
constexpr std::size_t kSizeBytes = 4;
constexpr std::size_t kHeaderSize = kMagic.size() + kSizeBytes;
// One LZ4 byte can give at most 255 bytes of text: a declared size beyond that is damage, and
// is refused before any memory is set aside for it.
constexpr std::uint64_t kMostPerByte = 255;

}  // namespace

bool IsCompressedBackup(std::string_view bytes) { return bytes.starts_with(kMagic); }

bool UnpackCompressedBackup(std::string_view bytes, std::string& text, std::string& reason) {
    text.clear();
    if (!IsCompressedBackup(bytes)) {
        reason = "it does not begin as a compressed bookmark backup";
        return false;
    }
    if (bytes.size() < kHeaderSize) {
        reason = "it is cut short";
        return false;
    }
    std::uint32_t size = 0;
    for (std::size_t i = 0; i < kSizeBytes; ++i)
        size |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[kMagic.size() + i])) << (8 * i);
    const std::string_view block = bytes.substr(kHeaderSize);
    const auto maxInt = static_cast<std::uint64_t>(std::numeric_limits<int>::max());
    if (block.size() > maxInt || size > maxInt || size > (block.size() + 1) * kMostPerByte) {
        reason = "its compressed block is damaged (it declares " + std::to_string(size) + " bytes)";
        return false;
    }
    text.resize(size);
    const int got =
        LZ4_decompress_safe(block.data(), text.data(), static_cast<int>(block.size()), static_cast<int>(size));
    if (got < 0 || static_cast<std::uint32_t>(got) != size) {
        text.clear();
        reason = "its compressed block is damaged";
        return false;
    }
    return true;
}

bool PackCompressedBackup(std::string_view text, std::string& bytes) {
    if (text.size() > static_cast<std::size_t>(LZ4_MAX_INPUT_SIZE)) return false;
    const int textSize = static_cast<int>(text.size());
    bytes.assign(kMagic);
    for (std::size_t i = 0; i < kSizeBytes; ++i) bytes += static_cast<char>((text.size() >> (8 * i)) & 0xFF);
    // The block goes to memory that is not cleared first: the bound is about the text's size,
    // and clearing it would touch every page of it where the block needs a fraction.
    const int bound = LZ4_compressBound(textSize);
    const std::unique_ptr<char[]> block(new char[static_cast<std::size_t>(bound)]);
    const int packed = LZ4_compress_default(text.data(), block.get(), textSize, bound);
    if (packed <= 0) return false;
    bytes.append(block.get(), static_cast<std::size_t>(packed));
    return true;
}

}  // namespace tolva
