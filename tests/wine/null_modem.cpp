// A test fixture, never shipped: a null-modem cable between two COM ports
// of a Wine prefix, for the Windows driver tests. It makes two
// pseudo-terminals, links their slaves where Wine looks for the ports
// (<prefix>/dosdevices/comN), and copies every byte one side's master
// receives to the other side's master, as the cable would: what a program
// writes on one port arrives on the other.
//
//   null_modem LINK_A LINK_B                  until SIGINT or SIGTERM
//   null_modem LINK_A LINK_B -- COMMAND...    while COMMAND runs
//   null_modem --in DOSDEVICES -- COMMAND...  two free COM numbers of the
//                                             prefix, named to COMMAND as
//                                             KALVI7_TEST_DRIVER_PORT and
//                                             KALVI7_TEST_PEER_PORT
//
// With a command, its exit status is ours; without, "ready" is printed once
// the links are in place. The links are removed at the end. A free number
// is claimed as the tests' simulator claims one (tests/support): a lock
// file comN.kalvi7-test made exclusively beside the links, and no comN
// there. Both slaves stay open here as well, never read: a master whose
// slave nobody holds reads as an error, and the Windows programs open and
// close their ports as they please.
//
// Build: g++ -std=c++20 -O2 -o null_modem null_modem.cpp
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

volatile sig_atomic_t StopSignal = 0;

void NoteStop(int signal) { StopSignal = signal; }

struct End {
    int master = -1;
    int slave = -1;
    std::string slavePath;
    std::string link;
    std::string lock;  // with --in: the claim on the link's COM number
};

bool Fail(const std::string& what)
{
    std::fprintf(stderr, "null_modem: %s: %s\n", what.c_str(), std::strerror(errno));
    return false;
}

// A pseudo-terminal in raw mode (every byte passes both ways unchanged),
// its slave held open, the slave's path linked at end.link.
bool MakeEnd(End& end)
{
    end.master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (end.master < 0 || grantpt(end.master) != 0 || unlockpt(end.master) != 0)
        return Fail("no pseudo-terminal");
    char name[128];
    if (ptsname_r(end.master, name, sizeof name) != 0)
        return Fail("no pseudo-terminal name");
    end.slavePath = name;
    end.slave = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (end.slave < 0)
        return Fail(std::string("cannot open ") + name);
    termios line{};
    if (tcgetattr(end.slave, &line) != 0)
        return Fail("no line settings");
    cfmakeraw(&line);
    if (tcsetattr(end.slave, TCSANOW, &line) != 0)
        return Fail("cannot set the line raw");
    // Replaced in one step: a link a Windows program is opening never
    // vanishes under it.
    const std::string temporary = end.link + ".null_modem";
    unlink(temporary.c_str());
    if (symlink(name, temporary.c_str()) != 0 || rename(temporary.c_str(), end.link.c_str()) != 0)
        return Fail("cannot link " + end.link);
    return true;
}

// Claims the lowest free COM number from `from` on in dosDevices for end:
// its lock file made exclusively, and no link of that name. Returns the
// number, 0 when none is free.
int ClaimComNumber(const std::string& dosDevices, int from, End& end)
{
    for (int number = from; number <= 250; ++number) {
        const std::string name = dosDevices + "/com" + std::to_string(number);
        const int lock = open((name + ".kalvi7-test").c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (lock < 0)
            continue;
        close(lock);
        if (access(name.c_str(), F_OK) == 0 || errno != ENOENT) {
            unlink((name + ".kalvi7-test").c_str());
            continue;
        }
        end.link = name;
        end.lock = name + ".kalvi7-test";
        return number;
    }
    return 0;
}

// The link, then the claim on its number.
void RemoveLink(const End& end)
{
    char target[128];
    const ssize_t n = readlink(end.link.c_str(), target, sizeof target - 1);
    // Only our own link: another run may have taken the name since.
    if (n > 0 && std::string(target, static_cast<std::size_t>(n)) == end.slavePath)
        unlink(end.link.c_str());
    if (!end.lock.empty())
        unlink(end.lock.c_str());
}

// Writes all of bytes to a non-blocking master, waiting while it is full,
// for at most a second: a side nobody reads must not stop the other way.
void WriteAll(int master, const unsigned char* bytes, std::size_t count)
{
    std::size_t done = 0;
    for (int waits = 0; done < count && waits < 10 && StopSignal == 0;) {
        const ssize_t n = write(master, bytes + done, count - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
        } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
            pollfd room{master, POLLOUT, 0};
            if (poll(&room, 1, 100) == 0)
                ++waits;
        } else {
            return;
        }
    }
}

