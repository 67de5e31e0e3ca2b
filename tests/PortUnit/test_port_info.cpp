// What the selector tells of a port's adapter, from sysfs-like trees; who
// holds a port's lock; the reason line of a port that did not open.
#include "PortUnit/PortUnit.h"
#include "PortUnit/port_info_linux.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>

namespace fs = std::filesystem;
using namespace PortUnit::detail;

namespace {

// A miniature /sys and /dev: tty class entries that lead, as on a real
// machine, through symbolic links to device directories below
// sys/devices, a USB device directory above a USB port's device, and
// dev/serial/by-id links.
class Tree {
public:
    explicit Tree(const std::string& tag)
        : root_(fs::temp_directory_path() / ("kalvi7-info-" + tag + "-" + std::to_string(getpid())))
    {
        fs::remove_all(root_);
        fs::create_directories(root_ / "sys" / "class" / "tty");
        fs::create_directories(root_ / "dev" / "serial" / "by-id");
        roots_.sysClassTty = (root_ / "sys" / "class" / "tty").string();
        roots_.dev = (root_ / "dev").string();
    }
    ~Tree() { fs::remove_all(root_); }
    Tree(const Tree&) = delete;
    Tree& operator=(const Tree&) = delete;

    // A directory under sys/devices with the given attribute files.
    fs::path device(const std::string& path, const std::map<std::string, std::string>& attributes = {})
    {
        const fs::path dir = root_ / "sys" / "devices" / path;
        fs::create_directories(dir);
        for (const auto& [name, value] : attributes)
            std::ofstream(dir / name) << value;
        return dir;
    }

    // Binds device to driver of bus, as sysfs links them.
    void bind(const fs::path& device, const std::string& bus, const std::string& driver)
    {
        const fs::path driverDir = root_ / "sys" / "bus" / bus / "drivers" / driver;
        fs::create_directories(driverDir);
        fs::create_directory_symlink(driverDir, device / "driver");
    }

    // The tty name, its port device (bound to driver of some bus unless
    // empty), its class entry and its /dev node.
    void tty(const std::string& name, const fs::path& portDevice, const std::string& driver)
    {
        if (!driver.empty())
            bind(portDevice, "some-bus", driver);
        const fs::path classDir = portDevice / "tty" / name;
        fs::create_directories(classDir);
        fs::create_directory_symlink(portDevice, classDir / "device");
        fs::create_directory_symlink(classDir, fs::path(roots_.sysClassTty) / name);
        std::ofstream(dev(name)).flush();
    }

    // dev/serial/by-id/link leading to dev/target, relative as udev makes it.
    void byId(const std::string& link, const std::string& target)
    {
        fs::create_symlink(fs::path("..") / ".." / target, root_ / "dev" / "serial" / "by-id" / link);
    }

    std::string dev(const std::string& name) const { return (fs::path(roots_.dev) / name).string(); }
    std::string byIdPath(const std::string& link) const
    {
        return (fs::path(roots_.dev) / "serial" / "by-id" / link).string();
    }
    const fs::path& root() const { return root_; }
    const SerialTreeRoots& roots() const { return roots_; }

