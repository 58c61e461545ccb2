#include "platform/registered_owner.h"

#include <pwd.h>
#include <unistd.h>

#include <vector>

#include "platform/charset.h"
#include "platform/settings_store.h"

namespace tolva {

namespace {

constexpr char kOwnerKey[] = "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion";
constexpr char kOwnerValue[] = "RegisteredOwner";

}  // namespace

std::string ChooseRegisteredOwner(const std::string& storeValue, const std::string& gecos, const std::string& login) {
    std::string owner = storeValue;
    if (owner.empty()) owner = gecos.substr(0, gecos.find(','));
    if (owner.empty()) owner = login;
    return CutAtCharacter(owner, kMaxOwnerLength);
}

std::string RegisteredOwner() {
    std::string storeValue;
    if (!SettingsStore::User().GetString(kOwnerKey, kOwnerValue, storeValue)) storeValue.clear();
    std::string gecos;
    std::string login;
    long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? static_cast<std::size_t>(size) : 16384);
    struct passwd entry {};
    struct passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr) {
        if (found->pw_gecos) gecos = found->pw_gecos;
        if (found->pw_name) login = found->pw_name;
    }
    return ChooseRegisteredOwner(storeValue, gecos, login);
}

}  // namespace tolva
