#include "verify/cookie_policy.h"

#include <vector>

#include "resources/strings.h"

namespace tolva {

namespace {

// The setting is a 4-byte binary value; a longer one is treated like a missing one, since
// the program never reads more than 4 bytes of it.
constexpr std::size_t kValueSize = 4;

}  // namespace

CookiePolicy::CookiePolicy(SettingsStore* store) : store_(store) {}

CookiePolicy::~CookiePolicy() { After(); }

std::string CookiePolicy::Key() { return "HKEY_CURRENT_USER\\" + LoadString(IDS_COOKIE_KEY); }

std::string CookiePolicy::ValueName() { return LoadString(IDS_COOKIE_VALUE); }

void CookiePolicy::Write(unsigned char firstByte) {
    if (!store_) return;
    store_->CreateKey(Key());
    store_->SetBinary(Key(), ValueName(), std::vector<unsigned char>{firstByte, 0, 0, 0});
    // As with the registry, a setting that cannot be stored is not reported.
    store_->Save();
}

bool CookiePolicy::Before(CookieWarningPrompt& warning) {
    std::vector<unsigned char> value;
    bool present =
        store_ && store_->GetBinary(Key(), ValueName(), value) && !value.empty() && value.size() <= kValueSize;
    if (present && value[0] != 0) {
        accepted_ = true;
        return true;
    }
    int choice = kCookieChoiceDuringRun;
    if (warning.DoModal(choice) != kDialogOk) return false;
    if (choice == kCookieChoiceDuringRun || choice == kCookieChoiceAlways) {
        Write(1);
        accepted_ = true;
        undoAfterRun_ = choice == kCookieChoiceDuringRun;
    }
    return true;
}

void CookiePolicy::After() {
    if (!undoAfterRun_) return;
    undoAfterRun_ = false;
    Write(0);
}

}  // namespace tolva
