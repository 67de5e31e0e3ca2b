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

#include "telemetry/form_view.h"

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
    const char* caption;        // the label left of the value on its row, as the window shows it
    const char* key;  // stable ASCII name for programs (kalvi7-ctl's JSON); a copy shares its source's
};

inline constexpr std::optional<Field> kNoCopy = std::nullopt;

// clang-format off
inline constexpr std::array<FieldLegend, kFieldCount> kFieldLegend{{
    {Field::Label4,   Page::Service,  "firmware version",                            "",    kNoCopy,         "Версия прошивки:",               "firmware"},
    {Field::Label5,   Page::Service,  "packet number, red after a bad CRC",          "",    kNoCopy,         "Номер пакета:",                  "packet_number"},
    {Field::Label6,   Page::Service,  "navigation time of day, h:nn:ss",             "",    Field::Label134, "Время, ч:м:с:",                  "time"},
    {Field::Label7,   Page::Service,  "Earth-centred X",                             "m",   kNoCopy,         "Координата X, м:",               "x"},
    {Field::Label8,   Page::Service,  "Earth-centred Y",                             "m",   kNoCopy,         "Координата Y, м:",               "y"},
    {Field::Label9,   Page::Service,  "Earth-centred Z",                             "m",   kNoCopy,         "Координата Z, м:",               "z"},
    {Field::Label12,  Page::Service,  "Earth-centred velocity Vx",                   "m/s", kNoCopy,         "Скорость X, м/c:",               "vx"},
    {Field::Label13,  Page::Service,  "Earth-centred velocity Vy",                   "m/s", kNoCopy,         "Скорость Y, м/c:",               "vy"},
    {Field::Label17,  Page::Service,  "calibration coefficient A (Edit1)",           "",    kNoCopy,         "A:",                             "a"},
    {Field::Label18,  Page::Service,  "Earth-centred velocity Vz",                   "m/s", kNoCopy,         "Скорость Z, м/c:",               "vz"},
    {Field::Label21,  Page::Service,  "satellites in the solution",                  "",    Field::Label136, "Кол. спутников:",                "satellites"},
    {Field::Label22,  Page::Service,  "position accuracy",                           "m",   kNoCopy,         "Точность XYZ, м:",               "position_accuracy"},
    {Field::Label23,  Page::Service,  "velocity accuracy",                           "m/s", kNoCopy,         "Точность V, м/c:",               "velocity_accuracy"},
    {Field::Label24,  Page::Service,  "PDOP",                                        "",    kNoCopy,         "PDOP:",                          "pdop"},
    {Field::Label25,  Page::Service,  "fix type (\"2D\", \"3D\", ...)",              "",    Field::Label138, "Фиксация:",                      "fix"},
    {Field::Label26,  Page::Service,  "week number valid or not",                    "",    kNoCopy,         "Номер недели:",                  "week_valid"},
    {Field::Label40,  Page::Service,  "UTC time valid or not",                       "",    kNoCopy,         "Время UTC:",                     "utc_valid"},
    {Field::Label44,  Page::Service,  "GPS time valid or not",                       "",    kNoCopy,         "Время GPS:",                     "gps_valid"},
    {Field::Label47,  Page::Service,  "air temperature, or no sensor",               "°C",  Field::Label90,  "Температура, °C:",               "temperature"},
    {Field::Label48,  Page::Service,  "relative humidity, or no sensor",             "%",   Field::Label91,  "Влажность, %:",                  "humidity"},
    {Field::Label49,  Page::Service,  "air pressure, or no sensor",                  "hPa", Field::Label111, "Давление, гПа:",                 "pressure"},
    {Field::Label50,  Page::Service,  "temperature channel ADC reading",             "",    kNoCopy,         "АЦП канала t:",                  "adc_t"},
    {Field::Label51,  Page::Service,  "humidity channel ADC reading",                "",    kNoCopy,         "АЦП канала h:",                  "adc_h"},
    {Field::Label52,  Page::Service,  "MCU temperature ADC reading and its voltage", "V",   kNoCopy,         "АЦП темпер. МК:",                "adc_mcu_temperature"},
    {Field::Label53,  Page::Service,  "battery voltage ADC reading",                 "",    kNoCopy,         "АЦП Uбат.:",                     "adc_battery"},
    {Field::Label55,  Page::Service,  "calibration coefficient B (Edit2)",           "",    kNoCopy,         "B:",                             "b"},
    {Field::Label56,  Page::Service,  "calibration coefficient C (Edit3)",           "",    kNoCopy,         "C:",                             "c"},
    {Field::Label57,  Page::Service,  "temperature channel coefficient A",           "",    kNoCopy,         "ADCt_A:",                        "adc_t_a"},
    {Field::Label58,  Page::Service,  "temperature channel coefficient B",           "",    kNoCopy,         "ADCt_B:",                        "adc_t_b"},
    {Field::Label59,  Page::Service,  "temperature channel coefficient C",           "",    kNoCopy,         "ADCt_C:",                        "adc_t_c"},
    {Field::Label60,  Page::Service,  "humidity channel coefficient A",              "",    kNoCopy,         "ADCh_A:",                        "adc_h_a"},
    {Field::Label61,  Page::Service,  "humidity channel coefficient B",              "",    kNoCopy,         "ADCh_B:",                        "adc_h_b"},
    {Field::Label62,  Page::Service,  "humidity channel coefficient C",              "",    kNoCopy,         "ADCh_C:",                        "adc_h_c"},
    {Field::Label63,  Page::Service,  "serial number \"№ р/з:\" (Edit4)",            "",    kNoCopy,         "№ р/з:",                         "number"},
    {Field::Label64,  Page::Service,  "serial number \"№ б/д:\" (Edit5)",            "",    kNoCopy,         "№ б/д:",                         "board"},
    {Field::Label65,  Page::Service,  "calibration date, dd.mm.yy (Edit6)",          "",    kNoCopy,         "Дата:",                          "date"},
    {Field::Label66,  Page::Service,  "carrier frequency and its code",              "kHz", kNoCopy,         "Несущая частота:",               "frequency"},
    {Field::Label67,  Page::Service,  "carrier frequency correction and its code",   "Hz",  kNoCopy,         "Коррекция частоты:",             "frequency_correction"},
    {Field::Label68,  Page::Service,  "transmitter gain and its code, or off",       "dBm", kNoCopy,         "Усиление:",                      "gain"},
    {Field::Label69,  Page::Service,  "VCO bias current and its code",               "mA",  kNoCopy,         "Ток смещения ГУН:",              "vco_bias"},
    {Field::Label70,  Page::Service,  "navigation mode and its code",                "",    kNoCopy,         "Режим навигации:",               "nav_mode"},
    {Field::Label74,  Page::Service,  "transmitter PLL healthy or not",              "",    kNoCopy,         "Исправность ФАПЧ передатчика:",  "pll"},
    {Field::Label75,  Page::Service,  "navigation module answering or not",          "",    kNoCopy,         "Связь с навигационным модулем:", "nav_link"},
    {Field::Label76,  Page::Service,  "pressure sensor answering or not",            "",    kNoCopy,         "Связь с датчиком давления:",     "pressure_link"},
    {Field::Label77,  Page::Service,  "latitude B",                                  "°",   Field::Label119, "Широта B, °:",                   "latitude"},
    {Field::Label78,  Page::Service,  "longitude L",                                 "°",   Field::Label127, "Долгота L,°:",                   "longitude"},
    {Field::Label79,  Page::Service,  "height H above the ellipsoid",                "m",   Field::Label128, "Высота H, м:",                   "height"},
    {Field::Label80,  Page::Service,  "north velocity",                              "m/s", kNoCopy,         "Скорость B, м/c:",               "velocity_north"},
    {Field::Label81,  Page::Service,  "east velocity",                               "m/s", kNoCopy,         "Скорость L, м/c:",               "velocity_east"},
    {Field::Label82,  Page::Service,  "vertical velocity",                           "m/s", Field::Label131, "Скорость H, м/c:",               "velocity_up"},
    {Field::Label83,  Page::Service,  "ground speed",                                "m/s", Field::Label132, "Гор. скор., м/c:",               "ground_speed"},
    {Field::Label85,  Page::Service,  "heading, clockwise from north",               "°",   Field::Label113, "Направление, °:",                "heading"},
    {Field::Label90,  Page::Operator, "air temperature, or no sensor",               "°C",  kNoCopy,         "Температура, °C:",               "temperature"},
    {Field::Label91,  Page::Operator, "relative humidity, or no sensor",             "%",   kNoCopy,         "Влажность, %:",                  "humidity"},
    {Field::Label111, Page::Operator, "air pressure, or no sensor",                  "hPa", kNoCopy,         "Давление, гПа:",                 "pressure"},
    {Field::Label113, Page::Operator, "heading, clockwise from north",               "°",   kNoCopy,         "Направление, °:",                "heading"},
    {Field::Label119, Page::Operator, "latitude B",                                  "°",   kNoCopy,         "Широта B, °:",                   "latitude"},
    {Field::Label127, Page::Operator, "longitude L",                                 "°",   kNoCopy,         "Долгота L,°:",                   "longitude"},
    {Field::Label128, Page::Operator, "height H above the ellipsoid",                "m",   kNoCopy,         "Высота H, м:",                   "height"},
    {Field::Label131, Page::Operator, "vertical velocity",                           "m/s", kNoCopy,         "Скорость H, м/c:",               "velocity_up"},
    {Field::Label132, Page::Operator, "ground speed",                                "m/s", kNoCopy,         "Гор. скор., м/c:",               "ground_speed"},
    {Field::Label134, Page::Operator, "navigation time of day, h:nn:ss",             "",    kNoCopy,         "Время, ч:м:с:",                  "time"},
    {Field::Label136, Page::Operator, "satellites in the solution",                  "",    kNoCopy,         "Кол. спутников:",                "satellites"},
    {Field::Label138, Page::Operator, "fix type (\"2D\", \"3D\", ...)",              "",    kNoCopy,         "Фиксация:",                      "fix"},
}};
// clang-format on

constexpr const FieldLegend& legendOf(Field field) { return kFieldLegend[static_cast<std::size_t>(field)]; }

}  // namespace telemetry
