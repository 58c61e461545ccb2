#include "platform/recode.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>

namespace tolva {

bool Recode(std::string_view text, const char* from, const char* to, std::string& out) {
    iconv_t converter = ::iconv_open(to, from);
    if (converter == reinterpret_cast<iconv_t>(-1)) return false;
    out.clear();
    char* in = const_cast<char*>(text.data());  // iconv's interface is not const-correct
    std::size_t inLeft = text.size();
    char block[4096];
    bool ok = true;
    // The final call with no input flushes a shift state (UTF-7's open base64 run).
    for (bool flushing = false;; flushing = inLeft == 0) {
        char* put = block;
        std::size_t putLeft = sizeof block;
        const std::size_t done = flushing ? ::iconv(converter, nullptr, nullptr, &put, &putLeft)
                                          : ::iconv(converter, &in, &inLeft, &put, &putLeft);
        out.append(block, static_cast<std::size_t>(put - block));
        if (done == static_cast<std::size_t>(-1) && errno != E2BIG) {
            ok = false;  // invalid or cut-short input, or a character the target lacks
            break;
        }
        if (flushing && done != static_cast<std::size_t>(-1)) break;
    }
    ::iconv_close(converter);
    return ok;
}

bool IsAscii(std::string_view text) {
    return std::none_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
}

}  // namespace tolva
