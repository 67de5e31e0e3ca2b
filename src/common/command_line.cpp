#include "common/command_line.h"

namespace command_line {

bool Arguments::next()
{
    if (inlineValue_ && !valueTaken_)
        throw CommandLineError(name_ + " takes no value");
    if (next_ >= args_.size())
        return false;
    at_ = next_++;
    name_ = args_[at_];
    inlineValue_.reset();
    valueTaken_ = false;
    // Only an option is split at "=": a word such as a file name may hold one.
    if (const auto eq = name_.find('='); name_.rfind("--", 0) == 0 && eq != std::string::npos) {
        inlineValue_ = name_.substr(eq + 1);
        name_.resize(eq);
    }
    return true;
}

std::string Arguments::value()
{
    valueTaken_ = true;
    if (inlineValue_)
        return *inlineValue_;
    if (next_ >= args_.size())
        throw CommandLineError(name_ + " needs a value");
    return args_[next_++];
}

}  // namespace command_line
