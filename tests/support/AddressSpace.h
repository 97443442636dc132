// Runs a piece of a test under a memory ceiling: proof that nothing on the way
// allocates what a hostile header promises.
#pragma once

#include "Sanitizers.h"

#include <fstream>
#include <functional>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace testsupport {

// Runs body in a child process whose address space is held to 64 MiB above
// its resting size, so an allocation a header promised fails there and shows
// as out of memory; true when the body returned true. Address sanitizers
// reserve terabytes of address space, so sanitized builds run the body as it is.
inline bool within64MiB(const std::function<bool()>& body)
{
    if (kAddressSanitized)
        return body();
    const pid_t pid = fork();
    if (pid < 0)
        return false;
    if (pid == 0) {
        std::ifstream statm("/proc/self/statm");
        long pages = 0;
        statm >> pages;
        const rlim_t resting = static_cast<rlim_t>(pages) * static_cast<rlim_t>(sysconf(_SC_PAGESIZE));
        const rlimit limit{resting + (rlim_t{64} << 20), resting + (rlim_t{64} << 20)};
        setrlimit(RLIMIT_AS, &limit);
        _exit(body() ? 0 : 1);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace testsupport
