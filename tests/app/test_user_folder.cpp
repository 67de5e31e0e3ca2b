#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "app/user_folder.h"

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace {

using Variables = std::map<std::string, fs::path>;

app::Environment environmentOf(const Variables& variables)
{
    return [variables](const char* name) {
        const auto found = variables.find(name);
        return found == variables.end() ? fs::path() : found->second;
    };
}

// Each test in a scratch directory of its own; the process's current
// directory, which entering the folder changes, is put back afterwards.
class UserFolderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        started_ = fs::current_path();
        const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
        scratch_ = fs::temp_directory_path() / (std::string("kalvi7-user-folder-") + test->name());
        fs::remove_all(scratch_);
        fs::create_directories(scratch_);
        scratch_ = fs::canonical(scratch_);
    }
    void TearDown() override
    {
        fs::current_path(started_);
        fs::remove_all(scratch_);
    }

    fs::path started_;
    fs::path scratch_;
};

#ifdef _WIN32
const char* const kBase = "APPDATA";
#else
const char* const kBase = "HOME";
#endif

// The base of the folder as the environment gives it.
Variables baseAt(const fs::path& base) { return {{kBase, base}}; }

fs::path expectedFolder(const fs::path& base)
{
#ifdef _WIN32
    return base / "kalvi7";
#else
    return base / ".config" / "kalvi7";
#endif
}

}  // namespace

