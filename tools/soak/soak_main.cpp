// Soak run of the window against two simulated radiosondes with their
// faults on (bad CRCs, noise, silences, hang-ups), changing port every few
// seconds, for a chosen time. Checks that no good telemetry frame is lost
// unless a fault or a port change explains it, that the telemetry keeps
// coming, that resident memory stays flat after a warm-up and that the
// descriptors stay constant. Prints a summary; exits 1 on any violation.
//
//   kalvi7-soak [--minutes M | --seconds S] [--change-every S] [--flood] [--seed N] [--sim PATH]
#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <fstream>
#include <random>

#include "PortUnit/PortUnit.h"
#include "Unit1/PortSelector.h"
#include "Unit1/error_box.h"
#include "soak/soak_report.h"
#include "soak/soak_sim.h"
#include "soak/soak_window.h"
#include "support/proc_figures.h"
#include "ui_TForm1.h"

using Unit1::PortSelector;
namespace errorbox = Unit1::errorbox;

namespace {

struct Options {
    double seconds = 600;
    double changeEvery = 4;
    bool flood = false;  // the second radiosonde sends as fast as the line takes
    int seed = 1;
    QString sim = QStringLiteral(KALVI7_SIM);
};

bool parse(const QStringList& args, Options& o)
{
    for (int i = 1; i < args.size(); ++i) {
        const QString& a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (a == "--flood")
            o.flood = true;
        else if (a == "--minutes" && hasValue)
            o.seconds = 60 * args[++i].toDouble();
        else if (a == "--seconds" && hasValue)
            o.seconds = args[++i].toDouble();
        else if (a == "--change-every" && hasValue)
            o.changeEvery = args[++i].toDouble();
        else if (a == "--seed" && hasValue)
            o.seed = args[++i].toInt();
        else if (a == "--sim" && hasValue)
            o.sim = args[++i];
        else
            return false;
    }
    return o.seconds >= 10 && o.changeEvery >= 0.5;
}

}  // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    Options options;
    if (!parse(app.arguments(), options)) {
        std::fprintf(stderr,
                     "usage: kalvi7-soak [--minutes M | --seconds S] [--change-every S] "
                     "[--flood] [--seed N] [--sim PATH]\n");
        return 2;
    }

    std::vector<QString> errorBoxes;
    errorbox::setCaptureForTest([&errorBoxes](const QString& text) { errorBoxes.push_back(text); });

    QTemporaryDir scratch;
    if (!scratch.isValid() || !QDir::setCurrent(scratch.path())) {
        std::fprintf(stderr, "kalvi7-soak: no scratch directory\n");
        return 2;
    }

    QElapsedTimer clock;
    clock.start();
    const auto now = [&clock] { return clock.elapsed(); };

    soak::SimLine north("north", options.sim, scratch.filePath("lineN"), 55.7504,
                        {.badCrcEvery = 7,
                         .noise = true,
                         .silenceFor = 4,
                         .silenceEvery = 37,
                         .hangupEvery = 23,
                         .hangupFor = 2},
                        false, options.seed);
    soak::SimLine south("south", options.sim, scratch.filePath("lineS"), -33.9,
                        {.badCrcEvery = 11,
                         .noise = true,
                         .silenceFor = 3,
                         .silenceEvery = 29,
                         .hangupEvery = 31,
                         .hangupFor = 2},
                        options.flood, options.seed + 1);
    soak::SimLine* sims[] = {&north, &south};
    for (soak::SimLine* sim : sims) {
        sim->clock = now;
        if (!sim->start(now())) {
            std::fprintf(stderr, "kalvi7-soak: %s did not start\n", qPrintable(options.sim));
            return 2;
        }
    }

    std::ofstream("settings.INI") << "[Port1 setting]\nPort=" << north.link().toStdString()
                                  << "\nBaudRate=38400\n[Form setting]\nContinuedMode=1\n";
    soak::SoakWindow form(clock);
    // A flooded line carries up to some 20 000 telemetry frames a second.
    form.reserveRecords(options.seconds + 60, options.flood ? 30000 : 100);
    form.show();
    PortSelector* selector = form.ui()->ComboBox3;
    selector->clear();
    for (soak::SimLine* sim : sims)
        selector->addItem(sim->link());
    selector->setCurrentIndex(0);

    std::vector<soak::PortChange> changes;
    std::vector<QString> openFailures;
    std::mt19937 rng(static_cast<unsigned>(options.seed));
    QTimer changeTimer;
    QObject::connect(&changeTimer, &QTimer::timeout, [&] {
        // Either line, so that the same one is sometimes picked again.
        const int index = static_cast<int>(rng() % 2);
        selector->setCurrentIndex(index);
        // The old line is closed first, so that where its bytes end in the
        // stream the window takes is known exactly: those taken and those
        // still queued. PortChange's own close then finds nothing open.
        PortUnit::CloseComPort(true);
        const std::uint64_t oldLineEnds =
            form.bytesTaken + static_cast<std::uint64_t>(PortUnit::ByteMessagesInFlight());
        bool opened = true;
        try {
            form.PortChange(index);
        } catch (const std::exception& error) {
            opened = false;
            openFailures.push_back(QString::fromUtf8(error.what()));
        }
        changes.push_back({now(), oldLineEnds, sims[index], opened, ProcFigures::ofSelf().openFds});
    });
    changeTimer.start(static_cast<int>(options.changeEvery * 1000));

    std::vector<soak::Sample> samples;
    QEventLoop loop;
    QTimer sampleTimer;
    QObject::connect(&sampleTimer, &QTimer::timeout, [&] {
        // The window's memory: the process's, less the records of every
        // frame the harness keeps for its verdict.
        samples.push_back(
            {now(), ProcFigures::ofSelf().vmRssKb - static_cast<long>(form.recordBytes() / 1024)});
        for (soak::SimLine* sim : sims) {
            if (sim->ended())
                loop.quit();
        }
    });
    sampleTimer.start(1000);
    const auto endMs = static_cast<qint64>(options.seconds * 1000);
    // Precise: a coarse timer of ten minutes may fire seconds early.
    QTimer::singleShot(static_cast<int>(endMs), Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
    changeTimer.stop();
    sampleTimer.stop();
    const qint64 ranMs = now();
    const ProcFigures last = ProcFigures::ofSelf();

    soak::Record run;
    run.ranMs = ranMs;
    run.plannedMs = endMs;
    run.changeEvery = options.changeEvery;
    run.flood = options.flood;
    run.sims.assign(std::begin(sims), std::end(sims));
    run.window = &form;
    run.changes = changes;
    run.openFailures = openFailures.size();
    run.samples = samples;
    run.finalOpenFds = last.openFds;
    run.recordKb = static_cast<long>(form.recordBytes() / 1024);
    run.errorBoxes = errorBoxes;
    const int violations = soak::report(run);

    form.close();
    for (soak::SimLine* sim : sims)
        sim->stop();
    std::printf("soak: %s\n", violations == 0 ? "passed" : "FAILED");
    return violations == 0 ? 0 : 1;
}
