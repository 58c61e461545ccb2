#pragma once
// Writes a Netscape bookmark file of a given number of links, shaped like a browser export:
// nested folders, ADD_DATE/LAST_MODIFIED attributes, <DD> descriptions, separators, and an
// ICON data URI (longer than one read piece) on every twentieth link. The same count always
// gives the same bytes.

#include <cstdint>
#include <fstream>
#include <string>

namespace tolva::bench {

inline bool WriteBookmarkFile(const std::string& path, int links) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    std::uint32_t seed = 12345;
    auto next = [&seed] {
        seed = seed * 1664525u + 1013904223u;
        return seed >> 8;
    };
    const std::string icon = "data:image/png;base64," + std::string(1500, 'A');
    out << "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n"
           "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=UTF-8\">\n"
           "<TITLE>Bookmarks</TITLE>\n<H1>Bookmarks</H1>\n<DL><p>\n";
    int depth = 0;
    int folders = 0;
    for (int i = 0; i < links; ++i) {
        // About one folder every 25 links, nested up to four deep, closed again at random.
        if (i % 25 == 0) {
            if (depth > 0 && (depth == 4 || next() % 3 == 0)) {
                out << std::string(static_cast<std::size_t>(depth) * 4, ' ') << "</DL><p>\n";
                --depth;
            }
            out << std::string(static_cast<std::size_t>(depth + 1) * 4, ' ') << "<DT><H3 ADD_DATE=\"1700000000\">"
                << "Folder " << ++folders << " &amp; more</H3>\n"
                << std::string(static_cast<std::size_t>(depth + 1) * 4, ' ') << "<DL><p>\n";
            ++depth;
        }
        std::string indent(static_cast<std::size_t>(depth + 1) * 4, ' ');
        out << indent << "<DT><A HREF=\"https://www.example" << next() % 1000 << ".com/path/" << i
            << "/page.html?q=" << next() << "\" ADD_DATE=\"" << 1600000000 + i << "\" LAST_MODIFIED=\""
            << 1650000000 + i << "\"";
        if (i % 20 == 0) out << " ICON=\"" << icon << "\"";
        out << ">Link number " << i << " \xE2\x80\x94 caf\xC3\xA9 &amp; bar</A>\n";
        if (i % 10 == 0) out << indent << "<DD>A description of link " << i << "\n";
        if (i % 100 == 99) out << indent << "<HR>\n";
    }
    while (depth-- > 0) out << std::string(static_cast<std::size_t>(depth + 1) * 4, ' ') << "</DL><p>\n";
    out << "</DL><p>\n";
    return static_cast<bool>(out);
}

}  // namespace tolva::bench
