#include "ctl/memory_form.h"

#include <algorithm>
#include <ctime>

#include "ctl/local_time.h"
#include "telemetry/telemetry.h"

namespace ctl {

using telemetry::Box;
using telemetry::Editor;
using telemetry::Field;

void MemoryForm::setText(Field field, const std::string& text)
{
    texts_[static_cast<std::size_t>(field)] = text;
}

std::string MemoryForm::text(Field field) const { return texts_[static_cast<std::size_t>(field)]; }

void MemoryForm::setEditText(Editor editor, const std::string& text)
{
    edits_[static_cast<std::size_t>(editor)] = text;
}

std::string MemoryForm::editText(Editor editor) const { return edits_[static_cast<std::size_t>(editor)]; }

bool MemoryForm::checked(Box box) const { return boxes_[static_cast<std::size_t>(box)]; }

void MemoryForm::setChecked(Box box, bool on)
{
    bool& state = boxes_[static_cast<std::size_t>(box)];
    if (state == on)
        return;
    state = on;
    // The four packet boxes share the click handler; the cyclic switch has none.
    if (box != Box::CheckBox54)
        telemetry::CheckBox26Click(*this);
}

void MemoryForm::writeComByte(std::uint8_t byte)
{
    if (!muted_ && writer_)
        writer_(byte);
}

telemetry::TimeOfDay MemoryForm::localTime() const
{
    const std::tm local = localTimeOf(std::time(nullptr)).calendar;
    return {local.tm_hour, local.tm_min, local.tm_sec};
}

}  // namespace ctl
