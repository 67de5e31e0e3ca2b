#include <gtest/gtest.h>

#include <algorithm>

#include "source_text.h"

namespace docmap {
namespace {

struct CppCase {
    std::string_view what;
    std::string_view source;
    // Each `~` is a character blanked out.
    std::string_view code;
    std::string_view skeleton;
};

void PrintTo(const CppCase& c, std::ostream* out) { *out << c.what; }

std::string blanks(std::string_view marked)
{
    std::string text(marked);
    std::replace(text.begin(), text.end(), '~', ' ');
    return text;
}

class CppTexts : public testing::TestWithParam<CppCase> {};

TEST_P(CppTexts, BlankCommentsLiteralsAndDirectives)
{
    const auto& c = GetParam();
    const auto text = readCpp(c.source);
    EXPECT_EQ(text.code, blanks(c.code)) << c.what;
    EXPECT_EQ(text.skeleton, blanks(c.skeleton)) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CppTexts,
    testing::Values(
        CppCase{"line comment", "a; // b::c\nd;", "a; ~~~~~~~\nd;", "a; ~~~~~~~\nd;"},
        CppCase{"block comment keeps its line breaks", "a /* b\nc */ d", "a ~~~~\n~~~~ d", "a ~~~~\n~~~~ d"},
        CppCase{"string kept in the code, emptied in the skeleton", "f(\"Label5 }\");", "f(\"Label5 }\");",
                "f(\"~~~~~~~~\");"},
        CppCase{"no comment inside a string", "s = \"//x\"; t;", "s = \"//x\"; t;", "s = \"~~~\"; t;"},
        CppCase{"escaped quote", "s = \"a\\\"b\"; t;", "s = \"a\\\"b\"; t;", "s = \"~~~~\"; t;"},
        CppCase{"a quote in a character opens no string", "c = '\"'; t;", "c = '\"'; t;", "c = '~'; t;"},
        CppCase{"digit separator", "n = 38'400; { m; }", "n = 38'400; { m; }", "n = 38'400; { m; }"},
        CppCase{"raw string", "R\"x(a \"}\" // b)x\" c", "R\"x(a \"}\" // b)x\" c", "R\"~~~~~~~~~~~~~~\" c"},
        CppCase{"directive blanked in the skeleton only", "#define X { y\nz;", "#define X { y\nz;",
                "~~~~~~~~~~~~~\nz;"},
        CppCase{"directive continued", "  #if A \\\n  && B\nz;", "  #if A \\\n  && B\nz;",
                "~~~~~~~~~\n~~~~~~\nz;"},
        CppCase{"comment inside a directive", "#if A // }\nz;", "#if A ~~~~\nz;", "~~~~~~~~~~\nz;"},
        CppCase{"unterminated string ends with its line", "s = \"a\n{ b; }", "s = \"a\n{ b; }",
                "s = \"~\n{ b; }"}));

TEST(CppTexts, KeepEveryLineBreakWhereItWas)
{
    const std::string source = "a /* x\n y */ \"s\\\n\" // c\n#if A \\\nB\nR\"(\n)\" z\n";
    const auto text = readCpp(source);
    ASSERT_EQ(text.code.size(), source.size());
    ASSERT_EQ(text.skeleton.size(), source.size());
    for (std::size_t i = 0; i < source.size(); ++i) {
        EXPECT_EQ(source[i] == '\n', text.code[i] == '\n') << i;
        EXPECT_EQ(source[i] == '\n', text.skeleton[i] == '\n') << i;
    }
}

struct HashCase {
    std::string_view what;
    std::string_view source;
    std::string_view text;
};

void PrintTo(const HashCase& c, std::ostream* out) { *out << c.what; }

class HashComments : public testing::TestWithParam<HashCase> {};

TEST_P(HashComments, AreBlanked)
{
    const auto& c = GetParam();
    EXPECT_EQ(withoutHashComments(c.source), c.text) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HashComments,
    testing::Values(HashCase{"whole line", "# Gone\nset(A B)\n", "      \nset(A B)\n"},
                    HashCase{"after a blank", "set(A B) # Gone\nC", "set(A B)       \nC"},
                    HashCase{"not inside a word or expansion", "echo $# ${#x} a#b", "echo $# ${#x} a#b"},
                    HashCase{"last line without a break", "x\n  # Gone", "x\n        "}));

}  // namespace
}  // namespace docmap
