// XBEL: read with expat as a stream of elements, so a large file becomes entries in document
// order without a tree of its own in memory, and written as text through the block writer.
// expat loads no external entity and limits entity expansion, so a hostile file can neither
// reach out nor blow up.

#include "formats/xbel.h"

#include <expat.h>

#include <algorithm>
#include <array>
#include <initializer_list>
#include <string>
#include <unordered_map>
#include <vector>

#include "formats/format.h"
#include "formats/html_text.h"
#include "formats/store_fields.h"
#include "resources/strings.h"

namespace tolva {

namespace {

// Tolva's elements inside its own metadata, whatever prefix a file gives them.
constexpr std::string_view kPreservedElement = "preserved";
constexpr std::string_view kAttributeElement = "attribute";
constexpr std::string_view kOwnPrefix = "tolva";
constexpr std::string_view kOwnNamespace = "xmlns:tolva";
// The file is handed to expat in pieces whose length fits its int.
constexpr std::size_t kParseChunk = 1 << 20;

enum class Element { Other, Xbel, Folder, Bookmark, Title, Desc, Info, OwnMetadata, Separator, Foreign };

// What an item keeps of the file that Tolva has no field for, so that the file written back
// holds it where it stood: the item's other attributes, other programs' metadata in its info,
// other elements inside a bookmark, and elements of a folder's list that are no item (such as
// an alias), kept after the entry they follow. The root entry keeps the document's own.
enum KeptSlot { kAttributesSlot, kInfoSlot, kBodySlot, kAfterSlot, kSlotCount };
using KeptSlots = std::array<std::string, kSlotCount>;
// The kept slots of an entry travel as one text: slots end in kSlotEnd, and within a slot
// each element, attribute name and attribute value ends in kPieceEnd. XML text can hold
// neither control character, and the reader writes what it keeps through AppendUtf8, which
// turns them into spaces.
constexpr char kSlotEnd = '\x1E';
constexpr char kPieceEnd = '\x1F';

struct OpenElement {
    OpenElement(Element openElement, UrlEntry* itemEntry = nullptr) : element(openElement), entry(itemEntry) {}
    Element element;
    UrlEntry* entry;   // a folder's or bookmark's entry
    std::string kept;  // its kept attributes as its parts are read; a foreign element's name
};

// The part of a name after its prefix: "tolva:preserved" is "preserved".
std::string_view LocalName(std::string_view name) {
    std::size_t colon = name.find(':');
    return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

const char* AttributeValue(const XML_Char** attributes, std::string_view name) {
    for (const XML_Char** at = attributes; at[0] != nullptr; at += 2) {
        if (name == at[0]) return at[1];
    }
    return nullptr;
}

// An XBEL date attribute becomes the kept attribute of the bookmark file's spelling.
void KeepDate(std::string& kept, const XML_Char** attributes, std::string_view xbelName, std::string_view keptName) {
    const char* value = AttributeValue(attributes, xbelName);
    if (value == nullptr) return;
    if (auto seconds = store::ParseIsoDate(value)) store::AddKeptAttribute(kept, keptName, std::to_string(*seconds));
}

// XML text of plain text: only characters XML can hold, markup characters escaped.
void AppendEscaped(std::string& out, std::string_view text, bool attribute) {
    std::string valid;
    store::AppendUtf8(valid, text, !attribute);
    out += HtmlFromPlain(valid);
}

// The attributes of an item that the reader does not take (an id, KDE's "folded", an icon, a
// date it cannot read), as name and value pieces.
void KeepOtherAttributes(std::string& slot, const XML_Char** attributes, std::initializer_list<std::string_view> taken,
                         const std::string& keptDates) {
    for (const XML_Char** at = attributes; at[0] != nullptr; at += 2) {
        const std::string_view name = at[0];
        bool known = std::find(taken.begin(), taken.end(), name) != taken.end();
        // A date is taken only when it could be read; one that could not is kept as it was.
        static constexpr std::pair<std::string_view, std::string_view> kDates[] = {
            {"added", store::kAddDate}, {"modified", store::kLastModified}, {"visited", store::kLastVisit}};
        for (const auto& [xbelName, keptName] : kDates) {
            if (name == xbelName) known = store::FindKeptAttribute(keptDates, keptName).has_value();
        }
        if (known) continue;
        store::AppendUtf8(slot, name);
        slot += kPieceEnd;
        store::AppendUtf8(slot, at[1]);
        slot += kPieceEnd;
    }
}

class XbelReader {
public:
    XbelReader(UrlSet& set, TextControl* statusText)
        : set_(set), status_(statusText), itemText_(LoadString(IDS_STATUS_LOADING_ITEM)) {}

    int Read(std::string_view text) {
        XML_Parser parser = XML_ParserCreate("UTF-8");
        if (parser == nullptr) return 0;
        parser_ = parser;
        XML_SetUserData(parser, this);
        XML_SetElementHandler(parser, &XbelReader::OnStart, &XbelReader::OnEnd);
        XML_SetCharacterDataHandler(parser, &XbelReader::OnText);
        bool ok = true;
        do {
            const std::size_t length = std::min(text.size(), kParseChunk);
            const bool last = length == text.size();
            ok = XML_Parse(parser, text.data(), static_cast<int>(length), last ? 1 : 0) == XML_STATUS_OK;
            text.remove_prefix(length);
        } while (ok && !text.empty());
        if (!ok && notXbel_.empty()) {
            set_.ShowRunMessage(
                FormatString(IDS_ERR_XBEL_READ, {set_.location, XML_ErrorString(XML_GetErrorCode(parser)),
                                                 static_cast<long>(XML_GetCurrentLineNumber(parser))}));
        } else if (!notXbel_.empty()) {
            set_.ShowRunMessage(FormatString(IDS_ERR_NOT_XBEL, {set_.location, notXbel_}));
            ok = false;
        }
        XML_ParserFree(parser);
        if (ok) KeepSlots();
        return ok ? 1 : 0;
    }

private:
    static void XMLCALL OnStart(void* self, const XML_Char* name, const XML_Char** attributes) {
        static_cast<XbelReader*>(self)->Start(name, attributes);
    }
    static void XMLCALL OnEnd(void* self, const XML_Char* /*name*/) { static_cast<XbelReader*>(self)->End(); }
    static void XMLCALL OnText(void* self, const XML_Char* text, int length) {
        auto* reader = static_cast<XbelReader*>(self);
        if (reader->open_.empty()) return;
        if (reader->capture_ != nullptr) {
            reader->CaptureText(std::string_view(text, static_cast<std::size_t>(length)));
            return;
        }
        const Element top = reader->open_.back().element;
        if (top == Element::Title || top == Element::Desc) reader->text_.append(text, static_cast<std::size_t>(length));
    }

    // The folder or bookmark the element being read belongs to, or null.
    OpenElement* Item() {
        for (auto at = open_.rbegin(); at != open_.rend(); ++at) {
            if (at->element == Element::Folder || at->element == Element::Bookmark) return &*at;
        }
        return nullptr;
    }

    void Start(std::string_view name, const XML_Char** attributes) {
        if (capture_ != nullptr) {
            CaptureStart(name, attributes);
            open_.emplace_back(Element::Foreign);
            open_.back().kept = name;
            return;
        }
        if (open_.empty()) {
            if (name != "xbel") {
                notXbel_ = std::string(name);
                XML_StopParser(parser_, XML_FALSE);
            }
            // The writer gives the document its version and Tolva's namespace itself.
            KeepAttributes(&set_.root, attributes, {"version", kOwnNamespace}, {});
            open_.emplace_back(Element::Xbel);
            return;
        }
        const Element parent = open_.back().element;
        const bool inList = parent == Element::Xbel || parent == Element::Folder;
        if (inList && name == "folder") {
            auto* folder = new UrlEntry(UrlEntryKind::FolderStart, {});
            OpenElement open{Element::Folder, folder};
            KeepDate(open.kept, attributes, "added", store::kAddDate);
            KeepAttributes(folder, attributes, {}, open.kept);
            Append(folder);
            ++set_.folderCount;
            open_.push_back(std::move(open));
            ShowItem();
        } else if (inList && name == "bookmark") {
            const char* href = AttributeValue(attributes, "href");
            auto* link = new UrlEntry(UrlEntryKind::Link, {}, href ? href : "");
            OpenElement open{Element::Bookmark, link};
            KeepDate(open.kept, attributes, "added", store::kAddDate);
            KeepDate(open.kept, attributes, "modified", store::kLastModified);
            KeepDate(open.kept, attributes, "visited", store::kLastVisit);
            KeepAttributes(link, attributes, {"href"}, open.kept);
            Append(link);
            ++set_.linkCount;
            open_.push_back(std::move(open));
            ShowItem();
        } else if (inList && name == "separator") {
            Append(new UrlEntry(UrlEntryKind::Separator, {}));
            open_.emplace_back(Element::Separator);
        } else if ((inList || parent == Element::Bookmark) && (name == "title" || name == "desc")) {
            text_.clear();
            open_.emplace_back(name == "title" ? Element::Title : Element::Desc);
        } else if ((inList || parent == Element::Bookmark) && name == "info") {
            open_.emplace_back(Element::Info);
        } else if (parent == Element::Info) {
            const char* owner = AttributeValue(attributes, "owner");
            if (name == "metadata" && owner != nullptr && owner == kXbelMetadataOwner) {
                open_.emplace_back(Element::OwnMetadata);
            } else {
                // Other programs' metadata (KDE's icons and visit counts) stays with its item.
                OpenElement* item = Item();
                BeginCapture(SlotsOf(item ? item->entry : &set_.root)[kInfoSlot], name, attributes);
            }
        } else if (parent == Element::OwnMetadata) {
            TakeOwnMetadata(LocalName(name), attributes);
            open_.emplace_back(Element::Other);
        } else if (parent == Element::Bookmark) {
            BeginCapture(SlotsOf(Item()->entry)[kBodySlot], name, attributes);
        } else if (inList) {
            // An element of a list that is no item (an alias) stays after what it follows.
            BeginCapture(SlotsOf(last_ ? last_ : &set_.root)[kAfterSlot], name, attributes);
        } else {
            // Markup inside a title, a description or a separator is not kept.
            open_.emplace_back(Element::Other);
        }
    }

    void Append(UrlEntry* entry) {
        set_.Append(entry);
        last_ = set_.GetCursor();
    }

    KeptSlots& SlotsOf(const UrlEntry* entry) { return kept_[entry]; }

    // Most items have no attribute to keep: only those that have one get slots.
    void KeepAttributes(const UrlEntry* entry, const XML_Char** attributes,
                        std::initializer_list<std::string_view> taken, const std::string& keptDates) {
        std::string slot;
        KeepOtherAttributes(slot, attributes, taken, keptDates);
        if (!slot.empty()) SlotsOf(entry)[kAttributesSlot] = std::move(slot);
    }

    void BeginCapture(std::string& slot, std::string_view name, const XML_Char** attributes) {
        capture_ = &slot;
        captureDepth_ = open_.size();
        CaptureStart(name, attributes);
        open_.emplace_back(Element::Foreign);
        open_.back().kept = name;
    }

    // A kept element is written again from what the parser reports, so it holds no reference
    // to an entity the file declared (the file written back declares none).
    void CaptureStart(std::string_view name, const XML_Char** attributes) {
        CloseCapturedTag();
        *capture_ += '<';
        store::AppendUtf8(*capture_, name);
        for (const XML_Char** at = attributes; at[0] != nullptr; at += 2) {
            *capture_ += ' ';
            store::AppendUtf8(*capture_, at[0]);
            *capture_ += "=\"";
            AppendEscaped(*capture_, at[1], true);
            *capture_ += '"';
        }
        tagOpen_ = true;
    }

    void CaptureText(std::string_view text) {
        CloseCapturedTag();
        AppendEscaped(*capture_, text, false);
    }

    void CaptureEnd(const std::string& name) {
        if (tagOpen_) {
            *capture_ += "/>";
            tagOpen_ = false;
        } else {
            *capture_ += "</";
            *capture_ += name;
            *capture_ += '>';
        }
        if (open_.size() == captureDepth_) {
            *capture_ += kPieceEnd;
            capture_ = nullptr;
        }
    }

    void CloseCapturedTag() {
        if (tagOpen_) *capture_ += '>';
        tagOpen_ = false;
    }

    // Hands what the entries keep to the set, once the whole file has been read.
    void KeepSlots() {
        for (auto& [entry, slots] : kept_) {
            std::string markup;
            for (const std::string& slot : slots) {
                markup += slot;
                markup += kSlotEnd;
            }
            if (markup.size() > kSlotCount) set_.KeepMarkup(entry, std::move(markup));
        }
    }

    void TakeOwnMetadata(std::string_view name, const XML_Char** attributes) {
        OpenElement* item = Item();
        if (item == nullptr) return;
        if (name == kPreservedElement) {
            if (const char* value = AttributeValue(attributes, "name")) item->entry->preservedName = value;
            if (const char* value = AttributeValue(attributes, "location")) item->entry->preservedLocation = value;
        } else if (name == kAttributeElement) {
            const char* keptName = AttributeValue(attributes, "name");
            const char* value = AttributeValue(attributes, "value");
            if (keptName != nullptr && keptName[0] != '\0' && value != nullptr)
                store::AddKeptAttribute(item->kept, keptName, value);
        }
    }

    void End() {
        OpenElement closed = std::move(open_.back());
        open_.pop_back();
        switch (closed.element) {
            case Element::Foreign:
                CaptureEnd(closed.kept);
                break;
            case Element::Title:
                if (open_.back().element == Element::Xbel) {
                    TakeHeading(set_, text_);
                } else if (OpenElement* item = Item()) {
                    item->entry->name = text_;
                }
                break;
            case Element::Desc:
                if (open_.back().element == Element::Xbel) {
                    set_.root.description = text_;
                } else if (OpenElement* item = Item()) {
                    item->entry->description = text_;
                }
                break;
            case Element::Folder:
                closed.entry->extraAttributes = closed.kept;
                Append(new UrlEntry(UrlEntryKind::FolderEnd, {}));
                break;
            case Element::Bookmark:
                closed.entry->extraAttributes = closed.kept;
                break;
            case Element::Xbel:
                // The end of the document closes the top level, as every read set ends.
                set_.Append(new UrlEntry(UrlEntryKind::FolderEnd, {}));
                break;
            default:
                break;
        }
    }

    void ShowItem() {
        ++items_;
        if (status_) status_->SetText(FormatText(itemText_, {items_}));
    }

    UrlSet& set_;
    TextControl* status_;
    const std::string itemText_;
    XML_Parser parser_ = nullptr;
    std::vector<OpenElement> open_;
    std::string text_;
    std::string notXbel_;
    int items_ = 0;
    // The entry the next element of a list would follow.
    UrlEntry* last_ = nullptr;
    std::unordered_map<const UrlEntry*, KeptSlots> kept_;
    // The slot a kept element is being written into, and the depth at which it began.
    std::string* capture_ = nullptr;
    std::size_t captureDepth_ = 0;
    bool tagOpen_ = false;
};

// ---------------------------------------------------------------------------------------
// Writing

void AddEscaped(BlockWriter& out, std::string_view text, bool attribute) {
    AppendEscaped(out.Pending(), text, attribute);
}

void AddAttribute(BlockWriter& out, std::string_view name, std::string_view value) {
    out.Add(" ");
    out.Add(name);
    out.Add("=\"");
    AddEscaped(out, value, true);
    out.Add("\"");
}

// Indentation stops growing past a depth: it only helps a reader, and a file of deeply nested
// folders would otherwise grow with the square of its depth.
constexpr int kMaxIndent = 32;

void Indent(BlockWriter& out, int depth) {
    out.Pending().append(static_cast<std::size_t>(std::min(depth, kMaxIndent)) * 2, ' ');
}

void AddTextElement(BlockWriter& out, int depth, std::string_view element, std::string_view text) {
    Indent(out, depth);
    out.Add("<");
    out.Add(element);
    out.Add(">");
    AddEscaped(out, text, false);
    out.Add("</");
    out.Add(element);
    out.Add(">\n");
}

// What an item carries besides its kind: its XBEL date attributes and description, and
// everything else of its kept attributes, which goes into Tolva's metadata.
struct ItemParts {
    std::vector<std::pair<std::string_view, std::string>> dates;
    std::string description;
    bool hasDescription = false;
    std::vector<std::pair<std::string, std::string>> other;
};

ItemParts PartsOf(const UrlEntry& entry) {
    static constexpr std::pair<std::string_view, std::string_view> kDates[] = {
        {store::kAddDate, "added"}, {store::kLastModified, "modified"}, {store::kLastVisit, "visited"}};
    ItemParts parts;
    // The entry's description is the one XBEL shows; a description attribute (as some bookmark
    // files carry) serves only when it has none.
    if (!entry.description.empty()) {
        parts.description = entry.description.str();
        parts.hasDescription = true;
    }
    for (auto& [name, value] : store::KeptAttributes(entry.extraAttributes)) {
        bool taken = false;
        for (const auto& [keptName, xbelName] : kDates) {
            if (name != keptName) continue;
            // A folder has no modified or visited date in XBEL; a date twice is kept once.
            const bool placed = entry.kind == UrlEntryKind::Link || xbelName == "added";
            auto seconds = store::ParseSeconds(value);
            bool seen = false;
            for (const auto& date : parts.dates) seen = seen || date.first == xbelName;
            if (placed && seconds && !seen) {
                parts.dates.emplace_back(xbelName, store::IsoDate(*seconds));
                taken = true;
            }
        }
        if (!taken && name == store::kDescription && !parts.hasDescription) {
            parts.description = value;
            parts.hasDescription = true;
            taken = true;
        }
        if (!taken) parts.other.emplace_back(name, std::move(value));
    }
    return parts;
}

// What the reader kept of an entry, slot by slot (all empty when it kept nothing).
std::array<std::string_view, kSlotCount> KeptOf(const UrlSet& set, const UrlEntry* entry) {
    std::array<std::string_view, kSlotCount> slots{};
    const std::string* markup = set.KeptMarkup(entry);
    if (markup == nullptr) return slots;
    std::string_view rest = *markup;
    for (std::string_view& slot : slots) {
        const std::size_t end = rest.find(kSlotEnd);
        if (end == std::string_view::npos) break;
        slot = rest.substr(0, end);
        rest.remove_prefix(end + 1);
    }
    return slots;
}

// Calls each(piece) for every piece of a kept slot.
template <typename Each>
void ForEachPiece(std::string_view slot, Each each) {
    while (!slot.empty()) {
        const std::size_t end = slot.find(kPieceEnd);
        if (end == std::string_view::npos) return;
        each(slot.substr(0, end));
        slot.remove_prefix(end + 1);
    }
}

// The kept attributes, except those the writer has just given the element itself.
void AddKeptAttributes(BlockWriter& out, std::string_view slot, std::initializer_list<std::string_view> written,
                       const ItemParts* parts) {
    std::string_view name;
    bool haveName = false;
    ForEachPiece(slot, [&](std::string_view piece) {
        if (!haveName) {
            name = piece;
            haveName = true;
            return;
        }
        haveName = false;
        bool again = std::find(written.begin(), written.end(), name) != written.end();
        if (parts != nullptr) {
            for (const auto& date : parts->dates) again = again || date.first == name;
        }
        if (!again) AddAttribute(out, name, piece);
    });
}

// Kept elements are written as the reader made them, each on a line of its own.
void AddKeptElements(BlockWriter& out, std::string_view slot, int depth) {
    ForEachPiece(slot, [&](std::string_view piece) {
        Indent(out, depth);
        out.Add(piece);
        out.Add("\n");
    });
}

// A description's line breaks as XML keeps them: a bookmark file's CR LF would otherwise leave
// a stray space at the end of every line.
std::string LineFeedsOnly(std::string_view text) {
    std::string lines;
    lines.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r') {
            lines += text[i];
        } else if (i + 1 >= text.size() || text[i + 1] != '\n') {
            lines += '\n';
        }
    }
    return lines;
}

// An item's title, info and description, in the order XBEL gives them, then the other
// elements the reader kept inside it.
void AddItemBody(BlockWriter& out, const UrlEntry& entry, const ItemParts& parts,
                 const std::array<std::string_view, kSlotCount>& kept, int depth) {
    AddTextElement(out, depth, "title", entry.name);

    const bool link = entry.kind == UrlEntryKind::Link;
    const bool nameWanted =
        link && ((entry.flags & (NamePreserved | ChangedByVerification)) != 0 || !entry.preservedName.empty());
    // As in a bookmark file: a known origin outside "Unverified" is kept, so a later
    // verification can still move the link back.
    const bool locationWanted =
        link &&
        ((entry.flags & (LocationPreserved | ChangedByVerification)) != 0 || !entry.preservedLocation.empty()) &&
        !StartsWith(entry.preservedLocation, kUnverifiedPrefix);
    const bool ownMetadata = nameWanted || locationWanted || !parts.other.empty();
    if (ownMetadata || !kept[kInfoSlot].empty()) {
        Indent(out, depth);
        out.Add("<info>\n");
        AddKeptElements(out, kept[kInfoSlot], depth + 1);
    }
    if (ownMetadata) {
        Indent(out, depth + 1);
        out.Add("<metadata");
        AddAttribute(out, "owner", kXbelMetadataOwner);
        out.Add(">\n");
        if (nameWanted || locationWanted) {
            Indent(out, depth + 2);
            out.Add("<tolva:preserved");
            if (nameWanted) AddAttribute(out, "name", entry.preservedName);
            if (locationWanted) AddAttribute(out, "location", entry.preservedLocation);
            out.Add("/>\n");
        }
        for (const auto& [name, value] : parts.other) {
            Indent(out, depth + 2);
            out.Add("<tolva:attribute");
            AddAttribute(out, "name", name);
            AddAttribute(out, "value", value);
            out.Add("/>\n");
        }
        Indent(out, depth + 1);
        out.Add("</metadata>\n");
    }
    if (ownMetadata || !kept[kInfoSlot].empty()) {
        Indent(out, depth);
        out.Add("</info>\n");
    }
    if (parts.hasDescription) AddTextElement(out, depth, "desc", LineFeedsOnly(parts.description));
    AddKeptElements(out, kept[kBodySlot], depth);
}

}  // namespace

