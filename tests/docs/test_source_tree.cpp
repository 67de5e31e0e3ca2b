#include <gtest/gtest.h>

#include <fstream>

#include "source_tree.h"

namespace docmap {
namespace {

const auto kTree = SourceTree::fromFiles({
    {"CMakeLists.txt", "option(KALVI7_WERROR \"\" OFF) # KALVI7_IN_COMMENT\n"},
    {"CMakePresets.json", R"({"name": "windows-tests", "binaryDir": "build-asan"})"},
    {"README.md", "ReadmeOnly\n"},
    {"src/Unit1/PortSelector.cpp", "// CommentOnly\nauto t = \"Label5\"; void Fill() {}\n"},
    {"src/Unit1/TForm1.h", "class TForm1 { void Calc(); };\n"},
    {"tools/sim/model/pz90.cpp", "int pz90;\n"},
    {"scripts/deps.sh", "packages=(fonts-liberation2) # not-this-one\n"},
    {".ci/run", "RunOnly\n"},
    {"docs/architecture.md", "DocsOnly `src/gone.cpp`\n"},
    {"tests/docs/fixture.cpp", "int FixtureOnly;\n"},
    {"packaging/kalvi7.1.in", "PackagingOnly\n"},
});

TEST(SourceTree, PathsFromTheTopMustBeThere)
{
    EXPECT_TRUE(kTree.hasPath("src/Unit1/PortSelector.cpp"));
    EXPECT_TRUE(kTree.hasPath("src/Unit1"));
    EXPECT_TRUE(kTree.hasPath("CMakeLists.txt"));
    EXPECT_TRUE(kTree.hasPath("docs/architecture.md"));
    EXPECT_FALSE(kTree.hasPath("src/PortSelector.cpp"));
    EXPECT_FALSE(kTree.hasPath("src/Unit1/Gone.cpp"));
    EXPECT_FALSE(kTree.hasPath("src/Unit"));
}

TEST(SourceTree, OtherPathsMayEndAPathAnywhere)
{
    EXPECT_TRUE(kTree.hasPath("PortSelector.cpp"));
    EXPECT_TRUE(kTree.hasPath("model"));
    EXPECT_TRUE(kTree.hasPath("sim/model/pz90.cpp"));
    EXPECT_TRUE(kTree.hasPath("run"));
    EXPECT_FALSE(kTree.hasPath("Selector.cpp"));
    EXPECT_FALSE(kTree.hasPath("model/gone.cpp"));
}

TEST(SourceTree, WordsComeFromCodeAndBuildFilesOutsideComments)
{
    for (const auto word : {"KALVI7_WERROR", "windows-tests", "build-asan", "Label5", "Fill", "TForm1",
                            "pz90", "fonts-liberation2", "RunOnly"})
        EXPECT_TRUE(kTree.hasWord(word)) << word;
    for (const auto word : {"KALVI7_IN_COMMENT", "CommentOnly", "not-this-one", "ReadmeOnly", "DocsOnly",
                            "FixtureOnly", "PackagingOnly", "Label", "liberation2-fonts", "Gone"})
        EXPECT_FALSE(kTree.hasWord(word)) << word;
}

TEST(SourceTree, MembersComeFromTheCpp)
{
    EXPECT_TRUE(kTree.hasMember("TForm1::Calc"));
    EXPECT_FALSE(kTree.hasMember("TForm1::Fill"));
}

// Build trees and Git's folder are not read: a name that survives only in a
// build's generated files is gone from the code.
TEST(SourceTree, ReadsTheRepositoryFoldersOnly)
{
    const auto root = std::filesystem::path(testing::TempDir()) /
                      ("source_tree_" + std::to_string(testing::UnitTest::GetInstance()->random_seed()));
    std::filesystem::remove_all(root);
    const auto write = [&root](const std::string& path, const std::string& text) {
        std::filesystem::create_directories((root / path).parent_path());
        std::ofstream(root / path) << text;
    };
    write("CMakeLists.txt", "add_subdirectory(src)\n");
    write("src/main.cpp", "int Kept;\n");
    write("docs/page.md", "`Kept`\n");
    write("build/generated.cpp", "int Generated;\n");
    write("build-asan/src/main.cpp", "int Generated;\n");
    write(".git/HEAD", "Generated\n");
    std::filesystem::create_directories(root / "scripts/empty");

    const auto tree = SourceTree::read(root);
    EXPECT_TRUE(tree.hasWord("Kept"));
    EXPECT_TRUE(tree.hasWord("add_subdirectory"));
    EXPECT_TRUE(tree.hasPath("docs/page.md"));
    EXPECT_TRUE(tree.hasPath("scripts/empty"));
    EXPECT_FALSE(tree.hasWord("Generated"));
    EXPECT_FALSE(tree.hasPath("build/generated.cpp"));
    EXPECT_FALSE(tree.hasPath("generated.cpp"));
    std::filesystem::remove_all(root);
}

}  // namespace
}  // namespace docmap
