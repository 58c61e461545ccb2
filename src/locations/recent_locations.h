#pragma once
// The lists of recently used locations behind the location boxes of the Translate and Verify
// pages: up to ten locations per page and format, most recent first, kept in the settings
// store. While the program runs, a box's own drop-down list is the working copy of its list;
// only its first ten entries are ever stored.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "model/set_kinds.h"
#include "platform/settings_store.h"

namespace tolva {

// Which page a list belongs to: the pages keep separate lists, even for one format.
enum class RecentPage {
    Translate,
    Verify,
    Merge,
};

inline constexpr std::size_t kMaxRecentLocations = 10;
// Stored locations longer than this are skipped when a list is loaded.
inline constexpr std::size_t kMaxLocationLength = 255;
// Added to a replaced destination's name for the copy a translation keeps of it.
inline constexpr char kBackupSuffix[] = ".bak";

// Whether location names such a backup copy ("bookmarks.htm.bak", any letter case). A backup is
// never offered again as a recent location: a quick button would make it a destination.
bool IsBackupLocation(const std::string& location);

// A location box as the lists need it: its drop-down entries and its text. A Qt combo box
// implements it on the pages; tolva-cli and tests use MemoryLocationBox.
class LocationBox {
public:
    virtual ~LocationBox() = default;
    virtual std::vector<std::string> Entries() const = 0;
    virtual void SetEntries(const std::vector<std::string>& entries) = 0;
    virtual std::string Text() const = 0;
    virtual void SetText(const std::string& text) = 0;
};

class MemoryLocationBox final : public LocationBox {
public:
    std::vector<std::string> Entries() const override { return entries_; }
    void SetEntries(const std::vector<std::string>& entries) override { entries_ = entries; }
    std::string Text() const override { return text_; }
    void SetText(const std::string& text) override { text_ = text; }

private:
    std::vector<std::string> entries_;
    std::string text_;
};

// The store key of a page's list for a format ("HKEY_CURRENT_USER\\Software\\...\\RecentNetNav"),
// or empty text for a format without a list.
std::string RecentLocationsKey(RecentPage page, UrlSetFormat format);

// Refills box from the stored list (empty when none is stored; backup copies left out) and sets its text to the list's
// first entry, or empty text. Returns whether a list is stored for page and format, even an
// empty one. Store errors leave the box empty; they are not reported.
bool LoadRecentLocations(SettingsStore& store, RecentPage page, UrlSetFormat format, LocationBox& box);

// Puts location at the top of box's list (replacing an entry that differs only in letter case)
// and stores the list's first ten entries; a backup copy is not remembered. A list that cannot be stored is simply not stored.
void RememberLocation(SettingsStore& store, RecentPage page, UrlSetFormat format, LocationBox& box,
                      const std::string& location);
// The same without saving the store, for a caller that notes several locations and saves once.
void NoteLocation(SettingsStore& store, RecentPage page, UrlSetFormat format, LocationBox& box,
                  const std::string& location);

}  // namespace tolva
