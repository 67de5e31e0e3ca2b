// Section and key names of settings.INI match whatever their letter case
// under any process locale. Under Turkish the C library's case rules pair
// I with dotless ı and İ with i, so a match through tolower, towlower or a
// locale-aware toolkit call misses "CONTINUEDMODE" or "[port1 setting]".
#include "settings_ini.h"

#include <gtest/gtest.h>

#include <cctype>
#include <clocale>
#include <cstdlib>
#include <cwctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <locale>
#include <optional>
#include <random>
#include <string>

namespace fs = std::filesystem;

namespace {

// Locales are compiled from the system's sources into a scratch LOCPATH,
// so the test needs no locale installed on the machine.
class SettingsUnderTurkishLocale : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("kalvi7_settings_locale_" + std::to_string(std::random_device{}()));
        fs::create_directories(dir_ / "locales");
        path_ = (dir_ / "settings.INI").string();
        const char* oldLocPath = std::getenv("LOCPATH");
        if (oldLocPath) oldLocPath_ = oldLocPath;
        ::setenv("LOCPATH", (dir_ / "locales").c_str(), 1);
        oldLocale_ = std::setlocale(LC_ALL, nullptr);
    }
    void TearDown() override {
        std::setlocale(LC_ALL, oldLocale_.c_str());
        std::locale::global(std::locale::classic());
        if (oldLocPath_) ::setenv("LOCPATH", oldLocPath_->c_str(), 1);
        else ::unsetenv("LOCPATH");
        fs::remove_all(dir_);
    }

    // Builds the locale and makes it the process's, for C and C++ alike.
    // False when the system has no sources to build it from.
    bool enter(const std::string& charset, const std::string& name) {
        if (!fs::exists("/usr/share/i18n/locales/tr_TR")) return false;
        const std::string build = "localedef -i tr_TR -f " + charset + " '" + (dir_ / "locales" / name).string() + "'";
        EXPECT_EQ(std::system(build.c_str()), 0) << build;
        EXPECT_NE(std::setlocale(LC_ALL, name.c_str()), nullptr) << name;
        std::locale::global(std::locale(name));
        return true;
    }

    void write(const std::string& bytes) const { std::ofstream(path_, std::ios::binary) << bytes; }
    std::string read() const {
        std::ifstream in(path_, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    fs::path dir_;
    std::string path_;
    std::string oldLocale_;
    std::optional<std::string> oldLocPath_;
};

TEST_F(SettingsUnderTurkishLocale, NamesMatchByAsciiCaseAlone) {
    struct Locale {
        const char* charset;
        const char* name;
    };
    for (const Locale locale : {Locale{"UTF-8", "tr_TR.UTF-8"}, Locale{"ISO-8859-9", "tr_TR.ISO-8859-9"}}) {
        SCOPED_TRACE(locale.name);
        if (!enter(locale.charset, locale.name)) GTEST_SKIP() << "no tr_TR locale source in /usr/share/i18n";
        // The locale's own rules are the Turkish ones, or the test proves nothing.
        ASSERT_EQ(std::towlower(L'I'), static_cast<std::wint_t>(0x131));
        ASSERT_EQ(std::towupper(L'i'), static_cast<std::wint_t>(0x130));

        write("[PORT1 SETTING]\nPORT=COM4\nBAUDRATE=0X2580\n[FORM SETTING]\nCONTINUEDMODE=1\nAMPLSETENABLE=1\n");
        auto settings = app::loadSettings(path_, "COM1");
        EXPECT_EQ(settings.port, "COM4");
        EXPECT_EQ(settings.baudRate, 9600);
        EXPECT_TRUE(settings.continuedMode);
        EXPECT_TRUE(settings.amplSetEnable);
        // Saved back over the names as they are spelt, not beside them.
        app::saveSettings(path_, std::string("COM5"), 4800, false, true);
        EXPECT_EQ(read(), "[PORT1 SETTING]\nPORT=COM5\nBAUDRATE=4800\n[FORM SETTING]\nCONTINUEDMODE=0\nAMPLSETENABLE=1\n");

        write("[port1 setting]\nbaudrate=1200\n[form setting]\ncontinuedmode=1\n");
        settings = app::loadSettings(path_, "COM1");
        EXPECT_EQ(settings.baudRate, 1200);
        EXPECT_TRUE(settings.continuedMode);

        // Dotted İ and dotless ı are letters of their own, not i; names
        // spelt with them are other names, whatever the locale says.
        write("[PORT1 SETT\xC4\xB0NG]\nBaudRate=1200\n[Form sett\xC4\xB1ng]\nContinuedMode=1\n"
              "[Form setting]\nCONT\xC4\xB0NUEDMODE=1\n");
        settings = app::loadSettings(path_, "COM1");
        EXPECT_EQ(settings.baudRate, 38400);
        EXPECT_FALSE(settings.continuedMode);
    }
}

}  // namespace
