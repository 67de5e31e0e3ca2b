#include "support/window_harness.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>

#include <cstdio>
#include <stdexcept>

#include "Unit1/error_box.h"
#include "protocol/frame.h"
#include "protocol/host_frames.h"
#include "support/rx_body.h"

namespace errorbox = Unit1::errorbox;

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

#ifndef _WIN32
const std::vector<std::uint8_t>& RequestLog::masks()
{
    const Bytes fresh = pty_.drain();
    pending_.insert(pending_.end(), fresh.begin(), fresh.end());
    constexpr std::size_t kRequestSize = std::tuple_size_v<protocol::RequestFrame>;
    while (pending_.size() >= kRequestSize) {
        const protocol::RequestFrame expected = protocol::buildRequest(pending_[6]);
        if (!std::equal(expected.begin(), expected.end(), pending_.begin())) {
            ADD_FAILURE() << "the window wrote a byte that is not part of a request frame: 0x" << std::hex
                          << int(pending_.front());
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
#endif

namespace {

using telemetry::testing::RxBody;

// The body as the radiosonde sends it, wrapped for the wire.
Bytes wrap(const RxBody& body)
{
    const protocol::RxBuffer& buf = body;
    return protocol::wrapBody(Bytes(buf.begin(), buf.begin() + buf[1]));
}

}  // namespace

Bytes telemetryFrame(std::uint8_t packetNumber)
{
    RxBody body(protocol::PT_TELEMETRY, 50);
    body.u8(2, 7)  // firmware version
        .u8(3, packetNumber)
        .u8(4, 9)
        .u8(5, 5)
        .u8(6, 7)            // 9:05:07
        .u32(8, 285123456)   // X, cm
        .u32(12, 220000000)  // Y
        .u32(16, 525000000)  // Z
        .i16(20, -5)         // Vx
        .u16(22, 120)        // Vy
        .u16(24, 310)        // Vz
        .u8(26, 9)           // satellites
        .u8(27, 7)
        .u8(28, 3)
        .u16(29, 150)    // PDOP
        .u8(31, 0xE3)    // 3D, all valid
        .u16(32, 2345)   // temperature
        .u16(34, 5012)   // humidity
        .u16(36, 10132)  // pressure
        .u32(38, 123456)
        .u32(42, 65432)
        .u16(46, 2048)
        .u16(48, 3000);
    return wrap(body);
}

Bytes calibrationFrame()
{
    RxBody body(protocol::PT_CALIBRATION, 50);
    const float coefficients[9] = {1.5f, -40.f, 273.15f, 2.f, 0.5f, 123.5f, -0.25f, 0.5f, 1.f};
    for (std::size_t i = 0; i < 9; ++i)
        body.single(2 + 4 * i, coefficients[i]);
    body.u32(38, 1234).u32(42, 5678).u32(46, 311218);
    return wrap(body);
}

Bytes settingsFrame()
{
    RxBody body(protocol::PT_SETTINGS, 8);
    body.u8(2, 60)  // 403000 kHz
        .u8(3, 30)  // gain
        .u16(4, 4)
        .u8(6, 3)
        .u8(7, 0);
    return wrap(body);
}

Bytes stateFrame(std::uint8_t faults)
{
    RxBody body(protocol::PT_STATE, 3);
    body.u8(2, faults);
    return wrap(body);
}

}  // namespace harness
