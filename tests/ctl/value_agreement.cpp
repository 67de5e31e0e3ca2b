#include "value_agreement.h"

#include <array>
#include <optional>
#include <regex>
#include <string_view>

namespace ctltest {
namespace {

// How a key's value follows from its text.
enum class Kind {
    Number,       // a number alone: "2849840,16"
    Unsigned,     // an integer alone: "17"
    Sensor,       // a number, or "нет датчика"
    Coefficient,  // a number, or INF, -INF, NAN, -NAN
    Text,         // a time, a date, a word: the value is the text
    Validity,     // "достоверно" / "недостоверно"
    Health,       // "OK" / "Нет"
    McuReading,   // "1149 (1,85 В)": the count; the volts under their own key
    Frequency,    // "403000 кГц (60)"
    Gain,         // "-2,44 дБм (30)", or "Откл. (0)"
    Correction,   // "-250 Гц (-1)", or "Неизвестно (3000)"
    Bias,         // "2 мА (3)"
    NavMode,      // "ГЛОНАСС+GPS (0)": the word
};

struct Rule {
    std::string_view type, key;
    Kind kind;
};

// clang-format off
constexpr std::array kRules{
    Rule{"telemetry", "firmware", Kind::Unsigned},           Rule{"telemetry", "packet_number", Kind::Unsigned},
    Rule{"telemetry", "time", Kind::Text},
    Rule{"telemetry", "x", Kind::Number},                    Rule{"telemetry", "y", Kind::Number},
    Rule{"telemetry", "z", Kind::Number},                    Rule{"telemetry", "vx", Kind::Number},
    Rule{"telemetry", "vy", Kind::Number},                   Rule{"telemetry", "vz", Kind::Number},
    Rule{"telemetry", "satellites", Kind::Unsigned},         Rule{"telemetry", "position_accuracy", Kind::Number},
    Rule{"telemetry", "velocity_accuracy", Kind::Number},    Rule{"telemetry", "pdop", Kind::Number},
    Rule{"telemetry", "fix", Kind::Text},                    Rule{"telemetry", "gps_valid", Kind::Validity},
    Rule{"telemetry", "week_valid", Kind::Validity},         Rule{"telemetry", "utc_valid", Kind::Validity},
    Rule{"telemetry", "temperature", Kind::Sensor},          Rule{"telemetry", "humidity", Kind::Sensor},
    Rule{"telemetry", "pressure", Kind::Sensor},             Rule{"telemetry", "adc_t", Kind::Number},
    Rule{"telemetry", "adc_h", Kind::Number},                Rule{"telemetry", "adc_mcu_temperature", Kind::McuReading},
    Rule{"telemetry", "adc_battery", Kind::Unsigned},        Rule{"telemetry", "latitude", Kind::Number},
    Rule{"telemetry", "longitude", Kind::Number},            Rule{"telemetry", "height", Kind::Number},
    Rule{"telemetry", "velocity_north", Kind::Number},       Rule{"telemetry", "velocity_east", Kind::Number},
    Rule{"telemetry", "velocity_up", Kind::Number},          Rule{"telemetry", "ground_speed", Kind::Number},
    Rule{"telemetry", "heading", Kind::Number},
    Rule{"calibration", "a", Kind::Coefficient},             Rule{"calibration", "b", Kind::Coefficient},
    Rule{"calibration", "c", Kind::Coefficient},             Rule{"calibration", "adc_t_a", Kind::Coefficient},
    Rule{"calibration", "adc_t_b", Kind::Coefficient},       Rule{"calibration", "adc_t_c", Kind::Coefficient},
    Rule{"calibration", "adc_h_a", Kind::Coefficient},       Rule{"calibration", "adc_h_b", Kind::Coefficient},
    Rule{"calibration", "adc_h_c", Kind::Coefficient},       Rule{"calibration", "number", Kind::Unsigned},
    Rule{"calibration", "board", Kind::Unsigned},            Rule{"calibration", "date", Kind::Text},
    Rule{"settings", "frequency", Kind::Frequency},          Rule{"settings", "gain", Kind::Gain},
    Rule{"settings", "frequency_correction", Kind::Correction},
    Rule{"settings", "vco_bias", Kind::Bias},                Rule{"settings", "nav_mode", Kind::NavMode},
    Rule{"state", "pll", Kind::Health},                      Rule{"state", "nav_link", Kind::Health},
    Rule{"state", "pressure_link", Kind::Health},
};
// clang-format on

std::optional<Kind> ruleOf(std::string_view type, std::string_view key)
{
    for (const Rule& rule : kRules)
        if (rule.type == type && rule.key == key)
            return rule.kind;
    return std::nullopt;
}

const std::vector<std::string> kSettingsCodes = {"frequency_code", "gain_code", "frequency_correction_code",
                                                 "vco_bias_code", "nav_mode_code"};

// The keys "values" adds after those of "fields".
std::vector<std::string> extraKeys(std::string_view type, const Json& fields)
{
    if (type == "settings")
        return kSettingsCodes;
    if (type == "telemetry" && fields.find("adc_mcu_temperature"))
        return {"adc_mcu_temperature_volts"};
    return {};
}

std::string dotted(std::string number)
{
    for (char& c : number)
        if (c == ',')
            c = '.';
    return number;
}

std::string show(const Json* value) { return value ? value->dump() : "nothing"; }

class Check {
public:
    Check(const Json& values, std::vector<std::string>& problems) : values_(values), problems_(problems) {}

