// The window under other system locales. Each case compiles its locale
// from the C library's locale sources into a scratch directory, runs
// locale_probe there with LANG naming it (and no other locale variable
// set), and compares what the window sent and showed with a run under the
// C locale: the frames must be the same bytes and every text the same,
// with Latin digits, but for the time separator the locale may choose.

#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <map>
#include <ostream>
#include <regex>
#include <string>

#include "protocol/host_frames.h"

namespace {

using Shown = std::map<std::string, std::string>;

struct LocaleCase {
    const char* source;     // locale source in /usr/share/i18n/locales; "" for C
    const char* lang;       // LANG
    const char* qtName;     // the name the toolkit gives the system locale
    const char* separator;  // the time separator expected
    bool nativeDigits;      // the locale's own digits are not Latin
};

// Eastern Arabic, Persian, Bengali and Devanagari digits; "." and word
// separators in the time format; dotted and dotless i.
const LocaleCase kLocales[] = {
    {"", "C", "C", ":", false},
    {"ru_RU", "ru_RU.UTF-8", "ru_RU", ":", false},
    {"fa_IR", "fa_IR.UTF-8", "fa_IR", ":", true},
    {"ar_EG", "ar_EG.UTF-8", "ar_EG", ":", true},
    {"bn_BD", "bn_BD.UTF-8", "bn_BD", ":", true},
    {"mr_IN", "mr_IN.UTF-8", "mr_IN", ":", true},
    {"fi_FI", "fi_FI.UTF-8", "fi_FI", ".", false},
    {"zh_CN", "zh_CN.UTF-8", "zh_CN", ":", false},
    {"ko_KR", "ko_KR.UTF-8", "ko_KR", ":", false},
    {"tr_TR", "tr_TR.UTF-8", "tr_TR", ":", false},
};

// Runs the probe with only LANG (and LOCPATH, when given) naming a locale.
Shown runProbe(const QString& lang, const QString& locpath)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const QString& key : environment.keys()) {
        if (key.startsWith(QStringLiteral("LC_")) || key == QStringLiteral("LANGUAGE") ||
            key == QStringLiteral("LOCPATH"))
            environment.remove(key);
    }
    environment.insert(QStringLiteral("LANG"), lang);
    if (!locpath.isEmpty())
        environment.insert(QStringLiteral("LOCPATH"), locpath);
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));

    QProcess probe;
    probe.setProcessEnvironment(environment);
    probe.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    probe.start(QStringLiteral(KALVI7_LOCALE_PROBE), {});
    Shown shown;
    if (!probe.waitForFinished(60000) || probe.exitStatus() != QProcess::NormalExit ||
        probe.exitCode() != 0) {
        ADD_FAILURE() << "locale_probe under " << lang.toStdString() << " did not finish";
        return shown;
    }
    for (const QByteArray& line : probe.readAllStandardOutput().split('\n')) {
        const qsizetype equals = line.indexOf('=');
        if (equals > 0)
            shown[line.left(equals).toStdString()] = line.mid(equals + 1).toStdString();
    }
    return shown;
}

template <std::size_t N>
std::string hex(const std::array<std::uint8_t, N>& frame)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string text;
    for (std::uint8_t byte : frame) {
        if (!text.empty())
            text.push_back(' ');
        text.push_back(digits[byte >> 4]);
        text.push_back(digits[byte & 0x0F]);
    }
    return text;
}

std::string withSeparator(std::string text, const std::string& separator)
{
    for (std::size_t at = text.find(':'); at != std::string::npos; at = text.find(':', at + separator.size()))
        text.replace(at, 1, separator);
    return text;
}

// Every digit shown is one of "0" to "9".
bool latinOnly(const std::string& text)
{
    for (QChar c : QString::fromStdString(text)) {
        if (c.isDigit() && c.unicode() > 127)
            return false;
    }
    return true;
}

// Names the case in the test's name and in failure messages.
void PrintTo(const LocaleCase& locale, std::ostream* out) { *out << locale.lang; }

class UnderLocale : public ::testing::TestWithParam<LocaleCase> {};