    std::string describe(const std::string& path) const
    {
        return DescribePortFacts(ReadPortFacts(path, roots_));
    }

private:
    fs::path root_;
    SerialTreeRoots roots_;
};

const std::map<std::string, std::string> kFtdi = {
    {"idVendor", "0403\n"},           {"idProduct", "6001\n"},  {"manufacturer", "FTDI\n"},
    {"product", "FT232R USB UART\n"}, {"serial", "A50285BI\n"},
};

const std::string kFtdiLink = "usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0";

// An FTDI adapter on ttyUSB0: the port device hangs below the USB
// interface, which hangs below the USB device.
void ftdiAdapter(Tree& tree, const std::map<std::string, std::string>& attributes = kFtdi)
{
    const fs::path usb = tree.device("pci0000:00/0000:00:14.0/usb1/1-2", attributes);
    const fs::path port = tree.device("pci0000:00/0000:00:14.0/usb1/1-2/1-2:1.0/ttyUSB0");
    tree.tty("ttyUSB0", port, "ftdi_sio");
}

TEST(DescribeComPort, TellsWhatSysfsKnowsOfTheAdapter)
{
    struct Case {
        const char* what;
        std::function<void(Tree&)> build;
        std::function<std::string(const Tree&)> path;
        std::function<std::string(const Tree&)> expected;
    };
    const auto ttyUSB0 = [](const Tree& tree) { return tree.dev("ttyUSB0"); };
    const Case cases[] = {
        {"USB serial adapter with every attribute and its by-id name",
         [](Tree& tree) {
             ftdiAdapter(tree);
             tree.byId(kFtdiLink, "ttyUSB0");
             tree.byId("usb-Other_Adapter-if00-port0", "ttyUSB1");  // another port's
         },
         ttyUSB0,
         [](const Tree& tree) {
             return "USB: 0403:6001\nПроизводитель: FTDI\nУстройство: FT232R USB UART\n"
                    "Серийный номер: A50285BI\nДрайвер: ftdi_sio\nПостоянное имя: " +
                    tree.byIdPath(kFtdiLink);
         }},
        {"the same port chosen by its by-id name",
         [](Tree& tree) {
             ftdiAdapter(tree);
             tree.byId(kFtdiLink, "ttyUSB0");
         },
         [](const Tree& tree) { return tree.byIdPath(kFtdiLink); },
         [](const Tree& tree) {
             return "USB: 0403:6001\nПроизводитель: FTDI\nУстройство: FT232R USB UART\n"
                    "Серийный номер: A50285BI\nДрайвер: ftdi_sio\nПостоянное имя: " +
                    tree.byIdPath(kFtdiLink);
         }},
        {"adapter without serial number, manufacturer or by-id name (a CH340 reports none)",
         [](Tree& tree) {
             ftdiAdapter(tree,
                         {{"idVendor", "1a86\n"}, {"idProduct", "7523\n"}, {"product", "USB Serial\n"}});
         },
         ttyUSB0,
         [](const Tree&) {
             return std::string("USB: 1a86:7523\nУстройство: USB Serial\nДрайвер: ftdi_sio");
         }},
        {"ACM modem: the port device is the USB interface itself",
         [](Tree& tree) {
             tree.device("pci0000:00/usb3/3-1", {{"idVendor", "2341\n"},
                                                 {"idProduct", "0043\n"},
                                                 {"manufacturer", "Arduino (www.arduino.cc)\n"},
                                                 {"serial", "85736323838351F0E1B0\n"}});
             tree.tty("ttyACM0", tree.device("pci0000:00/usb3/3-1/3-1:1.0"), "cdc_acm");
             tree.byId("usb-Arduino__www.arduino.cc__85736323838351F0E1B0-if00", "ttyACM0");
         },
         [](const Tree& tree) { return tree.dev("ttyACM0"); },
         [](const Tree& tree) {
             return "USB: 2341:0043\nПроизводитель: Arduino (www.arduino.cc)\nСерийный номер: "
                    "85736323838351F0E1B0\nДрайвер: cdc_acm\nПостоянное имя: " +
                    tree.byIdPath("usb-Arduino__www.arduino.cc__85736323838351F0E1B0-if00");
         }},
        {"UART on the main board: only its driver",
         [](Tree& tree) { tree.tty("ttyS0", tree.device("pnp0/00:04"), "serial"); },
         [](const Tree& tree) { return tree.dev("ttyS0"); },
         [](const Tree&) { return std::string("Драйвер: serial"); }},
        {"UART below the serial-base devices of newer kernels: the hardware's driver",
         [](Tree& tree) {
             const fs::path pnp = tree.device("pnp0/00:00");
             const fs::path ctrl = tree.device("pnp0/00:00/00:00:0");
             const fs::path port = tree.device("pnp0/00:00/00:00:0/00:00:0.0");
             tree.bind(pnp, "pnp", "serial");
             tree.bind(ctrl, "serial-base", "ctrl");
             tree.bind(port, "serial-base", "port");
             tree.tty("ttyS0", port, "");
         },
         [](const Tree& tree) { return tree.dev("ttyS0"); },
         [](const Tree&) { return std::string("Драйвер: serial"); }},
        {"port bound to no driver: nothing",
         [](Tree& tree) { tree.tty("ttyS1", tree.device("platform/serial8250"), ""); },
         [](const Tree& tree) { return tree.dev("ttyS1"); }, [](const Tree&) { return std::string(); }},
        {"unreadable attributes are left out, control characters shown as ?",
         [](Tree& tree) {
             ftdiAdapter(tree, {{"idVendor", "0403\n"},
                                {"idProduct", "6015\n"},
                                {"product", "FT230X\tBasic\x01UART  \nsecond line\n"}});
             // Directories in the place of attribute files cannot be read,
             // whoever runs the test.
             fs::create_directories(tree.root() /
                                    "sys/devices/pci0000:00/0000:00:14.0/usb1/1-2/manufacturer");
             fs::create_directories(tree.root() / "sys/devices/pci0000:00/0000:00:14.0/usb1/1-2/serial");
         },
         ttyUSB0,
         [](const Tree&) {
             return std::string("USB: 0403:6015\nУстройство: FT230X?Basic?UART\nДрайвер: ftdi_sio");
         }},
        {"symbolic link loops in sysfs and by-id: nothing, and no hang",
         [](Tree& tree) {
             const fs::path classDir = tree.root() / "sys" / "class" / "tty" / "ttyUSB0";
             fs::create_directories(classDir);
             fs::create_directory_symlink(classDir / "loop-b", classDir / "device");
             fs::create_directory_symlink(classDir / "device", classDir / "loop-b");
             std::ofstream(tree.dev("ttyUSB0")).flush();
             const fs::path byId = tree.root() / "dev" / "serial" / "by-id";
             fs::create_symlink(byId / "loop-2", byId / "loop-1");
             fs::create_symlink(byId / "loop-1", byId / "loop-2");
         },
         ttyUSB0, [](const Tree&) { return std::string(); }},
        {"port the system does not know", [](Tree&) {}, [](const Tree& tree) { return tree.dev("ttyUSB7"); },
         [](const Tree&) { return std::string(); }},
    };
    int index = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Tree tree(std::to_string(index++));
        c.build(tree);
        EXPECT_EQ(tree.describe(c.path(tree)), c.expected(tree));
    }
}

