#pragma once
// Other processes, as far as files they leave behind need to know them.

#include <signal.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>

namespace tolva {

// Whether process has ended. A process we may not signal still exists: only "no such process"
// says it has gone.
inline bool ProcessHasEnded(pid_t process) { return process != ::getpid() && ::kill(process, 0) != 0 && errno == ESRCH; }

}  // namespace tolva
