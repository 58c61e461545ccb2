#include "model/url_set.h"

#include <algorithm>

#include "model/entry_pool.h"
#include "resources/strings.h"

namespace tolva {

// ---------------------------------------------------------------------------------------
// UrlEntry

namespace {

#if defined(__SANITIZE_ADDRESS__)
#define TOLVA_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TOLVA_ADDRESS_SANITIZER 1
#endif
#endif
#ifdef TOLVA_ADDRESS_SANITIZER
constexpr bool kPoolEntries = false;  // each entry its own allocation, so misuse is caught
#else
constexpr bool kPoolEntries = true;
#endif

// Memory for entries of exactly UrlEntry's size; a derived entry is allocated as usual.
EntryPool& Pool() {
    // Never destroyed: entries may outlive static objects.
    static auto* pool = new EntryPool(sizeof(UrlEntry), alignof(UrlEntry));
    return *pool;
}

}  // namespace

void* UrlEntry::operator new(std::size_t size) {
    if (!kPoolEntries || size != sizeof(UrlEntry)) return ::operator new(size);
    return Pool().Allocate();
}

void UrlEntry::ExpectMany(std::size_t count) noexcept {
    if (kPoolEntries) Pool().Expect(count);
}

void UrlEntry::operator delete(void* entry, std::size_t size) noexcept {
    if (entry == nullptr) return;
    if (!kPoolEntries || size != sizeof(UrlEntry)) {
        ::operator delete(entry);
        return;
    }
    Pool().Release(entry);
}

UrlEntry* UrlEntry::MoveAfter(UrlEntry* target) {
    if (kind != UrlEntryKind::Link || target == nullptr || target == this) return nullptr;
    UrlEntry* formerPrev = prev;
    if (prev) prev->next = next;
    if (next) next->prev = prev;
    next = nullptr;
    prev = nullptr;
    target->InsertAfter(this);
    return formerPrev;
}

void UrlEntry::Rename(std::string_view newName, std::int32_t extraFlags) {
    // newName may be this entry's own text; the new name is copied before the old one moves.
    EntryText renamed(newName);
    preservedName = std::move(name);
    name = std::move(renamed);
    flags |= extraFlags | NamePreserved;
}

void UrlEntry::SetPreservedLocation(std::string_view path, std::int32_t extraFlags) {
    preservedLocation = path;
    flags |= extraFlags | LocationPreserved;
}

std::size_t ErrorTextAt(std::string_view name) {
    constexpr std::string_view kSpellings[] = {kErrorTextSeparator, " \xAD ",      " &shy; ",
                                               " &#173; ",          " &#xAD; ",     " &#xad; "};
    std::size_t first = std::string_view::npos;
    for (std::string_view separator : kSpellings) first = std::min(first, name.find(separator));
    return first == 0 ? std::string_view::npos : first;
}

std::string_view NameWithoutErrorText(std::string_view name) { return name.substr(0, ErrorTextAt(name)); }

// ---------------------------------------------------------------------------------------
// UrlSet

UrlSet::UrlSet() = default;

UrlSet::~UrlSet() { Clear(); }

bool UrlSet::StartReading() {
    // Reading again without Clear would append after nothing, so it is refused.
    if (cursor == nullptr) return false;
    lastAppended_ = cursor;
    appendDepth_ = 0;
    reading_ = true;
    return true;
}

bool UrlSet::StartReadingPart() {
    if (!StartReading()) return false;
    readingPart_ = true;
    return true;
}

void UrlSet::AppendPart(UrlSet& part) {
    // The part's first ends that closed nothing there close the folders open here; the others
    // would close the top level, and go as Append deletes them.
    const std::size_t closing = static_cast<std::size_t>(std::max(appendDepth_, 0));
    std::size_t dropped = 0;
    for (std::size_t index = closing; index < part.partEnds_.size(); ++index, ++dropped) {
        UrlEntry* end = part.partEnds_[index];
        if (part.cursor == end) part.cursor = end->prev;
        end->prev->next = end->next;
        if (end->next) end->next->prev = end->prev;
        part.keptMarkup_.erase(end);
        delete end;
    }
    appendDepth_ += part.appendDepth_ + static_cast<int>(dropped);
    if (UrlEntry* first = part.root.next) {
        UrlEntry* last = part.cursor;
        last->next = cursor->next;
        if (cursor->next) cursor->next->prev = last;
        cursor->next = first;
        first->prev = cursor;
        cursor = lastAppended_ = last;
        part.root.next = nullptr;
    }
    for (auto& text : part.lentTexts_) lentTexts_.push_back(std::move(text));
    keptMarkup_.merge(part.keptMarkup_);
    part.Clear();
    part.FinishReading(false);
}

void UrlSet::FinishReading(bool complete) {
    reading_ = false;
    readingPart_ = false;
    if (!complete) return;
    // A truncated file leaves folders open. Append kept count, so the new entries need no
    // second walk.
    CloseOpenFolders();
    cursor = nullptr;
}

void UrlSet::CloseOpenFolders() {
    UrlEntry* last = lastAppended_;
    for (int depth = appendDepth_; depth >= 0; --depth)
        last = last->InsertAfter(new UrlEntry(UrlEntryKind::FolderEnd, {}));
    lastAppended_ = last;
    appendDepth_ = -1;
}

void UrlSet::RefillFrom(SetStream* source) {
    source_ = source;
    refillFailed_ = false;
    if (root.next == nullptr) {
        lastAppended_ = &root;
        appendDepth_ = 0;
    }
    reading_ = false;
    cursor = &root;
}

void UrlSet::Refill() {
    // The writer is done with every entry Next has given it: only the next one is looked at.
    UrlEntry* walked = root.next;
    root.next = nullptr;
    while (walked != nullptr) {
        UrlEntry* following = walked->next;
        if (!keptMarkup_.empty()) keptMarkup_.erase(walked);
        delete walked;
        walked = following;
    }
    lastAppended_ = cursor = &root;
    int more = 1;
    reading_ = true;
    while (more > 0 && root.next == nullptr) more = source_->More(*this);
    reading_ = false;
    if (more < 0) refillFailed_ = true;
    if (more <= 0) {
        if (!refillFailed_) CloseOpenFolders();
        source_ = nullptr;
    }
    cursor = &root;
}

void UrlSet::CountWalk(TextControl* statusText) {
    // Where every count would be dropped, none is made.
    walkStatus_ = statusText != nullptr && !statusText->DropsCounter(IDS_STATUS_SAVING_ITEM) ? statusText : nullptr;
    if (walkStatus_ != nullptr) savingText_ = CounterText(LoadString(IDS_STATUS_SAVING_ITEM));
}

void UrlSet::Clear() {
    UrlEntry* entry = root.next;
    while (entry) {
        UrlEntry* following = entry->next;
        delete entry;
        entry = following;
    }
    root.next = nullptr;
    lentTexts_.clear();
    keptMarkup_.clear();
    partEnds_.clear();
    lowestDepth_ = 0;
    readingPart_ = false;
    source_ = nullptr;
    heading.clear();
    documentTitle.clear();
    charset.clear();
    Rewind();
}

void UrlSet::KeepMarkup(const UrlEntry* entry, std::string markup) {
    if (markup.empty()) {
        keptMarkup_.erase(entry);
    } else {
        keptMarkup_[entry] = std::move(markup);
    }
}

const std::string* UrlSet::KeptMarkup(const UrlEntry* entry) const {
    auto found = keptMarkup_.find(entry);
    return found == keptMarkup_.end() ? nullptr : &found->second;
}

void UrlSet::Rewind() {
    cursor = &root;
    currentPath.clear();
}

UrlEntry* UrlSet::NextEntry() {
    if (cursor == nullptr) return nullptr;
    if (cursor->next == nullptr && source_ != nullptr) Refill();
    cursor = cursor->next;
    if (cursor == nullptr) return nullptr;
    if (cursor->kind == UrlEntryKind::FolderStart) {
        currentPath += '\\';
        currentPath += cursor->name;
    } else if (cursor->kind == UrlEntryKind::FolderEnd) {
        std::size_t slash = currentPath.rfind('\\');
        currentPath.erase(slash == std::string::npos ? 0 : slash);
    }
    if (walkStatus_ != nullptr && cursor->kind != UrlEntryKind::FolderEnd) {
        walkStatus_->SetText(savingText_.Advance());
    }
    return cursor;
}

UrlEntry* UrlSet::FindFolder(const std::string& path) {
    const std::string target = path == "\\" ? std::string() : path;
    std::string running;
    for (UrlEntry* entry = &root; entry; entry = entry->next) {
        if (entry->kind == UrlEntryKind::FolderStart) {
            running += '\\';
            running += entry->name;
        } else if (entry->kind == UrlEntryKind::FolderEnd) {
            std::size_t slash = running.rfind('\\');
            running.erase(slash == std::string::npos ? 0 : slash);
        }
        if (running == target) return entry;
    }
    return nullptr;
}

void UrlSet::KeepLentText(std::unique_ptr<LentText> text) { lentTexts_.push_back(std::move(text)); }

void UrlSet::AppendEntry(UrlEntry* entry) {
    // A list end that closes nothing ("}" or "</DL>" once too often, the top level's own end)
    // is dropped while a file is read: Read closes the top level after the last entry, so
    // every set read is balanced, and nothing after a stray end falls outside the set.
    if (reading_ && entry->kind == UrlEntryKind::FolderEnd && appendDepth_ == lowestDepth_) {
        if (!readingPart_) {
            delete entry;
            return;
        }
        try {
            partEnds_.push_back(entry);
        } catch (...) {
            delete entry;
            throw;
        }
        --lowestDepth_;
    }
    cursor = cursor->InsertAfter(entry);
    lastAppended_ = entry;
    if (entry->kind == UrlEntryKind::FolderStart) ++appendDepth_;
    if (entry->kind == UrlEntryKind::FolderEnd) --appendDepth_;
}

void UrlSet::ShowRunMessage(const std::string& text) const {
    prompter_->ShowMessage(text, LoadString(IDS_MSG_CAPTION_RUN));
}

}  // namespace tolva