    // The value of `key` must be the number `shown` ("148,90") has, with
    // the same characters: 148.90.
    void number(const std::string& key, const Json* value, const std::string& text, const std::string& shown)
    {
        if (!value || value->kind != Json::Kind::Number || value->text != dotted(shown))
            fail(key, value, text, dotted(shown));
    }

    void literal(const std::string& key, const Json* value, const std::string& text, const Json& expected)
    {
        if (!value || value->dump() != expected.dump())
            fail(key, value, text, expected.dump());
    }

    // One of the extra keys, which must hold the code or number the text
    // shows.
    void extra(const std::string& key, const std::string& text, const std::string& shown)
    {
        number(key, values_.find(key), text, shown);
    }

    void fail(const std::string& key, const Json* value, const std::string& text, const std::string& expected)
    {
        problems_.push_back(key + ": " + show(value) + " for the text \"" + text + "\", expected " +
                            expected);
    }

    void problem(std::string sentence) { problems_.push_back(std::move(sentence)); }

private:
    const Json& values_;
    std::vector<std::string>& problems_;
};

bool matches(const std::string& text, const char* pattern, std::smatch& parts)
{
    return std::regex_match(text, parts, std::regex(pattern));
}

void checkField(Check& check, Kind kind, const std::string& key, const Json* value, const std::string& text)
{
    std::smatch m;
    const bool isNumber = matches(text, R"re(-?[0-9]+(,[0-9]+)?(E[+-]?[0-9]+)?)re", m);
    switch (kind) {
    case Kind::Number:
        if (!isNumber)
            return check.problem(key + ": the text \"" + text + "\" is not a number");
        return check.number(key, value, text, text);
    case Kind::Unsigned:
        if (!matches(text, "[0-9]+", m))
            return check.problem(key + ": the text \"" + text + "\" is not an unsigned integer");
        return check.number(key, value, text, text);
    case Kind::Sensor:
        if (text == "нет датчика")
            return check.literal(key, value, text, Json::null());
        if (!isNumber)
            return check.problem(key + ": the text \"" + text + "\" is neither a number nor \"нет датчика\"");
        return check.number(key, value, text, text);
    case Kind::Coefficient:
        if (text == "INF" || text == "-INF" || text == "NAN" || text == "-NAN")
            return check.literal(key, value, text, Json::null());
        if (!isNumber)
            return check.problem(key + ": the text \"" + text + "\" is neither a number nor INF nor NAN");
        return check.number(key, value, text, text);
    case Kind::Text: return check.literal(key, value, text, Json::string(text));
    case Kind::Validity:
        if (text != "достоверно" && text != "недостоверно")
            return check.problem(key + ": the text \"" + text + "\" is no validity word");
        return check.literal(key, value, text, Json::boolean(text == "достоверно"));
    case Kind::Health:
        if (text != "OK" && text != "Нет")
            return check.problem(key + ": the text \"" + text + "\" is no health word");
        return check.literal(key, value, text, Json::boolean(text == "OK"));
    case Kind::McuReading:
        if (!matches(text, R"re(([0-9]+) \(([0-9]+,[0-9]+) В\))re", m))
            return check.problem(key + ": the text \"" + text + "\" is not \"count (volts В)\"");
        check.number(key, value, text, m[1]);
        return check.extra("adc_mcu_temperature_volts", text, m[2]);
    case Kind::Frequency:
        if (!matches(text, R"re(([0-9]+) кГц \(([0-9]+)\))re", m))
            return check.problem(key + ": the text \"" + text + "\" is not \"kHz кГц (code)\"");
        check.number(key, value, text, m[1]);
        return check.extra("frequency_code", text, m[2]);
    case Kind::Gain:
        if (text == "Откл. (0)") {
            check.literal(key, value, text, Json::null());
            return check.extra("gain_code", text, "0");
        }
        if (!matches(text, R"re((-?[0-9]+,[0-9]+) дБм \(([0-9]+)\))re", m))
            return check.problem(key + ": the text \"" + text + "\" is neither \"dBm дБм (code)\" nor off");
        check.number(key, value, text, m[1]);
        return check.extra("gain_code", text, m[2]);
    case Kind::Correction:
        if (matches(text, R"re(Неизвестно \(([0-9]+)\))re", m)) {
            check.literal(key, value, text, Json::null());
            return check.extra("frequency_correction_code", text, m[1]);
        }
        if (!matches(text, R"re((-?[0-9]+) Гц \((-?[0-9]+)\))re", m))
            return check.problem(key + ": the text \"" + text +
                                 "\" is neither \"Hz Гц (steps)\" nor unknown");
        check.number(key, value, text, m[1]);
        {
            // The text shows the signed count of steps, the code is the
            // 11-bit field as it came: -1 step is 2047.
            const long steps = std::stol(m[2]);
            return check.extra("frequency_correction_code", text,
                               std::to_string(steps < 0 ? steps + 2048 : steps));
        }
    case Kind::Bias:
        if (!matches(text, R"re(([0-9]+(,[0-9]+)?) мА \(([0-9]+)\))re", m))
            return check.problem(key + ": the text \"" + text + "\" is not \"mA мА (code)\"");
        check.number(key, value, text, m[1]);
        return check.extra("vco_bias_code", text, m[3]);
    case Kind::NavMode:
        if (!matches(text, R"re((.+) \(([0-9]+)\))re", m))
            return check.problem(key + ": the text \"" + text + "\" is not \"word (code)\"");
        check.literal(key, value, text, Json::string(m[1]));
        return check.extra("nav_mode_code", text, m[2]);
    }
}

std::vector<std::string> keysOf(const Json& object)
{
    std::vector<std::string> keys;
    for (const auto& member : object.members)
        keys.push_back(member.first);
    return keys;
}

std::string listed(const std::vector<std::string>& keys)
{
    std::string text;
    for (const std::string& key : keys)
        text += (text.empty() ? "" : " ") + key;
    return "[" + text + "]";
}

void checkAck(Check& check, const Json& fields, const Json& values)
{
    const std::vector<std::string> keys{"code", "status"};
    if (keysOf(fields) != keys || keysOf(values) != keys)
        return check.problem("ack: fields " + listed(keysOf(fields)) + " and values " +
                             listed(keysOf(values)) + ", expected [code status] in both");
    const std::string& code = fields.find("code")->text;
    const std::string& status = fields.find("status")->text;
    std::smatch m;
    if (!matches(code, "[0-9]+", m))
        check.problem("code: the text \"" + code + "\" is not an unsigned integer");
    else
        check.number("code", values.find("code"), code, code);
    check.literal("status", values.find("status"), status,
                  status.empty() ? Json::null() : Json::string(status));
}

}  // namespace

std::vector<std::string> valueDisagreements(const Json& line)
{
    std::vector<std::string> problems;
    const Json* type = line.find("type");
    if (line.kind != Json::Kind::Object || !type || type->kind != Json::Kind::String)
        return {"not an object with a \"type\" string"};
    const Json* fields = line.find("fields");
    const Json* values = line.find("values");
    if (type->text == "silent") {
        if (fields || values)
            problems.push_back("a silent line has fields or values");
        return problems;
    }
    if (!fields || fields->kind != Json::Kind::Object || !values || values->kind != Json::Kind::Object)
        return {type->text + ": \"fields\" and \"values\" must both be objects"};
    for (const auto& [key, text] : fields->members)
        if (text.kind != Json::Kind::String)
            problems.push_back(key + ": the field is " + text.dump() + ", not a text");
    if (!problems.empty())
        return problems;

    Check check(*values, problems);
    if (type->text == "ack") {
        checkAck(check, *fields, *values);
        return problems;
    }

    std::vector<std::string> expectedKeys = keysOf(*fields);
    for (const std::string& extra : extraKeys(type->text, *fields))
        expectedKeys.push_back(extra);
    if (keysOf(*values) != expectedKeys)
        problems.push_back("values has the keys " + listed(keysOf(*values)) + ", expected " +
                           listed(expectedKeys));

    for (const auto& [key, text] : fields->members) {
        const std::optional<Kind> kind = ruleOf(type->text, key);
        if (!kind) {
            problems.push_back(type->text + " has no key " + key);
            continue;
        }
        checkField(check, *kind, key, values->find(key), text.text);
    }
    return problems;
}

}  // namespace ctltest
