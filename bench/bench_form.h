// The cheapest honest FormView: it keeps the texts, the editors and the
// switches the decoders read back, and runs the request chain as the window
// does, but draws nothing and throws the written bytes away. What a
// benchmark on it measures is the decoders' own work.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "decoding_sink.h"
#include "telemetry.h"

namespace bench {

class BenchForm : public telemetry::FormView {
public:
    std::array<std::string, telemetry::kFieldCount> fields{};
    std::array<std::string, telemetry::kEditorCount> editors{};
    std::array<bool, 5> boxes{};
    std::uint64_t bytesWritten = 0;

    void setText(telemetry::Field f, const std::string& text) override { fields[index(f)] = text; }
    std::string text(telemetry::Field f) const override { return fields[index(f)]; }
    void setEditText(telemetry::Editor e, const std::string& text) override { editors[index(e)] = text; }
    std::string editText(telemetry::Editor e) const override { return editors[index(e)]; }
    bool edit1ReadOnly() const override { return true; }

    bool checked(telemetry::Box b) const override { return boxes[index(b)]; }
    void setChecked(telemetry::Box b, bool on) override
    {
        if (boxes[index(b)] == on)
            return;
        boxes[index(b)] = on;
        if (b != telemetry::Box::CheckBox54)
            telemetry::CheckBox26Click(*this);
    }
    // Puts the switches in a state without running the chain.
    void presetBox(telemetry::Box b, bool on) { boxes[index(b)] = on; }

    void setRadioButton1(bool) override {}
    void setStatusText(const std::string&) override {}
    void writeComByte(std::uint8_t) override { ++bytesWritten; }
    telemetry::TimeOfDay localTime() const override { return {12, 34, 56}; }

    void restartTimer3() override {}

private:
    template <typename E>
    static std::size_t index(E e) { return static_cast<std::size_t>(e); }
};

// The receiver's sink into a BenchForm, counting the good frames it decodes.
class CountingSink : public telemetry::DecodingSink {
public:
    using DecodingSink::DecodingSink;
    std::uint64_t framesReceived = 0;

    void frameReceived(const protocol::RxBuffer& RxBuf) override
    {
        ++framesReceived;
        DecodingSink::frameReceived(RxBuf);
    }
};

}  // namespace bench