TEST_P(UnderLocale, EditorsSendTheSameFramesAndTextsStayLatin)
{
    const LocaleCase& locale = GetParam();

    QTemporaryDir locpath;
    ASSERT_TRUE(locpath.isValid());
    if (*locale.source) {
        // The locale is compiled here, not taken from the machine: the test
        // does not depend on which locales an administrator generated.
        QProcess localedef;
        localedef.setProcessChannelMode(QProcess::ForwardedChannels);
        localedef.start(QStringLiteral("localedef"),
                        {QStringLiteral("-c"), QStringLiteral("-i"), QString::fromLatin1(locale.source),
                         QStringLiteral("-f"), QStringLiteral("UTF-8"),
                         locpath.filePath(QString::fromLatin1(locale.lang))});
        ASSERT_TRUE(localedef.waitForFinished(120000))
            << "localedef (Debian package libc-bin, sources in package locales) did not run";
        ASSERT_TRUE(
            QFile::exists(locpath.filePath(QString::fromLatin1(locale.lang) + QStringLiteral("/LC_TIME"))))
            << "localedef made no " << locale.lang << " (are the sources of package locales installed?)";
    }

    const Shown reference = runProbe(QStringLiteral("C"), {});
    const Shown shown =
        *locale.source ? runProbe(QString::fromLatin1(locale.lang), locpath.path()) : reference;
    ASSERT_FALSE(reference.empty());
    ASSERT_FALSE(shown.empty());

    // The locale is in force in the probe, for the toolkit and the C library.
    EXPECT_EQ(shown.at("system"), locale.qtName);
    EXPECT_EQ(shown.at("system.c_time"), locale.lang);
    if (locale.nativeDigits) {
        EXPECT_FALSE(latinOnly(shown.at("system.digits"))) << "the locale's own digits are not in force";
    }

    // The bytes sent, against what the radiosonde expects.
    EXPECT_EQ(shown.at("spin.frequency"), "403000");
    EXPECT_EQ(shown.at("spin.gain"), "30");
    EXPECT_EQ(shown.at("frame.frequency"), "AA AA BF 35 03 09 01 3C 00 00 03 00 00 3B 96");
    EXPECT_EQ(shown.at("frame.gain"), "AA AA BF 35 03 09 02 00 1E 00 03 00 00 A5 A8");
    EXPECT_EQ(shown.at("frame.navmode"), "AA AA BF 35 03 09 10 00 00 00 03 00 02 BE 6A");
    EXPECT_EQ(shown.at("spin.stepped"), "403050");
    EXPECT_EQ(shown.at("frame.stepped"), hex(protocol::buildFrequencyCommand(61)));
    // A thousands comma does not get into the text that is read.
    EXPECT_EQ(shown.at("spin.typed"), "405100");
    EXPECT_EQ(shown.at("frame.typed"), hex(protocol::buildFrequencyCommand(102)));
    EXPECT_EQ(shown.at("spin.gain_typed"), "63");
    EXPECT_EQ(shown.at("frame.gain_typed"), hex(protocol::buildGainCommand(63)));
    protocol::CalibrationValues values;
    values.a = 1.5f;
    values.b = -40.0f;
    values.c = 273.15f;
    values.number1 = 123456;
    values.number2 = 4294967295u;
    values.date = 10203;
    EXPECT_EQ(shown.at("frame.calibration"), hex(protocol::buildCalibrationWrite(values)));

    // Every text as under C; the time fields with the locale's separator.
    EXPECT_EQ(reference.at("field.Label6"), "9:05:07");
    EXPECT_EQ(reference.at("field.Label47"), "23,45");
    EXPECT_EQ(reference.at("window.direction"), "left to right");
    for (const auto& [key, text] : reference) {
        if (key.rfind("system", 0) == 0 || key == "status")
            continue;
        ASSERT_TRUE(shown.count(key)) << key;
        const bool time = key == "field.Label6" || key == "field.Label134";
        EXPECT_EQ(shown.at(key), time ? withSeparator(text, locale.separator) : text) << key;
        EXPECT_TRUE(latinOnly(shown.at(key))) << key << " = " << shown.at(key);
    }
    std::string separator;
    for (char c : std::string(locale.separator))
        separator += std::string("\\") + c;
    EXPECT_TRUE(std::regex_match(shown.at("status"), std::regex("Настройки сохранены [0-9]{2}" + separator +
                                                                "[0-9]{2}" + separator + "[0-9]{2}")))
        << shown.at("status");
}

INSTANTIATE_TEST_SUITE_P(Locales, UnderLocale, ::testing::ValuesIn(kLocales),
                         [](const ::testing::TestParamInfo<LocaleCase>& test) {
                             return std::string(*test.param.source ? test.param.source : "C");
                         });

}  // namespace