int ReadXbel(SetStorage& storage, TextControl* statusText) {
    UrlSet& set = storage.Set();
    std::string_view fileText;
    if (!storage.TakeRest(fileText)) return 0;
    XbelReader reader(set, statusText);
    int result = reader.Read(fileText);
    set.SetCursor(nullptr);
    if (result && statusText) statusText->SetText(LoadString(IDS_STATUS_XBEL_LOADED));
    return result;
}

int WriteXbel(SetStorage& storage) {
    UrlSet& set = storage.Set();
    BlockWriter out(storage, IDS_ERR_XBEL_WRITE);
    if (!out.Begin()) return 0;
    out.Add("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE xbel>\n<xbel version=\"1.0\" xmlns:");
    out.Add(kOwnPrefix);
    out.Add("=\"");
    out.Add(kXbelMetadataOwner);
    out.Add("\"");
    const auto document = KeptOf(set, &set.root);
    AddKeptAttributes(out, document[kAttributesSlot], {"version", kOwnNamespace}, nullptr);
    out.Add(">\n");
    // The document's title is the set's heading whole, as a bookmark file or hotlist shows it.
    if (const std::string heading = HeadingOf(set); !heading.empty()) AddTextElement(out, 1, "title", heading);
    if (!document[kInfoSlot].empty()) {
        Indent(out, 1);
        out.Add("<info>\n");
        AddKeptElements(out, document[kInfoSlot], 2);
        Indent(out, 1);
        out.Add("</info>\n");
    }
    if (!set.root.description.empty()) AddTextElement(out, 1, "desc", LineFeedsOnly(set.root.description));
    AddKeptElements(out, document[kAfterSlot], 1);

    int depth = 1;
    set.Rewind();
    for (UrlEntry* entry = set.Next(); entry && !out.Failed(); entry = set.Next()) {
        set.currentFlags = entry->flags;
        const auto kept = KeptOf(set, entry);
        switch (entry->kind) {
            case UrlEntryKind::Link: {
                const ItemParts parts = PartsOf(*entry);
                Indent(out, depth);
                out.Add("<bookmark");
                AddAttribute(out, "href", entry->url);
                for (const auto& [name, value] : parts.dates) AddAttribute(out, name, value);
                AddKeptAttributes(out, kept[kAttributesSlot], {"href"}, &parts);
                out.Add(">\n");
                AddItemBody(out, *entry, parts, kept, depth + 1);
                Indent(out, depth);
                out.Add("</bookmark>\n");
                AddKeptElements(out, kept[kAfterSlot], depth);
                break;
            }
            case UrlEntryKind::FolderStart: {
                const ItemParts parts = PartsOf(*entry);
                Indent(out, depth);
                out.Add("<folder");
                for (const auto& [name, value] : parts.dates) AddAttribute(out, name, value);
                AddKeptAttributes(out, kept[kAttributesSlot], {}, &parts);
                out.Add(">\n");
                AddItemBody(out, *entry, parts, kept, depth + 1);
                ++depth;
                AddKeptElements(out, kept[kAfterSlot], depth);
                break;
            }
            case UrlEntryKind::FolderEnd:
                // The set's closing FolderEnd (and any stray one after it) closes nothing here:
                // the document's end closes the top level.
                if (depth > 1) {
                    --depth;
                    Indent(out, depth);
                    out.Add("</folder>\n");
                    AddKeptElements(out, kept[kAfterSlot], depth);
                }
                break;
            case UrlEntryKind::Separator:
                Indent(out, depth);
                out.Add("<separator/>\n");
                AddKeptElements(out, kept[kAfterSlot], depth);
                break;
            default:
                break;
        }
        out.EndItem();
    }
    // A set built without its closing FolderEnds still gets well-formed XML.
    for (; depth > 1; --depth) {
        Indent(out, depth - 1);
        out.Add("</folder>\n");
    }
    out.Add("</xbel>\n");
    out.Flush();
    return out.Failed() ? 0 : 1;
}

}  // namespace tolva
