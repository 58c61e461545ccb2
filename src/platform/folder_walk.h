#pragma once
// What a walk through a folder tree needs to stay where it means to be: every call acts in the
// folder of a descriptor with one plain name component, and a folder's identity (device and
// inode) tells whether the folder reached is the one expected. The shortcut reader and writer
// walk a tree of any depth with this, holding a descriptor or two instead of a path per level.

#include <sys/stat.h>

#include <climits>
#include <cstddef>
#include <string>
#include <string_view>
#include <utility>

#include "platform/descriptor.h"

namespace tolva {

// A file or folder as the file system knows it, whatever names lead to it.
using FileId = std::pair<dev_t, ino_t>;

// When the file system does not say.
inline constexpr std::size_t kDefaultNameLimit = 255;
inline constexpr std::size_t kDefaultPathLimit = PATH_MAX;

FileId IdOf(const struct stat& info);
// False for an invalid descriptor or one that cannot be looked at.
bool IdOfDescriptor(int fd, FileId& id);

// The folder name in parent, never through a symbolic link.
Descriptor OpenFolderAt(int parent, const std::string& name);
// The same, through a symbolic link where name is one.
Descriptor OpenFolderThroughLinksAt(int parent, const std::string& name);
// The folder above the one fd holds, if it is still the folder the walk came down from.
Descriptor OpenParentOf(int fd, FileId expected);
// Whether the folder fd holds lies below the folder top on the disk itself, without symbolic
// links.
bool InsideTree(int fd, FileId top);

// What a listed name is (DT_DIR, DT_REG or DT_UNKNOWN), through a symbolic link; linked tells
// whether it is one. type is what the listing said (DT_UNKNOWN when it did not say).
unsigned char TypeThroughLinks(int folder, const std::string& name, unsigned char type, bool& linked);
// The path with every symbolic link in it resolved; empty if it cannot be.
std::string ResolvedPath(const std::string& path);

// Whether name a comes before b in the order NTFS lists a folder.
bool ListedBefore(const std::string& a, const std::string& b);
// A name that can be one path component: no "/", no zero byte.
bool IsUsableComponent(std::string_view name);
// The longest name a component of the folder may have.
std::size_t NameLimit(int folder);
// The longest path, terminating zero included, that other programs can open by name.
std::size_t PathLimit(int folder);

}  // namespace tolva
