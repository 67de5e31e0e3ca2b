#include "sim/slave_link.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdexcept>

namespace sim {

void SlaveLink::pointTo(const std::string& target)
{
    struct stat st {};
    if (lstat(path_.c_str(), &st) == 0 && !S_ISLNK(st.st_mode))
        throw std::runtime_error(path_ + " exists and is not a symlink; not replacing it");
    // Made beside the final name and renamed over it, so the tool never
    // finds the path missing while the link moves to a new pty.
    const std::string temporary = path_ + ".new" + std::to_string(getpid());
    ::unlink(temporary.c_str());
    if (symlink(target.c_str(), temporary.c_str()) != 0 ||
        std::rename(temporary.c_str(), path_.c_str()) != 0) {
        const std::string reason = std::strerror(errno);
        ::unlink(temporary.c_str());
        throw std::runtime_error("cannot make the link " + path_ + ": " + reason);
    }
    target_ = target;
}

void SlaveLink::remove()
{
    if (target_.empty())
        return;
    char buf[4096];
    const ssize_t n = readlink(path_.c_str(), buf, sizeof buf - 1);
    if (n >= 0 && std::string(buf, static_cast<std::size_t>(n)) == target_)
        ::unlink(path_.c_str());
    target_.clear();
}

}  // namespace sim
