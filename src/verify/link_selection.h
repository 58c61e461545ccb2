#pragma once
// Which links a verification asks for. By default every link of a server's scheme; the person
// may narrow that to the links a run set aside (those inside "Unverified" and those renamed in
// place), and may leave out links by URL pattern or by folder. A link left out is never asked
// for and stays where and as it is. Pure rules, given the link, its folder path and its URL.

#include <string>
#include <string_view>
#include <vector>

#include "model/url_set.h"
#include "verify/verify_settings.h"

namespace tolva {

enum class LinkChoice {
    Test,
    OtherScheme,      // javascript:, mailto:, file:, ...: no server to ask
    InSkippedFolder,  // inside a folder the person left out
    SkipPattern,      // the URL matches a pattern the person left out
    NotSetAside,      // only the links set aside are tested, and this one was not
};

// What happens to a link at folderPath (its folder's path, "\Work\Old"; empty at the top)
// whose URL, as requested, is url.
LinkChoice ChooseLink(const VerifySettings& settings, const UrlEntry& entry, const std::string& folderPath,
                      const std::string& url);
// The reason a record gives for a link not tested (string-table id); 0 for Test.
int SkipReasonId(LinkChoice choice);

// Whether folderPath is folder or lies inside it. A trailing backslash on folder is ignored.
bool InFolderPath(std::string_view folderPath, std::string_view folder);
// Whether folderPath lies in the top-level "Unverified" folder (by its beginning, as the run has always told).
bool InUnverified(std::string_view folderPath);
// Whether the link's name carries the error text of a rename in place.
bool CarriesErrorText(const UrlEntry& entry);
// The folder paths of folders that name no folder of set, in their order: leaving them out
// leaves nothing out, which is most likely a mistyped path.
std::vector<std::string> FoldersNotInSet(UrlSet& set, const std::vector<std::string>& folders);

// The Verify page's one line of links to leave out: items separated by ';'. An item that
// starts with a backslash is a folder path, kept whole with its spaces (folder names have
// them); any other item holds URL patterns separated by white space (a URL holds none).
struct SkipList {
    std::vector<std::string> patterns;
    std::vector<std::string> folders;
};
SkipList ParseSkipList(std::string_view text);

}  // namespace tolva
