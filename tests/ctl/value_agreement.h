// Whether a line of kalvi7-ctl watch --json says under "values" what it
// shows under "fields", judged from the texts alone, as a script writer
// reading the README would judge it:
//  - a number has exactly the characters of the text's number, ',' read
//    as '.': compared as text, so 148.90 for "148,90" and not 148.9;
//  - true/false stand for the words of validity and health;
//  - null stands only for "нет датчика", a coefficient that is INF or NAN,
//    the transmitter off ("Откл. (0)") and an unknown correction
//    ("Неизвестно (n)"), and for an acknowledgement without a status;
//  - words and texts are the text, or its word without the code;
//  - the settings' codes are the codes their texts show, the MCU volts the
//    volts its text shows;
//  - "values" has the keys of "fields" in their order, then exactly the
//    extra keys of the packet's type.
#pragma once

#include <string>
#include <vector>

#include "json_literals.h"

namespace ctltest {

// Each disagreement as a sentence naming the key; none when all agree.
std::vector<std::string> valueDisagreements(const Json& line);

}  // namespace ctltest
