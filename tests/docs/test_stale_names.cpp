#include <gtest/gtest.h>

#include "stale_names.h"

namespace docmap {
namespace {

const SourceTree& fixtureTree()
{
    static const auto tree = SourceTree::fromFiles({
        {"CMakeLists.txt", "option(KALVI7_WERROR \"\" OFF)\n"},
        {"scripts/test.sh", "cmake -DKALVI7_WERROR=ON\n"},
        {"src/Unit1/byte_event.h",
         "class ByteEvent { int wparam; };\nclass ByteQueue { static void post(); };\n"},
        {"src/Unit1/TForm1.cpp", "void TForm1::Calc() { queue.post(); }\n"},
    });
    return tree;
}

struct Stale {
    int line;
    std::string spelling;
    bool operator==(const Stale&) const = default;
};

void PrintTo(const Stale& s, std::ostream* out) { *out << s.line << ":" << s.spelling; }

struct PageCase {
    std::string_view what;
    std::string_view page;
    std::vector<Stale> stale;
};

void PrintTo(const PageCase& c, std::ostream* out) { *out << c.what; }

class FixturePages : public testing::TestWithParam<PageCase> {};

TEST_P(FixturePages, NameTheirStaleNames)
{
    const auto& c = GetParam();
    std::vector<Stale> stale;
    for (const auto& entry : staleNames(c.page, fixtureTree()))
        stale.push_back({entry.name.line, entry.name.spelling});
    EXPECT_EQ(stale, c.stale) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Pages, FixturePages,
    testing::Values(
        PageCase{"names that exist",
                 "| 4 | `src/Unit1/byte_event.h` | `ByteQueue::post` | `ByteEvent` (`wparam`) |\n"
                 "\n`TForm1::Calc()` in `TForm1.cpp`, `src/Unit1`; `KALVI7_WERROR` in `scripts/test.sh`.\n",
                 {}},
        PageCase{"a stale file",
                 "# Map\n\nThe reader is in `src/Unit1/reader.cpp` and `byte_event.cpp`.\n",
                 {{3, "src/Unit1/reader.cpp"}, {3, "byte_event.cpp"}}},
        PageCase{"a stale member, though the class and the word are both still there",
                 "| 4 | `src/Unit1/byte_event.h` | `ByteEvent::post` |\n| 5 | `TForm1::post` |\n",
                 {{1, "ByteEvent::post"}, {2, "TForm1::post"}}},
        PageCase{"a stale word and option", "`Timer3`\n`KALVI7_GONE`\n", {{1, "Timer3"}, {2, "KALVI7_GONE"}}},
        PageCase{"options and command lines are skipped",
                 "Run `scripts/test.sh --x`, `kalvi7-ctl --json` or `cmake -DGONE=ON`; see `--gone`.\n",
                 {}}));

TEST(StaleNames, AllowedNamesArePassedOver)
{
    EXPECT_TRUE(staleNames("`PascalCase` `dosdevices/comN`", fixtureTree(), {"PascalCase", "dosdevices/comN"})
                    .empty());
    EXPECT_EQ(staleNames("`PascalCase` `camelCase`", fixtureTree(), {"PascalCase"}).size(), 1U);
}

TEST(StaleNames, AreDescribedOnePerLineWithPageAndLine)
{
    const auto stale = staleNames("`Gone`\n\n`ByteEvent::post()` and `gone.cpp`\n", fixtureTree());
    EXPECT_EQ(
        describe("docs/map.md", stale),
        "docs/map.md:1: `Gone`: `Gone` occurs nowhere in the code, the CMake files or the scripts\n"
        "docs/map.md:3: `ByteEvent::post()`: no `ByteEvent` declares or uses `post`, and no code spells "
        "`ByteEvent::post`\n"
        "docs/map.md:3: `gone.cpp`: no such file or folder in the repository\n");
}

}  // namespace
}  // namespace docmap
