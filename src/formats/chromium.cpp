// Chromium's bookmark file: read whole as a JSON document, written as JSON text by hand in the
// spelling Chromium itself uses.

#include "formats/chromium.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <string>
#include <string_view>

#include "formats/entry_walker.h"
#include "formats/format.h"
#include "formats/json_document.h"
#include "formats/store_fields.h"
#include "resources/strings.h"

namespace tolva {

namespace {

struct Root {
    std::string_view key;
    std::string_view defaultName;
    FolderMark mark;
};

// Chromium's roots, in the order it shows them; a root without a name gets its usual one.
constexpr std::array<Root, 3> kRoots = {{
    {"bookmark_bar", "Bookmarks bar", FolderMark::Toolbar},
    {"other", "Other bookmarks", FolderMark::Unfiled},
    {"synced", "Mobile bookmarks", FolderMark::Mobile},
}};
constexpr std::size_t kOtherRoot = 1;
// A top-level folder read from a root remembers which one, so that it goes back there
// whatever the browser's language called it.
constexpr std::string_view kRootAttribute = store::kChromiumRoot;
// Tolva's own entries in a node's meta_info, which Chromium keeps as it finds them.
constexpr std::string_view kMetaPreservedName = "tolva.preserved_name";
constexpr std::string_view kMetaPreservedLocation = "tolva.preserved_location";
constexpr std::string_view kMetaAttributePrefix = "tolva.attribute.";

// ---------------------------------------------------------------------------------------
// Reading

class ChromiumReader {
public:
    ChromiumReader(UrlSet& set, TextControl* statusText)
        : set_(set), status_(statusText), itemText_(LoadString(IDS_STATUS_LOADING_ITEM)) {}

    // Empty text when the file was read, else the reason it was not.
    std::string Read(std::string_view text) {
        json::Document document;
        if (std::string failure = document.Parse(text); !failure.empty()) return failure;
        const json::Value roots = document.Root()["roots"];
        if (!roots.IsObject()) return "it has no \"roots\" object";
        for (std::size_t i = 0; i < kRoots.size(); ++i) {
            const json::Value root = roots[kRoots[i].key];
            // Chromium always has its three roots; an empty one is left out, so a set does not
            // grow empty folders each time it passes through this format.
            const json::Value children = root["children"];
            if (!children.IsArray() || children.IsEmpty()) continue;
            EntryText name = TextOf(root["name"]);
            if (name.empty()) name = EntryText::Borrow(kRoots[i].defaultName);
            std::string kept;
            store::AddKeptAttribute(kept, kRootAttribute, kRoots[i].key);
            Folder(root, std::move(name), std::move(kept), kRoots[i].mark);
        }
        return {};
    }

private:
    // A string's text, borrowed from the file (which the set keeps) unless an escape in it was
    // decoded: a hundred thousand links then cost no copy and no allocation for their names and
    // URLs.
    static EntryText TextOf(json::Value value) { return EntryText::BorrowIf(value.InSource(), value.Text()); }

    // Dates are decimal text of microseconds since 1601; 0 is no date.
    static void KeepDate(std::string& kept, json::Value node, std::string_view key, std::string_view keptName) {
        const auto text = node[key].String();
        if (!text) return;
        auto microseconds = store::ParseSeconds(*text);
        if (!microseconds || *microseconds <= 0) return;
        store::AddKeptAttribute(kept, keptName, std::to_string(store::SecondsFromChromium(*microseconds)));
    }

    static void TakeMetaInfo(UrlEntry& entry, std::string& kept, json::Value node) {
        for (const auto& [key, field] : node["meta_info"].Fields()) {
            const auto value = field.String();
            if (!value) continue;
            if (key == kMetaPreservedName) {
                entry.preservedName = *value;
            } else if (key == kMetaPreservedLocation) {
                entry.preservedLocation = *value;
            } else if (key.starts_with(kMetaAttributePrefix) && key.size() > kMetaAttributePrefix.size()) {
                store::AddKeptAttribute(kept, key.substr(kMetaAttributePrefix.size()), *value);
            }
        }
    }

    void Folder(json::Value node, EntryText name, std::string kept, FolderMark mark = FolderMark::None) {
        auto* folder = new UrlEntry(UrlEntryKind::FolderStart, std::move(name));
        folder->mark = mark;
        KeepDate(kept, node, "date_added", store::kAddDate);
        KeepDate(kept, node, "date_modified", store::kLastModified);
        TakeMetaInfo(*folder, kept, node);
        folder->extraAttributes = kept;
        set_.Append(folder);
        ++set_.folderCount;
        ShowItem();
        for (const json::Value child : node["children"].Elements()) {
            if (child.IsObject()) Node(child);
        }
        set_.Append(new UrlEntry(UrlEntryKind::FolderEnd, {}));
    }

