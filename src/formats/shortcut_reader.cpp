// The shortcut reader: a folder tree becomes the set's folders and links, depth first, each
// folder's entries in the order its desktop.ini records, else its sub-folders before its
// links, in the order Windows lists them.
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
#include <unordered_map>
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
    // Its sub-folders (with whether each was reached through a link), shortcut files and
    // separators, in the order the set takes them.
    std::vector<std::pair<OrderItem, bool>> items;
    std::size_t nextItem = 0;
    std::size_t nameLimit = kDefaultNameLimit;
    bool behindLink = false;  // it or a folder above it was reached through a symbolic link
};

// What a folder's desktop.ini keeps of it.
struct FolderSettings {
    bool hasFormerName = false;
    std::string formerName;
    std::string attributes;
    std::string description;
    std::string heading;
    std::string order;
    FolderMark mark = FolderMark::None;
    bool hasMark = false;
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

void ReadFolderSettings(int fd, const std::string& name, FolderSettings& settings) {
    ProfileFile profile;
    if (!profile.Load(fd, name)) return;
    settings.hasFormerName = ReadFormerName(profile, settings.formerName);
    settings.attributes = ReadKeptText(profile, kAttributesKey);
    settings.description = ReadKeptText(profile, kDescriptionKey);
    settings.heading = ReadKeptText(profile, kHeadingKey);
    settings.order = ReadKeptText(profile, kOrderKey);
    settings.hasMark = profile.HasKey(kTolvaSection, kMarkKey);
    settings.mark = MarkNamed(profile.GetString(kTolvaSection, kMarkKey));
}

// Puts the folder's sub-folders and shortcuts in the order its record names them, with the
// separators it records; those it does not name (added since, by the person or by Windows)
// follow in the order a folder without a record has: sub-folders first, each group as Windows
// lists them. A name the record holds that is no longer there is passed over.
void ArrangeItems(std::vector<std::pair<OrderItem, bool>> listed, std::string_view record, ReadLevel& level) {
    std::unordered_map<std::string, std::size_t> byName;
    for (std::size_t i = 0; i < listed.size(); ++i) byName.emplace(listed[i].first.name, i);
    std::vector<bool> taken(listed.size());
    for (OrderItem& item : OrderRecordItems(record)) {
        if (item.kind == UrlEntryKind::Separator) {
            level.items.emplace_back(std::move(item), false);
            continue;
        }
        const auto found = byName.find(item.name);
        if (found == byName.end() || taken[found->second]) continue;
        taken[found->second] = true;
        level.items.push_back(listed[found->second]);
    }
    for (std::size_t i = 0; i < listed.size(); ++i) {
        if (!taken[i]) level.items.push_back(std::move(listed[i]));
    }
}

// Lists the folder fd holds into level, in the order the set takes them, and reads what its
// desktop.ini keeps of it.
void ListFolder(int fd, ReadLevel& level, FolderSettings& settings) {
    level.nameLimit = fd >= 0 ? NameLimit(fd) : kDefaultNameLimit;
    int listFd = fd >= 0 ? ::openat(fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC) : -1;
    DIR* listing = listFd >= 0 ? ::fdopendir(listFd) : nullptr;
    if (listing == nullptr) {
        if (listFd >= 0) ::close(listFd);
        return;
    }
    std::vector<std::pair<OrderItem, bool>> directories;
    std::vector<std::pair<OrderItem, bool>> shortcuts;
    std::string settingsName;
    while (struct dirent* item = ::readdir(listing)) {
        std::string name = item->d_name;
        if (name == "." || name == "..") continue;
        bool linked = false;
        const unsigned char type = TypeThroughLinks(fd, name, item->d_type, linked);
        // Hidden folders are not folders of the set.
        if (type == DT_DIR && name.front() != '.') {
            directories.emplace_back(OrderItem{UrlEntryKind::FolderStart, std::move(name)}, linked);
        } else if (type == DT_REG && HasShortcutSuffix(name)) {
            shortcuts.emplace_back(OrderItem{UrlEntryKind::Link, std::move(name)}, false);
        } else if (type == DT_REG && !linked && EqualsIgnoringAsciiCase(name, kFolderSettingsName)) {
            settingsName = std::move(name);
        }
    }
    ::closedir(listing);
    const auto listedBefore = [](const auto& a, const auto& b) { return ListedBefore(a.first.name, b.first.name); };
    std::sort(directories.begin(), directories.end(), listedBefore);
    std::sort(shortcuts.begin(), shortcuts.end(), listedBefore);
    if (!settingsName.empty()) ReadFolderSettings(fd, settingsName, settings);
    directories.insert(directories.end(), std::make_move_iterator(shortcuts.begin()),
                       std::make_move_iterator(shortcuts.end()));
    ArrangeItems(std::move(directories), settings.order, level);
}

// One link of the folder.
void ReadLink(ReadWalk& walk, int folder, const ReadLevel& level, const std::string& fileName) {
    UrlSet& set = walk.set;
    ++set.linkCount;
    ShowLoadingItem(walk);
    const std::string name = NameFromFileName(fileName);
    auto* link = new ShortcutEntry(UrlEntryKind::Link, name);
    // A verification that renamed the link left its error text in the file name.
    if (name.size() + kShortcutSuffix.size() < fileName.size()) link->flags |= NameCarriesErrorText;
    link->nameLimit = level.nameLimit;
    // A shortcut that is a symbolic link is read from the file it leads to.
    ProfileFile profile;
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
            link->preservedLocation = profile.GetString(kTolvaSection, "PreVfyLocation", {}, ProfileFile::kWholeValue);
        }
        link->hasFormerName = ReadFormerName(profile, link->formerName);
        link->extraAttributes = ReadLinkAttributes(profile);
        link->description = ReadKeptText(profile, kDescriptionKey);
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

// The tree, depth first, each folder's entries in the order its record keeps (sub-folders
// before links without one), a sub-folder with its contents and FolderEnd, then the folder's
// own FolderEnd. Symbolic links are followed, but a directory already read (an ancestor, or
// one reached by two ways) is left out, so a loop ends and no folder is read twice, and a link
// to a directory of the tree itself is left out for the directory to be read in place. A
// directory that cannot be read gives its FolderEnd only.
void WalkShortcutTree(ReadWalk& walk) {
    UrlSet& set = walk.set;
    std::vector<ReadLevel> levels(1);
    levels.back().id = walk.top;
    levels.back().node = std::make_shared<FolderNode>();
    Descriptor current(walk.topFd.Valid() ? ::dup(walk.topFd.Get()) : -1);
    FolderSettings topSettings;
    ListFolder(current.Get(), levels.back(), topSettings);
    set.heading = topSettings.heading;
    while (!levels.empty()) {
        ReadLevel& level = levels.back();
        if (level.nextItem < level.items.size()) {
            const auto& [item, linked] = level.items[level.nextItem++];
            const std::string& name = item.name;
            if (item.kind == UrlEntryKind::Separator) {
                set.Append(new UrlEntry(UrlEntryKind::Separator, {}));
                continue;
            }
            if (item.kind == UrlEntryKind::Link) {
                ReadLink(walk, current.Get(), level, name);
                continue;
            }
            Descriptor sub = OpenFolderThroughLinksAt(current.Get(), name);
            FileId id{};
            const bool opened = IdOfDescriptor(sub.Get(), id);
            if (opened && linked && InsideTree(sub.Get(), walk.top)) continue;
            if (opened && !walk.read.insert(id).second) continue;
            ++set.folderCount;
            ShowLoadingItem(walk);
            auto* folder = new ShortcutEntry(UrlEntryKind::FolderStart, name);
            folder->nameLimit = level.nameLimit;
            folder->top = walk.top;
            folder->throughLink = linked;
            folder->behindLink = level.behindLink || linked;
            // Windows shows the top-level Links folder as the Favorites Bar.
            if (levels.size() == 1 && EqualsIgnoringAsciiCase(name, kToolbarFolderName))
                folder->mark = FolderMark::Toolbar;
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
            FolderSettings settings;
            ListFolder(sub.Get(), below, settings);
            folder->hasFormerName = settings.hasFormerName;
            folder->formerName = std::move(settings.formerName);
            folder->extraAttributes = settings.attributes;
            folder->description = settings.description;
            if (settings.hasMark) folder->mark = settings.mark;
            current = std::move(sub);
            levels.push_back(std::move(below));
            continue;
        }
        set.Append(new UrlEntry(UrlEntryKind::FolderEnd, {}));
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
