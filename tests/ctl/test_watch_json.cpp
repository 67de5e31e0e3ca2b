// What a station's script reads from kalvi7-ctl watch --json, taken from
// real runs against the simulator and against a peer sending the packets
// the simulator never makes: every value agrees with the text beside it,
// every line passes the published schema, and both checks refuse a line
// that was altered, so that their passing means something.

#include <gtest/gtest.h>

#include <stdio.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "ctl_harness.h"
#include "edge_packets.h"
#include "json_literals.h"
#include "support/sim_process.h"
#include "value_agreement.h"
#include "watch_runs.h"

namespace ctltest {
namespace {

using namespace std::chrono_literals;

// Before its first fix the simulator reports the Earth's centre, which has
// no latitude: its lines leave the geodetic keys out.
const std::string kBeforeFirstFix = "the simulator before its first fix, every part faulty";

const std::vector<WatchRun>& simulatorRuns()
{
    static const std::vector<WatchRun> runs{
        watchSimulator("the simulator with a 3D fix near Moscow", {"--warmup", "0"}, 1500ms),
        watchSimulator("the simulator with a 3D fix south of the equator, west of Greenwich",
                       {"--warmup", "0", "--lat", "-33.45", "--lon", "-70.67", "--height", "520"}, 1500ms),
        watchSimulator(kBeforeFirstFix, {"--warmup", "30", "--state", "0x83"}, 1500ms),
    };
    return runs;
}

const WatchRun& peerRun()
{
    static const WatchRun run = [] {
        std::vector<std::vector<std::uint8_t>> frames;
        for (const EdgePacket& packet : edgePackets())
            frames.push_back(packet.frame);
        return watchPeer("packets the simulator never sends", frames, 1200ms);
    }();
    return run;
}

std::vector<const WatchRun*> allRuns()
{
    std::vector<const WatchRun*> runs;
    for (const WatchRun& run : simulatorRuns())
        runs.push_back(&run);
    runs.push_back(&peerRun());
    return runs;
}

Json parsed(const std::string& line)
{
    ParsedJson json = parseJson(line);
    EXPECT_TRUE(json.value) << "not strict JSON (" << json.error << "): " << line;
    return json.value.value_or(Json{});
}

std::string typeOf(const Json& line)
{
    const Json* type = line.find("type");
    return type ? type->text : "";
}

// The peer's lines for its packets, one each, in the order sent; the
// "silent" lines after them left out.
std::vector<Json> edgeLines()
{
    std::vector<Json> lines;
    for (const std::string& text : peerRun().lines) {
        Json line = parsed(text);
        if (typeOf(line) != "silent")
            lines.push_back(std::move(line));
    }
    return lines;
}

Json edgeLine(const std::string& what)
{
    const std::vector<EdgePacket> packets = edgePackets();
    const std::vector<Json> lines = edgeLines();
    for (std::size_t i = 0; i < packets.size() && i < lines.size(); ++i)
        if (packets[i].what == what)
            return lines[i];
    ADD_FAILURE() << "no line for the packet \"" << what << "\"";
    return {};
}

Json silentLine()
{
    for (const std::string& text : peerRun().lines)
        if (Json line = parsed(text); typeOf(line) == "silent")
            return line;
    ADD_FAILURE() << "no silent line";
    return {};
}

std::string joined(const std::vector<std::string>& sentences)
{
    std::string text;
    for (const std::string& sentence : sentences)
        text += "\n  " + sentence;
    return text;
}

// ---------------------------------------------------------------------------
// The runs themselves: each ended cleanly and has what the checks below
// rely on, so that they are never passed by an empty output.

TEST(WatchJson, RunsGiveEveryKindOfLine)
{
    for (const WatchRun* run : allRuns()) {
        SCOPED_TRACE(run->name);
        EXPECT_EQ(run->status, 0) << run->err;
        std::vector<std::string> types;
        bool geodetic = false;
        for (const std::string& text : run->lines) {
            const Json line = parsed(text);
            types.push_back(typeOf(line));
            const Json* fields = line.find("fields");
            geodetic = geodetic || (fields && fields->find("latitude"));
        }
        for (const char* type : {"telemetry", "calibration", "settings", "state", "silent"})
            EXPECT_NE(std::find(types.begin(), types.end(), type), types.end()) << type;
        EXPECT_EQ(geodetic, run->name != kBeforeFirstFix);
    }
    EXPECT_EQ(edgeLines().size(), edgePackets().size()) << joined(peerRun().lines);
}

// ---------------------------------------------------------------------------
// Values against texts.

TEST(WatchJson, EveryValueAgreesWithItsText)
{
    for (const WatchRun* run : allRuns()) {
        for (const std::string& text : run->lines) {
            const std::vector<std::string> problems = valueDisagreements(parsed(text));
            EXPECT_TRUE(problems.empty()) << run->name << ": " << text << joined(problems);
        }
    }
}

// The values that are easiest to get wrong, worked out by hand from the
// bytes sent.
TEST(WatchJson, EdgePacketsGiveTheDocumentedValues)
{
    const std::vector<EdgePacket> packets = edgePackets();
    const std::vector<Json> lines = edgeLines();
    ASSERT_EQ(lines.size(), packets.size()) << joined(peerRun().lines);
    for (std::size_t i = 0; i < packets.size(); ++i) {
        const EdgePacket& packet = packets[i];
        const Json& line = lines[i];
        SCOPED_TRACE(packet.what + ": " + line.dump());
        EXPECT_EQ(typeOf(line), packet.type);
        const Json* fields = line.find("fields");
        const Json* values = line.find("values");
        ASSERT_TRUE(fields && values);
        for (const auto& [key, literal] : packet.values) {
            const Json* value = values->find(key);
            EXPECT_EQ(value ? value->dump() : "(none)", literal) << key;
        }
        for (const std::string& key : packet.present)
            EXPECT_TRUE(fields->find(key) && values->find(key)) << key;
        for (const std::string& key : packet.absent)
            EXPECT_FALSE(fields->find(key) || values->find(key)) << key;
        if (!packet.statusWords.empty()) {
            const Json* status = values->find("status");
            ASSERT_TRUE(status && status->kind == Json::Kind::String);
            EXPECT_EQ(status->text.rfind(packet.statusWords, 0), 0u) << status->text;
        }
    }
}

// The check above is only worth its passing if it fails on a line that
// says something else in "values" than in "fields".
struct Alteration {
    const char* what;
    const char* packet;  // the edge packet whose line is altered; "" for a silent line
    std::function<void(Json& fields, Json& values, Json& line)> alter;
};

const Alteration kAlterations[] = {
    {"a trailing zero added to a number", "only time, all valid, near Moscow",
     [](Json&, Json& v, Json&) { v.set("x", Json::number(v.find("x")->text + "0")); }},
    {"the shown zeros of the volts dropped", "only time, all valid, near Moscow",
     [](Json&, Json& v, Json&) { v.set("adc_mcu_temperature_volts", Json::number("3.3")); }},
    {"another number", "only time, all valid, near Moscow",
     [](Json&, Json& v, Json&) { v.set("temperature", Json::number("23.46")); }},
    {"null for a reading", "only time, all valid, near Moscow",
     [](Json&, Json& v, Json&) { v.set("temperature", Json::null()); }},
    {"a reading as a string", "only time, all valid, near Moscow",
     [](Json&, Json& v, Json&) { v.set("temperature", Json::string("23.45")); }},
    {"the text with '.' for ','", "only time, all valid, near Moscow",
     [](Json& f, Json&, Json&) { f.set("temperature", Json::string("23.45")); }},
    {"a validity turned", "only time, all valid, near Moscow",
     [](Json&, Json& v, Json&) { v.set("gps_valid", Json::boolean(false)); }},
    {"another fix word", "only time, all valid, near Moscow",
     [](Json&, Json& v, Json&) { v.set("fix", Json::string("3D")); }},
    {"the MCU count with its volts", "only time, all valid, near Moscow",
     [](Json&, Json& v, Json&) { v.set("adc_mcu_temperature", Json::string("2048 (3,30 В)")); }},
    {"two keys swapped", "only time, all valid, near Moscow",
     [](Json&, Json& v, Json&) { std::swap(v.members[3], v.members[4]); }},
    {"a key left out", "only time, all valid, near Moscow", [](Json&, Json& v, Json&) { v.erase("pdop"); }},
    {"a key added", "only time, all valid, near Moscow",
     [](Json&, Json& v, Json&) { v.set("altitude", Json::number("1")); }},
    {"the volts left out", "only time, all valid, near Moscow",
     [](Json&, Json& v, Json&) { v.erase("adc_mcu_temperature_volts"); }},
    {"a number for a missing sensor", "no sensors, at the Earth's centre, no fix",
     [](Json&, Json& v, Json&) { v.set("humidity", Json::number("0")); }},
    {"the sensor's absence as a word", "no sensors, at the Earth's centre, no fix",
     [](Json&, Json& v, Json&) { v.set("pressure", Json::string("нет датчика")); }},
    {"a number for a NaN coefficient",
     "coefficients that are no numbers or far too large, serials at their ends",
     [](Json&, Json& v, Json&) { v.set("a", Json::number("0")); }},
    {"a serial number as a string",
     "coefficients that are no numbers or far too large, serials at their ends",
     [](Json&, Json& v, Json&) { v.set("number", Json::string("4294967295")); }},
    {"zero for the transmitter off", "transmitter off, a negative correction, an unknown navigation mode",
     [](Json&, Json& v, Json&) { v.set("gain", Json::number("0")); }},
    {"the correction's code as the signed steps",
     "transmitter off, a negative correction, an unknown navigation mode",
     [](Json&, Json& v, Json&) { v.set("frequency_correction_code", Json::number("-1")); }},
    {"the correction in steps, not hertz",
     "transmitter off, a negative correction, an unknown navigation mode",
     [](Json&, Json& v, Json&) { v.set("frequency_correction", Json::number("-1")); }},
    {"the navigation mode with its code",
     "transmitter off, a negative correction, an unknown navigation mode",
     [](Json&, Json& v, Json&) { v.set("nav_mode", Json::string("Неизвестный (7)")); }},
    {"another gain code", "highest gain, a correction outside the 11-bit field",
     [](Json&, Json& v, Json&) { v.set("gain_code", Json::number("254")); }},
    {"a settings code left out", "highest gain, a correction outside the 11-bit field",
     [](Json&, Json& v, Json&) { v.erase("vco_bias_code"); }},
    {"the hertz of an unknown correction", "highest gain, a correction outside the 11-bit field",
     [](Json&, Json& v, Json&) { v.set("frequency_correction", Json::number("-262000")); }},
    {"a health turned", "only unused bits set",
     [](Json&, Json& v, Json&) { v.set("pll", Json::boolean(false)); }},
    {"health as its word", "only unused bits set",
     [](Json&, Json& v, Json&) { v.set("nav_link", Json::string("OK")); }},
    {"no status for a known code", "settings written",
     [](Json&, Json& v, Json&) { v.set("status", Json::null()); }},
    {"an empty status for an unknown code", "a code the window ignores",
     [](Json&, Json& v, Json&) { v.set("status", Json::string("")); }},
    {"another acknowledgement code", "settings written",
     [](Json&, Json& v, Json&) { v.set("code", Json::number("2")); }},
    {"values on a silent line", "", [](Json&, Json&, Json& line) { line.set("values", Json::object()); }},
};

TEST(WatchJson, TheAgreementCheckFindsAlteredValues)
{
    for (const Alteration& alteration : kAlterations) {
        Json line = *alteration.packet ? edgeLine(alteration.packet) : silentLine();
        ASSERT_TRUE(valueDisagreements(line).empty())
            << alteration.what << ": the line before: " << line.dump();
        Json none;
        Json* fields = line.find("fields") ? line.find("fields") : &none;
        Json* values = line.find("values") ? line.find("values") : &none;
        alteration.alter(*fields, *values, line);
        EXPECT_FALSE(valueDisagreements(line).empty()) << alteration.what << ": " << line.dump();
    }
}

// ---------------------------------------------------------------------------
// The schema, judged by jsonschema through tests/ctl/check_watch_lines.py.

std::string quoted(const std::string& word)
{
    std::string text = "'";
    for (const char c : word)
        text += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return text + "'";
}

struct Checked {
    int status = -1;
    std::string report;
};

// Runs the check with the accepted lines and the rows of refused ones
// ("pointer<TAB>keyword<TAB>line") in files of a scratch directory.
Checked checkWithSchema(const std::vector<std::string>& accepted, const std::vector<std::string>& refused)
{
    char pattern[] = "/tmp/kalvi7-watch-schema-XXXXXX";
    if (!mkdtemp(pattern))
        return {-1, "no scratch directory"};
    const std::string dir = pattern;
    std::string command =
        quoted(KALVI7_PYTHON) + " " + quoted(KALVI7_CHECK_WATCH_LINES) + " " + quoted(KALVI7_WATCH_SCHEMA);
    auto write = [&](const char* option, const char* name, const std::vector<std::string>& lines) {
        if (lines.empty())
            return;
        std::ofstream file(dir + "/" + name);
        for (const std::string& line : lines)
            file << line << '\n';
        command += std::string(" ") + option + " " + quoted(dir + "/" + name);
    };
    write("--accept", "accepted.jsonl", accepted);
    write("--reject", "refused.tsv", refused);

    Checked checked;
    if (FILE* pipe = popen((command + " 2>&1").c_str(), "r")) {
        char chunk[4096];
        for (std::size_t n; (n = fread(chunk, 1, sizeof chunk, pipe)) > 0;)
            checked.report.append(chunk, n);
        const int status = pclose(pipe);
        checked.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::remove((dir + "/accepted.jsonl").c_str());
    std::remove((dir + "/refused.tsv").c_str());
    rmdir(dir.c_str());
    return checked;
}

TEST(WatchJson, EveryLinePassesTheSchema)
{
    std::vector<std::string> lines;
    for (const WatchRun* run : allRuns())
        lines.insert(lines.end(), run->lines.begin(), run->lines.end());
    ASSERT_FALSE(lines.empty());
    const Checked checked = checkWithSchema(lines, {});
    EXPECT_EQ(checked.status, 0) << checked.report;
    EXPECT_NE(checked.report.find(std::to_string(lines.size()) + " lines, 0 not as expected"),
              std::string::npos)
        << checked.report;
}

// Lines altered in one place each, which the schema must refuse for that
// place: the validator's error must be there, not somewhere else.
struct Breakage {
    const char* what;
    const char* packet;  // as above
    const char* pointer;
    const char* keyword;
    std::function<void(Json& fields, Json& values, Json& line)> alter;
};

const Breakage kBreakages[] = {
    {"a number as a string in values", "only time, all valid, near Moscow", "/values/temperature", "type",
     [](Json&, Json& v, Json&) { v.set("temperature", Json::string("23.45")); }},
    {"no \"time\" on the line", "only time, all valid, near Moscow", "", "required",
     [](Json&, Json&, Json& line) { line.erase("time"); }},
    {"no navigation \"time\" beside a position", "only time, all valid, near Moscow", "/values",
     "dependentRequired", [](Json&, Json& v, Json&) { v.erase("time"); }},
    {"an unknown type", "only time, all valid, near Moscow", "/type", "const",
     [](Json&, Json&, Json& line) { line.set("type", Json::string("status")); }},
    {"a key no packet has", "only time, all valid, near Moscow", "/values", "additionalProperties",
     [](Json&, Json& v, Json&) { v.set("altitude", Json::number("150")); }},
    {"validity as its word in values", "only time, all valid, near Moscow", "/values/gps_valid", "type",
     [](Json&, Json& v, Json&) { v.set("gps_valid", Json::string("достоверно")); }},
    {"half the geodetic keys", "only time, all valid, near Moscow", "/fields", "dependentRequired",
     [](Json& f, Json&, Json&) { f.erase("longitude"); }},
    {"a text as a number in fields", "only time, all valid, near Moscow", "/fields/pdop", "type",
     [](Json& f, Json&, Json&) { f.set("pdop", Json::number("1.5")); }},
    {"a text with '.' for ','", "only time, all valid, near Moscow", "/fields/x", "pattern",
     [](Json& f, Json&, Json&) { f.set("x", Json::string("2849866.67")); }},
    {"a navigation time with a locale's separator", "only time, all valid, near Moscow", "/fields/time",
     "pattern", [](Json& f, Json&, Json&) { f.set("time", Json::string("9.05.07")); }},
    {"a local time without its offset", "only time, all valid, near Moscow", "/time", "pattern",
     [](Json&, Json&, Json& line) { line.set("time", Json::string("2026-12-11T04:50:21.007")); }},
    {"a fix word the radiosonde has not", "only time, all valid, near Moscow", "/values/fix", "enum",
     [](Json&, Json& v, Json&) { v.set("fix", Json::string("3D+")); }},
    {"an impossible line of a possible time", "impossible time: hour 24", "/fields", "dependentRequired",
     [](Json& f, Json&, Json&) { f.set("adc_battery", Json::string("3000")); }},
    {"a missing sensor as a word in values", "no sensors, at the Earth's centre, no fix", "/values/humidity",
     "type", [](Json&, Json& v, Json&) { v.set("humidity", Json::string("нет датчика")); }},
    {"a date as a number", "coefficients that are no numbers or far too large, serials at their ends",
     "/values/date", "type", [](Json&, Json& v, Json&) { v.set("date", Json::number("150324")); }},
    {"a serial number beyond 32 bits",
     "coefficients that are no numbers or far too large, serials at their ends", "/values/number", "maximum",
     [](Json&, Json& v, Json&) { v.set("number", Json::number("4294967296")); }},
    {"a settings line without a code", "highest gain, a correction outside the 11-bit field", "/values",
     "required", [](Json&, Json& v, Json&) { v.erase("gain_code"); }},
    {"a code beyond its byte", "highest gain, a correction outside the 11-bit field",
     "/values/frequency_code", "maximum",
     [](Json&, Json& v, Json&) { v.set("frequency_code", Json::number("256")); }},
    {"a fractional code", "highest gain, a correction outside the 11-bit field", "/values/nav_mode_code",
     "type", [](Json&, Json& v, Json&) { v.set("nav_mode_code", Json::number("2.5")); }},
    {"health as its word in values", "only unused bits set", "/values/pll", "type",
     [](Json&, Json& v, Json&) { v.set("pll", Json::string("OK")); }},
    {"an acknowledgement's status as a number", "settings written", "/values/status", "type",
     [](Json&, Json& v, Json&) { v.set("status", Json::number("3")); }},
    {"fields on a silent line", "", "", "additionalProperties",
     [](Json&, Json&, Json& line) { line.set("fields", Json::object()); }},
};

// status --json: the same lines as watch --json, one a packet kind, in the
// order of the plain blocks, each passing both checks.
TEST(StatusJson, OneLineAPacketKindPassingBothChecks)
{
    support::SimProcess sim({"--warmup", "0"});
    const Result r = runCtl({"--port", sim.linePath(), "status", "--json"});
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<std::string> lines;
    std::istringstream out(r.out);
    for (std::string line; std::getline(out, line);)
        lines.push_back(line);
    std::vector<std::string> types;
    for (const std::string& line : lines) {
        const Json json = parsed(line);
        types.push_back(typeOf(json));
        EXPECT_EQ(joined(valueDisagreements(json)), "") << line;
    }
    EXPECT_EQ(types, (std::vector<std::string>{"telemetry", "calibration", "settings", "state"}));
    const Checked checked = checkWithSchema(lines, {});
    EXPECT_EQ(checked.status, 0) << checked.report;
}

TEST(WatchJson, TheSchemaRefusesBrokenLines)
{
    std::vector<std::string> before, rows;
    for (const Breakage& breakage : kBreakages) {
        Json line = *breakage.packet ? edgeLine(breakage.packet) : silentLine();
        before.push_back(line.dump());
        Json none;
        Json* fields = line.find("fields") ? line.find("fields") : &none;
        Json* values = line.find("values") ? line.find("values") : &none;
        breakage.alter(*fields, *values, line);
        ASSERT_NE(line.dump(), before.back()) << breakage.what;
        rows.push_back(std::string(breakage.pointer) + "\t" + breakage.keyword + "\t" + line.dump());
    }
    // The lines as they came pass, so that each refusal is the alteration's.
    const Checked checked = checkWithSchema(before, rows);
    EXPECT_EQ(checked.status, 0) << checked.report;
    EXPECT_NE(checked.report.find(std::to_string(before.size() + rows.size()) + " lines, 0 not as expected"),
              std::string::npos)
        << checked.report;
}

}  // namespace
}  // namespace ctltest
