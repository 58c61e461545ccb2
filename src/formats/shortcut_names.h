#pragma once
// The naming rules of shortcut trees: how a link's name becomes a file name and comes back, how
// a name is cut to the file system's limit, and how namesakes in one folder are told apart.
// Plain functions of their inputs; the reader and writer bring the file system.

#include <cstddef>
#include <string>
#include <string_view>

namespace tolva {

inline constexpr std::string_view kShortcutSuffix = ".url";
// A folder name Windows cannot hold ("", ".", "..") is written as this.
inline constexpr std::string_view kPlaceholderFolderName = "-";
// A UTF-8 character is at most this many bytes, so a name cut at a character boundary is
// at most this much shorter than the limit it was cut to.
inline constexpr std::size_t kMaxCharacterBytes = 4;

// Whether a file name ends in ".url", in any case.
bool HasShortcutSuffix(const std::string& name);
// The link's name from its file name: the suffix dropped, and a verification's error text cut
// off at the first separator, unless the name begins with it.
std::string NameFromFileName(const std::string& fileName);
// " (2)", " (3)", ...: what keeps a name apart from an earlier namesake in its folder (nothing
// for the first).
std::string CopySuffix(int copy);
// name less a copy suffix " (N)" (N from 2 on), if it ends in one.
std::string_view WithoutCopySuffix(std::string_view name);

}  // namespace tolva
