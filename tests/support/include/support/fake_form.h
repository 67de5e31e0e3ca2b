// A recording FormView for tests, fuzzing and benchmarks: no widgets, just
// the state the decoders touch and a record of what they did, in order.
// A benchmark turns the records off, so that what it measures is the
// decoders' own work and not the form's bookkeeping.
//
// Check boxes behave as FormView documents: setting a box to its present
// state does nothing; setting it to the other state changes it and, for
// the four packet boxes, runs CheckBox26Click inside the setter.
// CheckBox54 runs nothing.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "protocol/frame.h"
#include "protocol/host_frames.h"
#include "telemetry/decoding_sink.h"
#include "telemetry/telemetry.h"

namespace telemetry::testing {

class FakeForm : public FormView {
public:
    struct TextWrite {
        Field field;
        std::string text;
        bool operator==(const TextWrite&) const = default;
    };

    // --- State, free for a test to set up and inspect ---
    std::array<std::string, kFieldCount> fields{};  // indexed by Field
    std::array<std::string, kEditorCount> editors{};
    bool edit1IsReadOnly = true;  // not editing
    std::array<bool, 5> boxes{};  // indexed by Box
    bool radioButton1 = false;
    std::string statusText;
    TimeOfDay clock{};

    // --- Records ---
    bool recordTexts = true;         // off: no allocation per setText (benchmarks)
    bool recordWire = true;          // off: written bytes only counted (benchmarks)
    std::vector<TextWrite> textLog;  // every setText, in order
    std::vector<std::uint8_t> wire;  // every writeComByte, in order
    std::uint64_t bytesWritten = 0;  // every writeComByte, recorded or not
    int timerRestarts = 0;

    void clearRecords()
    {
        textLog.clear();
        wire.clear();
        bytesWritten = 0;
        timerRestarts = 0;
    }

    const std::string& field(Field f) const { return fields[index(f)]; }
    bool box(Box b) const { return boxes[index(b)]; }
    void setAllFields(const std::string& text) { fields.fill(text); }

    // An operator's click: toggles the box and runs its handler once.
    void click(Box b) { setChecked(b, !box(b)); }
    // Puts a switch in a state without running the chain.
    void presetBox(Box b, bool on) { boxes[index(b)] = on; }

    // The bytes written, cut into frames at their length bytes. Stops at
    // the first byte run that does not start with the sync word or is cut
    // short; wireWellFormed() tells whether the whole wire was consumed.
    std::vector<std::vector<std::uint8_t>> frames() const
    {
        std::vector<std::vector<std::uint8_t>> out;
        std::size_t at = 0;
        while (const std::size_t size = frameSizeAt(at)) {
            out.emplace_back(wire.begin() + static_cast<std::ptrdiff_t>(at),
                             wire.begin() + static_cast<std::ptrdiff_t>(at + size));
            at += size;
        }
        return out;
    }

    bool wireWellFormed() const
    {
        std::size_t at = 0;
        while (const std::size_t size = frameSizeAt(at))
            at += size;
        return at == wire.size();
    }

    // The mask of every request frame written, in order. A frame counts only
    // if it is byte for byte the request frame of its mask, CRC included.
    std::vector<std::uint8_t> requestMasks() const
    {
        std::vector<std::uint8_t> masks;
        for (const auto& frame : frames()) {
            if (frame.size() != protocol::wireSize(3) || frame[4] != protocol::PT_REQUEST)
                continue;
            const auto expected = protocol::buildRequest(frame[6]);
            if (std::equal(frame.begin(), frame.end(), expected.begin(), expected.end()))
                masks.push_back(frame[6]);
        }
        return masks;
    }

    // --- FormView ---
    void setText(Field f, const std::string& text) override
    {
        fields[index(f)] = text;
        if (recordTexts)
            textLog.push_back({f, text});
    }
    std::string text(Field f) const override { return fields[index(f)]; }

    void setEditText(Editor e, const std::string& text) override { editors[index(e)] = text; }
    std::string editText(Editor e) const override { return editors[index(e)]; }
    bool edit1ReadOnly() const override { return edit1IsReadOnly; }

    bool checked(Box b) const override { return boxes[index(b)]; }
    void setChecked(Box b, bool on) override
    {
        if (boxes[index(b)] == on)
            return;
        boxes[index(b)] = on;
        if (b != Box::CheckBox54)
            CheckBox26Click(*this);
    }

    void setRadioButton1(bool on) override { radioButton1 = on; }
    void setStatusText(const std::string& text) override { statusText = text; }
    void writeComByte(std::uint8_t byte) override
    {
        ++bytesWritten;
        if (recordWire)
            wire.push_back(byte);
    }
    TimeOfDay localTime() const override { return clock; }

    void restartTimer3() override { ++timerRestarts; }

private:
    template <typename E>
    static std::size_t index(E e)
    {
        return static_cast<std::size_t>(e);
    }

    // Wire size of the frame starting at `at`, 0 if none starts there.
    std::size_t frameSizeAt(std::size_t at) const
    {
        if (wire.size() < at + 6)
            return 0;
        if (!std::equal(protocol::kSyncWord.begin(), protocol::kSyncWord.end(),
                        wire.begin() + static_cast<std::ptrdiff_t>(at)))
            return 0;
        const std::size_t size = protocol::wireSize(wire[at + 5]);
        return wire.size() >= at + size ? size : 0;
    }
};

// The receiver's sink of a FakeForm, wired as the window wires its own: good
// frames go to the decoders; what the receiver reports is recorded (the
// verdicts only while recordVerdicts is on; a benchmark counts).
class RecordingSink : public DecodingSink {
public:
    using DecodingSink::DecodingSink;

    bool recordVerdicts = true;
    std::uint64_t bytesTaken = 0;
    std::vector<bool> verdicts;  // one per checked frame: CRC good
    std::uint64_t framesReceived = 0;

    void clearRecords()
    {
        bytesTaken = 0;
        verdicts.clear();
        framesReceived = 0;
    }

    void byteTaken() override { ++bytesTaken; }
    void frameChecked(bool crcGood) override
    {
        if (recordVerdicts)
            verdicts.push_back(crcGood);
    }
    void frameReceived(const protocol::RxBuffer& RxBuf) override
    {
        ++framesReceived;
        DecodingSink::frameReceived(RxBuf);
    }
};

}  // namespace telemetry::testing
