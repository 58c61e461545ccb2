// The shortcut reader: a folder tree becomes the set's folders and links, depth first, each
// folder's sub-folders before its links, in the order Windows lists them.
//
// It follows symbolic links (a person's Favorites may link to another disk) and reads each
// directory once. It walks a tree of any depth with two descriptors (the top folder's and the
// current one's) and keeps one name per level: a folder's parent is opened again through ".."
// when the walk comes back up, and checked to be the folder it left.

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "formats/shortcut_file.h"
#include "formats/shortcut_names.h"
#include "formats/shortcuts.h"
#include "formats/set_storage.h"
#include "platform/ascii.h"
#include "platform/descriptor.h"
#include "platform/folder_walk.h"
#include "platform/profile_file.h"
#include "platform/registered_owner.h"
#include "resources/strings.h"

namespace tolva {

namespace {

// The folder the reader is in and what is left to do there.
struct ReadLevel {
    FileId id{};
    std::shared_ptr<const FolderNode> node;
    std::vector<std::pair<std::string, bool>> directories;  // name, reached through a link
    std::size_t nextDirectory = 0;
    std::vector<std::string> shortcuts;
    std::string settingsName;  // its desktop.ini, if it has one
    bool behindLink = false;   // it or a folder above it was reached through a symbolic link
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
        link->behindLink = level.behindLink;
        struct stat info {};
        if (::fstatat(folder, fileName.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0) {
            link->throughLink = S_ISLNK(info.st_mode);
            link->behindLink = link->behindLink || link->throughLink;
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
            folder->top = walk.top;
            folder->throughLink = linked;
            folder->behindLink = level.behindLink || linked;
            struct stat info {};
            if (linked && ::fstatat(current.Get(), name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0)
                folder->file = IdOf(info);
            set.Append(folder);
            if (!opened) {
                set.Append(new UrlEntry(UrlEntryKind::FolderEnd, {}));
                continue;
            }
            ReadLevel below;
            below.id = id;
            below.node = std::make_shared<FolderNode>(FolderNode{level.node, name});
            below.behindLink = folder->behindLink;
            folder->folder = below.node;
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

}  // namespace tolva
