// Folder trees of Windows Internet shortcut files: one directory per folder of the set and
// one "*.url" profile file per link.
//
// Every file-system call below the set's location goes through a descriptor of the folder it
// acts in, with one plain name component. The reader follows symbolic links (a person's
// Favorites may link to another disk) and reads each directory once. The writer never follows
// one, even one that stays inside the location, so no name, stored path or link can make it
// create, write or delete anything outside the location.

#include "formats/shortcuts.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/ascii.h"
#include "platform/descriptor.h"
#include "platform/profile_file.h"
#include "platform/registered_owner.h"
#include "resources/strings.h"

namespace tolva {

namespace {

constexpr std::string_view kShortcutSuffix = ".url";
constexpr std::string_view kShortcutSection = "InternetShortcut";
constexpr std::string_view kTolvaSection = "Tolva";
// What a verification appends to a failing link's name before the error text: space, soft
// hyphen, space. Sets saved on Windows hold the soft hyphen as the single byte 0xAD.
constexpr std::string_view kSeparatorUtf8 = " \xC2\xAD ";
constexpr std::string_view kSeparatorAnsi = " \xAD ";
// The code Windows gives a name it cannot use.
constexpr int kErrorInvalidName = 123;
// A folder name Windows cannot hold ("", ".", "..") is written as this.
constexpr std::string_view kPlaceholderFolderName = "-";
// Folders and links that fail one by one are shown up to this many times in one write, so
// that a set full of unusable names, or a folder that refuses every file, cannot bury the
// person in message boxes.
constexpr int kMaxMessages = 5;

using FileId = std::pair<dev_t, ino_t>;

FileId IdOf(const struct stat& info) { return {info.st_dev, info.st_ino}; }

Descriptor OpenFolderAt(int parent, const std::string& name) {
    return Descriptor(::openat(parent, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
}

// NTFS lists a folder in the order of its names compared in upper case; ties (names that
// differ only in case, possible on Linux) go by their bytes. Taking entries in this order
// makes a set read the same on every file system.
bool ListedBefore(const std::string& a, const std::string& b) {
    const int order = CompareIgnoringAsciiCase(a, b);
    return order != 0 ? order < 0 : a < b;
}

bool HasShortcutSuffix(const std::string& name) {
    return name.size() >= kShortcutSuffix.size() &&
           EqualsIgnoringAsciiCase(std::string_view(name).substr(name.size() - kShortcutSuffix.size()),
                                   kShortcutSuffix);
}

// The link's name from its file name: the suffix dropped, and a verification's error text cut
// off at the first separator, unless the name begins with it.
std::string NameFromFileName(const std::string& fileName) {
    std::string name = fileName.substr(0, fileName.size() - kShortcutSuffix.size());
    std::size_t cut = std::min(name.find(kSeparatorUtf8), name.find(kSeparatorAnsi));
    if (cut != std::string::npos && cut != 0) name.erase(cut);
    return name;
}

// Cuts text to at most limit bytes without splitting a UTF-8 character.
std::string CutAtCharacter(const std::string& text, std::size_t limit) {
    if (text.size() <= limit) return text;
    std::size_t cut = limit;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
    return text.substr(0, cut);
}

// A name that can be one path component: no "/", no zero byte.
bool IsUsableComponent(std::string_view name) {
    return name.find('/') == std::string_view::npos && name.find('\0') == std::string_view::npos;
}

std::size_t NameLimit(int folder) {
    long limit = ::fpathconf(folder, _PC_NAME_MAX);
    return limit > 0 ? static_cast<std::size_t>(limit) : 255;
}

// A link read from a shortcut file remembers which file, so that writing the set back to
// where it was read can remove that file when the link goes to another one.
class ShortcutEntry : public UrlEntry {
public:
    using UrlEntry::UrlEntry;
    FileId top{};                      // the folder the set was read from
    std::vector<std::string> folders;  // directory names from there to the file
    std::string fileName;
    FileId file{};
    std::string path;  // where it was read, to start a new file of the link from
};

struct ReadWalk {
    UrlSet& set;
    TextControl* statusText;
    FileId top;
    std::vector<std::string> folders;
    std::string path;  // of the folder being walked
    // Every directory read so far: one reached again, through a symbolic link or a loop back
    // to an ancestor, is not read again.
    std::set<FileId> read;
    // The directories of the tree itself, reached without symbolic links; gathered at the
    // first linked folder met, so that a link to a folder of the set is left for the folder
    // to be read where it is, and a save puts its links back there.
    int topFd = -1;
    bool realGathered = false;
    std::set<FileId> real;
};

void ShowLoadingItem(ReadWalk& walk) {
    if (walk.statusText) {
        walk.statusText->SetText(FormatString(IDS_STATUS_LOADING_ITEM, {walk.set.linkCount + walk.set.folderCount}));
    }
}

// What a listed name is, through a symbolic link: a person's Favorites may link to folders
// and shortcuts kept on another disk.
unsigned char TypeThroughLinks(int folder, const std::string& name, unsigned char type, bool& linked) {
    struct stat info {};
    linked = false;
    if (type == DT_UNKNOWN) {
        if (::fstatat(folder, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) return DT_UNKNOWN;
        if (!S_ISLNK(info.st_mode)) return S_ISDIR(info.st_mode) ? DT_DIR : S_ISREG(info.st_mode) ? DT_REG : DT_UNKNOWN;
        type = DT_LNK;
    }
    if (type != DT_LNK) return type;
    linked = true;
    if (::fstatat(folder, name.c_str(), &info, 0) != 0) return DT_UNKNOWN;  // a dangling link
    return S_ISDIR(info.st_mode) ? DT_DIR : S_ISREG(info.st_mode) ? DT_REG : DT_UNKNOWN;
}

// The path with every symbolic link in it resolved; empty if it cannot be.
std::string ResolvedPath(const std::string& path) {
    std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(path.c_str(), nullptr), &std::free);
    return resolved ? std::string(resolved.get()) : std::string();
}

// Every visible directory below folder, without following symbolic links.
void GatherRealFolders(int folder, std::set<FileId>& ids) {
    int listFd = ::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* listing = listFd >= 0 ? ::fdopendir(listFd) : nullptr;
    if (listing == nullptr) {
        if (listFd >= 0) ::close(listFd);
        return;
    }
    while (struct dirent* item = ::readdir(listing)) {
        const std::string name = item->d_name;
        if (name.front() == '.' || (item->d_type != DT_DIR && item->d_type != DT_UNKNOWN)) continue;
        Descriptor sub = OpenFolderAt(folder, name);
        struct stat info {};
        if (sub.Valid() && ::fstat(sub.Get(), &info) == 0 && ids.insert(IdOf(info)).second) {
            GatherRealFolders(sub.Get(), ids);
        }
    }
    ::closedir(listing);
}

// One directory: its sub-folders (each with its contents and FolderEnd), then its links, then
// its own FolderEnd. Symbolic links are followed, but a directory already read (an ancestor,
// or one reached by two ways) is left out, so a loop ends and no folder is read twice, and a
// link to a directory of the tree itself is left out for the directory to be read in place.
void WalkShortcutFolder(ReadWalk& walk, int folder) {
    std::vector<std::pair<std::string, bool>> directories;  // name, reached through a link
    std::vector<std::string> shortcuts;
    int listFd = folder >= 0 ? ::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC) : -1;
    DIR* listing = listFd >= 0 ? ::fdopendir(listFd) : nullptr;
    if (listing == nullptr && listFd >= 0) ::close(listFd);
    if (listing != nullptr) {
        while (struct dirent* item = ::readdir(listing)) {
            std::string name = item->d_name;
            if (name == "." || name == "..") continue;
            bool linked = false;
            const unsigned char type = TypeThroughLinks(folder, name, item->d_type, linked);
            // Hidden folders are not folders of the set.
            if (type == DT_DIR && name.front() != '.') {
                directories.emplace_back(std::move(name), linked);
            } else if (type == DT_REG && HasShortcutSuffix(name)) {
                shortcuts.push_back(std::move(name));
            }
        }
        ::closedir(listing);
    }
    std::sort(directories.begin(), directories.end(),
              [](const auto& a, const auto& b) { return ListedBefore(a.first, b.first); });
    std::sort(shortcuts.begin(), shortcuts.end(), ListedBefore);

    UrlSet& set = walk.set;
    for (const auto& [name, linked] : directories) {
        Descriptor sub(::openat(folder, name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        struct stat info {};
        if (sub.Valid() && ::fstat(sub.Get(), &info) == 0) {
            const FileId id = IdOf(info);
            if (linked && !walk.realGathered && walk.topFd >= 0) {
                walk.realGathered = true;
                GatherRealFolders(walk.topFd, walk.real);
            }
            if (linked && walk.real.count(id) > 0) continue;
            if (!walk.read.insert(id).second) continue;
        }
        ++set.folderCount;
        ShowLoadingItem(walk);
        set.Append(new UrlEntry(UrlEntryKind::FolderStart, name));
        walk.folders.push_back(name);
        const std::size_t pathLength = walk.path.size();
        walk.path += "/" + name;
        WalkShortcutFolder(walk, sub.Get());
        walk.path.resize(pathLength);
        walk.folders.pop_back();
    }

    ProfileFile profile;
    for (const std::string& fileName : shortcuts) {
        ++set.linkCount;
        ShowLoadingItem(walk);
        auto* link = new ShortcutEntry(UrlEntryKind::Link, NameFromFileName(fileName));
        // A shortcut that is a symbolic link is read from the file it leads to.
        bool loaded = profile.Load(folder, fileName);
        if (!loaded && errno == ELOOP) loaded = profile.Load(ResolvedPath(walk.path + "/" + fileName));
        if (loaded) {
            // Values are read whole: real shortcuts hold URLs far longer than 254 bytes.
            link->url = profile.GetString(kShortcutSection, "URL", {}, ProfileFile::kWholeValue);
            link->preservedName = profile.GetString(kShortcutSection, "PreVfyName", {}, ProfileFile::kWholeValue);
            link->preservedLocation = profile.GetString(kShortcutSection, "PreVfyLoc", {}, ProfileFile::kWholeValue);
            // Where this program's own writer keeps a link's origin, so that a verified set
            // can put a link back in its folder.
            if (link->preservedLocation.empty()) {
                link->preservedLocation =
                    profile.GetString(kTolvaSection, "PreVfyLocation", {}, ProfileFile::kWholeValue);
            }
        }
        struct stat info {};
        if (::fstatat(folder, fileName.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0) {
            link->top = walk.top;
            link->folders = walk.folders;
            link->fileName = fileName;
            link->file = IdOf(info);
            link->path = walk.path + "/" + fileName;
        }
        set.Append(link);
    }
    set.Append(new UrlEntry(UrlEntryKind::FolderEnd, {}));
}

// One folder of the set as the writer holds it while it writes the folder's contents.
struct WriteFolder {
    Descriptor fd;
    std::string path;  // native path, for messages
    std::set<std::string>* usedNames = nullptr;
    bool usable = false;
};

class ShortcutWriter {
public:
    explicit ShortcutWriter(UrlSet& set) : set_(set) {}

    int Run() {
        WriteFolder top;
        top.fd = Descriptor(::open(set_.location.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        top.path = set_.location;
        struct stat info {};
        if (!top.fd.Valid() || ::fstat(top.fd.Get(), &info) != 0) {
            ShowFolderError(errno, set_.location);
            return 0;
        }
        topId_ = IdOf(info);
        top.usedNames = &usedNames_[topId_];
        top.usable = true;
        folders_.push_back(std::move(top));

        set_.Rewind();
        for (UrlEntry* entry = set_.Next(); entry && !stopped_; entry = set_.Next()) {
            set_.currentFlags = entry->flags;
            switch (entry->kind) {
                case UrlEntryKind::FolderStart:
                    EnterFolder(*entry);
                    break;
                case UrlEntryKind::FolderEnd:
                    if (folders_.size() > 1) folders_.pop_back();
                    break;
                case UrlEntryKind::Link:
                    WriteLink(*entry);
                    break;
                default:
                    break;
            }
        }
        // Each file was replaced by a rename; one flush of the whole file system at the end
        // makes them durable without an fsync per shortcut.
        if (!stopped_ && ::syncfs(folders_.front().fd.Get()) != 0) ShowFolderError(errno, set_.location);
        return failed_ ? 0 : 1;
    }

private:
    void ShowFolderError(int code, const std::string& path) { ShowError(IDS_ERR_CREATING_FOLDER, code, path); }
    void ShowLinkError(int code, const std::string& path) { ShowError(IDS_ERR_WRITING_SHORTCUT, code, path); }

    void ShowError(int message, int code, const std::string& path) {
        failed_ = true;
        if (messages_++ < kMaxMessages) set_.ShowRunMessage(FormatString(message, {code, path}));
        // A full or failing disk fails every folder and file that follows as well.
        if (code == ENOSPC || code == EDQUOT || code == EIO || code == EROFS) stopped_ = true;
    }

    void EnterFolder(const UrlEntry& entry) {
        WriteFolder& parent = folders_.back();
        WriteFolder folder;
        std::string name = entry.name.str();
        if (name.empty() || name == "." || name == "..") name = kPlaceholderFolderName;
        folder.path = parent.path + "/" + name;
        if (!parent.usable) {
            // Its parent could not be made; that was shown already.
            folders_.push_back(std::move(folder));
            return;
        }
        if (!IsUsableComponent(name)) {
            ShowFolderError(kErrorInvalidName, folder.path);
            folders_.push_back(std::move(folder));
            return;
        }
        name = CutAtCharacter(name, NameLimit(parent.fd.Get()));
        folder.path = parent.path + "/" + name;
        if (::mkdirat(parent.fd.Get(), name.c_str(), 0777) != 0 && errno != EEXIST) {
            ShowFolderError(errno, folder.path);
            folders_.push_back(std::move(folder));
            return;
        }
        folder.fd = OpenFolderAt(parent.fd.Get(), name);
        struct stat info {};
        if (!folder.fd.Valid() || ::fstat(folder.fd.Get(), &info) != 0) {
            // Something that is not a folder (a file, a symbolic link) holds the name.
            ShowFolderError(errno, folder.path);
            folders_.push_back(std::move(folder));
            return;
        }
        // Two folders of one name are one directory: their links share its file names.
        folder.usedNames = &usedNames_[IdOf(info)];
        folder.usable = true;
        folders_.push_back(std::move(folder));
    }

    // A file name for the link that no other link of this write uses in the folder (compared
    // without regard to ASCII case, as Windows would), short enough for the file system.
    std::string ChooseFileName(WriteFolder& folder, const std::string& name, bool& shortened) {
        const std::size_t limit = NameLimit(folder.fd.Get());
        shortened = false;
        for (int copy = 1;; ++copy) {
            std::string suffix = copy == 1 ? std::string() : " (" + std::to_string(copy) + ")";
            suffix += kShortcutSuffix;
            std::string base = name;
            if (base.size() + suffix.size() > limit) {
                base = CutAtCharacter(name, limit > suffix.size() ? limit - suffix.size() : 0);
                shortened = true;
            }
            std::string fileName = base + suffix;
            if (folder.usedNames->insert(LowerAscii(fileName)).second) return fileName;
        }
    }

    void WriteLink(const UrlEntry& entry) {
        WriteFolder& folder = folders_.back();
        if (!folder.usable) {
            failed_ = true;
            return;
        }
        if (!IsUsableComponent(entry.name)) {
            ShowLinkError(kErrorInvalidName, folder.path + "/" + entry.name + std::string(kShortcutSuffix));
            return;
        }
        bool shortened = false;
        const std::string fileName = ChooseFileName(folder, entry.name.str(), shortened);
        const std::string path = folder.path + "/" + fileName;

        ProfileFile profile;
        if (!profile.Load(folder.fd.Get(), fileName)) {
            ShowLinkError(errno, path);
            return;
        }
        const auto* read = dynamic_cast<const ShortcutEntry*>(&entry);
        // A link that gets a new file (renamed, moved, or copied to another place) keeps the
        // other sections and keys of the file it was read from: icons, base URLs, other
        // programs' data.
        if (!profile.Existed() && read != nullptr) StartFromSource(*read, profile);
        profile.SetString(kShortcutSection, "URL", entry.url);
        if (!entry.preservedName.empty()) {
            profile.SetString(kTolvaSection, "PreVfyName", entry.preservedName);
        } else if (shortened) {
            // The file name no longer holds the whole name; keep it where a later translation
            // can find it.
            profile.SetString(kTolvaSection, "PreVfyName", entry.name);
        }
        if (!entry.preservedLocation.empty() && !StartsWith(entry.preservedLocation, kUnverifiedPrefix)) {
            profile.SetString(kTolvaSection, "PreVfyLocation", entry.preservedLocation);
        }
        if (!profile.Save(folder.fd.Get(), fileName)) {
            ShowLinkError(errno, path);
            return;
        }
        struct stat info {};
        if (::fstatat(folder.fd.Get(), fileName.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) return;
        const FileId written = IdOf(info);
        written_.insert(written);

        if (entry.flags > 0) RemoveFormerFile(entry, folder, written);
        if (read != nullptr) RemoveSourceFile(*read, written);
    }

    static void StartFromSource(const ShortcutEntry& entry, ProfileFile& profile) {
        struct stat info {};
        if (entry.path.empty() || ::lstat(entry.path.c_str(), &info) != 0 || IdOf(info) != entry.file) return;
        ProfileFile source;
        if (source.Load(entry.path) && source.Existed()) profile.Parse(source.Bytes());
    }

    // Removes name in folder if it is a plain file other than the one just written and not one
    // this write has written.
    void RemoveIfStale(int folder, const std::string& name, FileId written, const FileId* expected) {
        struct stat info {};
        if (::fstatat(folder, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(info.st_mode)) return;
        const FileId id = IdOf(info);
        if (id == written || written_.count(id) > 0) return;
        if (expected && id != *expected) return;
        ::unlinkat(folder, name.c_str(), 0);
    }

    // The file a renamed or moved link had before: its old name in its old folder.
    void RemoveFormerFile(const UrlEntry& entry, WriteFolder& folder, FileId written) {
        const std::string oldName = ((entry.flags & NamePreserved) ? entry.preservedName : entry.name).str();
        if (!IsUsableComponent(oldName)) return;
        const std::string oldFile = oldName + std::string(kShortcutSuffix);
        if (!(entry.flags & LocationPreserved)) {
            RemoveIfStale(folder.fd.Get(), oldFile, written, nullptr);
            return;
        }
        std::vector<std::string> components;
        if (!SplitStoredPath(entry.preservedLocation.str(), components)) return;
        Descriptor oldFolder = OpenBelowTop(components);
        if (oldFolder.Valid()) RemoveIfStale(oldFolder.Get(), oldFile, written, nullptr);
    }

    // When the set goes back where it was read from, the file a link was read from goes once
    // the link lives in another file; otherwise every save would leave a copy behind.
    void RemoveSourceFile(const ShortcutEntry& entry, FileId written) {
        if (entry.fileName.empty() || entry.top != topId_) return;
        Descriptor folder = OpenBelowTop(entry.folders);
        if (folder.Valid()) RemoveIfStale(folder.Get(), entry.fileName, written, &entry.file);
    }

    // A stored folder path (\A\B) as name components; false for a path that could leave the
    // location or name something no folder of the set can be.
    static bool SplitStoredPath(const std::string& path, std::vector<std::string>& components) {
        if (path.empty() || path == "\\") return true;
        if (path.front() != '\\') return false;
        std::size_t start = 1;
        for (;;) {
            std::size_t end = path.find('\\', start);
            std::string name = path.substr(start, end == std::string::npos ? std::string::npos : end - start);
            if (name.empty() || name == "." || name == ".." || !IsUsableComponent(name)) return false;
            components.push_back(std::move(name));
            if (end == std::string::npos) return true;
            start = end + 1;
        }
    }

    Descriptor OpenBelowTop(const std::vector<std::string>& components) {
        Descriptor current(::dup(folders_.front().fd.Get()));
        for (const std::string& name : components) {
            if (!current.Valid()) break;
            current = OpenFolderAt(current.Get(), name);
        }
        return current;
    }

    UrlSet& set_;
    std::vector<WriteFolder> folders_;
    std::map<FileId, std::set<std::string>> usedNames_;
    std::set<FileId> written_;
    FileId topId_{};
    int messages_ = 0;
    bool failed_ = false;
    bool stopped_ = false;
};

}  // namespace

int ReadShortcuts(UrlSet& set, TextControl* statusText) {
    ReadWalk walk{set, statusText, {}, {}, set.location, {}, -1, false, {}};
    Descriptor top(::open(set.location.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    struct stat info {};
    if (top.Valid() && ::fstat(top.Get(), &info) == 0) {
        walk.top = IdOf(info);
        walk.read.insert(walk.top);
        walk.real.insert(walk.top);
        walk.topFd = top.Get();
    }
    WalkShortcutFolder(walk, top.Get());
    set.SetCursor(nullptr);
    std::string owner = RegisteredOwner();
    if (statusText) statusText->SetText(LoadString(IDS_STATUS_SHORTCUTS_LOADED));
    set.title = owner;
    return 1;
}

int WriteShortcuts(UrlSet& set) { return ShortcutWriter(set).Run(); }

}  // namespace tolva
