#include "ctl/commands.h"

#include <array>
#include <cstdio>
#include <ctime>
#include <set>
#include <string>

#include "capture/capture_format.h"
#include "common/json_text.h"
#include "ctl/local_time.h"
#include "editors/calibration_check.h"
#include "protocol/frame.h"
#include "protocol/host_frames.h"
#include "telemetry/field_legend.h"
#include "telemetry/telemetry.h"

namespace ctl {
namespace {

using json_text::jsonString;

using telemetry::Box;

// Waits are cut into slices so that a signal ends a command promptly.
constexpr std::chrono::milliseconds kSlice{100};

// Takes bytes until `done` or until `until`; false when a signal stopped it.
bool pump(Context& c, Clock::time_point until, const std::function<bool()>& done)
{
    while (!done()) {
        if (c.stopRequested())
            return false;
        const Clock::time_point now = Clock::now();
        if (now >= until)
            return true;
        c.link.step(std::min(until, now + kSlice));
    }
    return true;
}

void sendFrame(Context& c, const auto& frame)
{
    for (const std::uint8_t byte : frame)
        c.send(byte);
}

void printBlock(std::ostream& out, const Packet& packet, const std::string& heading)
{
    out << "# " << heading << '\n';
    if (packet.type == PacketType::Ack) {
        out << (packet.ackText.empty() ? "code " + std::to_string(packet.ackCode) : packet.ackText) << '\n';
        return;
    }
    for (const telemetry::Shown& shown : packet.shown.fields)
        out << telemetry::legendOf(shown.field).caption << '\t' << shown.text << '\n';
}

std::string hex(const std::vector<std::uint8_t>& bytes)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string text;
    for (const std::uint8_t byte : bytes) {
        if (!text.empty())
            text += ' ';
        text += digits[byte >> 4];
        text += digits[byte & 0x0F];
    }
    return text;
}

// {"key":literal,...} from already written JSON literals.
class JsonObject {
public:
    void add(const std::string& key, const std::string& literal)
    {
        // Appended piece by piece: GCC 12 at -O3 takes "," + a temporary
        // string for an overlapping copy (-Wrestrict), which the Release
        // builds stop on.
        text_ += text_.size() > 1 ? "," : "";
        text_ += jsonString(key);
        text_ += ':';
        text_ += literal;
    }
    std::string close() const { return text_ + "}"; }

private:
    std::string text_ = "{";
};

// One line a packet: the window's texts under "fields", the same as JSON
// numbers, true/false and words under "values" (README: "kalvi7-ctl").
std::string jsonLine(const std::string& time, const Packet& packet)
{
    JsonObject fields, values;
    if (packet.type == PacketType::Ack) {
        fields.add("code", jsonString(std::to_string(packet.ackCode)));
        fields.add("status", jsonString(packet.ackText));
        values.add("code", std::to_string(packet.ackCode));
        values.add("status", packet.ackText.empty() ? "null" : jsonString(packet.ackText));
    }
    for (const telemetry::Shown& shown : packet.shown.fields) {
        const std::string key = telemetry::legendOf(shown.field).key;
        fields.add(key, jsonString(shown.text));
        values.add(key, shown.value);
    }
    for (const auto& [key, literal] : packet.shown.extras)
        values.add(key, literal);

    JsonObject line;
    line.add("time", jsonString(time));
    line.add("type", jsonString(packetTypeName(packet.type)));
    line.add("fields", fields.close());
    line.add("values", values.close());
    return line.close();
}

// The window's way of asking: the telemetry switch set sends the request,
// and each packet the decoders take moves the chain on.
void askForTelemetry(Context& c)
{
    c.link.form().setChecked(Box::CheckBox54, c.continuedMode);
    c.link.form().setChecked(Box::CheckBox26, true);
}

// Waits for an acknowledgement and judges it against the code the command
// expects.
int awaitAck(Context& c, std::uint8_t expected)
{
    std::optional<Packet> ack;
    c.link.onPacket = [&](const Packet& packet) {
        if (packet.type == PacketType::Ack && !ack)
            ack = packet;
    };
    if (!pump(c, Clock::now() + c.timing.ack, [&] { return ack.has_value(); }))
        return kExitNoAnswer;
    if (!ack) {
        c.err << "kalvi7-ctl: no acknowledgement within " << c.timing.ack.count() << " ms\n";
        return kExitNoAnswer;
    }
    c.out << (ack->ackText.empty() ? "code " + std::to_string(ack->ackCode) : ack->ackText) << '\n';
    if (ack->ackCode != expected) {
        c.err << "kalvi7-ctl: acknowledged with code " << int{ack->ackCode} << ", expected " << int{expected}
              << '\n';
        return kExitOtherAck;
    }
    return kExitOk;
}

}  // namespace

