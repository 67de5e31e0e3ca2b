// The kinds of field a packet shows, each making the window's text and the
// JSON value from one formatting: the describe functions build their
// Presentation from these alone.
#pragma once

#include <cstdint>
#include <string>

#include "common/formats.h"
#include "common/json_text.h"
#include "telemetry/presentation.h"

namespace telemetry::shown {

// A number as formats.h writes it; the value has the same digits.
inline Shown number(Field field, std::string text)
{
    std::string value = json_text::jsonNumber(text);
    return {field, std::move(text), std::move(value)};
}

// A text that carries a number and more ("403000 кГц (60)"): the value is
// the number alone, written as formats.h writes it.
inline Shown numberIn(Field field, std::string text, const std::string& number)
{
    return {field, std::move(text), json_text::jsonNumber(number)};
}

inline Shown integer(Field field, std::int64_t value)
{
    std::string text = formats::decimal(value);
    return {field, text, text};
}

// A word, or a text such as a time or a date: the value is the same text.
inline Shown word(Field field, std::string text)
{
    std::string value = json_text::jsonString(text);
    return {field, std::move(text), std::move(value)};
}

// Yes or no, in the window's words.
inline Shown flag(Field field, std::string text, bool on)
{
    return {field, std::move(text), on ? "true" : "false"};
}

// A text that stands for no value ("нет датчика", "Откл. (0)").
inline Shown none(Field field, std::string text) { return {field, std::move(text), "null"}; }

// The field keeps what it showed; only its operator-page copy is written.
inline Shown kept(Field field) { return {field, {}, {}, true}; }

}  // namespace telemetry::shown
