#pragma once
// The name of the computer's registered owner, which a shortcut set takes as its title: the
// settings store's value if present, else the account's full name, else the login name.

#include <string>

namespace tolva {

// Longest owner name kept, as the Windows program's 40-byte buffer held it.
inline constexpr std::size_t kMaxOwnerLength = 39;

std::string RegisteredOwner();

// The choice among the sources, given what each gave (empty when it gave nothing). gecos is
// the account's comment field, whose full name ends at the first comma ("Name,,,").
std::string ChooseRegisteredOwner(const std::string& storeValue, const std::string& gecos, const std::string& login);

}  // namespace tolva
