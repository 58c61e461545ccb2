// Mosaic hotlists: plain text of keyword lines ("Hotlist", "Sublist", "Item", "}") each
// followed by a fixed number of value lines.

#include "formats/mosaic.h"

#include <string>
#include <string_view>

#include "formats/entry_walker.h"
#include "formats/format.h"
#include "resources/strings.h"

namespace tolva {

namespace {

// Lines are told apart by their first four characters ("Subl", "Item", "Hotl").
constexpr std::size_t kKeywordLength = std::string_view("Item").size();
// The title line "Hotlist..." loses this many characters at its end and then at its start.
constexpr std::size_t kTitleDropEnd = 5;
constexpr std::size_t kTitleDropStart = std::string_view("Hotlist").size();
constexpr std::string_view kLineEnd = "\r\n";

// A value line: leading white space removed, trailing kept; empty at the end of the file.
std::string_view ReadValueLine(LineScanner& lines) {
    std::string_view line;
    if (!lines.Next(line)) return {};
    return TrimLeadingWhite(line);
}

std::string TitleOf(std::string_view line) {
    if (line.size() <= kTitleDropEnd + kTitleDropStart) return {};
    line = line.substr(kTitleDropStart, line.size() - kTitleDropEnd - kTitleDropStart);
    std::size_t close = line.find('>');
    if (close != std::string_view::npos) line = line.substr(close + 1);
    return std::string(line);
}

// A value goes on one line: a line break inside it would start blocks of its own.
std::string OneLine(std::string_view text) {
    std::string line(text);
    for (char& c : line) {
        if (c == '\r' || c == '\n') c = ' ';
    }
    return line;
}

// A value line: the value on one line and its line end.
void AddLine(BlockWriter& out, std::string_view text) {
    out.Add(OneLine(text));
    out.Add(kLineEnd);
}

}  // namespace

int ReadMosaic(SetStorage& storage, TextControl* statusText) {
    UrlSet& set = storage.Set();
    set.heading.clear();
    ArrivingBytes bytes(storage);
    if (bytes.Image() == nullptr) return 0;
    LineScanner lines(*bytes.Image());
    CounterText status(LoadString(IDS_STATUS_READING_LINE));
    std::string_view line;
    int result = 0;
    int counter = 0;
    for (;;) {
        // An empty line is no keyword; a run of them is counted in one step.
        if (const std::size_t empty = lines.SkipEmptyLines(); empty > 0) {
            result = 1;
            counter += static_cast<int>(empty);
            if (statusText) statusText->SetText(status.Advance(empty));
        }
        if (!lines.Next(line)) break;
        result = 1;
        ++counter;
        if (statusText) statusText->SetText(status.Advance());
        std::string_view text = TrimLeadingWhite(line);
        std::string_view keyword = text.substr(0, kKeywordLength);
        // Names and URLs are borrowed from the file's lines, which the set keeps.
        if (keyword == "Subl") {
            const std::string_view name = ReadValueLine(lines);
            set.Append(new UrlEntry(UrlEntryKind::FolderStart, EntryText::Borrow(name)));
            ++set.folderCount;
            ReadValueLine(lines);  // the block's "{"
        } else if (keyword == "Item") {
            const std::string_view name = ReadValueLine(lines);
            const std::string_view url = ReadValueLine(lines);
            set.Append(new UrlEntry(UrlEntryKind::Link, EntryText::Borrow(name), EntryText::Borrow(url)));
            ++set.linkCount;
        } else if (text == "}") {
            set.Append(new UrlEntry(UrlEntryKind::FolderEnd, {}));
        } else if (keyword == "Hotl") {
            set.title = TitleOf(text);
            // The header "Hotlist" this program writes has the title on the line after it. That
            // line is the title whatever it says, never a keyword ("Items to read").
            if (set.title.empty() && counter == 1) {
                const std::string_view titleLine = ReadValueLine(lines);
                if (titleLine != "{") TakeHeading(set, titleLine);
            }
        }
    }
    set.SetCursor(nullptr);
    if (statusText) statusText->SetText(LoadString(IDS_STATUS_MOSAIC_LOADED));
    return result;
}

namespace {

// A block per folder and an item per link; the format has no separators.
class MosaicWriter final : public EntryWalker {
public:
    explicit MosaicWriter(BlockWriter& out) : out_(out) {}

    // The blocks left open at the end, the header's among them unless the set closed it.
    int MissingEnds() const { return Depth() + 1 - TopLevelEnds(); }

private:
    void VisitLink(UrlEntry& entry) override {
        out_.Add("Item\r\n");
        AddLine(out_, entry.name);
        AddLine(out_, entry.url);
        out_.EndItem();
    }

    void EnterFolder(UrlEntry& entry) override {
        out_.Add("Sublist\r\n");
        AddLine(out_, entry.name);
        out_.Add("{\r\n");
        out_.EndItem();
    }

    void LeaveFolder(UrlEntry& /*end*/) override { EndBlock(); }
    void EndTopLevel(UrlEntry& /*end*/) override { EndBlock(); }

    void EndBlock() {
        out_.Add("}\r\n");
        out_.EndItem();
    }

    bool Stopped() const override { return out_.Failed(); }

    BlockWriter& out_;
};

}  // namespace

int WriteMosaic(SetStorage& storage) {
    UrlSet& set = storage.Set();
    BlockWriter out(storage, IDS_ERR_MOSAIC_HEADER);
    if (!out.Begin()) return 0;
    out.Add(FormatString(IDS_MOSAIC_HEADER, {OneLine(HeadingOf(set))}));
    // The header goes out on its own: a failure after it is one of the lines.
    out.Flush();
    out.BeginPart(IDS_ERR_MOSAIC_LINE);

    MosaicWriter writer(out);
    writer.Walk(set);
    // The header's "{" is closed by the set's closing FolderEnd; a set built without one
    // still gets its blocks closed.
    for (int missing = writer.MissingEnds(); missing > 0 && !out.Failed(); --missing) out.Add("}\r\n");
    out.Flush();
    return out.Failed() ? 0 : 1;
}

}  // namespace tolva
