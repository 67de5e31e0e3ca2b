// The --link symlink: a fixed path for the tool's settings file while the
// pty behind it may change name when the line is made anew.
#pragma once

#include <string>

namespace sim {

class SlaveLink {
public:
    explicit SlaveLink(std::string path) : path_(std::move(path)) {}
    ~SlaveLink() { remove(); }
    SlaveLink(const SlaveLink&) = delete;
    SlaveLink& operator=(const SlaveLink&) = delete;

    // Points the link at target, replacing a symlink already there. A file
    // that is not a symlink is never replaced: throws std::runtime_error.
    void pointTo(const std::string& target);

    // Removes the link if it still points where we put it.
    void remove();

private:
    std::string path_;
    std::string target_;
};

}  // namespace sim
