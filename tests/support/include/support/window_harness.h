// What the window tests share: a pseudo-terminal that plays the radiosonde,
// a scratch current directory for settings.INI, captured error boxes,
// the device's packets, and event pumping with a deadline.
#pragma once

#include <QString>
#include <QTemporaryDir>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "support/bytes.h"
#ifndef _WIN32
#include "support/pty.h"
#endif

namespace harness {

using support::Bytes;

#ifndef _WIN32
// The window opens the slave path as its port; the test reads what the
// window sends and writes the radiosonde's packets on the master side.
using support::Pty;
#endif

// The current directory is a fresh empty directory while this lives.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    QString path() const { return dir_.path(); }
    std::string settingsPath() const;
    void writeSettings(const std::string& text) const;
    std::string readSettings() const;  // empty when there is no file

private:
    QTemporaryDir dir_;
    QString previous_;
};

// settings.INI naming port, with further lines for the [Form setting]
// section and the BaudRate key.
std::string settingsText(const std::string& port, const std::string& baudRate = "38400",
                         bool continuedMode = false, bool amplSetEnable = false);

// Error box texts shown while this lives.
class ErrorBoxes {
public:
    ErrorBoxes();
    ~ErrorBoxes();
    std::vector<QString> texts;
};

// The default for the window tests: print the text, never block.
void printErrorBox(const QString& text);

// Runs the event loop until done() holds or the time is up; done()'s verdict.
bool pumpUntil(const std::function<bool()>& done, int timeoutMs);
void pumpFor(int ms);

#ifndef _WIN32
// The request masks the window has sent, in order. Any byte that is not
// part of a well-formed request frame fails the test.
class RequestLog {
public:
    explicit RequestLog(Pty& pty) : pty_(pty) {}
    const std::vector<std::uint8_t>& masks();
    // Pumps events until at least count masks have arrived.
    bool waitFor(std::size_t count, int timeoutMs);
    void clear();

private:
    Pty& pty_;
    Bytes pending_;
    std::vector<std::uint8_t> masks_;
};
#endif

// The radiosonde's packets, wrapped for the wire.
Bytes telemetryFrame(std::uint8_t packetNumber);
Bytes calibrationFrame();
Bytes settingsFrame();
Bytes stateFrame(std::uint8_t faults);

}  // namespace harness
