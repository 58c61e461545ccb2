// The XBEL reader: read with expat as a stream of elements, so a large file becomes entries in
// document order without a tree of its own in memory. expat loads no external entity and
// limits entity expansion, so a hostile file can neither reach out nor blow up.

#include <expat.h>

#include <algorithm>
#include <initializer_list>
#include <string>
#include <unordered_map>
#include <vector>

#include "formats/format.h"
#include "formats/html_text.h"
#include "formats/netscape_link.h"
#include "formats/set_storage.h"
#include "formats/store_fields.h"
#include "formats/xbel.h"
#include "formats/xbel_markup.h"
#include "resources/strings.h"

namespace tolva {

namespace xbel {

void AppendEscaped(std::string& out, std::string_view text, bool attribute) {
    std::string valid;
    store::AppendUtf8(valid, text, !attribute);
    out += HtmlFromPlain(valid);
}

}  // namespace xbel

namespace {

using namespace xbel;

// Tolva's elements inside its own metadata, whatever prefix a file gives them.
constexpr std::string_view kPreservedElement = "preserved";
constexpr std::string_view kAttributeElement = "attribute";
// The file is handed to expat in pieces whose length fits its int.
constexpr std::size_t kParseChunk = 1 << 20;

enum class Element { Other, Xbel, Folder, Bookmark, Title, Desc, Info, OwnMetadata, Separator, Foreign };

struct OpenElement {
    OpenElement(Element openElement, UrlEntry* itemEntry = nullptr) : element(openElement), entry(itemEntry) {}
    Element element;
    UrlEntry* entry;                    // a folder's or bookmark's entry
    std::string kept;                   // its kept attributes as its parts are read; a foreign element's name
    std::size_t scopeMark = 0;          // the namespace declarations in force around it
    std::vector<std::string> prefixes;  // the prefixes an item's kept markup uses
};

// The namespace prefix a name uses, if it is one that must be declared (xml and xmlns need not).
std::string_view PrefixOf(std::string_view name) {
    const std::size_t colon = name.find(':');
    if (colon == std::string_view::npos) return {};
    const std::string_view prefix = name.substr(0, colon);
    return prefix == "xml" || prefix == "xmlns" ? std::string_view() : prefix;
}

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

    // Every element's namespace declarations are in force until its end.
    void Start(std::string_view name, const XML_Char** attributes) {
        const std::size_t mark = scope_.size();
        for (const XML_Char** at = attributes; at[0] != nullptr; at += 2) {
            if (StartsWith(at[0], "xmlns:")) scope_.emplace_back(at[0], at[1]);
        }
        StartElement(name, attributes);
        OpenElement& open = open_.back();
        open.scopeMark = mark;
        if (open_.size() == 1) documentDeclarations_ = scope_.size();
        if (open.element == Element::Folder || open.element == Element::Bookmark) {
            for (const XML_Char** at = attributes; at[0] != nullptr; at += 2) NoteUse(&open, at[0]);
        }
    }

    void NoteUse(OpenElement* item, std::string_view name) {
        const std::string_view prefix = PrefixOf(name);
        if (item == nullptr || prefix.empty()) return;
        if (std::find(item->prefixes.begin(), item->prefixes.end(), prefix) == item->prefixes.end()) {
            item->prefixes.emplace_back(prefix);
        }
    }

    // A prefix an item uses that a folder around it declares goes with the item, for it may be
    // written outside that folder. The document element's declarations are in force anywhere.
    void CarryDeclarations(const OpenElement& item) {
        std::string carried;
        for (const std::string& prefix : item.prefixes) {
            const std::string name = "xmlns:" + prefix;
            for (std::size_t at = scope_.size(); at-- > 0;) {
                if (scope_[at].first != name) continue;
                if (at >= documentDeclarations_ && at < item.scopeMark) {
                    for (const std::string& piece : {scope_[at].first, scope_[at].second}) {
                        store::AppendUtf8(carried, piece);
                        carried += kPieceEnd;
                    }
                }
                break;
            }
        }
        if (!carried.empty()) SlotsOf(item.entry)[kScopeSlot] = std::move(carried);
    }

    void StartElement(std::string_view name, const XML_Char** attributes) {
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
            // The mark is written back from the folder's mark, wherever the folder goes.
            const char* toolbar = AttributeValue(attributes, kToolbarAttribute);
            if (toolbar != nullptr && toolbar == kToolbarYes) folder->mark = FolderMark::Toolbar;
            KeepAttributes(folder, attributes, {kToolbarAttribute}, open.kept);
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
        OpenElement* item = Item();
        NoteUse(item, name);
        for (const XML_Char** at = attributes; at[0] != nullptr; at += 2) NoteUse(item, at[0]);
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
        if (name == kMarkElement && item->entry->kind == UrlEntryKind::FolderStart) {
            if (const char* value = AttributeValue(attributes, "name")) item->entry->mark = MarkNamed(value);
        } else if (name == kPreservedElement) {
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
        if (!closed.prefixes.empty()) CarryDeclarations(closed);
        scope_.resize(closed.scopeMark);
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
                // A bookmark file's mark kept among the attributes (as Tolva kept it before it
                // wrote XBEL's own) marks the folder too.
                if (closed.entry->mark == FolderMark::None)
                    closed.entry->mark = netscape::MarkOfAttributes(closed.entry->extraAttributes);
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
    // The namespace declarations in force (attribute name and value), the document element's
    // first.
    std::vector<std::pair<std::string, std::string>> scope_;
    std::size_t documentDeclarations_ = 0;
    std::size_t captureDepth_ = 0;
    bool tagOpen_ = false;
};

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

}  // namespace tolva
