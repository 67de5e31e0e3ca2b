// docs/architecture.md is the map of the code for whoever carries it on, and
// it drifts as the code moves. What it writes in backticks is checked:
//
// - A path (one with a `/`, or a file name with a source, script, build or
//   document extension) must exist. One that begins with a folder or file at
//   the top of the repository must be there exactly; any other (`main.cpp`,
//   `model/`, relative to a folder named before it) must end some path in
//   the tree. Build trees (`build/`, `build-asan/`) are made by the build,
//   so only their folder's name is checked, as a word (the presets and
//   scripts name them).
// - `A::member`, `ns::A::member`, arguments `(...)` or an index `[...]`
//   dropped: some C++ code must declare or use `member` inside class, struct,
//   enum or namespace `A` (inside `ns` too), or spell the name so qualified.
//   A member reached through an object (`x.member`) does not count.
// - Any other identifier, a CAPITALS option or a hyphenated program, package
//   or preset name must occur as a whole word in the code (src, tools, tests,
//   bench, fuzz), the CMake files or the scripts; comments do not count,
//   string literals do.
// - Not names, so not checked: anything with a space left once the
//   arguments are dropped (command lines), options (`-x`, `--x`), numbers,
//   quoted texts, `#include` lines, wildcards and `<placeholders>`, paths
//   outside the repository (`/proc`, `~/...`), fenced code blocks.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "stale_names.h"

namespace docmap {
namespace {

const std::filesystem::path kSourceDir = KALVI7_SOURCE_DIR;
constexpr std::string_view kPage = "docs/architecture.md";

// Names the page writes that are no name of the code, each with why it is
// written. Kept short: a name of the toolkit or the system that our code
// calls needs no entry.
const std::map<std::string, std::string, std::less<>> kNotCodeNames = {
    {"PascalCase", "a naming style"},
    {"camelCase", "a naming style"},
    {"kConstant", "a naming style"},
    {"COMn", "Windows' name of a serial port, n its number"},
    {"dosdevices/comN", "a link in Wine's prefix, made when the Windows tests run"},
};

std::string pageText()
{
    std::ifstream in(kSourceDir / kPage, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::set<std::string, std::less<>> allowedNames()
{
    std::set<std::string, std::less<>> names;
    for (const auto& [name, why] : kNotCodeNames)
        names.insert(name);
    return names;
}

TEST(ArchitectureMap, EveryNameInBackticksExists)
{
    const auto page = pageText();
    ASSERT_FALSE(page.empty()) << "cannot read " << (kSourceDir / kPage);
    const auto tree = SourceTree::read(kSourceDir);
    const auto stale = staleNames(page, tree, allowedNames());
    EXPECT_TRUE(stale.empty()) << "names on the page that the repository no longer has:\n"
                               << describe(kPage, stale);
}

// An entry of the list must still be needed: on the page, and still no name
// of the code, so that the list cannot hide a name that drifted.
TEST(ArchitectureMap, EveryNotCodeNameIsStillOnThePageAndNotInTheCode)
{
    const auto page = pageText();
    const auto tree = SourceTree::read(kSourceDir);
    std::set<std::string, std::less<>> onPage;
    for (const auto& name : namesOnPage(page))
        onPage.insert(name.name);
    for (const auto& [name, why] : kNotCodeNames) {
        EXPECT_TRUE(onPage.contains(name))
            << "`" << name << "` is no longer on the page: drop it from the list";
        const auto found = nameInSpan(name);
        ASSERT_TRUE(found.has_value()) << name;
        EXPECT_FALSE(staleNames("`" + name + "`", tree).empty())
            << "`" << name << "` is a name of the code now: drop it from the list";
    }
}

}  // namespace
}  // namespace docmap
