#pragma once
// The short text that names a link's outcome: shown in the progress window, offered in the
// repair question, the name of the link's error folder and the tail of a renamed link.

#include <string>

namespace tolva {

// Text for an HTTP reply's status code; "Error #%d" for a status without a text of its own.
std::string HttpErrorText(long status);
// Text for a request that got no reply, by its error number (or a server's own code).
std::string RequestErrorText(unsigned error);

}  // namespace tolva
