// One simulated radiosonde for the soak: a kalvi7-sim child with its faults,
// reached through a symlink that always names its current pty, and the
// times at which its line came back after a hang-up.
#pragma once

#include <QObject>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

namespace soak {

struct Faults {
    int badCrcEvery = 0;      // every Nth frame with a corrupted CRC
    bool noise = false;       // random bytes before every frame
    double silenceFor = 0;    // seconds of silence ...
    double silenceEvery = 0;  // ... at the end of every this many seconds
    double hangupEvery = 0;   // seconds of service before the line drops ...
    double hangupFor = 0;     // ... for this many seconds
};

class SimLine : public QObject {
    Q_OBJECT

public:
    // latitude tells the radiosondes apart in their telemetry (the sign of
    // the Earth-centred Z coordinate).
    SimLine(QString name, QString program, QString link, double latitude, Faults faults, bool flood,
            int seed);
    ~SimLine() override;

    // Starts the child and waits for its first pty; false if it did not come.
    bool start(qint64 nowMs);

    const QString& name() const { return name_; }
    const QString& link() const { return link_; }
    const Faults& faults() const { return faults_; }
    bool northern() const { return latitude_ > 0; }
    bool ended() const { return ended_; }
    const QString& endReason() const { return endReason_; }
    qint64 startedAtMs() const { return startedAtMs_; }
    // Harness times at which a new pty was announced after a hang-up.
    const std::vector<qint64>& linesRemadeAtMs() const { return linesRemadeAtMs_; }

    // Was the line down (hung up) anywhere in [fromMs, toMs]?
    bool lineDownBetween(qint64 fromMs, qint64 toMs) const;
    // Was the line down, or silent, anywhere in [fromMs, toMs]?
    bool disturbedBetween(qint64 fromMs, qint64 toMs) const;

    void stop();

    // Set by the harness to its clock, so that events carry its times.
    std::function<qint64()> clock;

private:
    void readLines();

    QString name_, program_, link_;
    double latitude_;
    Faults faults_;
    bool flood_;
    int seed_;
    QProcess process_;
    qint64 startedAtMs_ = 0;
    int linesSeen_ = 0;
    std::vector<qint64> linesRemadeAtMs_;
    bool ended_ = false;
    bool stopping_ = false;
    QString endReason_;
};

}  // namespace soak
