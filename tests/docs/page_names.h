// The names a Markdown page writes in backticks, each with what it must
// match in the repository to count as still existing.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace docmap {

enum class NameKind {
    Path,    // a file or folder of the repository
    Word,    // a word of the code, the CMake files or the scripts
    Member,  // `scope::member`: a member of a class or namespace
};

struct PageName {
    int line = 0;          // where the backticks open, from 1
    std::string spelling;  // between the backticks
    NameKind kind = NameKind::Word;
    std::string name;  // what is looked up: the path, the word or `scope::member`
};

// The name one span stands for, or nothing when the span is no name (a
// command line, an option, a number, a quoted text, a wildcard or
// placeholder, a path outside the repository). Its line is left at 0.
std::optional<PageName> nameInSpan(std::string_view span);

// Every name in backticks on the page, in the order written. Fenced code
// blocks are passed over: they hold commands, not names.
std::vector<PageName> namesOnPage(std::string_view page);

}  // namespace docmap
