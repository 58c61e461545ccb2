#pragma once
// The in-memory URL set: a flat, doubly linked list of entries in document order, where a
// folder is the run of entries between a FolderStart and its FolderEnd, plus an iteration
// cursor that tracks the folder path. The set owns its entries and, between Open and
// CloseFile/Close, the open file of a file-based set. The set knows no format: Open, Read and
// Write go through the codec of its format (model/format_codec.h), whose readers and writers
// live in formats/ and build and walk the set through this public interface.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "model/entry_text.h"
#include "model/file_image.h"
#include "model/format_codec.h"
#include "model/line_reader.h"
#include "model/set_kinds.h"
#include "platform/atomic_replace.h"
#include "platform/file.h"
#include "platform/person.h"
#include "resources/strings.h"

namespace tolva {

// The top-level folder that receives failing links; a link is inside it when its folder
// path begins with this text.
inline constexpr std::string_view kUnverifiedPrefix = "\\Unverified";

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
    static void operator delete(void* entry, std::size_t size) noexcept;

    UrlEntryKind GetKind() const { return kind; }
    std::string GetName() const { return name.str(); }
    std::string GetUrl() const { return url.str(); }
    std::string GetPreservedName() const { return preservedName.str(); }
    std::string GetPreservedLocation() const { return preservedLocation.str(); }

    // Links entry directly after this one and returns it.
    UrlEntry* InsertAfter(UrlEntry* entry);
    // Moves a Link to directly after target; returns the predecessor it had, or null (and
    // changes nothing) for an entry that is not a Link or a null target.
    UrlEntry* MoveAfter(UrlEntry* target);
    void Rename(std::string_view newName, std::int32_t extraFlags);
    void SetPreservedLocation(std::string_view path, std::int32_t extraFlags);

    UrlEntryKind kind = UrlEntryKind::None;
    std::int32_t flags = 0;
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

// What may become of a file in the way of a new set.
enum class ReplaceDecision {
    Replace,  // Open goes on; the file is replaced whole when the set is written
    Refuse,   // Open fails with its message that the set already exists
    Failed,   // Open fails; the step that failed (a backup) has shown its own message
    Cancel,   // the person took the command back: Open fails silently, nothing changed
};

// What Open(CreateNew) does with a destination that is in the way or missing. A translation
// asks the person (translate/destination.h); without questions Open refuses an existing file
// or folder and creates no missing folder. An existing file that may be replaced stays as it
// is until the set is written, so a failed or killed run leaves it whole. The folder questions
// return whether Open may go on: with the existing folder, or with the missing folder created.
class DestinationQuestions {
public:
    virtual ReplaceDecision ReplaceExistingDestination(UrlSet& set) const = 0;
    virtual bool UseExistingDestinationFolder(UrlSet& set) const = 0;
    virtual bool CreateMissingDestinationFolder(UrlSet& set) const = 0;

protected:
    ~DestinationQuestions() = default;
};

class UrlSet {
public:
    using FileFactory = std::function<std::unique_ptr<File>()>;

    UrlSet();
    virtual ~UrlSet();
    UrlSet(const UrlSet&) = delete;
    UrlSet& operator=(const UrlSet&) = delete;

    // Where the set's messages and questions go; the set does not own it.
    void SetPrompter(Prompter* prompter) { prompter_ = prompter ? prompter : &SilentPrompter::Instance(); }
    Prompter& GetPrompter() const { return *prompter_; }
    // Tests replace the files a set opens, to inject faults.
    void SetFileFactory(FileFactory factory) { fileFactory_ = std::move(factory); }
    // A set read in place maps its file and borrows its entries' text from the file's pages
    // instead of a copy: the fastest way to read a large file, for a run that keeps the set
    // briefly (a translation). It refuses to save what it read once the file has changed in
    // the meantime. A set kept for long (a verification) reads a copy, as by default, so
    // another program saving the file meanwhile cannot change it. Files made by a factory
    // are always read through it.
    void ReadInPlace(bool inPlace) { readInPlace_ = inPlace; }

