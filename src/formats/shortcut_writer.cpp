// The shortcut writer: a folder per folder of the set, a ".url" file per link, each file
// written beside its name and renamed into place.
//
// Every file-system call below the set's location goes through a descriptor of the folder it
// acts in, with one plain name component. The writer never follows a symbolic link, even one
// that stays inside the location, so no name, stored path or link can make it create, write or
// delete anything outside the location: a linked folder or shortcut of the tree it writes back
// is left as it is when it is unchanged, and refused when not. It holds two descriptors (the
// top folder's and the current one's) and one name per level: a folder's parent is opened
// again through ".." when the walk comes back up, and checked to be the folder it left.

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "formats/entry_walker.h"
#include "formats/shortcut_file.h"
#include "formats/shortcut_names.h"
#include "formats/shortcuts.h"
#include "formats/set_storage.h"
#include "formats/storage_errors.h"
#include "platform/ascii.h"
#include "platform/atomic_replace.h"
#include "platform/charset.h"
#include "platform/descriptor.h"
#include "platform/folder_walk.h"
#include "platform/profile_file.h"
#include "platform/stop_request.h"
#include "resources/strings.h"

namespace tolva {

namespace {

// The code Windows gives a name it cannot use.
constexpr int kErrorInvalidName = 123;
// Folders and links that fail one by one are shown up to this many times in one write, so
// that a set full of unusable names, or a folder that refuses every file, cannot bury the
// person in message boxes.
constexpr int kMaxMessages = 5;

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
    // A folder behind a symbolic link of the tree it was read from, written back: left as it
    // is, since the writer follows no link.
    bool leftAlone = false;
    // What it holds in the order of the set, for its desktop.ini when it is left.
    std::vector<OrderItem> order;
};

// Where a name the writer chose differs from the one it was given.
struct ChosenName {
    std::string name;
    bool adapted = false;  // shortened, numbered or replaced
};

class ShortcutWriter final : public EntryWalker {
public:
    explicit ShortcutWriter(SetStorage& storage) : storage_(storage), set_(storage.Set()) {}

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

        Walk(set_);
        if (!Stopped() && folders_.size() == 1 && folders_.front().usable) {
            ChangeFolderSettings(topFd_.Get(), set_.location, [&](ProfileFile& settings) {
                SetKeptText(settings, kHeadingKey, set_.heading);
                SetOrder(settings, folders_.front().order);
            });
        }
        // Each file was replaced by a rename; one flush of the whole file system at the end
        // makes them durable without an fsync per shortcut.
        if (!stopped_ && ::syncfs(topFd_.Get()) != 0) ShowFolderError(errno, set_.location);
        // A stop the person asked for leaves the files written so far, each whole, and fails the
        // save without a message: the run says it stopped.
        return failed_ || StopRequested() ? 0 : 1;
    }

private:
    // A full disk, or the person's stop (Ctrl+C): the walk ends between two files.
    bool Stopped() const override { return stopped_ || StopRequested(); }
    void VisitLink(UrlEntry& entry) override { WriteLink(entry); }
    void VisitSeparator(UrlEntry& /*separator*/) override {
        if (folders_.back().usable && !folders_.back().leftAlone)
            folders_.back().order.push_back({UrlEntryKind::Separator, {}});
    }

    void ShowFolderError(int code, const std::string& path) {
        ShowError(FormatString(IDS_ERR_CREATING_FOLDER, {code, path}), code);
    }
    void ShowLinkError(int code, const std::string& path) {
        ShowError(StorageFailureText(StorageStep::WriteShortcut, code, path), code);
    }