    void Node(json::Value node) {
        const std::string_view type = node["type"].Text();
        if (type == "folder") {
            Folder(node, TextOf(node["name"]), {});
            return;
        }
        if (type != "url") return;
        auto* link = new UrlEntry(UrlEntryKind::Link, TextOf(node["name"]), TextOf(node["url"]));
        std::string kept;
        KeepDate(kept, node, "date_added", store::kAddDate);
        KeepDate(kept, node, "date_last_used", store::kLastVisit);
        TakeMetaInfo(*link, kept, node);
        link->extraAttributes = kept;
        set_.Append(link);
        ++set_.linkCount;
        ShowItem();
    }

    void ShowItem() {
        if (status_) status_->SetText(itemText_.Advance());
    }

    UrlSet& set_;
    TextControl* status_;
    CounterText itemText_;
};

// ---------------------------------------------------------------------------------------
// Writing

void AddField(std::string& out, std::string_view indent, std::string_view key, std::string_view value,
              bool last = false) {
    out += indent;
    store::AppendJsonString(out, key);
    out += ": ";
    store::AppendJsonString(out, value);
    out += last ? "\n" : ",\n";
}

// The Chromium date of a kept attribute in seconds, "0" when there is none.
std::string DateOf(const std::vector<std::pair<std::string, std::string>>& kept, std::string_view name) {
    for (const auto& [key, value] : kept) {
        if (key != name) continue;
        if (auto seconds = store::ParseSeconds(value)) return std::to_string(store::ChromiumFromSeconds(*seconds));
    }
    return "0";
}

// The set as a tree of its folders and links, each root's children apart, as the set's top
// level may interleave them; then written out without recursion, however deep the folders.
class ChromiumWriter final : public EntryWalker {
public:
    explicit ChromiumWriter(UrlSet& set) {
        nodes_.resize(kRoots.size());
        Walk(set);
    }

    std::string Json() {
        std::string json = "{\n   \"roots\": {\n";
        for (std::size_t root = 0; root < kRoots.size(); ++root) {
            json += "      ";
            store::AppendJsonString(json, kRoots[root].key);
            json += ": ";
            Emit(json, root, 2);
            json += root + 1 < kRoots.size() ? ",\n" : "\n";
        }
        json += "   },\n   \"version\": 1\n}\n";
        return json;
    }

private:
    struct Node {
        const UrlEntry* entry = nullptr;
        std::vector<std::size_t> children;
    };

    std::size_t Parent() const { return open_.empty() ? kOtherRoot : open_.back(); }

    void EnterFolder(UrlEntry& entry) override {
        if (std::size_t root = RootOf(entry); open_.empty() && root < kRoots.size()) {
            if (nodes_[root].entry == nullptr) nodes_[root].entry = &entry;
            open_.push_back(root);
        } else {
            open_.push_back(Add(Parent(), &entry));
        }
    }
    void LeaveFolder(UrlEntry& /*end*/) override { open_.pop_back(); }
    void VisitLink(UrlEntry& entry) override { Add(Parent(), &entry); }

    static std::size_t RootOf(const UrlEntry& folder) {
        // The root it was read from, else the one its mark says, else the one of its name.
        auto marked = store::FindKeptAttribute(folder.extraAttributes, kRootAttribute);
        for (std::size_t root = 0; root < kRoots.size(); ++root) {
            if (marked                              ? *marked == kRoots[root].key
                : folder.mark != FolderMark::None ? folder.mark == kRoots[root].mark
                                                    : folder.name == kRoots[root].defaultName) {
                return root;
            }
        }
        return kRoots.size();
    }

    std::size_t Add(std::size_t parent, const UrlEntry* entry) {
        nodes_.push_back({entry, {}});
        nodes_[parent].children.push_back(nodes_.size() - 1);
        return nodes_.size() - 1;
    }

    // Indentation stops growing past a depth, so deep folders do not make the file grow with
    // the square of their depth.
    static std::string Indent(std::size_t level) { return std::string(std::min<std::size_t>(level, 32) * 3, ' '); }

