// The legend of the display fields. The fields keep the control names of
// the original form (Label47, Label119, ...), which say nothing by
// themselves; this table says, for each, what it shows, in which unit, on
// which page, and which operator-page field shows a copy of it.
//
// One entry a field, in the order of KALVI7_DISPLAY_FIELDS, so that a
// field's entry sits at the field's own index (legendOf). The operator page
// has no field of its own: each of its fields copies a service-page field,
// and its entry repeats what that source shows. "(Edit1)" and the like
// name the calibration editor a value also goes to while the operator is
// not editing.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "form_view.h"

namespace telemetry {

enum class Page : std::uint8_t {
    Operator,  // TabSheet2 "Телеметрия", page index 0
    Service,   // TabSheet1 "Управление", page index 1
};

struct FieldLegend {
    Field field;
    Page page;
    const char* shows;
    const char* unit;           // of the number shown; "" for counts, codes and words
    std::optional<Field> copy;  // the operator-page field that copies this one
};

inline constexpr std::optional<Field> kNoCopy = std::nullopt;

// clang-format off
inline constexpr std::array<FieldLegend, kFieldCount> kFieldLegend{{
    {Field::Label4,   Page::Service,  "firmware version",                            "",    kNoCopy},
    {Field::Label5,   Page::Service,  "packet number, red after a bad CRC",          "",    kNoCopy},
    {Field::Label6,   Page::Service,  "navigation time of day, h:nn:ss",             "",    Field::Label134},
    {Field::Label7,   Page::Service,  "Earth-centred X",                             "m",   kNoCopy},
    {Field::Label8,   Page::Service,  "Earth-centred Y",                             "m",   kNoCopy},
    {Field::Label9,   Page::Service,  "Earth-centred Z",                             "m",   kNoCopy},
    {Field::Label12,  Page::Service,  "Earth-centred velocity Vx",                   "m/s", kNoCopy},
    {Field::Label13,  Page::Service,  "Earth-centred velocity Vy",                   "m/s", kNoCopy},
    {Field::Label17,  Page::Service,  "calibration coefficient A (Edit1)",           "",    kNoCopy},
    {Field::Label18,  Page::Service,  "Earth-centred velocity Vz",                   "m/s", kNoCopy},
    {Field::Label21,  Page::Service,  "satellites in the solution",                  "",    Field::Label136},
    {Field::Label22,  Page::Service,  "position accuracy",                           "m",   kNoCopy},
    {Field::Label23,  Page::Service,  "velocity accuracy",                           "m/s", kNoCopy},
    {Field::Label24,  Page::Service,  "PDOP",                                        "",    kNoCopy},
    {Field::Label25,  Page::Service,  "fix type (\"2D\", \"3D\", ...)",              "",    Field::Label138},
    {Field::Label26,  Page::Service,  "week number valid or not",                    "",    kNoCopy},
    {Field::Label40,  Page::Service,  "UTC time valid or not",                       "",    kNoCopy},
    {Field::Label44,  Page::Service,  "GPS time valid or not",                       "",    kNoCopy},
    {Field::Label47,  Page::Service,  "air temperature, or no sensor",               "°C",  Field::Label90},
    {Field::Label48,  Page::Service,  "relative humidity, or no sensor",             "%",   Field::Label91},
    {Field::Label49,  Page::Service,  "air pressure, or no sensor",                  "hPa", Field::Label111},
    {Field::Label50,  Page::Service,  "temperature channel ADC reading",             "",    kNoCopy},
    {Field::Label51,  Page::Service,  "humidity channel ADC reading",                "",    kNoCopy},
    {Field::Label52,  Page::Service,  "MCU temperature ADC reading and its voltage", "V",   kNoCopy},
    {Field::Label53,  Page::Service,  "battery voltage ADC reading",                 "",    kNoCopy},
    {Field::Label55,  Page::Service,  "calibration coefficient B (Edit2)",           "",    kNoCopy},
    {Field::Label56,  Page::Service,  "calibration coefficient C (Edit3)",           "",    kNoCopy},
    {Field::Label57,  Page::Service,  "temperature channel coefficient A",           "",    kNoCopy},
    {Field::Label58,  Page::Service,  "temperature channel coefficient B",           "",    kNoCopy},
    {Field::Label59,  Page::Service,  "temperature channel coefficient C",           "",    kNoCopy},
    {Field::Label60,  Page::Service,  "humidity channel coefficient A",              "",    kNoCopy},
    {Field::Label61,  Page::Service,  "humidity channel coefficient B",              "",    kNoCopy},
    {Field::Label62,  Page::Service,  "humidity channel coefficient C",              "",    kNoCopy},
    {Field::Label63,  Page::Service,  "serial number \"№ р/з:\" (Edit4)",            "",    kNoCopy},
    {Field::Label64,  Page::Service,  "serial number \"№ б/д:\" (Edit5)",            "",    kNoCopy},
    {Field::Label65,  Page::Service,  "calibration date, dd.mm.yy (Edit6)",          "",    kNoCopy},
    {Field::Label66,  Page::Service,  "carrier frequency and its code",              "kHz", kNoCopy},
    {Field::Label67,  Page::Service,  "carrier frequency correction and its code",   "Hz",  kNoCopy},
    {Field::Label68,  Page::Service,  "transmitter gain and its code, or off",       "dBm", kNoCopy},
    {Field::Label69,  Page::Service,  "VCO bias current and its code",               "mA",  kNoCopy},
    {Field::Label70,  Page::Service,  "navigation mode and its code",                "",    kNoCopy},
    {Field::Label74,  Page::Service,  "transmitter PLL healthy or not",              "",    kNoCopy},
    {Field::Label75,  Page::Service,  "navigation module answering or not",          "",    kNoCopy},
    {Field::Label76,  Page::Service,  "pressure sensor answering or not",            "",    kNoCopy},
    {Field::Label77,  Page::Service,  "latitude B",                                  "°",   Field::Label119},
    {Field::Label78,  Page::Service,  "longitude L",                                 "°",   Field::Label127},
    {Field::Label79,  Page::Service,  "height H above the ellipsoid",                "m",   Field::Label128},
    {Field::Label80,  Page::Service,  "north velocity",                              "m/s", kNoCopy},
    {Field::Label81,  Page::Service,  "east velocity",                               "m/s", kNoCopy},
    {Field::Label82,  Page::Service,  "vertical velocity",                           "m/s", Field::Label131},
    {Field::Label83,  Page::Service,  "ground speed",                                "m/s", Field::Label132},
    {Field::Label85,  Page::Service,  "heading, clockwise from north",               "°",   Field::Label113},
    {Field::Label90,  Page::Operator, "air temperature, or no sensor",               "°C",  kNoCopy},
    {Field::Label91,  Page::Operator, "relative humidity, or no sensor",             "%",   kNoCopy},
    {Field::Label111, Page::Operator, "air pressure, or no sensor",                  "hPa", kNoCopy},
    {Field::Label113, Page::Operator, "heading, clockwise from north",               "°",   kNoCopy},
    {Field::Label119, Page::Operator, "latitude B",                                  "°",   kNoCopy},
    {Field::Label127, Page::Operator, "longitude L",                                 "°",   kNoCopy},
    {Field::Label128, Page::Operator, "height H above the ellipsoid",                "m",   kNoCopy},
    {Field::Label131, Page::Operator, "vertical velocity",                           "m/s", kNoCopy},
    {Field::Label132, Page::Operator, "ground speed",                                "m/s", kNoCopy},
    {Field::Label134, Page::Operator, "navigation time of day, h:nn:ss",             "",    kNoCopy},
    {Field::Label136, Page::Operator, "satellites in the solution",                  "",    kNoCopy},
    {Field::Label138, Page::Operator, "fix type (\"2D\", \"3D\", ...)",              "",    kNoCopy},
}};
// clang-format on

constexpr const FieldLegend& legendOf(Field field)
{
    return kFieldLegend[static_cast<std::size_t>(field)];
}

}  // namespace telemetry
