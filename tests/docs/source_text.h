// The text of a source file as the name checks read it: comments, which may
// still speak of names long gone, are blanked out. Every line break is kept,
// so an offset means the same line as in the file.
#pragma once

#include <string>
#include <string_view>

namespace docmap {

struct CppText {
    // Comments blanked; string literals kept, since control and key names
    // live in them.
    std::string code;
    // Also the contents of string and character literals and the
    // preprocessor lines blanked, so that only the program's own braces and
    // names are left.
    std::string skeleton;
};

CppText readCpp(std::string_view source);

// A CMake file, shell script or suppression list with its `#` comments
// blanked: a `#` begins one at the start of a line or after a blank.
std::string withoutHashComments(std::string_view source);

}  // namespace docmap
