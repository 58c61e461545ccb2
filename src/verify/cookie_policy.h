#pragma once
// The cookie setting around a verification run. When the stored "AllowCookies" value says
// cookies are not accepted automatically, the person is warned (a prompt for every cookie
// would stop an unattended run) and chooses: keep being prompted, accept cookies for this
// run only, or accept them from now on. Accepting turns the request machinery's in-memory
// cookie engine on; a library cannot prompt, so "prompted" leaves it off. A temporary
// acceptance is switched off again after the run, on every path once the warning was
// answered: the destructor does it if After was not called.

#include "platform/settings_store.h"
#include "verify/verification_run.h"

namespace tolva {

class CookiePolicy {
public:
    // store may be null: the setting then counts as missing and nothing is written.
    explicit CookiePolicy(SettingsStore* store);
    ~CookiePolicy();
    CookiePolicy(const CookiePolicy&) = delete;
    CookiePolicy& operator=(const CookiePolicy&) = delete;

    // Before the run. Returns false when the person cancelled the warning: the command is
    // abandoned and nothing was written.
    bool Before(CookieWarningPrompt& warning);
    // After the run, whatever its result.
    void After();
    // Whether cookies are accepted during the run.
    bool CookiesAccepted() const { return accepted_; }

    // The store key and value name of the setting.
    static std::string Key();
    static std::string ValueName();

private:
    void Write(unsigned char firstByte);

    SettingsStore* store_;
    bool accepted_ = false;
    bool undoAfterRun_ = false;
};

}  // namespace tolva