std::string isoLocalTime(std::chrono::system_clock::time_point time)
{
    using namespace std::chrono;
    const std::time_t seconds = system_clock::to_time_t(time);
    const auto millis = duration_cast<milliseconds>(time.time_since_epoch()).count() % 1000;
    const auto [local, offset] = localTimeOf(seconds);
    char text[96];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03d%c%02ld:%02ld", local.tm_year + 1900,
                  local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec,
                  static_cast<int>(millis < 0 ? millis + 1000 : millis), offset < 0 ? '-' : '+',
                  (offset < 0 ? -offset : offset) / 60, (offset < 0 ? -offset : offset) % 60);
    return text;
}

int runStatus(Context& c, bool json)
{
    // One block a packet, the last of each kind, with the time it came.
    struct Block {
        Packet packet;
        std::string time;
    };
    std::array<std::optional<Block>, 4> blocks;
    Clock::time_point until = Clock::now() + c.timing.quiet;
    c.link.onPacket = [&](const Packet& packet) {
        if (packet.type == PacketType::Ack)
            return;
        auto& block = blocks[static_cast<std::size_t>(packet.type)];
        if (!block)
            until = Clock::now() + c.timing.quiet;  // a new kind came: the wait starts afresh
        block = Block{packet, isoLocalTime(std::chrono::system_clock::now())};
    };
    auto all = [&] {
        for (const auto& block : blocks)
            if (!block)
                return false;
        return true;
    };
    c.continuedMode = false;
    askForTelemetry(c);
    // The deadline moves while packets come, so it is read afresh each slice.
    while (!all() && !c.stopRequested() && Clock::now() < until)
        c.link.step(std::min(until, Clock::now() + kSlice));

    std::string missing;
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        if (!blocks[i])
            missing += std::string(missing.empty() ? "" : ", ") + packetTypeName(static_cast<PacketType>(i));
        else if (json)
            c.out << jsonLine(blocks[i]->time, blocks[i]->packet) << '\n';
        else
            printBlock(c.out, blocks[i]->packet, packetTypeName(static_cast<PacketType>(i)));
    }
    if (missing.empty())
        return kExitOk;
    c.err << "kalvi7-ctl: no " << missing << " packet came\n";
    return kExitNoAnswer;
}

int runWatch(Context& c, WatchFormat format)
{
    auto now = [] { return isoLocalTime(std::chrono::system_clock::now()); };
    c.link.onPacket = [&](const Packet& packet) {
        if (format == WatchFormat::Json)
            c.out << jsonLine(now(), packet) << '\n';
        else if (format == WatchFormat::Plain)
            printBlock(c.out, packet, std::string(packetTypeName(packet.type)) + ' ' + now());
        c.out.flush();
    };
    if (format == WatchFormat::Raw) {
        c.link.onRawFrame = [&](const RawFrame& frame) {
            c.out << now() << '\t' << (frame.good ? "good" : "bad") << '\t' << hex(frame.wire) << '\n';
            c.out.flush();
        };
    }
    askForTelemetry(c);
    while (!c.stopRequested()) {
        const Clock::time_point until = Clock::now() + c.timing.watchdog;
        bool heard = false;
        while (!c.stopRequested() && !heard && Clock::now() < until)
            heard = c.link.step(std::min(until, Clock::now() + kSlice));
        if (heard || c.stopRequested())
            continue;
        // The window's watchdog: the line was silent, so ask again.
        if (format == WatchFormat::Json)
            c.out << "{\"time\":" << jsonString(now()) << ",\"type\":\"silent\"}\n";
        else
            c.out << "# silent " << now() << '\n';
        c.out.flush();
        telemetry::Timer3Timer(c.link.form());
    }
    return kExitOk;
}

int runSet(Context& c, Setting setting, std::int64_t value)
{
    c.link.form().setMuted(true);
    switch (setting) {
    case Setting::Frequency:
        sendFrame(c, protocol::buildFrequencyCommand(protocol::frequencyCode(value)));
        break;
    case Setting::NavMode:
        sendFrame(c, protocol::buildNavModeCommand(static_cast<std::uint8_t>(value)));
        break;
    case Setting::Gain: sendFrame(c, protocol::buildGainCommand(static_cast<std::uint8_t>(value))); break;
    }
    return awaitAck(c, protocol::PT_SETTINGS_WRITE);
}

