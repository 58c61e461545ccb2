#pragma once
// The in-memory URL set: a flat, doubly linked list of entries in document order, where a
// folder is the run of entries between a FolderStart and its FolderEnd, plus an iteration
// cursor that tracks the folder path. The set owns its entries and the text they borrow. It
// knows no format and no file: a SetStorage (formats/set_storage.h) opens, reads and writes it,
// and the formats' readers and writers build and walk it through this public interface.

#include <bit>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "model/entry_text.h"
#include "model/set_kinds.h"
#include "platform/person.h"
#include "resources/strings.h"

namespace tolva {

// The top-level folder that receives failing links; a link is inside it when its folder
// path begins with this text.
inline constexpr std::string_view kUnverifiedPrefix = "\\Unverified";

// What a verification puts between a failing link's name and its error text when it renames
// the link in place: space, soft hyphen, space. Sets saved on Windows hold the soft hyphen as
// the single byte 0xAD, and a bookmark file may spell it as an entity.
inline constexpr std::string_view kErrorTextSeparator = " \xC2\xAD ";
// Where the first error text a verification appended to name begins (at its separator), or
// npos; a name that begins with a separator carries none.
std::size_t ErrorTextAt(std::string_view name);
// name without any error text a verification appended to it.
std::string_view NameWithoutErrorText(std::string_view name);

class UrlEntry {
public:
    UrlEntry() = default;
    UrlEntry(UrlEntryKind entryKind, EntryText entryName, EntryText entryUrl = {})
        : kind(entryKind), name(std::move(entryName)), url(std::move(entryUrl)) {}
    virtual ~UrlEntry() = default;
    UrlEntry(const UrlEntry&) = delete;
    UrlEntry& operator=(const UrlEntry&) = delete;

    // Entries come and go by the hundred thousand; they are kept in large blocks of memory
    // made ready in one step, instead of one allocation each.
    static void* operator new(std::size_t size);
    // Tells that about count entries are coming (a large file is being read), so that their
    // memory is taken in large blocks from the first.
    static void ExpectMany(std::size_t count) noexcept;
    static void operator delete(void* entry, std::size_t size) noexcept;

    UrlEntryKind GetKind() const { return kind; }
    std::string GetName() const { return name.str(); }
    std::string GetUrl() const { return url.str(); }
    std::string GetPreservedName() const { return preservedName.str(); }
    std::string GetPreservedLocation() const { return preservedLocation.str(); }

    // Links entry directly after this one and returns it.
    UrlEntry* InsertAfter(UrlEntry* entry) {
        entry->next = next;
        entry->prev = this;
        if (next) next->prev = entry;
        next = entry;
        return entry;
    }
    // Moves a Link to directly after target; returns the predecessor it had, or null (and
    // changes nothing) for an entry that is not a Link or a null target.
    UrlEntry* MoveAfter(UrlEntry* target);
    void Rename(std::string_view newName, std::int32_t extraFlags);
    void SetPreservedLocation(std::string_view path, std::int32_t extraFlags);

    UrlEntryKind kind = UrlEntryKind::None;
    std::int32_t flags = 0;
    FolderMark mark = FolderMark::None;  // of a FolderStart
    EntryText name;
    EntryText url;
    EntryText preservedName;
    EntryText preservedLocation;
    EntryText extraAttributes;
    // The text a bookmark file describes a link or folder with (its "<DD>"), as the file
    // holds it. It may run over several lines.
    EntryText description;
    UrlEntry* next = nullptr;
    UrlEntry* prev = nullptr;
};

class UrlSet;

// Appends a set's next entries when a walk has run through all the set holds (UrlSet::RefillFrom),
// so a large store never lies in memory whole. The formats' streams are such sources.
class SetStream {
public:
    virtual ~SetStream() = default;
    // Appends the next entries after the set's cursor. Returns 1 while more may follow, 0 once
    // the last one is appended, -1 after a failure, which it has shown.
    virtual int More(UrlSet& set) = 0;
    // Whether all the source holds is in the set already: a stream may append its first batch
    // as it is opened, before any walk.
    virtual bool AllAppended() const { return false; }
};

// Text that entries borrow (EntryText::Borrow), handed to the set that keeps them: it lives
// until the set's Clear.
class LentText {
public:
    virtual ~LentText() = default;
};

class UrlSet {
public:
    UrlSet();
    virtual ~UrlSet();
    UrlSet(const UrlSet&) = delete;
    UrlSet& operator=(const UrlSet&) = delete;

