// Mosaic hotlists: plain text of keyword lines ("Hotlist", "Sublist", "Item", "}") each
// followed by a fixed number of value lines.

#include <cerrno>
#include <string>
#include <string_view>

#include "model/url_set.h"
#include "resources/strings.h"

namespace tolva {

namespace {

constexpr std::size_t kKeywordLength = 4;
constexpr std::size_t kWriteBlock = 64 * 1024;
// The title line "Hotlist..." loses this many characters at its end and then at its start.
constexpr std::size_t kTitleDropEnd = 5;
constexpr std::size_t kTitleDropStart = 7;
constexpr std::string_view kLineEnd = "\r\n";

// Reads one physical line, however long: ReadLine hands a long line over in pieces, which are
// joined exactly, so a long URL is neither cut nor split into a stray keyword line.
int ReadWholeLine(UrlSet& set, std::string& line) {
    bool complete = true;
    if (!set.ReadLine(line, &complete)) return 0;
    std::string piece;
    while (!complete && set.ReadLine(piece, &complete)) line += piece;
    return 1;
}

// A value line: leading white space removed, trailing kept; empty at the end of the file.
std::string ReadValueLine(UrlSet& set) {
    std::string line;
    if (!ReadWholeLine(set, line)) return {};
    return std::string(TrimLeadingWhite(line));
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

// Keeps the writer's output and hands it to the file in large blocks. The first failure is
// shown once and ends all writing.
class HotlistWriter {
public:
    HotlistWriter(UrlSet& set, File& file) : set_(set), file_(file) { buffer_.reserve(kWriteBlock * 2); }

    bool Failed() const { return failed_; }

    void AddLine(std::string_view text) {
        buffer_.append(OneLine(text));
        buffer_.append(kLineEnd);
        if (buffer_.size() >= kWriteBlock) Flush();
    }
    void AddRaw(std::string_view text) { buffer_.append(text); }

    bool Flush() {
        if (failed_ || buffer_.empty()) return !failed_;
        if (!file_.Write(buffer_.data(), buffer_.size())) {
            Fail(headerPending_ ? IDS_ERR_MOSAIC_HEADER : IDS_ERR_MOSAIC_LINE, file_.LastErrno());
            return false;
        }
        headerPending_ = false;
        buffer_.clear();
        return true;
    }

    void Fail(int message, int errnoValue) {
        if (failed_) return;
        failed_ = true;
        buffer_.clear();
        set_.ShowRunMessage(FormatString(message, {errnoValue}));
    }

private:
    UrlSet& set_;
    File& file_;
    std::string buffer_;
    bool failed_ = false;
    bool headerPending_ = true;
};

}  // namespace

int UrlSet::ReadMosaic(TextControl* statusText) {
    std::string line;
    int result = ReadWholeLine(*this, line);
    int counter = 0;
    while (result == 1) {
        ++counter;
        if (statusText) statusText->SetText(FormatString(IDS_STATUS_READING_LINE, {counter}));
        std::string_view text = TrimLeadingWhite(line);
        std::string_view keyword = text.substr(0, kKeywordLength);
        if (keyword == "Subl") {
            std::string name = ReadValueLine(*this);
            Append(new UrlEntry(FolderStart, name));
            ++folderCount;
            ReadValueLine(*this);  // the block's "{"
        } else if (keyword == "Item") {
            std::string name = ReadValueLine(*this);
            std::string url = ReadValueLine(*this);
            Append(new UrlEntry(Link, name, url));
            ++linkCount;
        } else if (text == "}") {
            Append(new UrlEntry(FolderEnd, {}));
        } else if (keyword == "Hotl") {
            title = TitleOf(text);
        }
        if (!ReadWholeLine(*this, line)) break;
    }
    cursor = nullptr;
    if (statusText) statusText->SetText(LoadString(IDS_STATUS_MOSAIC_LOADED));
    return result;
}

int UrlSet::WriteMosaic() {
    File* file = GetFile();
    if (file == nullptr || !file->IsOpen()) {
        ShowRunMessage(FormatString(IDS_ERR_MOSAIC_HEADER, {EBADF}));
        return 0;
    }
    HotlistWriter out(*this, *file);
    // The file is rewritten from its start; what was there before must not show past the end.
    if (!file->Seek(0) || !file->Truncate()) {
        out.Fail(IDS_ERR_MOSAIC_HEADER, file->LastErrno());
        return 0;
    }
    out.AddRaw(FormatString(IDS_MOSAIC_HEADER, {OneLine(title)}));
    out.Flush();

    int folderStarts = 0;
    int folderEnds = 0;
    Rewind();
    for (UrlEntry* entry = Next(); entry && !out.Failed(); entry = Next()) {
        switch (entry->kind) {
            case Link:
                out.AddRaw("Item\r\n");
                out.AddLine(entry->name);
                out.AddLine(entry->url);
                break;
            case FolderStart:
                ++folderStarts;
                out.AddRaw("Sublist\r\n");
                out.AddLine(entry->name);
                out.AddRaw("{\r\n");
                break;
            case FolderEnd:
                ++folderEnds;
                out.AddRaw("}\r\n");
                break;
            default:
                break;  // the format has no separators
        }
    }
    // The header's "{" is closed by the set's closing FolderEnd; a set built without one
    // still gets its blocks closed.
    for (; folderEnds <= folderStarts && !out.Failed(); ++folderEnds) out.AddRaw("}\r\n");
    out.Flush();
    if (!out.Failed() && !file->Flush()) out.Fail(IDS_ERR_MOSAIC_LINE, file->LastErrno());
    return out.Failed() ? 0 : 1;
}

}  // namespace tolva
