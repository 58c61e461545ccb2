#include "platform/stop_request.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace tolva {
namespace {

// In a child process: the signals it raises would end the test otherwise. Its exit status
// names the first check that failed.
TEST(StopOnSignalsTest, FirstSignalAsksForTheStopAndSecondEndsTheProcess) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        struct sigaction before {};
        ::sigaction(SIGINT, nullptr, &before);
        {
            StopOnSignals stops;
            if (StopRequested()) ::_exit(5);
            ::raise(SIGINT);
            if (!StopRequested()) ::_exit(6);
        }
        struct sigaction restored {};
        ::sigaction(SIGINT, nullptr, &restored);
        if (StopRequested() || restored.sa_handler != before.sa_handler) ::_exit(7);
        StopOnSignals stops;
        ::raise(SIGHUP);
        ::raise(SIGTERM);
        ::_exit(8);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << "exit status " << WEXITSTATUS(status);
}

}  // namespace
}  // namespace tolva