    // Where the set's messages and questions go; the set does not own it.
    void SetPrompter(Prompter* prompter) { prompter_ = prompter ? prompter : &SilentPrompter::Instance(); }
    Prompter& GetPrompter() const { return *prompter_; }

    void Clear();
    void Rewind();
    // Moves the cursor to the next entry and returns it (null after the last). The step to a
    // link or separator with nothing to count is taken here, inline, as a writer takes it for
    // every entry of a large set; NextEntry takes any other.
    UrlEntry* Next() {
        UrlEntry* following = cursor != nullptr ? cursor->next : nullptr;
        if (following == nullptr || walkStatus_ != nullptr || following->kind == UrlEntryKind::FolderStart ||
            following->kind == UrlEntryKind::FolderEnd) {
            return NextEntry();
        }
        cursor = following;
        return cursor;
    }
    UrlEntry* GetCursor() const { return cursor; }
    void SetCursor(UrlEntry* entry) { cursor = entry; }
    std::string GetCurrentPath() const { return currentPath; }
    UrlEntry* FindFolder(const std::string& path);

    // A reader fills the set between StartReading (false, nothing begun, unless the cursor is
    // valid: a new or cleared set) and FinishReading. FinishReading(true) closes the folders
    // the reader left open and the top level after the last entry appended, so every set read
    // ends with one more FolderEnd than it has folders, and leaves the cursor null.
    bool StartReading();
    void FinishReading(bool complete);
    // A large file may be read in two parts at once, the later into a set of its own; its
    // Append keeps the list ends that close nothing in the part, which may close folders the
    // earlier part left open. AppendPart then moves the part's entries after the cursor just
    // as if each had been appended here, and leaves the part empty.
    bool StartReadingPart();
    void AppendPart(UrlSet& part);

    // Has source fill the set while a writer walks it once: whenever Next has walked all the
    // set holds, the entries walked are deleted and source appends the next batch; after its
    // last one the set is closed as FinishReading closes it. Entries source appended when it
    // was opened (after StartReading, without FinishReading) are walked first. RefillFailed tells whether source
    // failed, so a store read only in part is never saved as whole.
    void RefillFrom(SetStream* source);
    bool RefillFailed() const { return refillFailed_; }

    // While statusText is set, Next counts the entries it reaches there ("Saving item %d"), so
    // a long save keeps a window that shows it alive.
    void CountWalk(TextControl* statusText);

    // Keeps text the entries borrow until Clear.
    void KeepLentText(std::unique_ptr<LentText> text);

    // Appends entry after the cursor and moves the cursor to it (how readers build a set).
    // While the set is read, a FolderEnd that would close the top level is deleted instead.
    // A link, which opens and closes nothing, is appended here, inline; AppendEntry takes any
    // other entry.
    void Append(UrlEntry* entry) {
        if (entry->kind != UrlEntryKind::Link) {
            AppendEntry(entry);
            return;
        }
        cursor = lastAppended_ = cursor->InsertAfter(entry);
    }
    // Shows text in a message box captioned "Tolva", as the readers and writers do.
    void ShowRunMessage(const std::string& text) const;

    // Markup of the set's own format that no field of an entry holds (an XBEL item's other
    // attributes and other programs' metadata), kept for the entry by its reader so that the
    // set written back in that format keeps it. Other formats never look at it; it goes with
    // the entries in Clear. The root entry may hold the document's own.
    void KeepMarkup(const UrlEntry* entry, std::string markup);
    // The markup kept for entry, or null.
    const std::string* KeptMarkup(const UrlEntry* entry) const;

