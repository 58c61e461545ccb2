// Folder trees of Windows Internet shortcut files: one directory per folder of the set and
// one "*.url" profile file per link.
//
// Every file-system call below the set's location goes through a descriptor of the folder it
// acts in, with one plain name component. The reader follows symbolic links (a person's
// Favorites may link to another disk) and reads each directory once. The writer never follows
// one, even one that stays inside the location, so no name, stored path or link can make it
// create, write or delete anything outside the location.
//
// Both walk a tree of any depth with two descriptors (the top folder's and the current one's)
// and keep one name per level: a folder's parent is opened again through ".." when the walk
// comes back up, and checked to be the folder it left.
//
// Names come back: where the writer stores a name other than the one it was given (adapted
// to a file name, shortened to the file system's limit, numbered apart from a namesake), it
// keeps the given name under [Tolva] PreVfyName, in the link's file or, for a folder, in the
// folder's desktop.ini, which Windows reads only for its own sections and this reader does not
// take for a link.

#include "formats/shortcuts.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "formats/set_storage.h"
#include "platform/ascii.h"
#include "platform/atomic_replace.h"
#include "platform/charset.h"
#include "platform/descriptor.h"
#include "platform/profile_file.h"
#include "platform/registered_owner.h"
#include "resources/strings.h"