TEST(DescribeComPort, DescribesNothingForAPseudoTerminalOrAMissingPath)
{
    const int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(master, 0);
    ASSERT_EQ(grantpt(master), 0);
    ASSERT_EQ(unlockpt(master), 0);
    EXPECT_EQ(PortUnit::DescribeComPort(ptsname(master)), "");
    close(master);
    EXPECT_EQ(PortUnit::DescribeComPort("/dev/kalvi7-no-such-port"), "");
    EXPECT_EQ(PortUnit::DescribeComPort(""), "");
}

TEST(LockHolder, FindsTheHolderOfTheFileInTheLockTable)
{
    std::istringstream locks(
        "1: POSIX  ADVISORY  WRITE 700 00:1a:99 0 EOF\n"
        "2: FLOCK  ADVISORY  WRITE 9377 00:05:88 0 EOF\n"
        "2: -> FLOCK  ADVISORY  WRITE 9400 00:05:88 0 EOF\n"
        "3: FLOCK  ADVISORY  WRITE 12 103:02:88 0 EOF\n");
    EXPECT_EQ(LockHolderPid(locks, {0, 5, 88}), 9377);
    locks.clear();
    locks.seekg(0);
    EXPECT_EQ(LockHolderPid(locks, {0x103, 2, 88}), 12);
    locks.clear();
    locks.seekg(0);
    EXPECT_EQ(LockHolderPid(locks, {0, 5, 89}), 0);
    std::istringstream garbage("1: FLOCK ADVISORY WRITE pid 00:05:88 0 EOF\nnonsense\n");
    EXPECT_EQ(LockHolderPid(garbage, {0, 5, 88}), 0);
}

TEST(LockHolder, NamesTheProgramFromAProcTree)
{
    const fs::path proc = fs::temp_directory_path() / ("kalvi7-proc-" + std::to_string(getpid()));
    fs::remove_all(proc);
    fs::create_directories(proc / "4242");
    const fs::path port = proc / "port";
    std::ofstream(port).flush();
    const int fd = open(port.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    struct stat info {};
    ASSERT_EQ(fstat(fd, &info), 0);
    char line[128];
    std::snprintf(line, sizeof line, "1: FLOCK  ADVISORY  WRITE 4242 %02x:%02x:%llu 0 EOF\n",
                  major(info.st_dev), minor(info.st_dev), static_cast<unsigned long long>(info.st_ino));

    EXPECT_EQ(LockHolder(fd, proc.string()), "") << "no lock table";
    std::ofstream(proc / "locks") << line;
    EXPECT_EQ(LockHolder(fd, proc.string()), "PID 4242") << "the program is gone";
    std::ofstream(proc / "4242" / "comm") << "minicom\n";
    EXPECT_EQ(LockHolder(fd, proc.string()), "minicom, PID 4242");
    close(fd);
    fs::remove_all(proc);
}

TEST(OpenFailureReason, GivesAFixedLinePerErrorWithTheRemedyForTheUsualCauses)
{
    const std::string dialout =
        "добавьте пользователя в группу dialout командой sudo usermod -aG dialout $USER"
        " и войдите в систему заново.";
    struct {
        int error;
        std::string holder;
        std::string line;
    } cases[] = {
        {EACCES, "", "Нет прав на доступ к порту (EACCES): " + dialout},
        {EPERM, "", "Нет прав на доступ к порту (EPERM): " + dialout},
        {EBUSY, "", "Порт занят другой программой (EBUSY)."},
        {EWOULDBLOCK, "", "Порт занят другой программой (EWOULDBLOCK)."},
        {EWOULDBLOCK, "minicom, PID 4242", "Порт занят другой программой: minicom, PID 4242 (EWOULDBLOCK)."},
        {ENOENT, "", "Такого порта нет (ENOENT)."},
        {ENXIO, "", "Устройство порта не отвечает (ENXIO)."},
        {ENODEV, "", "Устройства порта нет (ENODEV)."},
        {EIO, "", "Ошибка ввода-вывода (EIO)."},
        {EISDIR, "", "Указан каталог, а не порт (EISDIR)."},
        {ELOOP, "", "Символические ссылки пути замкнуты в круг (ELOOP)."},
        {ENOTTY, "",
         "Это не последовательный порт: устройство не отвечает на запросы настроек линии (ENOTTY)."},
        {EINVAL, "", "Порт не принимает такие параметры (EINVAL)."},
        {EDOM, "", "Системная ошибка: errno " + std::to_string(EDOM) + "."},
        {123456, "", "Системная ошибка: errno 123456."},
        {-5, "", "Системная ошибка: errno -5."},
        {0, "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.error);
        EXPECT_EQ(PortUnit::OpenFailureReason(c.error, c.holder), c.line);
    }
}

}  // namespace
