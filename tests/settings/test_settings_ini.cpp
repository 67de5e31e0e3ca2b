#include "settings/settings_ini.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>
#include <string>

namespace fs = std::filesystem;
using settings::loadSettings;
using settings::saveSettings;

namespace {

// Each test works in a fresh directory of its own.
class SettingsFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir_ = fs::temp_directory_path() / ("kalvi7_settings_" + std::to_string(std::random_device{}()));
        fs::create_directories(dir_);
        path_ = (dir_ / "settings.INI").string();
    }
    void TearDown() override
    {
        fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::add);
        fs::remove_all(dir_);
    }

    void write(const std::string& bytes) const
    {
        std::ofstream out(path_, std::ios::binary | std::ios::trunc);
        out << bytes;
    }
    std::string read() const
    {
        std::ifstream in(path_, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    settings::Settings load() const { return loadSettings(path_, "COM1"); }

    fs::path dir_;
    std::string path_;
};

TEST_F(SettingsFile, FirstStartGivesDefaultsAndSaveCreatesAllKeysInOrder)
{
    const auto settings = load();
    EXPECT_EQ(settings.port, "COM1");
    EXPECT_EQ(settings.baudRate, 38400);
    EXPECT_FALSE(settings.continuedMode);
    EXPECT_FALSE(settings.amplSetEnable);

    saveSettings(path_, std::string("COM1"), 38400, false, true);
    // A new file has the system's own line ends, as Notepad writes them on
    // Windows.
#ifdef _WIN32
    EXPECT_EQ(read(),
              "[Port1 setting]\r\nPort=COM1\r\nBaudRate=38400\r\n"
              "[Form setting]\r\nContinuedMode=0\r\nAmplSetEnable=1\r\n");
#else
    EXPECT_EQ(read(),
              "[Port1 setting]\nPort=COM1\nBaudRate=38400\n"
              "[Form setting]\nContinuedMode=0\nAmplSetEnable=1\n");
#endif
}

TEST_F(SettingsFile, IntegerForms)
{
    struct Case {
        const char* stored;
        std::int32_t baudRate;
    };
    const Case cases[] = {
        {"0x4B00", 19200},
        {"0X4b00", 19200},
        {"9600", 9600},
        {"+9600", 9600},
        {"-5", -5},
        {"fast", 38400},
        {"0x", 38400},
        {"0xZZ", 38400},
        {"0x-1", 38400},
        {"", 38400},
        {"96 00", 38400},
        {"9600baud", 38400},
        {"2147483647", 2147483647},
        {"2147483648", 38400},
        {"0x7FFFFFFF", 2147483647},
        {"0x80000000", 38400},
        {"0", 0},
        {"00x10", 38400},
        {"--5", 38400},
        {"+-5", 38400},
    };
    for (const auto& c : cases) {
        write(std::string("[Port1 setting]\nBaudRate=") + c.stored + "\n");
        EXPECT_EQ(load().baudRate, c.baudRate) << "stored: " << c.stored;
    }
}

TEST_F(SettingsFile, BooleansAreIntegersAnyNonZeroTrue)
{
    struct Case {
        const char* stored;
        bool value;
    };
    const Case cases[] = {{"1", true},    {"0", false},   {"2", true},     {"-1", true},
                          {"yes", false}, {"0x10", true}, {"0x00", false}, {"", false}};
    for (const auto& c : cases) {
        write(std::string("[Form setting]\nContinuedMode=") + c.stored + "\nAmplSetEnable=" + c.stored +
              "\n");
        const auto settings = load();
        EXPECT_EQ(settings.continuedMode, c.value) << "stored: " << c.stored;
        EXPECT_EQ(settings.amplSetEnable, c.value) << "stored: " << c.stored;
    }
}

TEST_F(SettingsFile, PortTextIsTakenAsStored)
{
    struct Case {
        std::string stored;
        std::string port;
    };
    const Case cases[] = {
        {"com3", "com3"},  // matching against the port list is the window's job
        {"COM12", "COM12"},
        {"  COM3\t ", "COM3"},
        {"", "COM1"},  // an empty name names no port
        {std::string("CO\0M9", 5), "CO"},
        {std::string(3000, 'x'), std::string(2047, 'x')},
        // 2047 characters, not bytes: the Cyrillic ones are two bytes each
        {std::string(2046, 'x') + "ЖЖ", std::string(2046, 'x') + "Ж"},
    };
    for (const auto& c : cases) {
        write("[Port1 setting]\nPort=" + c.stored + "\n");
        EXPECT_EQ(load().port, c.port) << "stored: " << c.stored.substr(0, 20);
    }
}

TEST_F(SettingsFile, NamesMatchWhateverTheirCaseAndBlanks)
{
    write(
        "[ PORT1 SETTING ]\n  port  =  COM4  \nbaudrate\t=\t9600\n"
        "[form Setting]\r\nCONTINUEDMODE=1\r\n amplsetenable = 1\r\n");
    const auto settings = load();
    EXPECT_EQ(settings.port, "COM4");
    EXPECT_EQ(settings.baudRate, 9600);
    EXPECT_TRUE(settings.continuedMode);
    EXPECT_TRUE(settings.amplSetEnable);
}

TEST_F(SettingsFile, KeysCountOnlyInTheirOwnSection)
{
    write(
        "Port=COM5\n"  // before any section
        "[Other]\nPort=COM6\nBaudRate=1200\n"
        "[Port1 setting]\n; Port=COM7\nPort=COM8\nPort=COM9\n"  // the first one wins
        "[Port1 settingX]\nBaudRate=2400\n");
    const auto settings = load();
    EXPECT_EQ(settings.port, "COM8");
    EXPECT_EQ(settings.baudRate, 38400);
}

TEST_F(SettingsFile, WindowsFileIsUpdatedInPlaceAndOtherwiseKept)
{
    const std::string before =
        "\xEF\xBB\xBF; written by the installer\r\n"
        "[Other]\r\n"
        "foo  =  bar\r\n"
        "junk line without equals\r\n"
        "\r\n"
        "[port1 setting]\r\n"
        "BaudRate = 0x4B00   \r\n"
        "Port=com3\r\n"
        "; trailing comment\r\n"
        "\r\n"
        "[Tail]\r\n"
        "x=\xC6\xE8\r\n";  // a value in a Windows code page, not UTF-8
    write(before);
    const auto settings = load();
    EXPECT_EQ(settings.port, "com3");
    EXPECT_EQ(settings.baudRate, 19200);

    saveSettings(path_, settings.port, settings.baudRate, true, false);
    const std::string after =
        "\xEF\xBB\xBF; written by the installer\r\n"
        "[Other]\r\n"
        "foo  =  bar\r\n"
        "junk line without equals\r\n"
        "\r\n"
        "[port1 setting]\r\n"
        "BaudRate = 19200\r\n"
        "Port=com3\r\n"
        "; trailing comment\r\n"
        "\r\n"
        "[Tail]\r\n"
        "x=\xC6\xE8\r\n"
        "[Form setting]\r\n"
        "ContinuedMode=1\r\n"
        "AmplSetEnable=0\r\n";
    EXPECT_EQ(read(), after);
}

TEST_F(SettingsFile, MissingKeysGoAfterTheLastKeyOfTheirSection)
{
    write("[Form setting]\nAmplSetEnable=1\n; note\n\n[Port1 setting]\nPort=COM2");  // no final line end
    saveSettings(path_, std::string("COM2"), 4800, true, true);
    EXPECT_EQ(read(),
              "[Form setting]\nAmplSetEnable=1\nContinuedMode=1\n; note\n\n"
              "[Port1 setting]\nPort=COM2\nBaudRate=4800\n");
}

TEST_F(SettingsFile, PortIsNotWrittenWithoutAValue)
{
    write("[Port1 setting]\nPort=COM6\n");
    saveSettings(path_, std::nullopt, 38400, false, false);
    EXPECT_EQ(load().port, "COM6");
    saveSettings(path_, std::string(), 38400, false, false);
    EXPECT_EQ(load().port, "COM6");

    fs::remove(path_);
    saveSettings(path_, std::nullopt, 38400, false, false);
    EXPECT_EQ(read().find("Port="), std::string::npos);
}

TEST_F(SettingsFile, PortWithALineBreakCannotInjectKeys)
{
    saveSettings(path_, std::string("COM3\nBaudRate=1"), 9600, false, false);
    const auto settings = load();
    EXPECT_EQ(settings.port, "COM3");
    EXPECT_EQ(settings.baudRate, 9600);
}

// Found by fuzzing: a lone CR inside the port's value was read as part of
// the name, and the name then could not be saved as it was read.
TEST_F(SettingsFile, LoneCarriageReturnEndsALine)
{
    write("[Port1 setting]\rPort = com3\rBaudRate=9600\r[Form setting]\rContinuedMode=1");
    const auto settings = load();
    EXPECT_EQ(settings.port, "com3");
    EXPECT_EQ(settings.baudRate, 9600);
    EXPECT_TRUE(settings.continuedMode);

    saveSettings(path_, settings.port, settings.baudRate, settings.continuedMode, true);
    EXPECT_EQ(
        read(),
        "[Port1 setting]\rPort = com3\rBaudRate=9600\r[Form setting]\rContinuedMode=1\rAmplSetEnable=1\r");
}

TEST_F(SettingsFile, WhatIsSavedIsLoaded)
{
    write("[Port1 setting]\nPort=COM1\n");
    saveSettings(path_, std::string("COM255"), -1, true, true);
    const auto settings = load();
    EXPECT_EQ(settings.port, "COM255");
    EXPECT_EQ(settings.baudRate, -1);
    EXPECT_TRUE(settings.continuedMode);
    EXPECT_TRUE(settings.amplSetEnable);
}

TEST_F(SettingsFile, UnwritableTargetReportsThePath)
{
    // Neither can be written, whoever runs the test.
    fs::create_directory(path_);  // a directory in the file's place
    const std::string inMissingDirectory = (dir_ / "gone" / "settings.INI").string();
    for (const auto& path : {path_, inMissingDirectory}) {
        try {
            saveSettings(path, std::string("COM3"), 9600, true, true);
            ADD_FAILURE() << "no error for " << path;
        } catch (const std::runtime_error& e) {
            EXPECT_EQ(std::string(e.what()), "Unable to write to " + path);
        }
        EXPECT_EQ(loadSettings(path, "COM1").baudRate, 38400);
    }
    EXPECT_TRUE(fs::is_directory(path_));
}

TEST_F(SettingsFile, GarbageGivesDefaults)
{
    std::mt19937 random(7);
    std::string garbage(1 << 20, '\0');
    for (char& c : garbage)
        c = static_cast<char>(random());
    for (const auto& bytes : {garbage, std::string(1 << 20, '['), std::string(1 << 20, '\n')}) {
        write(bytes);
        const auto settings = load();
        EXPECT_EQ(settings.port, "COM1");
        EXPECT_EQ(settings.baudRate, 38400);
        EXPECT_FALSE(settings.continuedMode);
        saveSettings(path_, settings.port, 1200, true, false);
        EXPECT_EQ(load().baudRate, 1200);
        EXPECT_TRUE(read().starts_with(bytes)) << "the garbage itself is kept";
    }
}

TEST_F(SettingsFile, MegabyteValuesAreCutOrRefused)
{
    write("[Port1 setting]\nBaudRate=" + std::string(1 << 20, '9') + "\nPort=" + std::string(1 << 20, 'P') +
          "\n");
    const auto settings = load();
    EXPECT_EQ(settings.baudRate, 38400);
    EXPECT_EQ(settings.port, std::string(2047, 'P'));
}

}  // namespace

// A settings.INI that links to a shared profile stays a link; the profile
// gets the new values.
// Windows gives symbolic links to administrators only, and Wine none.
#ifndef _WIN32
TEST_F(SettingsFile, SymlinkIsWrittenThroughNotReplaced)
{
    const fs::path profile = dir_ / "profile.INI";
    {
        std::ofstream(profile) << "; shared\n[Port1 setting]\nPort=COM4\n";
    }
    fs::create_symlink(profile, path_);

    saveSettings(path_, std::string("COM5"), 9600, true, false);

    EXPECT_TRUE(fs::is_symlink(path_));
    std::ifstream in(profile);
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    EXPECT_EQ(text,
              "; shared\n[Port1 setting]\nPort=COM5\nBaudRate=9600\n"
              "[Form setting]\nContinuedMode=1\nAmplSetEnable=0\n");
}
#endif
