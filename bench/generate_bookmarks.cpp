// generate_bookmarks N FILE: writes a Netscape bookmark file of N links to FILE.
#include <cstdio>
#include <cstdlib>

#include "bookmark_generator.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: generate_bookmarks N FILE\n");
        return 2;
    }
    int links = std::atoi(argv[1]);
    if (links < 0 || !tolva::bench::WriteBookmarkFile(argv[2], links)) {
        std::fprintf(stderr, "generate_bookmarks: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
