#pragma once
// Firefox's compressed bookmark backup (.jsonlz4): the eight bytes "mozLz40\0", the size of the
// text it holds as four bytes little-endian, then that text as one LZ4 block. Compressed and
// unpacked with Debian's liblz4.

#include <string>
#include <string_view>

namespace tolva {

// Whether bytes begin as a compressed backup does.
bool IsCompressedBackup(std::string_view bytes);
// The text a compressed backup holds; false, with the reason, for a container that is cut
// short or whose block is damaged or does not give the size it declares.
bool UnpackCompressedBackup(std::string_view bytes, std::string& text, std::string& reason);
// text as a compressed backup; false for a text too large for its container.
bool PackCompressedBackup(std::string_view text, std::string& bytes);

}  // namespace tolva