int runWriteCalibration(Context& c, const Options& options)
{
    // Only the calibration is asked for, as a click on its switch does;
    // the chain that would follow is not sent.
    c.link.form().setMuted(true);
    std::optional<Packet> calibration;
    c.link.onPacket = [&](const Packet& packet) {
        if (packet.type == PacketType::Calibration)
            calibration = packet;
    };
    sendFrame(c, protocol::buildRequest(protocol::RQ_CALIBRATION));
    if (!pump(c, Clock::now() + c.timing.quiet, [&] { return calibration.has_value(); }))
        return kExitNoAnswer;
    if (!calibration) {
        c.err << "kalvi7-ctl: the calibration did not come; nothing written\n";
        return kExitNoAnswer;
    }

    editors::CalibrationTexts before, after;
    for (std::size_t i = 0; i < 6; ++i) {
        before[i] = c.link.form().text(kCalibrationFields[i]);
        after[i] = options.calibration[i] ? *options.calibration[i] : before[i];
    }
    for (std::size_t i = 0; i < 6; ++i)
        c.out << telemetry::legendOf(kCalibrationFields[i]).caption << '\t' << before[i] << '\t' << after[i]
              << '\n';

    const editors::CalibrationCheck check = editors::checkCalibrationTexts(after);
    if (!check.ok()) {
        const auto index = static_cast<std::size_t>(check.refused);
        const std::string caption = telemetry::legendOf(kCalibrationFields[index]).caption;
        c.err << "kalvi7-ctl: " << calibrationOptionName(index) << ": '" << after[index]
              << "' is refused: " << editors::refusalText(check.refused, caption) << "; nothing written\n";
        return kExitUsage;
    }
    if (!options.yes) {
        c.err << "kalvi7-ctl: nothing written; add --yes to write the new values\n";
        return kExitOk;
    }

    // The fields not given keep the radiosonde's own bits: its texts are
    // rounded (B to two decimals, C to three), and writing them back would
    // change values the operator never touched.
    const protocol::CalibrationValues& kept =
        std::get<protocol::CalibrationPacket>(calibration->value).values;
    protocol::CalibrationValues values = *check.values;
    if (!options.calibration[0])
        values.a = kept.a;
    if (!options.calibration[1])
        values.b = kept.b;
    if (!options.calibration[2])
        values.c = kept.c;
    if (!options.calibration[3])
        values.number1 = kept.number1;
    if (!options.calibration[4])
        values.number2 = kept.number2;
    if (!options.calibration[5])
        values.date = kept.date;
    sendFrame(c, protocol::buildCalibrationWrite(values));
    return awaitAck(c, protocol::PT_CALIB_WRITE);
}

int runCapture(Context& c, std::FILE* file, const std::string& port, std::uint32_t baud,
               std::optional<double> seconds)
{
    capture::CaptureWriter writer(file, {{"port", port},
                                         {"baud", std::to_string(baud)},
                                         {"started", isoLocalTime(std::chrono::system_clock::now())}});
    const Clock::time_point started = Clock::now();
    const Clock::time_point end =
        seconds
            ? started + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(*seconds))
            : Clock::time_point::max();

    // Bytes that came together (within a fraction of a byte's time on the
    // line) make one record.
    constexpr auto kTogether = std::chrono::microseconds(200);
    std::vector<std::uint8_t> pending;
    Clock::time_point pendingAt{};
    auto flush = [&] {
        if (pending.empty())
            return;
        writer.record(std::chrono::duration_cast<std::chrono::microseconds>(pendingAt - started).count(),
                      pending.data(), pending.size());
        pending.clear();
    };
    c.link.onByte = [&](const Arrival& arrival) {
        if (!pending.empty() && arrival.at - pendingAt > kTogether)
            flush();
        if (pending.empty())
            pendingAt = std::max(arrival.at, started);
        pending.push_back(arrival.byte);
    };

    askForTelemetry(c);
    while (!c.stopRequested() && Clock::now() < end) {
        const Clock::time_point until = std::min(end, Clock::now() + c.timing.watchdog);
        bool heard = false;
        while (!c.stopRequested() && !heard && Clock::now() < until) {
            heard = c.link.step(std::min(until, Clock::now() + kSlice));
            if (!heard)
                flush();
        }
        if (!heard && !c.stopRequested() && Clock::now() < end)
            telemetry::Timer3Timer(c.link.form());
    }
    flush();
    writer.end();
    c.err << "kalvi7-ctl: captured " << writer.bytesWritten() << " bytes\n";
    return kExitOk;
}

}  // namespace ctl