    void ShowError(const std::string& text, int code) {
        failed_ = true;
        if (messages_++ < kMaxMessages) set_.ShowRunMessage(text);
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

    void EnterFolder(UrlEntry& entry) override {
        WriteFolder& parent = folders_.back();
        WriteFolder folder;
        std::string name = entry.name.str();
        bool placeholder = false;
        if (name.empty() || name == "." || name == "..") {
            name = kPlaceholderFolderName;
            placeholder = true;
        }
        // The set's toolbar goes where Windows shows its Favorites Bar, under its own name there
        // (joining the links a Favorites folder has there already); its name is kept.
        if (Depth() == 1 && entry.mark == FolderMark::Toolbar && !toolbarPlaced_) {
            toolbarPlaced_ = true;
            placeholder = placeholder || name != kToolbarFolderName;
            name = kToolbarFolderName;
        }
        folder.name = name;
        // A linked folder of the tree written back stays as it is, with all it holds.
        if (parent.leftAlone || (parent.usable && StillLinkedHere(entry) && UnchangedFolder(entry))) {
            if (parent.usable) {
                parent.names->folders.insert(LowerAscii(name));
                if (!parent.leftAlone) parent.order.push_back({UrlEntryKind::FolderStart, name});
            }
            folder.leftAlone = true;
            folders_.push_back(std::move(folder));
            return;
        }
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
        parent.order.push_back({UrlEntryKind::FolderStart, folder.name});
        folders_.push_back(std::move(folder));
        KeepFolderSettings(entry, placeholder || chosen.adapted);
        if (placeholder || chosen.adapted) CountAdapted(entry);
    }

    // A name the translation adapted already is one name adapted, whatever the writer adds.
    void CountAdapted(const UrlEntry& entry) {
        if ((entry.flags & NameTranslated) == 0) storage_.CountAdaptedName();
    }

    // A folder keeps in its desktop.ini what its directory cannot say: the name it had in the
    // set when its name on the disk is another, as a link keeps it in its file, its attributes,
    // description and mark.
    void KeepFolderSettings(const UrlEntry& entry, bool adapted) {
        std::string former;
        const bool keep = FormerName(entry, adapted, former);
        ChangeFolderSettings(current_.Get(), CurrentPath(), [&](ProfileFile& settings) {
            SetFormerName(settings, keep, former);
            SetKeptText(settings, kAttributesKey, entry.extraAttributes);
            SetKeptText(settings, kDescriptionKey, entry.description);
            // A top-level Links folder is the toolbar unless it says it is not.
            const bool unmarkedBar = entry.mark == FolderMark::None && Depth() == 1 &&
                                     EqualsIgnoringAsciiCase(folders_.back().name, kToolbarFolderName);
            SetKeptText(settings, kMarkKey, unmarkedBar ? kNoMarkName : MarkName(entry.mark));
        });
    }

    // Records the order of a folder's entries and its separators, unless the reader takes it in
    // that order anyway; a record left by an earlier write that no longer holds goes.
    static void SetOrder(ProfileFile& settings, const std::vector<OrderItem>& order) {
        SetKeptText(settings, kOrderKey, InListedOrder(order) ? std::string() : OrderRecord(order));
    }

    // Loads the desktop.ini of the folder fd (at path), lets change change it, and saves it if
    // anything changed; a folder without one gets one only then. Its other sections, Windows'
    // own, stay as they are.
    template <typename Change>
    void ChangeFolderSettings(int fd, const std::string& path, Change change) {
        std::string settingsName(kFolderSettingsName);
        struct stat info {};
        if (::fstatat(fd, settingsName.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
            // Windows writes it as "Desktop.ini" as well.
            settingsName[0] = 'D';
            if (::fstatat(fd, settingsName.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) settingsName = kFolderSettingsName;
        }
        ProfileFile settings;
        if (!settings.Load(fd, settingsName)) return;
        change(settings);
        if (!settings.Changed()) return;
        if (!settings.Save(fd, settingsName)) ShowFolderError(errno, path + "/" + settingsName);
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

    void LeaveFolder(UrlEntry& /*end*/) override {
        if (folders_.back().usable && !Stopped()) {
            ChangeFolderSettings(current_.Get(), CurrentPath(),
                                 [&](ProfileFile& settings) { SetOrder(settings, folders_.back().order); });
        }
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
        if (folder.leftAlone) return;
        if (!folder.usable) {
            failed_ = true;
            return;
        }
        if (StillLinkedHere(entry) && Unchanged(dynamic_cast<const ShortcutEntry&>(entry))) {
            const std::string& linkedName = dynamic_cast<const ShortcutEntry&>(entry).fileName;
            folder.names->files.insert(LowerAscii(linkedName));
            folder.order.push_back({UrlEntryKind::Link, linkedName});
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
        SetLinkAttributes(profile, entry.extraAttributes);
        SetKeptText(profile, kDescriptionKey, entry.description);
        if (!profile.Save(fd, fileName)) {
            ShowLinkError(errno, CurrentPath() + "/" + fileName);
            return;
        }
        folder.order.push_back({UrlEntryKind::Link, fileName});
        if (chosen.adapted) CountAdapted(entry);
        struct stat info {};
        if (::fstatat(fd, fileName.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) return;
        const FileId written = IdOf(info);
        written_.insert(written);

        if (entry.flags > 0) RemoveFormerFile(entry, written);
        if (read != nullptr) RemoveSourceFile(*read, written);
    }

    // Whether entry was read as a symbolic link (to a folder or a shortcut file) of the tree
    // being written, and that link is still here in the folder being written.
    bool StillLinkedHere(const UrlEntry& entry) const {
        const auto* read = dynamic_cast<const ShortcutEntry*>(&entry);
        if (read == nullptr || !read->throughLink || read->top != topId_) return false;
        const std::string name = entry.kind == UrlEntryKind::Link ? read->fileName : entry.name.str();
        struct stat info {};
        return ::fstatat(current_.Get(), name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(info.st_mode) &&
               IdOf(info) == read->file;
    }

    // Whether a link read from the tree is as it was read: neither moved nor renamed, and its
    // file (read through the link) still holds its URL.
    static bool Unchanged(const ShortcutEntry& link) {
        if (link.flags != 0 || std::string_view(link.name) != NameFromFileName(link.fileName)) return false;
        const std::string path = PathOf(link.location, NamesFromTop(link.folder.get())) + "/" + link.fileName;
        ProfileFile file;
        return file.Load(ResolvedPath(path)) && file.Existed() && ReadUrl(file) == std::string_view(link.url);
    }

    // Whether the folder that start begins holds, folder by folder, only what was read there,
    // unchanged: a linked folder is left alone only then, and refused as any link otherwise.
    static bool UnchangedFolder(const UrlEntry& start) {
        std::vector<const FolderNode*> open;
        for (const UrlEntry* entry = &start; entry != nullptr; entry = entry->next) {
            const auto* read = dynamic_cast<const ShortcutEntry*>(entry);
            if (entry->kind == UrlEntryKind::FolderStart) {
                if (read == nullptr || read->folder == nullptr || std::string_view(entry->name) != read->folder->name ||
                    (!open.empty() && read->folder->parent.get() != open.back())) {
                    return false;
                }
                open.push_back(read->folder.get());
            } else if (entry->kind == UrlEntryKind::FolderEnd) {
                open.pop_back();
                if (open.empty()) return true;
            } else if (entry->kind == UrlEntryKind::Link) {
                if (read == nullptr || read->folder.get() != open.back() || !Unchanged(*read)) return false;
            }
        }
        return false;
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

    SetStorage& storage_;
    UrlSet& set_;
    Descriptor topFd_;
    Descriptor current_;  // the folder being written
    std::vector<WriteFolder> folders_;
    std::map<FileId, FolderNames> names_;
    std::set<FileId> written_;
    FileId topId_{};
    std::size_t pathLimit_ = kDefaultPathLimit;
    int messages_ = 0;
    bool toolbarPlaced_ = false;
    bool failed_ = false;
    bool stopped_ = false;
};

}  // namespace

int WriteShortcuts(SetStorage& storage) { return ShortcutWriter(storage).Run(); }

}  // namespace tolva
