// Tests of folder permissions: root may write any folder, so a test run as root does its work
// as the user nobody, in a child process that drops to it.
#pragma once
#include <cstdio>
#include <functional>
#include <gtest/gtest.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

namespace testuser {

inline constexpr uid_t kNobody = 65534;

// Runs body here, or as nobody in a child when the test runs as root; the child's failures are
// printed by it and fail the test here. False when the child could not drop to that user.
inline bool run_as_another_user(const std::function<void()>& body)
{
    constexpr int kCannotDrop = 77;
    if (geteuid() != 0) {
        body();
        return true;
    }
    std::fflush(stdout);
    pid_t child = fork();
    if (child == 0) {
        if (setgid(kNobody) != 0 || setuid(kNobody) != 0)
            _exit(kCannotDrop);
        body();
        std::fflush(stdout);
        _exit(::testing::Test::HasFailure() ? 1 : 0);
    }
    int status = 0;
    EXPECT_EQ(waitpid(child, &status, 0), child);
    if (WIFEXITED(status) && WEXITSTATUS(status) == kCannotDrop)
        return false;
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
        << "the work failed as user " << kNobody << " (see above)";
    return true;
}

} // namespace testuser
