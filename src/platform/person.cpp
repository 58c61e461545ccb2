#include "platform/person.h"

namespace tolva {

SilentPrompter& SilentPrompter::Instance() {
    static SilentPrompter instance;
    return instance;
}

}  // namespace tolva
