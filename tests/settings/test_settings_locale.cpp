// Section and key names of settings.INI match whatever their letter case
// under any process locale. Under Turkish the C library's case rules pair
// I with dotless ı and İ with i, so a match through tolower, towlower or a
// locale-aware toolkit call misses "CONTINUEDMODE" or "[port1 setting]".
#include "settings/settings_ini.h"

#include <gtest/gtest.h>

#include "support/in_child.h"

#include <sys/wait.h>
#include <unistd.h>

#include <clocale>
#include <cstdlib>
#include <cwctype>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <locale>
#include <random>
#include <sstream>
#include <string>

namespace fs = std::filesystem;
using support::inChild;

namespace {

class SettingsUnderTurkishLocale : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir_ =
            fs::temp_directory_path() / ("kalvi7_settings_locale_" + std::to_string(std::random_device{}()));
        fs::create_directories(dir_ / "locales");
        path_ = (dir_ / "settings.INI").string();
    }
    void TearDown() override { fs::remove_all(dir_); }

    void write(const std::string& bytes) const { std::ofstream(path_, std::ios::binary) << bytes; }
    std::string read() const
    {
        std::ifstream in(path_, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    fs::path dir_;
    std::string path_;
};

TEST_F(SettingsUnderTurkishLocale, NamesMatchByAsciiCaseAlone)
{
    if (!fs::exists("/usr/share/i18n/locales/tr_TR"))
        GTEST_SKIP() << "no tr_TR locale source in /usr/share/i18n";
    struct Locale {
        const char* charset;
        const char* name;
    };
    for (const Locale locale : {Locale{"UTF-8", "tr_TR.UTF-8"}, Locale{"ISO-8859-9", "tr_TR.ISO-8859-9"}}) {
        SCOPED_TRACE(locale.name);
        // Compiled from the system's sources into a scratch LOCPATH, so no
        // locale need be installed on the machine.
        const std::string build = std::string("localedef -i tr_TR -f ") + locale.charset + " '" +
                                  (dir_ / "locales" / locale.name).string() + "'";
        ASSERT_EQ(std::system(build.c_str()), 0) << build;

        const std::string report = inChild([&] {
            ::setenv("LOCPATH", (dir_ / "locales").c_str(), 1);
            std::locale::global(std::locale(locale.name));  // the C library's locale too
            std::ostringstream out;
            out.imbue(std::locale::classic());  // the report's own numbers, not tr_TR's "9.600"
            // The locale's own rules are the Turkish ones, or the test proves nothing.
            out << std::hex << "towlower(I)=" << std::towlower(L'I') << " towupper(i)=" << std::towupper(L'i')
                << std::dec << "\n";
            const auto line = [&](const char* what, const settings::Settings& s) {
                out << what << ": " << s.port << ' ' << s.baudRate << ' ' << s.continuedMode << ' '
                    << s.amplSetEnable << "\n";
            };

            write(
                "[PORT1 SETTING]\nPORT=COM4\nBAUDRATE=0X2580\n[FORM "
                "SETTING]\nCONTINUEDMODE=1\nAMPLSETENABLE=1\n");
            line("capitals", settings::loadSettings(path_, "COM1"));
            settings::saveSettings(path_, std::string("COM5"), 4800, false, true);
            out << "saved over them:\n" << read();

            write("[port1 setting]\nport=COM6\nbaudrate=1200\n[form setting]\ncontinuedmode=1\n");
            line("small letters", settings::loadSettings(path_, "COM1"));

            // Dotted İ and dotless ı are letters of their own, not i; names
            // spelt with them are other names, whatever the locale says.
            write(
                "[PORT1 SETT\xC4\xB0NG]\nBaudRate=1200\n[Form sett\xC4\xB1ng]\nContinuedMode=1\n"
                "[Form setting]\nCONT\xC4\xB0NUEDMODE=1\n");
            line("Turkish letters", settings::loadSettings(path_, "COM1"));
            return out.str();
        });

        EXPECT_EQ(
            report,
            "towlower(I)=131 towupper(i)=130\n"
            "capitals: COM4 9600 1 1\n"
            "saved over them:\n"
            "[PORT1 SETTING]\nPORT=COM5\nBAUDRATE=4800\n[FORM SETTING]\nCONTINUEDMODE=0\nAMPLSETENABLE=1\n"
            "small letters: COM6 1200 1 0\n"
            "Turkish letters: COM1 38400 0 0\n");
    }
}

}  // namespace
