#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <functional>

namespace tarnwick::testing {

inline constexpr uid_t kNobody = 65534;

// Runs check as the user nobody in a child process when this process is the
// super-user, whom permissions do not bind, and directly otherwise. Gives
// what check returned, or -1 when the child could not become nobody.
inline int AsUnprivilegedUser(const std::function<int()>& check) {
    if (geteuid() != 0) return check();
    const pid_t child = fork();
    if (child == 0) {
        if (setgid(kNobody) != 0 || setuid(kNobody) != 0) _exit(255);
        _exit(check());
    }
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
    const int code = WEXITSTATUS(status);
    return code == 255 ? -1 : code;
}

}  // namespace tarnwick::testing
