// Walking the command line of the project's programs. Options are written
// "--name value" or "--name=value"; an option that takes no value refuses
// "--name=value"; every mistake is a CommandLineError with a message for
// the user.
#pragma once

#include <cstddef>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace command_line {

class CommandLineError : public std::invalid_argument {
public:
    using std::invalid_argument::invalid_argument;
};

// The arguments one at a time:
//
//     for (command_line::Arguments line(args); line.next();)
//         if (line.name() == "--port")
//             port = line.value();
//
// A value comes after the "=" of "--name=value", or else is the next
// argument, which the walk then passes over. args must outlive the walk.
class Arguments {
public:
    explicit Arguments(const std::vector<std::string>& args) : args_(args) {}

    // Moves to the next argument; false when there is none. Refuses the
    // argument before if it brought a value with "=" that nobody took.
    bool next();

    // The argument as given ("--baud=9600").
    const std::string& argument() const { return args_[at_]; }
    // The argument without an "=value" of an option ("--baud").
    const std::string& name() const { return name_; }
    // The option's value; refused when there is none.
    std::string value();

private:
    const std::vector<std::string>& args_;
    std::size_t at_ = 0;    // the argument walked to
    std::size_t next_ = 0;  // the first not yet read
    std::string name_;
    std::optional<std::string> inlineValue_;
    bool valueTaken_ = false;
};

}  // namespace command_line
