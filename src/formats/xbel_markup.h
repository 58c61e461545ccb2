#pragma once
// What the XBEL reader and writer agree on: Tolva's own prefix and namespace, the slots in
// which the reader keeps an item's markup for the writer, and how text is escaped.

#include <array>
#include <string>
#include <string_view>

namespace tolva::xbel {

inline constexpr std::string_view kOwnPrefix = "tolva";
inline constexpr std::string_view kOwnNamespace = "xmlns:tolva";

// The toolbar folder as KDE marks it, on the folder's own element: toolbar="yes". The other
// marks (unfiled, mobile), which XBEL has no spelling for, go into Tolva's metadata as a
// <tolva:mark name="..."/>.
inline constexpr std::string_view kToolbarAttribute = "toolbar";
inline constexpr std::string_view kToolbarYes = "yes";
inline constexpr std::string_view kMarkElement = "mark";

// What an item keeps of the file that Tolva has no field for, so that the file written back
// holds it where it stood: the item's other attributes, other programs' metadata in its info,
// other elements inside a bookmark, and elements of a folder's list that are no item (such as
// an alias), kept after the entry they follow. The root entry keeps the document's own. The
// scope slot holds the namespace declarations of the folders around an item that the item's
// kept markup uses, as attribute names and values: written on the item wherever it is not in
// their scope (moved out of the folder), so the file stays well-formed with namespaces.
enum KeptSlot { kAttributesSlot, kInfoSlot, kBodySlot, kAfterSlot, kScopeSlot, kSlotCount };
using KeptSlots = std::array<std::string, kSlotCount>;
// The kept slots of an entry travel as one text: slots end in kSlotEnd, and within a slot
// each element, attribute name and attribute value ends in kPieceEnd. XML text can hold
// neither control character, and the reader writes what it keeps through AppendUtf8, which
// turns them into spaces.
inline constexpr char kSlotEnd = '\x1E';
inline constexpr char kPieceEnd = '\x1F';

// XML text of plain text: only characters XML can hold, markup characters escaped.
void AppendEscaped(std::string& out, std::string_view text, bool attribute);

}  // namespace tolva::xbel
