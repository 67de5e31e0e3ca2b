// How the decoders and the geodetic conversion write a display field: the
// text goes into the field and, where the legend names one, into its copy
// on the operator page. The copy pairs are the legend's copy column and
// nothing else; no decoder names a copy.
#pragma once

#include <optional>
#include <string>

#include "telemetry/field_legend.h"
#include "telemetry/form_view.h"

namespace telemetry {

// Writes the field's text into its operator-page copy, if it has one. The
// text is read back from the field rather than passed along, so the two
// always show the same text, whatever the field made of it.
inline void copyToOperatorPage(FormView& form, Field field)
{
    if (const std::optional<Field> copy = legendOf(field).copy)
        form.setText(*copy, form.text(field));
}

// Writes a display field, then its copy.
inline void writeField(FormView& form, Field field, const std::string& text)
{
    form.setText(field, text);
    copyToOperatorPage(form, field);
}

}  // namespace telemetry