    std::int32_t linkCount = 0;
    UrlSetFormat format = UrlSetFormat::Netscape;
    std::int32_t currentFlags = 0;
    std::string location;
    std::string currentPath;
    std::string title;
    // The set's title whole as its file showed it, when it is not an owner's name: a bookmark
    // file's heading not of the form "X's Bookmarks", or a hotlist's title line. Writers
    // prefer it to title, so a file rewritten in its own format keeps its heading.
    std::string heading;
    // A bookmark file's document title (its <TITLE>) as the file held it, which may differ
    // from its heading (a browser's "Bookmarks" over "Bookmarks Menu"); empty when it had none.
    // The bookmark-file writer puts it back, else the heading serves for both.
    std::string documentTitle;
    // The character encoding the set's bookmark-file text is in, as the file declared it;
    // empty when it declared none. Text keeps its bytes while it stays in that format.
    std::string charset;
    UrlEntry root;
    std::int32_t folderCount = 0;

private:
    // Next and Append for the entries they do not take inline.
    UrlEntry* NextEntry();
    void AppendEntry(UrlEntry* entry);

    // Where Next and Append stand; null after a read, until Rewind or Clear.
    UrlEntry* cursor = &root;
    // Deletes the entries walked and has the source append the next ones.
    void Refill();
    // Closes the folders a read left open and the top level, after the last entry.
    void CloseOpenFolders();

    Prompter* prompter_ = &SilentPrompter::Instance();
    // What Append has added since reading began: the last entry and the folders left open.
    UrlEntry* lastAppended_ = nullptr;
    int appendDepth_ = 0;
    bool reading_ = false;
    // Reading the later part of a file: the list ends that took the depth lower than ever,
    // in order, and that lowest depth.
    bool readingPart_ = false;
    std::vector<UrlEntry*> partEnds_;
    int lowestDepth_ = 0;
    SetStream* source_ = nullptr;
    bool refillFailed_ = false;
    // Text the entries borrow; it goes only with them.
    std::vector<std::unique_ptr<LentText>> lentTexts_;
    // Few entries have kept markup, so it lives beside them rather than in every entry.
    std::unordered_map<const UrlEntry*, std::string> keptMarkup_;
    // Set while a writer walks: Next reports each entry it reaches there.
    TextControl* walkStatus_ = nullptr;
    CounterText savingText_{std::string()};  // "Saving item %d" while walkStatus_ is set
};

// Text helpers shared by the readers.
inline bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && text.compare(0, prefix.size(), prefix) == 0;
}
// Space, tab, CR, LF, VT and FF.
inline bool IsWhite(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
// How many spaces text begins with. Indentation is mostly spaces: eight are looked at in one
// step, and where they end is found in the same word.
inline std::size_t LeadingSpaces(std::string_view text) {
    std::size_t i = 0;
    constexpr std::uint64_t kEightSpaces = 0x2020202020202020;
    while (text.size() - i >= 8) {
        std::uint64_t word;
        std::memcpy(&word, text.data() + i, 8);
        const std::uint64_t other = word ^ kEightSpaces;  // non-zero bytes: no space
        if (other != 0) {
            const int spaceBits =
                std::endian::native == std::endian::little ? std::countr_zero(other) : std::countl_zero(other);
            i += static_cast<std::size_t>(spaceBits) / 8;
            break;
        }
        i += 8;
    }
    while (i < text.size() && text[i] == ' ') ++i;
    return i;
}
// Removes leading white space.
inline std::string_view TrimLeadingWhite(std::string_view text) {
    std::size_t i = LeadingSpaces(text);
    while (i < text.size() && IsWhite(text[i])) ++i;
    return text.substr(i);
}

}  // namespace tolva
