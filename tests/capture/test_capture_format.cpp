// The capture file: what the reader refuses, and where; what the writer
// writes comes back unchanged, under a locale whose decimal separator is a
// comma too.
#include "capture/capture_format.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include "support/in_child.h"
#endif

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <locale>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using capture::CaptureError;

namespace {

capture::Capture read(const std::string& text)
{
    std::istringstream in(text);
    return capture::readCapture(in);
}

std::string contents(std::FILE* file)
{
    std::rewind(file);
    std::string text;
    char buffer[4096];
    for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, file)) > 0;)
        text.append(buffer, got);
    return text;
}

TEST(CaptureReader, ReadsNotesAndRecords)
{
    const auto capture = read(
        "kalvi7-capture 1\n"
        "# port /dev/ttyUSB0\n"
        "# baud 38400\n"
        "# started 2026-12-10T20:01:02.345+03:00\n"
        "#future-key  two  spaces\n"
        "0.000000 AA AA 81 3C 00\n"
        "0.010417 3c 1f\n"
        "0.010417 ff\n"
        "3600.000001 00\n"
        "# end 9 bytes\n");
    const std::vector<std::pair<std::string, std::string>> notes{{"port", "/dev/ttyUSB0"},
                                                                 {"baud", "38400"},
                                                                 {"started", "2026-12-10T20:01:02.345+03:00"},
                                                                 {"future-key", " two  spaces"},
                                                                 {"end", "9 bytes"}};
    EXPECT_EQ(capture.notes, notes);
    ASSERT_EQ(capture.records.size(), 4u);
    EXPECT_EQ(capture.records[0].microseconds, 0);
    EXPECT_EQ(capture.records[0].bytes, (std::vector<std::uint8_t>{0xAA, 0xAA, 0x81, 0x3C, 0x00}));
    EXPECT_EQ(capture.records[1].microseconds, 10417);
    EXPECT_EQ(capture.records[1].bytes, (std::vector<std::uint8_t>{0x3C, 0x1F}));
    EXPECT_EQ(capture.records[2].microseconds, 10417);  // the same time twice is no step back
    EXPECT_EQ(capture.records[3].microseconds, 3'600'000'001);

    EXPECT_TRUE(read("kalvi7-capture 1\n").records.empty());  // nothing arrived: still a capture
}

TEST(CaptureReader, RefusesMalformedFilesNamingTheLine)
{
    const std::string head = "kalvi7-capture 1\n# port p\n";  // records start at line 3
    const struct {
        std::string text;
        int line;
        std::string reason;
    } cases[] = {
        {"", 1, "empty file, not a capture"},
        {"kalvi7-capture 2\n0.000000 AA\n", 1, "unsupported capture version 2"},
        {"kalvi7-capture 10\n", 1, "unsupported capture version 10"},
        {"kalvi7-capture\n", 1, "not a capture: the first line is not \"kalvi7-capture 1\""},
        {"Kalvi7-capture 1\n", 1, "not a capture: the first line is not \"kalvi7-capture 1\""},
        {"kalvi7-capture 1 \n", 1, "not a capture: the first line is not \"kalvi7-capture 1\""},
        {"\xEF\xBB\xBFkalvi7-capture 1\n", 1, "not a capture: the first line is not \"kalvi7-capture 1\""},
        {"0.000000 AA\n", 1, "not a capture: the first line is not \"kalvi7-capture 1\""},
        {"kalvi7-capture 1", 1, "the last line has no newline at its end (cut off?)"},
        {"kalvi7-capture 1\r\n0.000000 AA\r\n", 1,
         "line ends in a carriage return; lines end in a newline alone"},
        {head + "0.000000 AA\n0.000001 A", 4, "the last line has no newline at its end (cut off?)"},
        {head + "0.000000 AA\n\n0.000001 AA\n", 4, "empty line"},
        {head + "0.000000 AA\n\n", 4, "empty line"},
        {head + "0,010417 AA\n", 3, "bad time \"0,010417\""},
        {head + "0.01041 AA\n", 3, "bad time \"0.01041\""},
        {head + "0.0104170 AA\n", 3, "bad time \"0.0104170\""},
        {head + ".010417 AA\n", 3, "bad time \".010417\""},
        {head + "10417 AA\n", 3, "bad time \"10417\""},
        {head + "-1.000000 AA\n", 3, "bad time \"-1.000000\""},
        {head + "1e3.000000 AA\n", 3, "bad time \"1e3.000000\""},
        {head + "1234567890123.000000 AA\n", 3, "bad time \"1234567890123.000000\""},
        {head + "0.000000\tAA\n", 3, "bad time \"0.000000?AA\""},
        {head + " 0.000000 AA\n", 3, "bad time \"\""},
        {head + "0.000000\n", 3, "no bytes after the time"},
        {head + "0.000000 \n", 3, "no bytes after the time"},
        {head + "0.000000 AA  BB\n", 3, "missing byte between two spaces"},
        {head + "0.000000 AA BB \n", 3, "missing byte after the last space"},
        {head + "0.000000 A BB\n", 3, "bad byte \"A\""},
        {head + "0.000000 AAB\n", 3, "bad byte \"AAB\""},
        {head + "0.000000 AG\n", 3, "bad byte \"AG\""},
        {head + "0.000000 0x1F\n", 3, "bad byte \"0x1F\""},
        {head + "0.000000 AA,BB\n", 3, "bad byte \"AA,BB\""},
        {head + "1.000000 AA\n# note\n0.999999 BB\n", 5, "time goes backwards"},
        // A damaged line late in a long capture is still found before any of it is used.
        {head + "0.000000 AA\n0.000001 BB\n0.000002 CC\n0.000003 DD\n0.000004 EE\n0.000005 F\n", 8,
         "bad byte \"F\""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "file: \"" << c.text << "\"");
        try {
            read(c.text);
            ADD_FAILURE() << "accepted";
        } catch (const CaptureError& e) {
            EXPECT_EQ(e.line(), c.line);
            EXPECT_EQ(e.reason(), c.reason);
            EXPECT_EQ(std::string(e.what()), "line " + std::to_string(c.line) + ": " + c.reason);
        }
    }
}

// The writer's output for a few arrivals, and that the reader gives them
// back; returns a report so that it can run under another locale too.
std::string writeAndReadBack()
{
    std::FILE* file = std::tmpfile();
    if (file == nullptr)
        return "no temporary file";
    capture::CaptureWriter writer(file, {{"port", "/dev/ttyUSB0"}, {"baud", "38400"}});
    const std::vector<capture::Record> arrivals{
        {0, {0xAA, 0xAA, 0x81, 0x3C, 0x00}}, {10'417, {0x3C, 0x1F}},      {999'999, {0x00}},
        {1'000'000, {0xFF, 0x0A, 0x0D}},     {1'234'567'890'123, {0x5A}},
    };
    for (const auto& r : arrivals)
        writer.record(r.microseconds, r.bytes.data(), r.bytes.size());
    writer.record(1'234'567'890'124, nullptr, 0);   // nothing arrived: no line
    writer.record(5, arrivals[0].bytes.data(), 1);  // the clock stepped back
    writer.end();
    const std::string text = contents(file);
    std::fclose(file);

    std::ostringstream report;
    report.imbue(std::locale::classic());
    report << text << "bytesWritten " << writer.bytesWritten() << "\n";
    std::istringstream in(text);
    in.imbue(std::locale());  // the process's locale, whatever it is
    const auto back = capture::readCapture(in);
    bool same = back.records.size() == arrivals.size() + 1;
    for (std::size_t i = 0; same && i < arrivals.size(); ++i)
        same = back.records[i].microseconds == arrivals[i].microseconds &&
               back.records[i].bytes == arrivals[i].bytes;
    report << "read back " << (same ? "unchanged" : "CHANGED") << ", " << back.notes.size() << " notes\n";
    return report.str();
}

const std::string kWritten =
    "kalvi7-capture 1\n"
    "# port /dev/ttyUSB0\n"
    "# baud 38400\n"
    "0.000000 AA AA 81 3C 00\n"
    "0.010417 3C 1F\n"
    "0.999999 00\n"
    "1.000000 FF 0A 0D\n"
    "1234567.890123 5A\n"
    "1234567.890123 AA\n"
    "# end 13 bytes\n"
    "bytesWritten 13\n"
    "read back unchanged, 3 notes\n";

// A file past the limit (or /dev/zero given by mistake) is refused before
// it fills the memory, naming the line the limit falls in.
TEST(CaptureReader, RefusesAFileLargerThanACaptureHolds)
{
    const std::string text = "kalvi7-capture 1\n0.000000 AA BB\n0.000001 CC\n";
    std::istringstream fits(text);
    EXPECT_EQ(capture::readCapture(fits, text.size()).records.size(), 2u);

    std::istringstream beyond(text);
    try {
        capture::readCapture(beyond, text.size() - 5);
        FAIL() << "a file past the limit was read";
    } catch (const capture::CaptureError& error) {
        EXPECT_EQ(error.line(), 3);
        EXPECT_NE(error.reason().find("larger than"), std::string::npos) << error.what();
    }

#ifndef _WIN32
    // An endless file given by mistake.
    std::ifstream zeros("/dev/zero", std::ios::binary);
    ASSERT_TRUE(zeros.is_open());
    EXPECT_THROW(capture::readCapture(zeros), capture::CaptureError);
#endif
}

TEST(CaptureWriter, WritesWhatTheReaderReadsBack) { EXPECT_EQ(writeAndReadBack(), kWritten); }

#ifdef _WIN32
TEST(CaptureWriter, TimesKeepTheirPointUnderACommaLocale)
{
    // The C library's locale as a Russian user's regional settings make it.
    const std::string previous = std::setlocale(LC_ALL, nullptr);
    if (std::setlocale(LC_ALL, "Russian_Russia.1251") == nullptr)
        GTEST_SKIP() << "no Russian locale in this C library";
    // The locale must really use a comma, or the test proves nothing.
    const std::string point = std::localeconv()->decimal_point;
    const std::string written = writeAndReadBack();
    std::setlocale(LC_ALL, previous.c_str());
    EXPECT_EQ(point, ",");
    EXPECT_EQ(written, kWritten);
}
#else
TEST(CaptureWriter, TimesKeepTheirPointUnderACommaLocale)
{
    if (!fs::exists("/usr/share/i18n/locales/ru_RU"))
        GTEST_SKIP() << "no ru_RU locale source in /usr/share/i18n";
    const fs::path dir =
        fs::temp_directory_path() / ("kalvi7_capture_locale_" + std::to_string(std::random_device{}()));
    fs::create_directories(dir);
    // Compiled into a scratch LOCPATH, so no locale need be installed.
    const std::string build = "localedef -i ru_RU -f UTF-8 '" + (dir / "ru_RU.UTF-8").string() + "'";
    ASSERT_EQ(std::system(build.c_str()), 0) << build;

    const std::string report = support::inChild([&] {
        ::setenv("LOCPATH", dir.c_str(), 1);
        std::locale::global(std::locale("ru_RU.UTF-8"));  // the C library's locale too
        // The locale must really use a comma, or the test proves nothing.
        const std::string point = std::localeconv()->decimal_point;
        return "decimal point " + point + "\n" + writeAndReadBack();
    });
    fs::remove_all(dir);
    EXPECT_EQ(report, "decimal point ,\n" + kWritten);
}
#endif

TEST(CaptureWriter, ANoteWithALineEndStaysOneNote)
{
    std::FILE* file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    capture::CaptureWriter writer(file, {{"port", "/dev/odd\nname\r"}});
    const std::uint8_t byte = 0x42;
    writer.record(0, &byte, 1);
    const std::string text = contents(file);
    std::fclose(file);
    EXPECT_EQ(text, "kalvi7-capture 1\n# port /dev/odd name \n0.000000 42\n");
    EXPECT_EQ(read(text).records.size(), 1u);
}

TEST(CaptureWriter, AFullDiskIsAnErrorNotASilentLoss)
{
    std::FILE* full = std::fopen("/dev/full", "w");
    if (full == nullptr)
        GTEST_SKIP() << "no /dev/full";
    EXPECT_THROW(capture::CaptureWriter(full, {}), std::system_error);
    std::fclose(full);
}

TEST(CaptureWriter, EachRecordIsOnDiskWhenRecordReturns)
{
    // Read through a second handle: nothing waits in the writer's buffer.
    const fs::path path =
        fs::temp_directory_path() / ("kalvi7_capture_flush_" + std::to_string(std::random_device{}()));
    std::FILE* file = std::fopen(path.string().c_str(), "wb");
    ASSERT_NE(file, nullptr);
    capture::CaptureWriter writer(file, {});
    const std::uint8_t bytes[] = {0x12, 0x34};
    writer.record(250'000, bytes, 2);
    std::FILE* second = std::fopen(path.string().c_str(), "rb");
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(contents(second), "kalvi7-capture 1\n0.250000 12 34\n");
    std::fclose(second);
    EXPECT_THROW((writer.end(), writer.record(300'000, bytes, 1)), std::logic_error);
    std::fclose(file);
    fs::remove(path);
}

}  // namespace