#ifndef _WIN32
// The desktop entry's rules: $XDG_CONFIG_HOME/kalvi7 when that is absolute,
// else ~/.config/kalvi7; no folder at all without an absolute HOME.
TEST(UserFolderPath, FollowsTheXdgRules)
{
    struct Case {
        const char* what;
        Variables variables;
        fs::path expected;
    };
    const Case cases[] = {
        {"only HOME", {{"HOME", "/home/op"}}, "/home/op/.config/kalvi7"},
        {"empty XDG_CONFIG_HOME", {{"HOME", "/home/op"}, {"XDG_CONFIG_HOME", ""}}, "/home/op/.config/kalvi7"},
        {"relative XDG_CONFIG_HOME",
         {{"HOME", "/home/op"}, {"XDG_CONFIG_HOME", "conf"}},
         "/home/op/.config/kalvi7"},
        {"absolute XDG_CONFIG_HOME",
         {{"HOME", "/home/op"}, {"XDG_CONFIG_HOME", "/srv/conf"}},
         "/srv/conf/kalvi7"},
        {"XDG_CONFIG_HOME without HOME", {{"XDG_CONFIG_HOME", "/srv/conf"}}, "/srv/conf/kalvi7"},
        {"a space and a dollar", {{"HOME", "/home/my op$x"}}, "/home/my op$x/.config/kalvi7"},
        {"no HOME", {}, ""},
        {"relative HOME", {{"HOME", "op"}}, ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(app::userFolderPath(environmentOf(c.variables)), c.expected) << c.what;
}
#else
TEST(UserFolderPath, IsKalvi7UnderAppData)
{
    EXPECT_EQ(app::userFolderPath(environmentOf({{"APPDATA", L"C:\\Users\\Оператор\\AppData\\Roaming"}})),
              fs::path(L"C:\\Users\\Оператор\\AppData\\Roaming\\kalvi7"));
    EXPECT_EQ(app::userFolderPath(environmentOf({})), fs::path());
    EXPECT_EQ(app::userFolderPath(environmentOf({{"APPDATA", "Roaming"}})), fs::path());
}
#endif

TEST_F(UserFolderTest, FirstStartMakesTheFolderAndEntersIt)
{
    const fs::path base = scratch_ / "Оператор";  // a Cyrillic user name
    const app::UserFolder folder = app::enterUserFolder(environmentOf(baseAt(base)));

    ASSERT_TRUE(folder.entered()) << folder.message << " / " << folder.reason;
    EXPECT_EQ(folder.path, expectedFolder(base));
    EXPECT_TRUE(fs::is_directory(folder.path));
    EXPECT_EQ(fs::current_path(), folder.path);
#ifndef _WIN32
    // The folder itself is private, whatever the umask.
    EXPECT_EQ(fs::status(folder.path).permissions(), fs::perms::owner_all);
#endif
}

TEST_F(UserFolderTest, LaterStartKeepsTheFolderItsModeAndItsSettings)
{
    const fs::path folderPath = expectedFolder(scratch_);
    fs::create_directories(folderPath);
    fs::permissions(folderPath, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec);
    std::ofstream(folderPath / "settings.INI") << "[Port1 setting]\nPort=COM3\n";

    const app::UserFolder folder = app::enterUserFolder(environmentOf(baseAt(scratch_)));

    ASSERT_TRUE(folder.entered()) << folder.message << " / " << folder.reason;
    EXPECT_EQ(fs::current_path(), folderPath);
    std::ifstream settings("settings.INI");
    std::string first;
    std::getline(settings, first);
    EXPECT_EQ(first, "[Port1 setting]");
#ifndef _WIN32
    EXPECT_EQ(fs::status(folderPath).permissions(),
              fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec);
#endif
}

// A folder that cannot be had leaves the current directory as it was and
// says which folder and why, in the program's own words.
TEST_F(UserFolderTest, FailuresNameTheFolderAndTheReason)
{
    struct Case {
        const char* what;
        fs::path fileAt;  // a plain file put where the path needs a folder
        const char* message;
        std::vector<std::string> reasons;  // one of them
    };
    // A base inside the scratch folder, so that a file on the way to the
    // folder (%APPDATA% itself on Windows) is never the scratch folder.
    const fs::path base = scratch_ / "profile";
    const fs::path folderPath = expectedFolder(base);
    const Case cases[] = {
        {"a file named as the folder", folderPath, "не создана", {"(EEXIST)", "(ENOTDIR)"}},
        {"a file on the way to it", folderPath.parent_path(), "не создана", {"(ENOTDIR)", "(EEXIST)"}},
    };
    for (const Case& c : cases) {
        // Windows removes no folder a process is in.
        fs::current_path(started_);
        fs::remove_all(scratch_);
        fs::create_directories(c.fileAt.parent_path());
        std::ofstream(c.fileAt) << "not a folder";
        fs::current_path(scratch_);

        const app::UserFolder folder = app::enterUserFolder(environmentOf(baseAt(base)));

        EXPECT_FALSE(folder.entered()) << c.what;
        EXPECT_NE(folder.message.find(folderPath.string()), std::string::npos)
            << c.what << ": " << folder.message;
        EXPECT_NE(folder.message.find(c.message), std::string::npos) << c.what << ": " << folder.message;
        bool named = false;
        for (const std::string& reason : c.reasons)
            named = named || folder.reason.find(reason) != std::string::npos;
        EXPECT_TRUE(named) << c.what << ": " << folder.reason;
        EXPECT_EQ(fs::current_path(), scratch_) << c.what;
    }
}

TEST_F(UserFolderTest, NoBaseInTheEnvironmentNamesTheVariable)
{
    fs::current_path(scratch_);
    const app::UserFolder folder = app::enterUserFolder(environmentOf({}));

    EXPECT_FALSE(folder.entered());
    EXPECT_TRUE(folder.path.empty());
    EXPECT_NE(folder.reason.find(kBase), std::string::npos) << folder.reason;
    EXPECT_EQ(fs::current_path(), scratch_);
}

#ifndef _WIN32
TEST_F(UserFolderTest, UnwritableParentIsRefusedForLackOfRights)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "root writes any directory";
    fs::create_directories(scratch_ / ".config");
    fs::permissions(scratch_ / ".config", fs::perms::owner_read | fs::perms::owner_exec);

    const app::UserFolder folder = app::enterUserFolder(environmentOf(baseAt(scratch_)));
    fs::permissions(scratch_ / ".config", fs::perms::owner_all);

    EXPECT_FALSE(folder.entered());
    EXPECT_NE(folder.reason.find("(EACCES)"), std::string::npos) << folder.reason;
}
#endif
