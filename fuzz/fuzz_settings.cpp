// Arbitrary settings.INI contents: loading never fails, and what is saved
// back is what the next load reads. A second save of the same values
// leaves the file byte for byte as the first save wrote it.
#include <unistd.h>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>

#include "settings/settings_ini.h"

namespace {

namespace fs = std::filesystem;

[[noreturn]] void fail(const char* what)
{
    std::fprintf(stderr, "fuzz_settings: %s\n", what);
    std::abort();
}

const std::string& iniPath()
{
    static const std::string path = [] {
        // Every run replaces the file; in memory that is ten times faster than on disk.
        std::error_code ec;
        const fs::path base =
            fs::is_directory("/dev/shm", ec) ? fs::path("/dev/shm") : fs::temp_directory_path();
        const fs::path dir = base / ("kalvi7_fuzz_settings_" + std::to_string(::getpid()));
        fs::create_directories(dir);
        static const fs::path removeAtExit = dir;
        std::atexit([] {
            std::error_code ignored;
            fs::remove_all(removeAtExit, ignored);
        });
        return (dir / "settings.INI").string();
    }();
    return path;
}

std::string readAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool operator==(const settings::Settings& a, const settings::Settings& b)
{
    return a.port == b.port && a.baudRate == b.baudRate && a.continuedMode == b.continuedMode &&
           a.amplSetEnable == b.amplSetEnable;
}

void save(const std::string& path, const settings::Settings& s)
{
    settings::saveSettings(path, s.port, s.baudRate, s.continuedMode, s.amplSetEnable);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string& path = iniPath();
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    const settings::Settings loaded = settings::loadSettings(path, "COM1");
    if (loaded.port.empty())
        fail("empty port name");

    save(path, loaded);
    const std::string firstSave = readAll(path);
    if (!(settings::loadSettings(path, "COM1") == loaded))
        fail("saved values do not load back");

    save(path, loaded);
    if (readAll(path) != firstSave)
        fail("saving the same values again changed the file");
    return 0;
}
