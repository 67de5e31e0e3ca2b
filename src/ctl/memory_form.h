// The window's display fields, editors and request switches held as plain
// values, so that the decoders, the request chain and the watchdog run
// unchanged behind a command line.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>

#include "telemetry/form_view.h"

namespace ctl {

class MemoryForm : public telemetry::FormView {
public:
    using Writer = std::function<void(std::uint8_t)>;
    explicit MemoryForm(Writer writer) : writer_(std::move(writer)) {}

    void setText(telemetry::Field field, const std::string& text) override;
    std::string text(telemetry::Field field) const override;
    void setEditText(telemetry::Editor editor, const std::string& text) override;
    std::string editText(telemetry::Editor editor) const override;
    bool edit1ReadOnly() const override { return true; }  // nobody types into these editors
    bool checked(telemetry::Box box) const override;
    void setChecked(telemetry::Box box, bool on) override;
    void setRadioButton1(bool) override {}
    // The acknowledgement's text reaches a command through the packet's
    // presentation; there is no status bar to keep it.
    void setStatusText(const std::string&) override {}
    void writeComByte(std::uint8_t byte) override;
    telemetry::TimeOfDay localTime() const override;
    void restartTimer3() override {}

    // While muted the request chain's frames go nowhere: a command that
    // only waits for an acknowledgement asks for nothing else.
    void setMuted(bool muted) { muted_ = muted; }

private:
    Writer writer_;
    std::array<std::string, telemetry::kFieldCount> texts_{};
    std::array<std::string, telemetry::kEditorCount> edits_{};
    std::array<bool, 5> boxes_{};
    bool muted_ = false;
};

}  // namespace ctl