namespace tolva {

namespace {

constexpr std::string_view kShortcutSuffix = ".url";
constexpr std::string_view kShortcutSection = "InternetShortcut";
// Windows keeps a URL that its code page cannot hold again in these twins: the code page's
// rendering in ".A", and the whole text in UTF-7 in ".W", which Windows itself reads first.
constexpr std::string_view kAnsiSection = "InternetShortcut.A";
constexpr std::string_view kUnicodeSection = "InternetShortcut.W";
constexpr std::string_view kTolvaSection = "Tolva";
constexpr std::string_view kFormerNameKey = "PreVfyName";
// A folder's own settings file: Windows and other programs read only their sections of it.
constexpr std::string_view kFolderSettingsName = "desktop.ini";
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
// When the file system does not say.
constexpr std::size_t kDefaultNameLimit = 255;
constexpr std::size_t kDefaultPathLimit = PATH_MAX;
// A UTF-8 character is at most this many bytes, so a name cut at a character boundary is
// at most this much shorter than the limit it was cut to.
constexpr std::size_t kMaxCharacterBytes = 4;

using FileId = std::pair<dev_t, ino_t>;

FileId IdOf(const struct stat& info) { return {info.st_dev, info.st_ino}; }

bool IdOfDescriptor(int fd, FileId& id) {
    struct stat info {};
    if (fd < 0 || ::fstat(fd, &info) != 0) return false;
    id = IdOf(info);
    return true;
}

Descriptor OpenFolderAt(int parent, const std::string& name) {
    return Descriptor(::openat(parent, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
}

// The same, through a symbolic link where name is one.
Descriptor OpenFolderThroughLinksAt(int parent, const std::string& name) {
    return Descriptor(::openat(parent, name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
}

// The folder above the one fd holds, if it is still the folder the walk came down from.
Descriptor OpenParentOf(int fd, FileId expected) {
    Descriptor parent(::openat(fd, "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    FileId id;
    if (!IdOfDescriptor(parent.Get(), id) || id != expected) return Descriptor();
    return parent;
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
    return limit > 0 ? static_cast<std::size_t>(limit) : kDefaultNameLimit;
}

// The longest path, terminating zero included, that other programs can open by name: the
// writer makes no folder or file whose path would be longer.
std::size_t PathLimit(int folder) {
    long limit = ::fpathconf(folder, _PC_PATH_MAX);
    return limit > 0 ? static_cast<std::size_t>(limit) : kDefaultPathLimit;
}

// " (2)", " (3)", ...: what keeps a name apart from an earlier namesake in its folder.
std::string CopySuffix(int copy) { return copy == 1 ? std::string() : " (" + std::to_string(copy) + ")"; }

// name less a copy suffix " (N)" (N from 2 on), if it ends in one.
std::string_view WithoutCopySuffix(std::string_view name) {
    if (name.size() < 4 || name.back() != ')') return name;
    std::size_t open = name.rfind(" (");
    if (open == std::string_view::npos) return name;
    std::string_view digits = name.substr(open + 2, name.size() - open - 3);
    if (digits.empty() || digits.front() == '0' || (digits.front() == '1' && digits.size() == 1)) return name;
    if (!std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) return name;
    return name.substr(0, open);
}

// One folder on the way from the top of a tree to an entry; a link read from a tree keeps its
// folder's, so every link of a deep tree shares the names above it instead of a copy each.
struct FolderNode {
    std::shared_ptr<const FolderNode> parent;
    std::string name;
};

std::vector<std::string> NamesFromTop(const FolderNode* node) {
    std::vector<std::string> names;
    for (; node != nullptr && node->parent != nullptr; node = node->parent.get()) names.push_back(node->name);
    std::reverse(names.begin(), names.end());
    return names;
}

std::string PathOf(const std::string& top, const std::vector<std::string>& names) {
    std::string path = top;
    for (const std::string& name : names) path += "/" + name;
    return path;
}

// A link or folder read from a shortcut tree. A link remembers which file it was read from, so
// that writing the set back to where it was read can remove that file when the link goes to
// another one, and keep the file's other sections when it does.
class ShortcutEntry : public UrlEntry {
public:
    using UrlEntry::UrlEntry;
    std::string formerName;  // what the writer was given before it adapted the name
    bool hasFormerName = false;
    std::size_t nameLimit = kDefaultNameLimit;
    FileId top{};                              // the folder the set was read from
    std::shared_ptr<const FolderNode> folder;  // the link's folder
    std::string location;                      // the set's location when it was read
    std::string fileName;
    FileId file{};
};

// The URL of a shortcut as Windows reads it: the UTF-7 twin where there is one, since the main
// key holds the code page's rendering of it (raw bytes of another code page on a Russian or
// Greek system), else the main key.
// A main key in ASCII is exact and wins over a twin left from before a program edited it,
// unless it holds the "?" Windows writes for what its code page lacks.
std::string ReadUrl(const ProfileFile& profile) {
    std::string url = profile.GetString(kShortcutSection, "URL", {}, ProfileFile::kWholeValue);
    const std::string twin = profile.GetString(kUnicodeSection, "URL", {}, ProfileFile::kWholeValue);
    std::string decoded;
    if (twin.empty() || !Recode(twin, "UTF-7", "UTF-8", decoded)) return url;
    if (!IsAscii(url) || (!IsAscii(decoded) && url.find('?') != std::string::npos)) return decoded;
    return url;
}

// A kept name as its file holds it: quoted when blanks at its ends or enclosing quotes would
// otherwise be lost on reading.
std::string QuotedValue(const std::string& value) {
    const bool blankEnd = !value.empty() && (value.front() == ' ' || value.front() == '\t' || value.back() == ' ' ||
                                             value.back() == '\t');
    const bool quoted =
        value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front();
    return blankEnd || quoted ? "\"" + value + "\"" : value;
}

// The former name kept in a file, if the file keeps one (an empty name is one too).
bool ReadFormerName(const ProfileFile& profile, std::string& name) {
    if (!profile.HasKey(kTolvaSection, kFormerNameKey)) return false;
    name = profile.GetString(kTolvaSection, kFormerNameKey, {}, ProfileFile::kWholeValue);
    return true;
}

// Sets the URL, and its twins where Windows needs them: a URL that is not ASCII gets the UTF-7
// twin Windows reads it from, and twins already in the file follow the change so that they
// never contradict it.
void WriteUrl(ProfileFile& profile, std::string_view url) {
    const bool hasTwin = profile.HasKey(kUnicodeSection, "URL");
    // An unchanged URL leaves another program's twins as they are.
    if (hasTwin && profile.GetString(kShortcutSection, "URL", {}, ProfileFile::kWholeValue) == url) return;
    profile.SetString(kShortcutSection, "URL", url);
    if (profile.HasKey(kAnsiSection, "URL")) profile.SetString(kAnsiSection, "URL", url);
    if (IsAscii(url) && !hasTwin) return;
    std::string twin;
    // Bytes that are not UTF-8 have no UTF-7 form; an empty twin makes readers take the main key.
    if (!Recode(url, "UTF-8", "UTF-7", twin)) {
        if (!hasTwin) return;
        twin.clear();
    }
    profile.SetString(kUnicodeSection, "URL", twin);
}

// The folder the reader is in and what is left to do there.
struct ReadLevel {
    FileId id{};
    std::shared_ptr<const FolderNode> node;
    std::vector<std::pair<std::string, bool>> directories;  // name, reached through a link
    std::size_t nextDirectory = 0;
    std::vector<std::string> shortcuts;
    std::string settingsName;  // its desktop.ini, if it has one
};

struct ReadWalk {
    UrlSet& set;
    TextControl* statusText;
    FileId top{};
    Descriptor topFd;
    // Every directory read so far: one reached again, through a symbolic link or a loop back
    // to an ancestor, is not read again.
    std::set<FileId> read;
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

// Whether the folder fd holds lies below the tree's top folder on the disk itself, without
// symbolic links: such a folder is read where it is, not through a link to it.
bool InsideTree(int fd, FileId top) {
    Descriptor current(::dup(fd));
    FileId id;
    if (!IdOfDescriptor(current.Get(), id)) return false;
    for (;;) {
        Descriptor parent(::openat(current.Get(), "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        FileId parentId;
        if (!IdOfDescriptor(parent.Get(), parentId) || parentId == id) return false;  // the root
        if (parentId == top) return true;
        current = std::move(parent);
        id = parentId;
    }
}

// Lists the folder fd holds into level: its visible sub-folders and its shortcut files, each in
// the order Windows lists them.
void ListFolder(int fd, ReadLevel& level) {
    int listFd = fd >= 0 ? ::openat(fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC) : -1;
    DIR* listing = listFd >= 0 ? ::fdopendir(listFd) : nullptr;
    if (listing == nullptr) {
        if (listFd >= 0) ::close(listFd);
        return;
    }
    while (struct dirent* item = ::readdir(listing)) {
        std::string name = item->d_name;
        if (name == "." || name == "..") continue;
        bool linked = false;
        const unsigned char type = TypeThroughLinks(fd, name, item->d_type, linked);
        // Hidden folders are not folders of the set.
        if (type == DT_DIR && name.front() != '.') {
            level.directories.emplace_back(std::move(name), linked);
        } else if (type == DT_REG && HasShortcutSuffix(name)) {
            level.shortcuts.push_back(std::move(name));
        } else if (type == DT_REG && !linked && EqualsIgnoringAsciiCase(name, kFolderSettingsName)) {
            level.settingsName = std::move(name);
        }
    }
    ::closedir(listing);
    std::sort(level.directories.begin(), level.directories.end(),
              [](const auto& a, const auto& b) { return ListedBefore(a.first, b.first); });
    std::sort(level.shortcuts.begin(), level.shortcuts.end(), ListedBefore);
}

// The links of one folder, after its sub-folders, then the folder's end.
void ReadLinks(ReadWalk& walk, int folder, const ReadLevel& level) {
    UrlSet& set = walk.set;
    ProfileFile profile;
    const std::size_t limit = folder >= 0 ? NameLimit(folder) : kDefaultNameLimit;
    for (const std::string& fileName : level.shortcuts) {
        ++set.linkCount;
        ShowLoadingItem(walk);
        auto* link = new ShortcutEntry(UrlEntryKind::Link, NameFromFileName(fileName));
        link->nameLimit = limit;
        // A shortcut that is a symbolic link is read from the file it leads to.
        bool loaded = profile.Load(folder, fileName);
        if (!loaded && errno == ELOOP) {
            loaded = profile.Load(ResolvedPath(PathOf(set.location, NamesFromTop(level.node.get())) + "/" + fileName));
        }
        if (loaded) {
            // Values are read whole: real shortcuts hold URLs far longer than 254 bytes.
            link->url = ReadUrl(profile);
            link->preservedName = profile.GetString(kShortcutSection, "PreVfyName", {}, ProfileFile::kWholeValue);
            link->preservedLocation = profile.GetString(kShortcutSection, "PreVfyLoc", {}, ProfileFile::kWholeValue);
            // Where this program's own writer keeps a link's origin, so that a verified set
            // can put a link back in its folder.
            if (link->preservedLocation.empty()) {
                link->preservedLocation =
                    profile.GetString(kTolvaSection, "PreVfyLocation", {}, ProfileFile::kWholeValue);
            }
            link->hasFormerName = ReadFormerName(profile, link->formerName);
        }
        struct stat info {};
        if (::fstatat(folder, fileName.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0) {
            link->top = walk.top;
            link->folder = level.node;
            link->location = set.location;
            link->fileName = fileName;
            link->file = IdOf(info);
        }
        set.Append(link);
    }
    set.Append(new UrlEntry(UrlEntryKind::FolderEnd, {}));
}

// Opens the folder of the level below the top by its names again, the way the walk came.
Descriptor ReopenByNames(const ReadWalk& walk, const ReadLevel& level) {
    Descriptor current(::dup(walk.topFd.Get()));
    for (const std::string& name : NamesFromTop(level.node.get())) {
        if (!current.Valid()) break;
        current = OpenFolderThroughLinksAt(current.Get(), name);
    }
    FileId id;
    if (!IdOfDescriptor(current.Get(), id) || id != level.id) return Descriptor();
    return current;
}

// The tree, depth first: each folder's sub-folders (each with its contents and FolderEnd),
// then its links, then its own FolderEnd. Symbolic links are followed, but a directory already
// read (an ancestor, or one reached by two ways) is left out, so a loop ends and no folder is
// read twice, and a link to a directory of the tree itself is left out for the directory to be
// read in place. A directory that cannot be read gives its FolderEnd only.
void WalkShortcutTree(ReadWalk& walk) {
    UrlSet& set = walk.set;
    std::vector<ReadLevel> levels(1);
    levels.back().id = walk.top;
    levels.back().node = std::make_shared<FolderNode>();
    Descriptor current(walk.topFd.Valid() ? ::dup(walk.topFd.Get()) : -1);
    ListFolder(current.Get(), levels.back());
    while (!levels.empty()) {
        ReadLevel& level = levels.back();
        if (level.nextDirectory < level.directories.size()) {
            const auto& [name, linked] = level.directories[level.nextDirectory++];
            Descriptor sub = OpenFolderThroughLinksAt(current.Get(), name);
            FileId id{};
            const bool opened = IdOfDescriptor(sub.Get(), id);
            if (opened && linked && InsideTree(sub.Get(), walk.top)) continue;
            if (opened && !walk.read.insert(id).second) continue;
            ++set.folderCount;
            ShowLoadingItem(walk);
            auto* folder = new ShortcutEntry(UrlEntryKind::FolderStart, name);
            folder->nameLimit = current.Valid() ? NameLimit(current.Get()) : kDefaultNameLimit;
            set.Append(folder);
            if (!opened) {
                set.Append(new UrlEntry(UrlEntryKind::FolderEnd, {}));
                continue;
            }
            ReadLevel below;
            below.id = id;
            below.node = std::make_shared<FolderNode>(FolderNode{level.node, name});
            ListFolder(sub.Get(), below);
            if (!below.settingsName.empty()) {
                ProfileFile settings;
                if (settings.Load(sub.Get(), below.settingsName)) {
                    folder->hasFormerName = ReadFormerName(settings, folder->formerName);
                }
            }
            current = std::move(sub);
            levels.push_back(std::move(below));
            continue;
        }
        ReadLinks(walk, current.Get(), level);
        levels.pop_back();
        if (levels.empty()) break;
        // Back up: through "..", or, where the folder was reached through a link, by name again.
        Descriptor parent = current.Valid() ? OpenParentOf(current.Get(), levels.back().id) : Descriptor();
        if (!parent.Valid()) parent = ReopenByNames(walk, levels.back());
        current = std::move(parent);
    }
}

// The names one directory has been given in this write, compared without regard to ASCII case
// as Windows compares them.
struct FolderNames {
    std::unordered_set<std::string> files;    // shortcut files
    std::unordered_set<std::string> folders;  // sub-folders
    // Per name as given, the copy number to try next, so that a thousand links of one name
    // do not each try every number before theirs.
    std::unordered_map<std::string, int> nextCopy;
};

// One folder of the set as the writer holds it while it writes the folder's contents. Only the
// folder being written holds a descriptor.
struct WriteFolder {
    std::string name;  // as made on the disk
    FileId id{};
    std::size_t pathLength = 0;  // of its native path
    FolderNames* names = nullptr;
    bool usable = false;
};

// Where a name the writer chose differs from the one it was given.
struct ChosenName {
    std::string name;
    bool adapted = false;  // shortened, numbered or replaced
};

class ShortcutWriter {
public:
    explicit ShortcutWriter(UrlSet& set) : set_(set) {}

    int Run() {
        current_ = Descriptor(::open(set_.location.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        WriteFolder top;
        if (!IdOfDescriptor(current_.Get(), top.id)) {
            ShowFolderError(errno, set_.location);
            return 0;
        }
        RemoveLeftoverTemporaries(current_.Get(), "");
        topFd_ = Descriptor(::dup(current_.Get()));
        topId_ = top.id;
        pathLimit_ = PathLimit(current_.Get());
        top.pathLength = set_.location.size();
        top.names = &names_[topId_];
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
                    if (folders_.size() > 1) LeaveFolder();
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
        if (!stopped_ && ::syncfs(topFd_.Get()) != 0) ShowFolderError(errno, set_.location);
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

    // The native path of the folder being written, built only for a message: a deep tree
    // keeps one name per level, not a path per level.
    std::string CurrentPath() const {
        std::string path = set_.location;
        for (std::size_t i = 1; i < folders_.size(); ++i) path += "/" + folders_[i].name;
        return path;
    }

    // A name for an entry in folder that no entry of the other kind uses there, and, for a
    // link, no other link either; cut to the file system's limit with room for the copy number
    // and the suffix. A name held on the disk by something that is not a file (for a link) or
    // not a folder (for a folder) is passed over too, so that a folder "x.url" and a link "x",
    // or a link "y" and a folder "y.url", are both written.
    ChosenName ChooseName(WriteFolder& folder, const std::string& name, bool isFolder) {
        const std::size_t limit = NameLimit(current_.Get());
        const std::string_view ending = isFolder ? std::string_view() : kShortcutSuffix;
        std::string key = (isFolder ? "/" : "") + LowerAscii(name);
        int& next = folder.names->nextCopy[key];
        if (next == 0) next = 1;
        ChosenName chosen;
        for (int copy = next;; ++copy) {
            const std::string suffix = CopySuffix(copy) + std::string(ending);
            std::string base = name;
            if (base.size() + suffix.size() > limit) {
                base = CutAtCharacter(name, limit > suffix.size() ? limit - suffix.size() : 0);
            }
            chosen.name = base + suffix;
            chosen.adapted = base.size() != name.size() || copy > 1;
            const std::string lower = LowerAscii(chosen.name);
            if (folder.names->files.count(lower) > 0) continue;
            if (!isFolder && folder.names->folders.count(lower) > 0) continue;
            // Two folders of one name are one directory: their contents share it.
            if (isFolder && folder.names->folders.count(lower) > 0) return chosen;
            struct stat info {};
            if (::fstatat(current_.Get(), chosen.name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 &&
                (isFolder ? S_ISREG(info.st_mode) : S_ISDIR(info.st_mode))) {
                continue;
            }
            (isFolder ? folder.names->folders : folder.names->files).insert(lower);
            next = copy + 1;
            return chosen;
        }
    }

    void EnterFolder(const UrlEntry& entry) {
        WriteFolder& parent = folders_.back();
        WriteFolder folder;
        std::string name = entry.name.str();
        bool placeholder = false;
        if (name.empty() || name == "." || name == "..") {
            name = kPlaceholderFolderName;
            placeholder = true;
        }
        folder.name = name;
        if (!parent.usable) {
            // Its parent could not be made; that was shown already.
            folders_.push_back(std::move(folder));
            return;
        }
        if (!IsUsableComponent(name)) {
            ShowFolderError(kErrorInvalidName, CurrentPath() + "/" + name);
            folders_.push_back(std::move(folder));
            return;
        }
        const ChosenName chosen = ChooseName(parent, name, true);
        folder.name = chosen.name;
        folder.pathLength = parent.pathLength + 1 + folder.name.size();
        const std::string path = CurrentPath() + "/" + folder.name;
        // A path other programs could not open is not made, nor anything below it; the rest
        // of the set still is.
        if (folder.pathLength + 1 > pathLimit_) {
            ShowFolderError(ENAMETOOLONG, path);
            folders_.push_back(std::move(folder));
            return;
        }
        const bool made = ::mkdirat(current_.Get(), folder.name.c_str(), 0777) == 0;
        if (!made && errno != EEXIST) {
            ShowFolderError(errno, path);
            folders_.push_back(std::move(folder));
            return;
        }
        Descriptor opened = OpenFolderAt(current_.Get(), folder.name);
        if (!IdOfDescriptor(opened.Get(), folder.id)) {
            // Something that is not a folder (a symbolic link) holds the name.
            ShowFolderError(errno, path);
            folders_.push_back(std::move(folder));
            return;
        }
        // A folder that was there may hold the half-written files of a run that was killed.
        if (!made) RemoveLeftoverTemporaries(opened.Get(), "");
        current_ = std::move(opened);
        folder.names = &names_[folder.id];
        folder.usable = true;
        folders_.push_back(std::move(folder));
        KeepFolderName(entry, placeholder || chosen.adapted);
    }

    // A folder whose name on the disk is not the one it had in the set keeps that one in its
    // desktop.ini, as a link keeps it in its file.
    void KeepFolderName(const UrlEntry& entry, bool adapted) {
        std::string former;
        const bool keep = FormerName(entry, adapted, former);
        std::string settingsName(kFolderSettingsName);
        struct stat info {};
        if (::fstatat(current_.Get(), settingsName.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
            // Windows writes it as "Desktop.ini" as well.
            settingsName[0] = 'D';
            if (::fstatat(current_.Get(), settingsName.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
                if (!keep) return;
                settingsName = kFolderSettingsName;
            }
        }
        ProfileFile settings;
        if (!settings.Load(current_.Get(), settingsName)) return;
        SetFormerName(settings, keep, former);
        if (!settings.Save(current_.Get(), settingsName)) ShowFolderError(errno, CurrentPath() + "/" + settingsName);
    }

    // The name to keep for an entry stored under another name: the name before a translation
    // adapted it, or the entry's own when the writer had to change it, or what the tree it was
    // read from kept for it. False when there is none.
    static bool FormerName(const UrlEntry& entry, bool adapted, std::string& former) {
        const auto* read = dynamic_cast<const ShortcutEntry*>(&entry);
        if (!entry.preservedName.empty() || (entry.flags & NamePreserved)) {
            former = entry.preservedName.str();
        } else if (adapted) {
            former = entry.name.str();
        } else if (read != nullptr && read->hasFormerName) {
            former = read->formerName;
        } else {
            return false;
        }
        return true;
    }

    // Stores the former name, or removes one another write left, so that a name the file no
    // longer derives from is never given back.
    static void SetFormerName(ProfileFile& profile, bool keep, const std::string& former) {
        if (keep) {
            profile.SetString(kTolvaSection, kFormerNameKey, QuotedValue(former));
        } else {
            profile.DeleteKey(kTolvaSection, kFormerNameKey);
        }
    }

    void LeaveFolder() {
        const WriteFolder left = std::move(folders_.back());
        folders_.pop_back();
        if (!left.usable) return;  // the parent's descriptor was never given up
        // Back to the parent: through "..", checked to be the folder the writer came down
        // from, or by its names again from the top.
        Descriptor parent = OpenParentOf(current_.Get(), folders_.back().id);
        if (!parent.Valid()) {
            parent = Descriptor(::dup(topFd_.Get()));
            for (std::size_t i = 1; i < folders_.size() && parent.Valid(); ++i) {
                parent = OpenFolderAt(parent.Get(), folders_[i].name);
            }
            FileId id;
            if (!IdOfDescriptor(parent.Get(), id) || id != folders_.back().id) {
                // The tree was moved meanwhile: what is left of this folder is not written.
                ShowFolderError(ENOENT, CurrentPath());
                for (std::size_t i = 1; i < folders_.size(); ++i) folders_[i].usable = false;
                folders_.front().usable = false;
            }
        }
        current_ = std::move(parent);
    }

    void WriteLink(const UrlEntry& entry) {
        WriteFolder& folder = folders_.back();
        if (!folder.usable) {
            failed_ = true;
            return;
        }
        if (!IsUsableComponent(entry.name)) {
            ShowLinkError(kErrorInvalidName, CurrentPath() + "/" + entry.name + std::string(kShortcutSuffix));
            return;
        }
        const ChosenName chosen = ChooseName(folder, entry.name.str(), false);
        const std::string& fileName = chosen.name;
        if (folder.pathLength + 1 + fileName.size() + 1 > pathLimit_) {
            ShowLinkError(ENAMETOOLONG, CurrentPath() + "/" + fileName);
            return;
        }
        const int fd = current_.Get();

        ProfileFile profile;
        if (!profile.Load(fd, fileName)) {
            ShowLinkError(errno, CurrentPath() + "/" + fileName);
            return;
        }
        const auto* read = dynamic_cast<const ShortcutEntry*>(&entry);
        // A link that gets a new file (renamed, moved, or copied to another place) keeps the
        // other sections and keys of the file it was read from: icons, base URLs, other
        // programs' data.
        if (!profile.Existed() && read != nullptr) StartFromSource(*read, profile);
        WriteUrl(profile, entry.url);
        // The file name no longer holds the whole name; keep it where a later translation can
        // find it.
        std::string former;
        const bool keep = FormerName(entry, chosen.adapted, former);
        SetFormerName(profile, keep, former);
        if (!entry.preservedLocation.empty() && !StartsWith(entry.preservedLocation, kUnverifiedPrefix)) {
            profile.SetString(kTolvaSection, "PreVfyLocation", entry.preservedLocation);
        }
        if (!profile.Save(fd, fileName)) {
            ShowLinkError(errno, CurrentPath() + "/" + fileName);
            return;
        }
        struct stat info {};
        if (::fstatat(fd, fileName.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) return;
        const FileId written = IdOf(info);
        written_.insert(written);

        if (entry.flags > 0) RemoveFormerFile(entry, written);
        if (read != nullptr) RemoveSourceFile(*read, written);
    }

    static void StartFromSource(const ShortcutEntry& entry, ProfileFile& profile) {
        if (entry.fileName.empty()) return;
        const std::string path = PathOf(entry.location, NamesFromTop(entry.folder.get())) + "/" + entry.fileName;
        struct stat info {};
        if (::lstat(path.c_str(), &info) != 0 || IdOf(info) != entry.file) return;
        ProfileFile source;
        if (source.Load(path) && source.Existed()) profile.CopyContents(source);
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
    void RemoveFormerFile(const UrlEntry& entry, FileId written) {
        const std::string oldName = ((entry.flags & NamePreserved) ? entry.preservedName : entry.name).str();
        if (!IsUsableComponent(oldName)) return;
        const std::string oldFile = oldName + std::string(kShortcutSuffix);
        if (!(entry.flags & LocationPreserved)) {
            RemoveIfStale(current_.Get(), oldFile, written, nullptr);
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
        Descriptor folder = OpenBelowTop(NamesFromTop(entry.folder.get()));
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
        Descriptor current(::dup(topFd_.Get()));
        for (const std::string& name : components) {
            if (!current.Valid()) break;
            current = OpenFolderAt(current.Get(), name);
        }
        return current;
    }

    UrlSet& set_;
    Descriptor topFd_;
    Descriptor current_;  // the folder being written
    std::vector<WriteFolder> folders_;
    std::map<FileId, FolderNames> names_;
    std::set<FileId> written_;
    FileId topId_{};
    std::size_t pathLimit_ = kDefaultPathLimit;
    int messages_ = 0;
    bool failed_ = false;
    bool stopped_ = false;
};

}  // namespace

int ReadShortcuts(SetStorage& storage, TextControl* statusText) {
    UrlSet& set = storage.Set();
    ReadWalk walk{
        set, statusText, {}, Descriptor(::open(set.location.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)), {}};
    if (IdOfDescriptor(walk.topFd.Get(), walk.top)) walk.read.insert(walk.top);
    WalkShortcutTree(walk);
    set.SetCursor(nullptr);
    std::string owner = RegisteredOwner();
    if (statusText) statusText->SetText(LoadString(IDS_STATUS_SHORTCUTS_LOADED));
    set.title = owner;
    return 1;
}

int WriteShortcuts(SetStorage& storage) { return ShortcutWriter(storage.Set()).Run(); }

bool FormerShortcutName(const UrlEntry& entry, std::string& name) {
    const auto* read = dynamic_cast<const ShortcutEntry*>(&entry);
    if (read == nullptr || !read->hasFormerName) return false;
    name = read->formerName;
    return true;
}

bool WriterWouldName(const UrlEntry& entry, std::string_view given) {
    const auto* read = dynamic_cast<const ShortcutEntry*>(&entry);
    if (read == nullptr) return false;
    const bool isFolder = entry.kind == UrlEntryKind::FolderStart;
    if (isFolder && (given.empty() || given == "." || given == "..")) given = kPlaceholderFolderName;
    const std::string_view name = entry.name;
    if (name == given) return true;
    const std::string_view base = WithoutCopySuffix(name);
    if (base == given) return true;
    // Shortened: a proper beginning of the given name, as long as the limit let it be.
    const std::size_t rest = (name.size() - base.size()) + (isFolder ? 0 : kShortcutSuffix.size());
    return base.size() < given.size() && given.starts_with(base) &&
           base.size() + rest + kMaxCharacterBytes > read->nameLimit;
}

}  // namespace tolva
