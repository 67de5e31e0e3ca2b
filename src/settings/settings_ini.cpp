// settings.INI on disk: read whole, edited as text (IniLines), written back
// through rewriteFile.
#include "settings/settings_ini.h"

#include "settings/file_rewrite.h"
#include "settings/ini_lines.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string_view>
#include <system_error>

namespace settings {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kPortSection = "Port1 setting";
constexpr std::string_view kFormSection = "Form setting";

// Paths travel as UTF-8 strings; on Windows a plain std::string would be
// taken in the ANSI code page instead.
fs::path fsPath(const std::string& utf8) { return fs::path(std::u8string(utf8.begin(), utf8.end())); }

bool readFile(const std::string& path, std::string& bytes)
{
    std::ifstream in(fsPath(path), std::ios::binary);
    if (!in.is_open())
        return false;
    try {
        bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    } catch (const std::ios_base::failure&) {
        return false;  // e.g. a directory of that name
    }
    return !in.bad();
}

}  // namespace

std::string settingsPath()
{
    std::error_code ec;
    const fs::path dir = fs::current_path(ec);
    const std::u8string utf8 = ec ? std::u8string(u8".") : dir.u8string();
    return std::string(utf8.begin(), utf8.end()) + "/settings.INI";
}

Settings loadSettings(const std::string& path, const std::string& defaultPort)
{
    Settings settings;
    settings.port = defaultPort;
    try {
        std::string bytes;
        if (!readFile(path, bytes))
            return settings;
        const IniLines ini(bytes);
        // An empty name can name no port; it is treated as missing.
        if (const auto port = ini.value(kPortSection, "Port"); port && !port->empty())
            settings.port = firstChars(*port, kMaxTextChars);
        const auto integer = [&](std::string_view section,
                                 std::string_view key) -> std::optional<std::int32_t> {
            const auto text = ini.value(section, key);
            return text ? parseInteger(*text) : std::nullopt;
        };
        settings.baudRate = integer(kPortSection, "BaudRate").value_or(settings.baudRate);
        settings.continuedMode = integer(kFormSection, "ContinuedMode").value_or(0) != 0;
        settings.amplSetEnable = integer(kFormSection, "AmplSetEnable").value_or(0) != 0;
    } catch (const std::exception&) {
        // Out of memory on an absurd file: start from the defaults.
        Settings defaults;
        defaults.port = defaultPort;
        return defaults;
    }
    return settings;
}

void saveSettings(const std::string& path, const std::optional<std::string>& port, std::int32_t baudRate,
                  bool continuedMode, bool amplSetEnable)
{
    const std::string failure = "Unable to write to " + path;
    std::string bytes;
    std::error_code ec;
    // A file that is there but cannot be read would lose its other contents.
    if (fs::exists(fsPath(path), ec) && !readFile(path, bytes))
        throw std::runtime_error(failure);

    IniLines ini(bytes);
    if (port && !asOneLine(*port).empty())
        ini.set(kPortSection, "Port", asOneLine(*port));
    ini.set(kPortSection, "BaudRate", std::to_string(baudRate));
    ini.set(kFormSection, "ContinuedMode", continuedMode ? "1" : "0");
    ini.set(kFormSection, "AmplSetEnable", amplSetEnable ? "1" : "0");

    if (!rewriteFile(fsPath(path), ini.bytes()))
        throw std::runtime_error(failure);
}

}  // namespace settings
