#include <gtest/gtest.h>

#include "page_names.h"

namespace docmap {
namespace {

struct SpanCase {
    std::string_view span;
    bool isName;
    NameKind kind;
    std::string_view name;
};

void PrintTo(const SpanCase& c, std::ostream* out) { *out << "`" << c.span << "`"; }

class SpanNames : public testing::TestWithParam<SpanCase> {};

TEST_P(SpanNames, TellNamesFromTheRest)
{
    const auto& c = GetParam();
    const auto name = nameInSpan(c.span);
    ASSERT_EQ(name.has_value(), c.isName) << c.span;
    if (!name)
        return;
    EXPECT_EQ(name->kind, c.kind) << c.span;
    EXPECT_EQ(name->name, c.name) << c.span;
    EXPECT_EQ(name->spelling, c.span);
}

constexpr auto Path = NameKind::Path;
constexpr auto Word = NameKind::Word;
constexpr auto Member = NameKind::Member;

INSTANTIATE_TEST_SUITE_P(
    Names, SpanNames,
    testing::Values(
        SpanCase{"src/Unit1/TForm1.cpp", true, Path, "src/Unit1/TForm1.cpp"},
        SpanCase{"PortSelector.cpp", true, Path, "PortSelector.cpp"},
        SpanCase{"CMakeLists.txt", true, Path, "CMakeLists.txt"},
        SpanCase{"mingw-w64-x86_64.cmake", true, Path, "mingw-w64-x86_64.cmake"},
        SpanCase{"tests/wine", true, Path, "tests/wine"}, SpanCase{"model/", true, Path, "model"},
        SpanCase{".ci/run", true, Path, ".ci/run"},
        // Build trees are checked by their folder's name.
        SpanCase{"build/", true, Word, "build"}, SpanCase{"build-windows/dist/", true, Word, "build-windows"},
        SpanCase{"ByteEvent::post", true, Member, "ByteEvent::post"},
        SpanCase{"PortUnit::detail::ByteFlow", true, Member, "PortUnit::detail::ByteFlow"},
        SpanCase{"PortUnit::ByteMessageTaken()", true, Member, "PortUnit::ByteMessageTaken"},
        SpanCase{"Calc(wparam, lparam)", true, Word, "Calc"},
        SpanCase{"SetCommMask(port, 0)", true, Word, "SetCommMask"},
        SpanCase{"RxBuf[0]", true, Word, "RxBuf"}, SpanCase{"::CancelIoEx", true, Word, "CancelIoEx"},
        SpanCase{"QLabel", true, Word, "QLabel"}, SpanCase{"KALVI7_WERROR", true, Word, "KALVI7_WERROR"},
        SpanCase{"fonts-liberation2", true, Word, "fonts-liberation2"}, SpanCase{"e2", true, Word, "e2"}));

INSTANTIATE_TEST_SUITE_P(
    NotNames, SpanNames,
    testing::Values(SpanCase{"--json", false, Word, ""}, SpanCase{"-qt-host-path /usr", false, Word, ""},
                    SpanCase{"scripts/test.sh --x", false, Word, ""},
                    SpanCase{"cmake --preset default", false, Word, ""},
                    SpanCase{"DISCOVERY_MODE PRE_TEST", false, Word, ""}, SpanCase{"33", false, Word, ""},
                    SpanCase{"0x81", false, Word, ""}, SpanCase{"\"Label5\"", false, Word, ""},
                    SpanCase{"#include \"support/...\"", false, Word, ""},
                    SpanCase{"test_*.cpp", false, Word, ""}, SpanCase{"tests/<area>", false, Word, ""},
                    SpanCase{"tests/support/...", false, Word, ""}, SpanCase{"/proc", false, Word, ""},
                    SpanCase{"~/.cache/kalvi7", false, Word, ""}, SpanCase{".cpp", false, Word, ""},
                    SpanCase{"(byte, 1)", false, Word, ""}, SpanCase{"a + b", false, Word, ""},
                    SpanCase{"  ", false, Word, ""}));

struct Found {
    int line;
    std::string spelling;
    bool operator==(const Found&) const = default;
};

std::vector<Found> found(std::string_view page)
{
    std::vector<Found> names;
    for (const auto& name : namesOnPage(page))
        names.push_back({name.line, name.spelling});
    return names;
}

void PrintTo(const Found& f, std::ostream* out) { *out << f.line << ":" << f.spelling; }

TEST(PageNames, ComeWithTheLineTheyOpenOn)
{
    EXPECT_EQ(found("# Title\n\nThe `Calc` of `FrameReceiver`\nand `crc16.cpp`.\n"),
              (std::vector<Found>{{3, "Calc"}, {3, "FrameReceiver"}, {4, "crc16.cpp"}}));
}

TEST(PageNames, ASpanRunsOnWithinItsParagraphOnly)
{
    // Joined with a space, the broken command line is no name; the
    // backtick left open before a blank line pairs with nothing.
    EXPECT_EQ(found("Build with `cmake --build\nbuild` and `Calc`.\n\nAn open ` here\n\nthen `Timer3`.\n"),
              (std::vector<Found>{{2, "Calc"}, {6, "Timer3"}}));
}

TEST(PageNames, TableRowsAndListItemsAreBlocksOfTheirOwn)
{
    // The backticks left open on a row or item pair with none on the next.
    EXPECT_EQ(found("| `Calc` | a ` |\n| b | `Timer3` |\n- one `\n- `RxBuf` two\n"),
              (std::vector<Found>{{1, "Calc"}, {2, "Timer3"}, {4, "RxBuf"}}));
}

TEST(PageNames, FencedBlocksAreSkipped)
{
    EXPECT_EQ(found("`Calc`\n```sh\necho `Gone`\n```\n`RxBuf`\n~~~\n`Gone`\n~~~\n"),
              (std::vector<Found>{{1, "Calc"}, {5, "RxBuf"}}));
}

TEST(PageNames, LongerBackticksHoldShorterOnes)
{
    EXPECT_EQ(found("``Calc`` and `` `x` `` and ``RxBuf``\n"),
              (std::vector<Found>{{1, "Calc"}, {1, "RxBuf"}}));
    // A run that nothing closes is text; the spans after it still count.
    EXPECT_EQ(found("a ```x and `Calc`\n"), (std::vector<Found>{{1, "Calc"}}));
}

TEST(PageNames, WindowsLineEndsAreLineEnds)
{
    EXPECT_EQ(found("a\r\n`Calc`\r\n"), (std::vector<Found>{{2, "Calc"}}));
}

}  // namespace
}  // namespace docmap
