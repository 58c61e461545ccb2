#include "formats/shortcut_names.h"

#include <algorithm>

#include "formats/shortcut_file.h"
#include "formats/shortcuts.h"
#include "model/url_set.h"
#include "platform/ascii.h"

namespace tolva {

bool HasShortcutSuffix(const std::string& name) {
    return name.size() >= kShortcutSuffix.size() &&
           EqualsIgnoringAsciiCase(std::string_view(name).substr(name.size() - kShortcutSuffix.size()),
                                   kShortcutSuffix);
}

std::string NameFromFileName(const std::string& fileName) {
    const std::string_view name = std::string_view(fileName).substr(0, fileName.size() - kShortcutSuffix.size());
    return std::string(NameWithoutErrorText(name));
}

std::string CopySuffix(int copy) { return copy == 1 ? std::string() : " (" + std::to_string(copy) + ")"; }

std::string_view WithoutCopySuffix(std::string_view name) {
    if (name.size() < 4 || name.back() != ')') return name;
    std::size_t open = name.rfind(" (");
    if (open == std::string_view::npos) return name;
    std::string_view digits = name.substr(open + 2, name.size() - open - 3);
    if (digits.empty() || digits.front() == '0' || (digits.front() == '1' && digits.size() == 1)) return name;
    if (!std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) return name;
    return name.substr(0, open);
}

bool WriterWouldName(const UrlEntry& entry, std::string_view given) {
    const auto* read = dynamic_cast<const ShortcutEntry*>(&entry);
    if (read == nullptr) return false;
    const bool isFolder = entry.kind == UrlEntryKind::FolderStart;
    if (isFolder && (given.empty() || given == "." || given == "..")) given = kPlaceholderFolderName;
    const std::string_view name = entry.name;
    if (name == given) return true;
    // The writer names the set's toolbar after the Favorites Bar, whatever it was called.
    if (isFolder && entry.mark == FolderMark::Toolbar && EqualsIgnoringAsciiCase(name, kToolbarFolderName))
        return true;
    const std::string_view base = WithoutCopySuffix(name);
    if (base == given) return true;
    // Shortened: a proper beginning of the given name, as long as the limit let it be.
    const std::size_t rest = (name.size() - base.size()) + (isFolder ? 0 : kShortcutSuffix.size());
    return base.size() < given.size() && given.starts_with(base) &&
           base.size() + rest + kMaxCharacterBytes > read->nameLimit;
}

}  // namespace tolva
