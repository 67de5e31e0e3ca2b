// Runs a piece of a test in a forked child process: where it switches the
// locale or drops to another user, the test process itself stays as it was.
// glibc's setlocale also leaks a few bytes when LOCPATH is set, which the
// leak check would report against the test.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <cstddef>
#include <exception>
#include <functional>
#include <string>

namespace support {

// Runs body in a child process and gives what it returned; what it threw,
// as "thrown: " and the message; "the child process died" where it did not
// return at all.
inline std::string inChild(const std::function<std::string()>& body)
{
    int out[2];
    if (::pipe(out) != 0)
        return "no pipe";
    const pid_t child = ::fork();
    if (child < 0)
        return "no child process";
    if (child == 0) {
        ::close(out[0]);
        std::string result;
        try {
            result = body();
        } catch (const std::exception& e) {
            result = std::string("thrown: ") + e.what();
        }
        [[maybe_unused]] const auto written = ::write(out[1], result.data(), result.size());
        ::_exit(0);
    }
    ::close(out[1]);
    std::string result;
    char buffer[256];
    for (ssize_t got; (got = ::read(out[0], buffer, sizeof buffer)) > 0;)
        result.append(buffer, static_cast<std::size_t>(got));
    ::close(out[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? result : "the child process died";
}

}  // namespace support