    // A node's fields but its children, each line at level.
    void Fields(std::string& out, std::size_t index, std::size_t level) {
        const Node& node = nodes_[index];
        const UrlEntry* entry = node.entry;
        const bool link = entry != nullptr && entry->kind == UrlEntryKind::Link;
        const auto kept =
            entry ? store::KeptAttributes(entry->extraAttributes) : std::vector<std::pair<std::string, std::string>>{};
        const std::string indent = Indent(level);
        AddField(out, indent, "date_added", DateOf(kept, store::kAddDate));
        AddField(out, indent, link ? "date_last_used" : "date_modified",
                 DateOf(kept, link ? store::kLastVisit : store::kLastModified));
        AddField(out, indent, "id", std::to_string(index + 1));

        std::vector<std::pair<std::string, std::string>> meta;
        if (entry && !entry->preservedName.empty()) meta.emplace_back(kMetaPreservedName, entry->preservedName.str());
        if (entry && !entry->preservedLocation.empty() && !StartsWith(entry->preservedLocation, kUnverifiedPrefix))
            meta.emplace_back(kMetaPreservedLocation, entry->preservedLocation.str());
        for (const auto& [key, value] : kept) {
            if (key == store::kAddDate || key == store::kLastModified || key == store::kLastVisit ||
                key == kRootAttribute)
                continue;
            meta.emplace_back(std::string(kMetaAttributePrefix) + key, value);
        }
        if (!meta.empty()) {
            out += indent + "\"meta_info\": {\n";
            for (std::size_t i = 0; i < meta.size(); ++i)
                AddField(out, indent + "   ", meta[i].first, meta[i].second, i + 1 == meta.size());
            out += indent + "},\n";
        }
        const std::string_view name = entry                   ? std::string_view(entry->name)
                                      : index < kRoots.size() ? kRoots[index].defaultName
                                                              : std::string_view();
        AddField(out, indent, "name", name);
        AddField(out, indent, "type", link ? "url" : "folder", !link);
        if (link) AddField(out, indent, "url", entry->url, true);
    }

    // Writes node index at level and everything below it. A folder's children come first,
    // as Chromium writes them; the walk keeps its own stack.
    void Emit(std::string& out, std::size_t index, std::size_t level) {
        struct Frame {
            std::size_t index;
            std::size_t level;
            std::size_t next;  // the next child to write
        };
        std::vector<Frame> frames;
        auto open = [&](std::size_t node, std::size_t at) {
            out += "{\n";
            if (nodes_[node].entry && nodes_[node].entry->kind == UrlEntryKind::Link) {
                Fields(out, node, at + 1);
                out += Indent(at) + "}";
                return;
            }
            out += Indent(at + 1) + "\"children\": [";
            frames.push_back({node, at, 0});
        };
        open(index, level);
        while (!frames.empty()) {
            Frame& frame = frames.back();
            const Node& node = nodes_[frame.index];
            if (frame.next < node.children.size()) {
                out += frame.next == 0 ? " " : ", ";
                const std::size_t child = node.children[frame.next++];
                open(child, frame.level + 2);
                continue;
            }
            const std::size_t done = frame.index, at = frame.level;
            frames.pop_back();
            out += " ],\n";
            Fields(out, done, at + 1);
            out += Indent(at) + "}";
        }
    }

    std::vector<Node> nodes_;
    std::vector<std::size_t> open_;  // the folders the walk is in
};

}  // namespace

int ReadChromium(SetStorage& storage, TextControl* statusText) {
    UrlSet& set = storage.Set();
    std::string_view fileText;
    if (!storage.TakeRest(fileText)) return 0;
    ChromiumReader reader(set, statusText);
    const std::string failure = reader.Read(fileText);
    set.SetCursor(nullptr);
    if (!failure.empty()) {
        set.ShowRunMessage(FormatString(IDS_ERR_CHROMIUM_READ, {set.location, failure}));
        return 0;
    }
    if (statusText) statusText->SetText(LoadString(IDS_STATUS_CHROMIUM_LOADED));
    return 1;
}

int ChromiumMissingMessage(const std::string& location) {
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::path path(location);
    if (fs::exists(path, error) || !path.has_parent_path()) return 0;
    // Chromium is moving its bookmarks into encrypted files (EncryptedBookmarks, and its
    // account's), which no other program can read.
    const fs::path folder = path.parent_path();
    for (fs::directory_iterator at(folder, error), end; !error && at != end; at.increment(error)) {
        if (at->path().filename().string().starts_with("EncryptedBookmarks")) return IDS_ERR_CHROMIUM_ENCRYPTED_ONLY;
    }
    return 0;
}

int WriteChromium(SetStorage& storage) {
    UrlSet& set = storage.Set();
    BlockWriter out(storage, IDS_ERR_CHROMIUM_WRITE);
    if (!out.Begin()) return 0;
    ChromiumWriter writer(set);
    out.Add(writer.Json());
    out.Flush();
    return out.Failed() ? 0 : 1;
}

}  // namespace tolva
