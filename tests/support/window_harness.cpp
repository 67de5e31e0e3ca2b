#include "support/window_harness.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>

#include <cstdio>
#include <cstring>
#include <stdexcept>

#include "error_box.h"
#include "host_frames.h"

namespace harness {

ScratchDir::ScratchDir() : previous_(QDir::currentPath())
{
    if (!dir_.isValid() || !QDir::setCurrent(dir_.path()))
        throw std::runtime_error("no scratch directory");
}

ScratchDir::~ScratchDir() { QDir::setCurrent(previous_); }

std::string ScratchDir::settingsPath() const
{
    return QDir(dir_.path()).filePath(QStringLiteral("settings.INI")).toStdString();
}

void ScratchDir::writeSettings(const std::string& text) const
{
    QFile file(QString::fromStdString(settingsPath()));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw std::runtime_error("cannot write settings.INI");
    file.write(text.data(), static_cast<qint64>(text.size()));
}

std::string ScratchDir::readSettings() const
{
    QFile file(QString::fromStdString(settingsPath()));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll().toStdString();
}

std::string settingsText(const std::string& port, const std::string& baudRate, bool continuedMode,
                         bool amplSetEnable)
{
    return "[Port1 setting]\nPort=" + port + "\nBaudRate=" + baudRate +
           "\n[Form setting]\nContinuedMode=" + (continuedMode ? "1" : "0") +
           "\nAmplSetEnable=" + (amplSetEnable ? "1" : "0") + "\n";
}

void printErrorBox(const QString& text) { std::fprintf(stderr, "error box: %s\n", qPrintable(text)); }

ErrorBoxes::ErrorBoxes()
{
    errorbox::setCaptureForTest([this](const QString& text) { texts.push_back(text); });
}

ErrorBoxes::~ErrorBoxes() { errorbox::setCaptureForTest(&printErrorBox); }

bool pumpUntil(const std::function<bool()>& done, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        if (done())
            return true;
        if (clock.elapsed() > timeoutMs)
            return done();
        QThread::msleep(2);
    }
}

void pumpFor(int ms)
{
    pumpUntil([] { return false; }, ms);
}

const std::vector<std::uint8_t>& RequestLog::masks()
{
    const Bytes fresh = pty_.drain();
    pending_.insert(pending_.end(), fresh.begin(), fresh.end());
    constexpr std::size_t kRequestSize = std::tuple_size_v<protocol::RequestFrame>;
    while (pending_.size() >= kRequestSize) {
        const protocol::RequestFrame expected = protocol::buildRequest(pending_[6]);
        if (!std::equal(expected.begin(), expected.end(), pending_.begin())) {
            ADD_FAILURE() << "the window wrote a byte that is not part of a request frame: 0x"
                          << std::hex << int(pending_.front());
            pending_.erase(pending_.begin());
            continue;
        }
        masks_.push_back(pending_[6]);
        pending_.erase(pending_.begin(), pending_.begin() + kRequestSize);
    }
    return masks_;
}

bool RequestLog::waitFor(std::size_t count, int timeoutMs)
{
    return pumpUntil([&] { return masks().size() >= count; }, timeoutMs);
}

void RequestLog::clear()
{
    masks();
    masks_.clear();
}

namespace {

Bytes wrap(Bytes body)
{
    body[1] = static_cast<std::uint8_t>(body.size());
    return protocol::wrapBody(body);
}

void put(Bytes& body, std::size_t offset, std::uint32_t value, std::size_t size)
{
    for (std::size_t i = 0; i < size; ++i)
        body[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

void putFloat(Bytes& body, std::size_t offset, float value)
{
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    put(body, offset, bits, 4);
}

}  // namespace

Bytes telemetryFrame(std::uint8_t packetNumber)
{
    Bytes body(50, 0);
    body[0] = 0x81;
    body[2] = 7;              // firmware version
    body[3] = packetNumber;
    body[4] = 9;              // 9:05:07
    body[5] = 5;
    body[6] = 7;
    put(body, 8, 285123456, 4);                              // X, cm
    put(body, 12, 220000000, 4);                             // Y
    put(body, 16, 525000000, 4);                             // Z
    put(body, 20, static_cast<std::uint16_t>(-5), 2);        // Vx
    put(body, 22, 120, 2);                                   // Vy
    put(body, 24, 310, 2);                                   // Vz
    body[26] = 9;                                            // satellites
    body[27] = 7;
    body[28] = 3;
    put(body, 29, 150, 2);                                   // PDOP
    body[31] = 0xE3;                                         // 3D, all valid
    put(body, 32, 2345, 2);                                  // temperature
    put(body, 34, 5012, 2);                                  // humidity
    put(body, 36, 10132, 2);                                 // pressure
    put(body, 38, 123456, 4);
    put(body, 42, 65432, 4);
    put(body, 46, 2048, 2);
    put(body, 48, 3000, 2);
    return wrap(body);
}

Bytes calibrationFrame()
{
    Bytes body(50, 0);
    body[0] = 0x82;
    const float coefficients[9] = {1.5f, -40.f, 273.15f, 2.f, 0.5f, 123.5f, -0.25f, 0.5f, 1.f};
    for (std::size_t i = 0; i < 9; ++i)
        putFloat(body, 2 + 4 * i, coefficients[i]);
    put(body, 38, 1234, 4);
    put(body, 42, 5678, 4);
    put(body, 46, 311218, 4);
    return wrap(body);
}

Bytes settingsFrame()
{
    Bytes body(8, 0);
    body[0] = 0x83;
    body[2] = 60;   // 403000 kHz
    body[3] = 30;   // gain
    put(body, 4, 4, 2);
    body[6] = 3;
    body[7] = 0;
    return wrap(body);
}

Bytes stateFrame(std::uint8_t faults)
{
    Bytes body(3, 0);
    body[0] = 0x84;
    body[2] = faults;
    return wrap(body);
}

}  // namespace harness
