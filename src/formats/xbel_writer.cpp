// The XBEL writer: the set as text through the block writer, with what the reader kept of
// each item where it stood.

#include <algorithm>
#include <array>
#include <initializer_list>
#include <string>
#include <vector>

#include "formats/entry_walker.h"
#include "formats/format.h"
#include "formats/set_storage.h"
#include "formats/store_fields.h"
#include "formats/xbel.h"
#include "formats/xbel_markup.h"
#include "resources/strings.h"

namespace tolva {

namespace {

using namespace xbel;

void AddEscaped(BlockWriter& out, std::string_view text, bool attribute) {
    std::string escaped;
    AppendEscaped(escaped, text, attribute);
    out.Add(escaped);
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

// Calls each(name, value) for every attribute of a kept slot.
template <typename Each>
void ForEachAttribute(std::string_view slot, Each each) {
    std::string_view name;
    bool haveName = false;
    ForEachPiece(slot, [&](std::string_view piece) {
        if (!haveName) {
            name = piece;
            haveName = true;
            return;
        }
        haveName = false;
        each(name, piece);
    });
}

// The kept attributes, except those the writer has just given the element itself.
void AddKeptAttributes(BlockWriter& out, std::string_view slot, std::initializer_list<std::string_view> written,
                       const ItemParts* parts) {
    ForEachAttribute(slot, [&](std::string_view name, std::string_view value) {
        bool again = std::find(written.begin(), written.end(), name) != written.end();
        if (parts != nullptr) {
            for (const auto& date : parts->dates) again = again || date.first == name;
        }
        if (!again) AddAttribute(out, name, value);
    });
}

// The namespace declarations in force where the writer is, innermost last.
class NamespaceScope {
public:
    // Takes the declarations among an element's attributes as in force.
    void Declare(std::string_view attributes) {
        ForEachAttribute(attributes, [&](std::string_view name, std::string_view value) {
            if (StartsWith(name, "xmlns:")) declarations_.emplace_back(name, value);
        });
    }
    // Writes those of carried that are not in force as they are, and takes them as in force.
    void AddMissing(BlockWriter& out, std::string_view carried) {
        ForEachAttribute(carried, [&](std::string_view name, std::string_view value) {
            if (InForce(name, value)) return;
            AddAttribute(out, name, value);
            declarations_.emplace_back(name, value);
        });
    }
    std::size_t Mark() const { return declarations_.size(); }
    void Restore(std::size_t mark) { declarations_.resize(mark); }

private:
    bool InForce(std::string_view name, std::string_view value) const {
        for (auto at = declarations_.rbegin(); at != declarations_.rend(); ++at) {
            if (at->first == name) return at->second == value;
        }
        return false;
    }
    std::vector<std::pair<std::string, std::string>> declarations_;
};

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
    // The toolbar is marked on the folder's element; the marks XBEL has no spelling for here.
    const std::string_view markName =
        entry.kind == UrlEntryKind::FolderStart && entry.mark != FolderMark::Toolbar ? MarkName(entry.mark) : "";
    const bool ownMetadata = nameWanted || locationWanted || !markName.empty() || !parts.other.empty();
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
        if (!markName.empty()) {
            Indent(out, depth + 2);
            out.Add("<tolva:mark");
            AddAttribute(out, "name", markName);
            out.Add("/>\n");
        }
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

// The set's items, each at the depth of its folder below the document.
class XbelWriter final : public EntryWalker {
public:
    XbelWriter(const UrlSet& set, BlockWriter& out, std::string_view documentAttributes) : set_(set), out_(out) {
        scope_.Declare(documentAttributes);
    }

    using EntryWalker::Depth;

private:
    // Items are indented by their depth below the document element.
    int Level() const { return Depth() + 1; }

    void VisitLink(UrlEntry& entry) override {
        const auto kept = KeptOf(set_, &entry);
        const ItemParts parts = PartsOf(entry);
        Indent(out_, Level());
        out_.Add("<bookmark");
        AddAttribute(out_, "href", entry.url);
        for (const auto& [name, value] : parts.dates) AddAttribute(out_, name, value);
        AddKeptAttributes(out_, kept[kAttributesSlot], {"href"}, &parts);
        const std::size_t mark = scope_.Mark();
        scope_.AddMissing(out_, kept[kScopeSlot]);
        scope_.Restore(mark);
        out_.Add(">\n");
        AddItemBody(out_, entry, parts, kept, Level() + 1);
        Indent(out_, Level());
        out_.Add("</bookmark>\n");
        AddKeptElements(out_, kept[kAfterSlot], Level());
        out_.EndItem();
    }

    void EnterFolder(UrlEntry& entry) override {
        const auto kept = KeptOf(set_, &entry);
        const ItemParts parts = PartsOf(entry);
        // The folder's own element is at the depth around it.
        Indent(out_, Level() - 1);
        out_.Add("<folder");
        for (const auto& [name, value] : parts.dates) AddAttribute(out_, name, value);
        if (entry.mark == FolderMark::Toolbar) AddAttribute(out_, kToolbarAttribute, kToolbarYes);
        AddKeptAttributes(out_, kept[kAttributesSlot], {kToolbarAttribute}, &parts);
        marks_.push_back(scope_.Mark());
        scope_.Declare(kept[kAttributesSlot]);
        scope_.AddMissing(out_, kept[kScopeSlot]);
        out_.Add(">\n");
        AddItemBody(out_, entry, parts, kept, Level());
        AddKeptElements(out_, kept[kAfterSlot], Level());
        out_.EndItem();
    }

    void LeaveFolder(UrlEntry& end) override {
        scope_.Restore(marks_.back());
        marks_.pop_back();
        Indent(out_, Level());
        out_.Add("</folder>\n");
        AddKeptElements(out_, KeptOf(set_, &end)[kAfterSlot], Level());
        out_.EndItem();
    }

    void VisitSeparator(UrlEntry& entry) override {
        Indent(out_, Level());
        out_.Add("<separator/>\n");
        AddKeptElements(out_, KeptOf(set_, &entry)[kAfterSlot], Level());
        out_.EndItem();
    }

    bool Stopped() const override { return out_.Failed(); }

    const UrlSet& set_;
    BlockWriter& out_;
    NamespaceScope scope_;
    std::vector<std::size_t> marks_;  // the scope's mark at each open folder
};

}  // namespace

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

    XbelWriter writer(set, out, document[kAttributesSlot]);
    writer.Walk(set);
    // A set built without its closing FolderEnds still gets well-formed XML.
    for (int depth = writer.Depth(); depth > 0; --depth) {
        Indent(out, depth);
        out.Add("</folder>\n");
    }
    out.Add("</xbel>\n");
    out.Flush();
    return out.Failed() ? 0 : 1;
}

}  // namespace tolva
