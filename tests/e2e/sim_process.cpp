#include "sim_process.h"

#include <QElapsedTimer>

#include <stdexcept>

namespace e2e {

namespace {
constexpr int kStartTimeoutMs = 5000;
}

SimProcess::SimProcess(const QStringList& options)
{
    process_.start(QStringLiteral(KALVI7_SIM), options);
    if (!process_.waitForStarted(kStartTimeoutMs))
        throw std::runtime_error("kalvi7-sim did not start: " + process_.errorString().toStdString());

    QElapsedTimer clock;
    clock.start();
    while (!process_.canReadLine()) {
        const int left = kStartTimeoutMs - static_cast<int>(clock.elapsed());
        if (left <= 0 || !process_.waitForReadyRead(left))
            throw std::runtime_error("kalvi7-sim printed no line path: " + log().toStdString());
    }
    linePath_ = process_.readLine().trimmed().toStdString();
    if (linePath_.empty())
        throw std::runtime_error("kalvi7-sim printed an empty line path");
}

SimProcess::~SimProcess()
{
    if (process_.state() == QProcess::NotRunning)
        return;
    process_.terminate();
    if (!process_.waitForFinished(3000)) {
        process_.kill();
        process_.waitForFinished(1000);
    }
}

QString SimProcess::log()
{
    log_ += QString::fromUtf8(process_.readAllStandardError());
    return log_;
}

}  // namespace e2e