    // Opens the set's file or folder at setLocation: an existing one to read (or to save back),
    // or a new one to write, with questions, when given, for a destination in the way.
    int Open(UrlSetOpenMode mode, UrlSetFormat setFormat, const std::string& setLocation,
             const DestinationQuestions* questions = nullptr);
    // Whether the last Open failed because the person cancelled a question: nothing was
    // changed or shown, and the command ends quietly.
    bool OpenCanceled() const { return openCanceled_; }
    std::string DetectLineTerminator() { return LineReader::DetectLineTerminator(file_.get()); }
    int Read(TextControl* statusText);
    // statusText, when given, counts the entries as the writer reaches them ("Saving item %d"),
    // so a long save keeps a window that shows it alive.
    int Write(TextControl* statusText = nullptr);
    // Whether a set opened with OpenExisting could be written back where it was read from,
    // found without changing anything there; shows the message a save would show if not.
    int CanWriteBack();
    void CloseFile();
    int Close();
    void Clear();
    void Rewind();
    UrlEntry* Next();
    UrlEntry* GetCursor() const { return cursor; }
    void SetCursor(UrlEntry* entry) { cursor = entry; }
    std::string GetCurrentPath() const { return currentPath; }
    std::string GetFolderPath(const UrlEntry* entry) const;
    UrlEntry* FindFolder(const std::string& path);
    // Reads the next line (without its terminator) into out, in pieces of at most
    // kReadLineLimit bytes. *complete, when given, tells whether the piece ends its physical
    // line, so readers can join the pieces of a long line exactly. Returns 0 at the end of
    // the file and after a read error (then ReadFailed() is true).
    int ReadLine(std::string& out, bool* complete = nullptr) { return lines_.ReadLine(file_.get(), out, complete); }
    // Hands over every byte ReadLine has not delivered yet, as text the set keeps until
    // Clear, so a reader may borrow its entries' text from it (EntryText::Borrow). ReadLine
    // is at the end of the file afterwards. Returns false after a read error.
    bool TakeRest(std::string_view& rest);
    bool ReadFailed() const { return lines_.ReadFailed(); }
    bool HasFile() const { return file_ && file_->IsOpen(); }

    // Hands the set to stream for a writer that walks it once (FormatCodec::writesInOneWalk):
    // whenever Next has walked all the set holds, the entries walked are deleted and the
    // stream appends the next batch, and once it has appended its last the set is closed as
    // Read closes it. The stream and what it appends stay the caller's to convert. Write then
    // fails when the stream failed, so a store read only in part is never saved as whole.
    void Stream(SetStream* stream);
    bool StreamFailed() const { return streamFailed_; }

    // Appends entry after the cursor and moves the cursor to it (how readers build a set).
    // While the set is read, a FolderEnd that would close the top level is deleted instead.
    void Append(UrlEntry* entry);
    // Shows text in a message box captioned "Tolva", as the readers and writers do.
    void ShowRunMessage(const std::string& text) const;
    File* GetFile() const { return file_.get(); }

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
    std::string lineTerminator;
    std::string currentPath;
    std::string title;
    // The set's title whole as its file showed it, when it is not an owner's name: a bookmark
    // file's heading not of the form "X's Bookmarks", or a hotlist's title line. Writers
    // prefer it to title, so a file rewritten in its own format keeps its heading.
    std::string heading;
    // The character encoding the set's bookmark-file text is in, as the file declared it;
    // empty when it declared none. Text keeps its bytes while it stays in that format.
    std::string charset;
    UrlEntry root;
    UrlEntry* cursor = &root;
    std::int32_t folderCount = 0;

private:
    int OpenFile(UrlSetOpenMode mode, const DestinationQuestions* questions, bool writable);
    int OpenFolder(UrlSetOpenMode mode, const DestinationQuestions* questions);
    int WriteByFormat();
    int WriteReplacing();
    std::string ReplaceTarget() const;

    Prompter* prompter_ = &SilentPrompter::Instance();
    FileFactory fileFactory_;
    std::unique_ptr<File> file_;
    bool openedExisting_ = false;
    bool openCanceled_ = false;
    // A new file is written to a temporary beside its location and put in place by Write, so
    // the location holds what it held before or the whole new set, never a part of it.
    std::unique_ptr<AtomicReplace> creating_;
    // What Append has added since Read began: the last entry and the folders left open.
    UrlEntry* lastAppended_ = nullptr;
    int appendDepth_ = 0;
    bool reading_ = false;
    SetStream* stream_ = nullptr;
    bool streamFailed_ = false;
    // Deletes the entries walked and has the stream append the next ones.
    void Refill();
    // Closes the folders a read left open and the top level, after the last entry.
    void CloseOpenFolders();

    // What ReadLine has read of file_ ahead of the lines it delivered.
    LineReader lines_;
    // What TakeRest handed over; entries may borrow from it, so it goes only with them.
    std::vector<FileImage> images_;
    // Few entries have kept markup, so it lives beside them rather than in every entry.
    std::unordered_map<const UrlEntry*, std::string> keptMarkup_;
    bool readInPlace_ = false;
    // Set for the length of a Write: Next reports each entry it reaches there.
    TextControl* writeStatus_ = nullptr;
    CounterText savingText_{std::string()};  // "Saving item %d" while writeStatus_ is set
    // Whether every file the set borrows text from is as it was read; tells which is not.
    bool TextIntact(std::string& changedPath) const;
};

// Text helpers shared by the readers.
inline bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && text.compare(0, prefix.size(), prefix) == 0;
}
// Space, tab, CR, LF, VT and FF.
inline bool IsWhite(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
// Removes leading white space.
inline std::string_view TrimLeadingWhite(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && IsWhite(text[i])) ++i;
    return text.substr(i);
}

}  // namespace tolva
