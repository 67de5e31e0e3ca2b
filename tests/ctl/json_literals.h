// JSON read for checking kalvi7-ctl's lines: strict RFC 8259, each number
// kept as the characters it was written with and each object's members in
// their written order. A general parser turns 2851234.56 into a double and
// forgets whether it was written 148.9 or 148.90; the check of values
// against texts is about exactly those digits.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace ctltest {

struct Json {
    enum class Kind { Null, False, True, Number, String, Array, Object };
    Kind kind = Kind::Null;
    std::string text;                                   // Number: as written; String: decoded UTF-8
    std::vector<std::pair<std::string, Json>> members;  // Object, in written order
    std::vector<Json> items;                            // Array

    const Json* find(std::string_view key) const;
    Json* find(std::string_view key);
    // Replaces the member's value, or appends the member when it is not there.
    void set(std::string_view key, Json value);
    void erase(std::string_view key);
    // Compact JSON again, numbers with their own characters, members in order.
    std::string dump() const;

    static Json number(std::string literal) { return {Kind::Number, std::move(literal), {}, {}}; }
    static Json string(std::string value) { return {Kind::String, std::move(value), {}, {}}; }
    static Json boolean(bool value) { return {value ? Kind::True : Kind::False, {}, {}, {}}; }
    static Json null() { return {}; }
    static Json object() { return {Kind::Object, {}, {}, {}}; }
};

struct ParsedJson {
    std::optional<Json> value;
    std::string error;  // where and why, when there is no value
};

// The one JSON value the whole text holds (blanks around it allowed).
// Refused: anything RFC 8259 does not allow (NaN, 01, 1., .5, +1, a raw
// control character in a string, a lone surrogate, a trailing comma), and
// a key given twice in one object.
ParsedJson parseJson(std::string_view text);

}  // namespace ctltest
