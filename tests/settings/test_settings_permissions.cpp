// Saving settings.INI where the operator may write the file but not its
// directory, or neither. Root writes anything, so under root (as in CI) the
// save runs in a child process that has become nobody; under any other
// user it runs as that user.
#include "settings/settings_ini.h"

#include <gtest/gtest.h>

#include "support/in_child.h"

#include <grp.h>
#include <pwd.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <random>
#include <set>
#include <string>

namespace fs = std::filesystem;
using support::inChild;

namespace {

struct Saver {
    uid_t uid;
    gid_t gid;
    bool dropsRoot;
};

Saver saver()
{
    if (::geteuid() != 0)
        return {::geteuid(), ::getegid(), false};
    const passwd* nobody = ::getpwnam("nobody");
    const group* nogroup = ::getgrnam("nogroup");
    const uid_t uid = nobody ? nobody->pw_uid : 65534;
    const gid_t gid = nogroup ? nogroup->gr_gid : (nobody ? nobody->pw_gid : 65534);
    return {uid, gid, true};
}

// Saves COM3, 9600, on, on to path as the saver, in a child process, under
// a file size limit when one is given. Gives "saved" or the error's text.
std::string saveAs(const Saver& who, const std::string& path, std::optional<rlim_t> fileSizeLimit)
{
    return inChild([&] {
        std::string outcome;
        if (who.dropsRoot &&
            (::setgroups(0, nullptr) != 0 || ::setgid(who.gid) != 0 || ::setuid(who.uid) != 0)) {
            outcome = "could not become the unprivileged user";
        } else if (::access(fs::path(path).parent_path().c_str(), X_OK) != 0) {
            outcome = "the scratch directory is out of the unprivileged user's reach";
        } else {
            if (fileSizeLimit) {
                std::signal(SIGXFSZ, SIG_IGN);  // a write past the limit fails instead of killing
                const rlimit limit{*fileSizeLimit, *fileSizeLimit};
                ::setrlimit(RLIMIT_FSIZE, &limit);
            }
            try {
                settings::saveSettings(path, std::string("COM3"), 9600, true, true);
                outcome = "saved";
            } catch (const std::exception& e) {
                outcome = e.what();
            }
        }
        return outcome;
    });
}

std::string readFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct stat statOf(const fs::path& path)
{
    struct stat st = {};
    ::stat(path.c_str(), &st);
    return st;
}

std::set<std::string> namesIn(const fs::path& dir)
{
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir))
        names.insert(entry.path().filename().string());
    return names;
}

const std::string kShort = "[Port1 setting]\nPort=COM2\n";
const std::string kShortSaved =
    "[Port1 setting]\nPort=COM3\nBaudRate=9600\n[Form setting]\nContinuedMode=1\nAmplSetEnable=1\n";
const std::string kLong =
    "; kept\n[Port1 setting]\nPort=/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0\n"
    "BaudRate=0x0000000000004B00\n[Form setting]\nContinuedMode=0\nAmplSetEnable=0\n";
const std::string kLongSaved =
    "; kept\n[Port1 setting]\nPort=COM3\nBaudRate=9600\n[Form setting]\nContinuedMode=1\nAmplSetEnable=1\n";

class SettingsPermissions : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir_ =
            fs::temp_directory_path() / ("kalvi7_settings_perms_" + std::to_string(std::random_device{}()));
        fs::create_directories(dir_);
        fs::permissions(dir_, fs::perms(0755));
    }
    void TearDown() override
    {
        for (const auto& entry : fs::recursive_directory_iterator(dir_))
            if (entry.is_directory())
                fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add);
        fs::remove_all(dir_);
    }
    fs::path dir_;
};