pid_t StartCommand(char** command)
{
    const pid_t child = fork();
    if (child == 0) {
        execvp(command[0], command);
        std::fprintf(stderr, "null_modem: cannot run %s: %s\n", command[0], std::strerror(errno));
        _exit(127);
    }
    return child;
}

}  // namespace

int main(int argc, char** argv)
{
    const bool withCommand = argc > 4 && std::strcmp(argv[3], "--") == 0;
    const bool freeNumbers = withCommand && std::strcmp(argv[1], "--in") == 0;
    if (argc != 3 && !withCommand) {
        std::fprintf(stderr,
                     "usage: null_modem LINK_A LINK_B [-- COMMAND...]\n"
                     "       null_modem --in DOSDEVICES -- COMMAND...\n");
        return 2;
    }
    struct sigaction action {};
    action.sa_handler = NoteStop;
    for (const int signal : {SIGINT, SIGTERM, SIGHUP})
        sigaction(signal, &action, nullptr);

    End ends[2];
    if (freeNumbers) {
        const int driver = ClaimComNumber(argv[2], 20, ends[0]);
        const int peer = driver > 0 ? ClaimComNumber(argv[2], driver + 1, ends[1]) : 0;
        if (peer == 0) {
            RemoveLink(ends[0]);
            std::fprintf(stderr, "null_modem: no two free COM numbers in %s\n", argv[2]);
            return 1;
        }
        setenv("KALVI7_TEST_DRIVER_PORT", ("COM" + std::to_string(driver)).c_str(), 1);
        setenv("KALVI7_TEST_PEER_PORT", ("COM" + std::to_string(peer)).c_str(), 1);
    } else {
        ends[0].link = argv[1];
        ends[1].link = argv[2];
    }
    if (!MakeEnd(ends[0]) || !MakeEnd(ends[1])) {
        RemoveLink(ends[0]);
        RemoveLink(ends[1]);
        return 1;
    }

    pid_t child = -1;
    if (withCommand) {
        child = StartCommand(argv + 4);
        if (child < 0) {
            Fail("cannot start the command");
            StopSignal = SIGTERM;
        }
    } else {
        std::printf("ready\n");
        std::fflush(stdout);
    }

    int status = 0;
    while (StopSignal == 0) {
        pollfd masters[2] = {{ends[0].master, POLLIN, 0}, {ends[1].master, POLLIN, 0}};
        // The timeout lets a command's end be noticed.
        const int ready = poll(masters, 2, 100);
        if (ready < 0 && errno != EINTR)
            break;
        for (int side = 0; side < 2 && ready > 0; ++side) {
            if ((masters[side].revents & POLLIN) == 0)
                continue;
            unsigned char buffer[4096];
            const ssize_t n = read(ends[side].master, buffer, sizeof buffer);
            if (n > 0)
                WriteAll(ends[1 - side].master, buffer, static_cast<std::size_t>(n));
        }
        if (child > 0 && waitpid(child, &status, WNOHANG) == child) {
            child = -1;
            break;
        }
    }

    if (child > 0) {
        kill(child, StopSignal != 0 ? StopSignal : SIGTERM);
        waitpid(child, &status, 0);
    }
    RemoveLink(ends[0]);
    RemoveLink(ends[1]);
    if (!withCommand)
        return 0;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}
