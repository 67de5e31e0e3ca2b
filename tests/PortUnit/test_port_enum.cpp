// Port listing from a sysfs-like tree, natural order, and the lock table.
#include "PortUnit/PortUnit.h"
#include "PortUnit/port_enum_linux.h"
#include "pty_fixture.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;
using namespace PortUnit::detail;
using namespace std::chrono_literals;

namespace {

// A miniature /sys/class/tty, /dev and /proc/locks in a scratch directory.
class SerialTree : public ::testing::Test {
protected:
    void SetUp() override
    {
        root_ = fs::temp_directory_path() / ("kalvi7-enum-" + std::to_string(getpid()));
        fs::remove_all(root_);
        fs::create_directories(root_ / "sys" / "drivers" / "serial8250");
        fs::create_directories(root_ / "dev");
        roots_.sysClassTty = (root_ / "sys" / "class" / "tty").string();
        roots_.dev = (root_ / "dev").string();
        roots_.procLocks = (root_ / "locks").string();
        fs::create_directories(roots_.sysClassTty);
        std::ofstream(roots_.procLocks).flush();
    }
    void TearDown() override { fs::remove_all(root_); }

    // A tty entry; type "" writes no type attribute.
    void tty(const std::string& name, bool boundToDriver, const std::string& type, bool hasNode = true)
    {
        const fs::path entry = fs::path(roots_.sysClassTty) / name;
        fs::create_directories(entry);
        if (boundToDriver) {
            fs::create_directories(entry / "device");
            fs::create_directory_symlink(root_ / "sys" / "drivers" / "serial8250",
                                         entry / "device" / "driver");
        }
        if (!type.empty())
            std::ofstream(entry / "type") << type << "\n";
        if (hasNode)
            std::ofstream(fs::path(roots_.dev) / name).flush();
    }

    void lockedByAnotherProgram(const std::string& name)
    {
        struct stat info {};
        ASSERT_EQ(stat((fs::path(roots_.dev) / name).c_str(), &info), 0);
        char line[128];
        std::snprintf(line, sizeof line, "1: FLOCK  ADVISORY  WRITE 4242 %02x:%02x:%llu 0 EOF\n",
                      major(info.st_dev), minor(info.st_dev), static_cast<unsigned long long>(info.st_ino));
        std::ofstream(roots_.procLocks, std::ios::app) << line;
    }

    std::string dev(const std::string& name) const { return (fs::path(roots_.dev) / name).string(); }

    fs::path root_;
    SerialTreeRoots roots_;
};

TEST_F(SerialTree, ListsRealPortsInNaturalOrderAndLeavesOutTheRest)
{
    tty("ttyS10", true, "4");
    tty("ttyS2", true, "4");
    tty("ttyS0", true, "4");
    tty("ttyS1", true, "0");          // placeholder: no UART behind it
    tty("ttyS3", false, "4");         // not bound to a driver
    tty("ttyUSB0", true, "");         // USB serial drivers have no type attribute
    tty("ttyUSB1", true, "", false);  // no device node
    tty("ttyACM0", true, "");
    tty("ttyAMA0", true, "");
    tty("rfcomm0", false, "");  // Bluetooth links need no driver link
    tty("tty0", false, "");     // virtual terminal
    tty("console", false, "");
    tty("ptmx", false, "");
    tty("ttyXR1", true, "");  // another real serial driver

    EXPECT_EQ(ListSerialPorts(roots_),
              (std::vector<std::string>{dev("rfcomm0"), dev("ttyACM0"), dev("ttyAMA0"), dev("ttyS0"),
                                        dev("ttyS2"), dev("ttyS10"), dev("ttyUSB0"), dev("ttyXR1")}));
}

TEST_F(SerialTree, LeavesOutAPortAnotherProgramHasLocked)
{
    tty("ttyUSB0", true, "");
    tty("ttyUSB1", true, "");
    lockedByAnotherProgram("ttyUSB0");
    EXPECT_EQ(ListSerialPorts(roots_), std::vector<std::string>{dev("ttyUSB1")});
}

TEST_F(SerialTree, NoTreeOrEmptyTreeGivesAnEmptyList)
{
    EXPECT_TRUE(ListSerialPorts(roots_).empty());
    roots_.sysClassTty = (root_ / "missing").string();
    EXPECT_TRUE(ListSerialPorts(roots_).empty());
}

TEST(NaturalOrder, NumbersCompareByValue)
{
    struct {
        const char* a;
        const char* b;
        bool less;
    } cases[] = {
        {"ttyS2", "ttyS10", true},
        {"ttyS10", "ttyS2", false},
        {"ttyS9", "ttyS9", false},
        {"ttyACM0", "ttyS0", true},
        {"ttyUSB1", "ttyUSB01", false},
        {"ttyS", "ttyS0", true},
        {"/dev/ttyUSB9", "/dev/ttyUSB10", true},
        {"/dev/ttyS255", "/dev/ttyUSB0", true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(NaturalLess(c.a, c.b), c.less) << c.a << " < " << c.b;
}

TEST(LockTable, ReadsTheKernelsOwnFormat)
{
    // Lock a scratch file and find it in the real /proc/locks.
    const fs::path file = fs::temp_directory_path() / ("kalvi7-lock-" + std::to_string(getpid()));
    const int fd = open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(flock(fd, LOCK_EX), 0);
    struct stat info {};
    ASSERT_EQ(fstat(fd, &info), 0);

    std::ifstream procLocks("/proc/locks");
    const auto locked = ParseLockedFiles(procLocks);
    close(fd);
    fs::remove(file);
    EXPECT_EQ(locked.count({major(info.st_dev), minor(info.st_dev), info.st_ino}), 1u);
}

TEST(LockTable, TakesWaitersAndPosixLocksAndSkipsNoise)
{
    std::istringstream text(
        "1: POSIX  ADVISORY  WRITE 812 fd:01:131090 0 EOF\n"
        "1: -> FLOCK  ADVISORY  WRITE 900 00:1b:7 0 EOF\n"
        "garbage line\n"
        "2: OFDLCK ADVISORY  READ  -1 08:02:4294967296 0 EOF\n");
    EXPECT_EQ(ParseLockedFiles(text),
              (std::set<LockedFile>{{0xfd, 1, 131090}, {0, 0x1b, 7}, {8, 2, 4294967296ull}}));
}

TEST(EnumComPorts, NeverListsPseudoTerminalsNorDisturbsTheOpenPort)
{
    PortTest::Pty pty;
    PortTest::ByteSink sink;
    PortUnit::OpenComPort(pty.slavePath(), 38400, 0, 8, 0);

    const auto ports = PortUnit::EnumComPorts();
    EXPECT_TRUE(std::is_sorted(ports.begin(), ports.end(), NaturalLess));
    for (const auto& port : ports)
        EXPECT_EQ(port.find("/dev/pts/"), std::string::npos) << port;

    ASSERT_TRUE(PortUnit::IsPortOpen());
    ASSERT_TRUE(PortUnit::IsReaderRunning());
    pty.send({0x55});
    EXPECT_TRUE(sink.waitFor(1, 2s));
}

}  // namespace