TEST_F(SettingsPermissions, FileWritableOrNotWhateverTheDirectoryAllows)
{
    enum Outcome { Replaced, InPlace, Refused };
    struct Case {
        const char* name;
        fs::perms dirMode;                  // the directory holding the file, the saver's own
        std::optional<fs::perms> fileMode;  // the saver's own file; none: no file
        const std::string* before;
        Outcome outcome;
        bool linked = false;                // saved through a symlink in a writable directory
        bool fileOfRoot = false;            // the file belongs to root, group the saver's
        bool sizeLimitAtOldLength = false;  // the saver may not make files any longer
    };
    const auto rw = fs::perms(0644), ro = fs::perms(0444), rwDir = fs::perms(0755), roDir = fs::perms(0555);
    const Case cases[] = {
        {"writable directory", rwDir, rw, &kShort, Replaced},
        {"read-only directory, writable file", roDir, rw, &kShort, InPlace},
        {"read-only directory, writable file, shorter contents", roDir, rw, &kLong, InPlace},
        {"read-only directory, read-only file", roDir, ro, &kShort, Refused},
        {"writable directory, read-only file", rwDir, ro, &kShort, Refused},
        {"read-only directory, no file", roDir, std::nullopt, nullptr, Refused},
        {"symlink to a file in a writable directory", rwDir, rw, &kShort, Replaced, true},
        {"symlink to a writable file in a read-only directory", roDir, rw, &kLong, InPlace, true},
        {"writable directory, root's file writable by the group", rwDir, fs::perms(0664), &kShort, InPlace,
         false, true},
        {"read-only directory, no room to grow", roDir, rw, &kShort, Refused, false, false, true},
        {"writable directory, no room to grow", rwDir, rw, &kShort, Refused, false, false, true},
    };
    const Saver who = saver();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.fileOfRoot && !who.dropsRoot)
            continue;  // only root can give a file to another user
        const fs::path install = dir_ / "install";
        const fs::path file = install / "settings.INI";
        fs::create_directory(install);
        if (c.fileMode) {
            std::ofstream(file, std::ios::binary) << *c.before;
            ASSERT_EQ(::chown(file.c_str(), c.fileOfRoot ? 0 : who.uid, who.gid), 0);
            fs::permissions(file, *c.fileMode);
        }
        ASSERT_EQ(::chown(install.c_str(), who.uid, who.gid), 0);
        fs::permissions(install, c.dirMode);
        fs::path saved = file;
        if (c.linked) {
            const fs::path home = dir_ / "home";
            fs::create_directory(home);
            ASSERT_EQ(::chown(home.c_str(), who.uid, who.gid), 0);
            saved = home / "settings.INI";
            fs::create_symlink("../install/settings.INI", saved);
        }
        const struct stat was = statOf(file);
        const auto namesBefore = namesIn(install);

        const std::string outcome =
            saveAs(who, saved.string(),
                   c.sizeLimitAtOldLength ? std::optional<rlim_t>(c.before->size()) : std::nullopt);

        if (c.outcome == Refused) {
            EXPECT_EQ(outcome, "Unable to write to " + saved.string());
            if (c.fileMode) {
                EXPECT_EQ(readFile(file), *c.before);
            }
        } else {
            EXPECT_EQ(outcome, "saved");
            EXPECT_EQ(readFile(file), c.before == &kShort ? kShortSaved : kLongSaved);
        }
        EXPECT_EQ(namesIn(install), namesBefore) << "a file left behind or lost";
        if (c.linked) {
            EXPECT_TRUE(fs::is_symlink(saved));
        }
        if (c.fileMode) {
            const struct stat is = statOf(file);
            if (c.outcome == Replaced) {
                EXPECT_NE(is.st_ino, was.st_ino) << "not replaced in one rename";
            } else {
                EXPECT_EQ(is.st_ino, was.st_ino);
            }
            EXPECT_EQ(is.st_mode, was.st_mode);
            EXPECT_EQ(is.st_uid, was.st_uid);
            EXPECT_EQ(is.st_gid, was.st_gid);
        }
        fs::permissions(install, fs::perms::owner_all, fs::perm_options::add);
        fs::remove_all(install);
        fs::remove_all(dir_ / "home");
    }
}

}  // namespace
