// Start-up from settings.INI, the port selector, and shutdown, on the real
// window in a scratch current directory.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QThread>

#include <fstream>
#include <functional>
#include <memory>
#include <string>

#include <fcntl.h>
#include <linux/capability.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include "PortUnit/PortUnit.h"
#include "Unit1/PortSelector.h"
#include "Unit1/TForm1.h"
#include "support/window_harness.h"
#include "telemetry/telemetry.h"
#include "ui_TForm1.h"

using Unit1::PortSelector;
using Unit1::TForm1;

using namespace harness;

namespace {

const QString kNotOpened = QStringLiteral("Ошибка: порт стенда не открыт.");
const std::string kAbsentPort = "/dev/kalvi7-no-such-port";
// The box for a port that is not there: the step's text, then the reason.
const QString kAbsentPortBox = kNotOpened + QStringLiteral("\nТакого порта нет (ENOENT).");

// Root opens a file whatever its mode. While this lives the calling thread
// does not: its effective capabilities lose the two that override file
// permissions (capabilities are per thread, and the permitted set keeps
// them for the restore), so a port of mode 000 is refused to it as to an
// operator outside the dialout group. Nothing to do for another user.
class WithoutPermissionOverride {
public:
    WithoutPermissionOverride()
    {
        if (::geteuid() != 0 || ::syscall(SYS_capget, &header_, saved_) != 0)
            return;
        __user_cap_data_struct reduced[2] = {saved_[0], saved_[1]};
        reduced[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
        active_ = ::syscall(SYS_capset, &header_, reduced) == 0;
    }
    ~WithoutPermissionOverride()
    {
        if (active_)
            ::syscall(SYS_capset, &header_, saved_);
    }
    WithoutPermissionOverride(const WithoutPermissionOverride&) = delete;
    WithoutPermissionOverride& operator=(const WithoutPermissionOverride&) = delete;

private:
    __user_cap_header_struct header_{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct saved_[2]{};
    bool active_ = false;
};

std::string ownCommandName()
{
    std::ifstream comm("/proc/self/comm");
    std::string name;
    std::getline(comm, name);
    return name;
}

QString hint(const QString& port, const QString& speed)
{
    return QStringLiteral("Используемый порт: ") + port + QStringLiteral("\n\rСкорость: ") + speed +
           QStringLiteral("\r\nКонтроль четности: нет\n\r8 бит данных\n\r1 стоп-бит");
}

bool fileExists(const std::string& path) { return QFileInfo::exists(QString::fromStdString(path)); }

class StartupTest : public ::testing::Test {
protected:
    Ui::TForm1& ui() { return *form->ui(); }
    QString selected() { return ui().ComboBox3->currentText(); }

    ScratchDir scratch;
    ErrorBoxes errors;
    std::unique_ptr<TForm1> form;
};

TEST_F(StartupTest, FirstStartWithoutSettingsUsesTheDefaultsAndWritesAllFourKeys)
{
    const std::string defaultPort = PortUnit::DefaultPortName();
    form = std::make_unique<TForm1>();

    EXPECT_EQ(selected().toStdString(), defaultPort);
    EXPECT_EQ(ui().ComboBox3->toolTip(), hint(selected(), QStringLiteral("38400")));
    EXPECT_FALSE(ui().CheckBox54->isChecked());
    EXPECT_FALSE(ui().SpeedButton3->isEnabled());
    EXPECT_FALSE(ui().SpinEdit1->isEnabled());
    if (!fileExists(defaultPort)) {
        EXPECT_EQ(errors.texts, std::vector<QString>{kAbsentPortBox});
    }

    form.reset();
    EXPECT_EQ(scratch.readSettings(), settingsText(defaultPort));
}

TEST_F(StartupTest, StoredSettingsAreRestoredAndWrittenBackInDecimal)
{
    Pty pty;
    scratch.writeSettings(settingsText(pty.slavePath(), "0x4B00", true, true));
    form = std::make_unique<TForm1>();

    EXPECT_TRUE(errors.texts.empty());
    EXPECT_TRUE(PortUnit::IsPortOpen());
    EXPECT_EQ(selected().toStdString(), pty.slavePath());
    EXPECT_EQ(ui().ComboBox3->toolTip(), hint(selected(), QStringLiteral("19200")));
    EXPECT_TRUE(ui().CheckBox54->isChecked());
    EXPECT_TRUE(ui().SpeedButton3->isEnabled());
    EXPECT_TRUE(ui().SpinEdit1->isEnabled());

    // Restoring the cyclic switch sent nothing.
    pumpFor(50);
    EXPECT_TRUE(pty.drain().empty());

    form.reset();
    EXPECT_EQ(scratch.readSettings(), settingsText(pty.slavePath(), "19200", true, true));
}

TEST_F(StartupTest, StoredPortIsFoundWhateverItsLetterCase)
{
    const std::vector<std::string> ports = PortUnit::EnumComPorts();
    if (ports.empty())
        GTEST_SKIP() << "this computer lists no serial port";
    const QString listed = QString::fromStdString(ports.front());
    scratch.writeSettings(settingsText(listed.toUpper().toStdString()));
    form = std::make_unique<TForm1>();

    EXPECT_EQ(ui().ComboBox3->count(), static_cast<int>(ports.size())) << "nothing appended";
    EXPECT_EQ(selected(), listed);
}

TEST_F(StartupTest, MissingStoredPortIsAppendedSelectedAndItsOpenErrorShown)
{
    scratch.writeSettings(settingsText(kAbsentPort));
    form = std::make_unique<TForm1>();

    // Reported while the window was being created, before it is shown.
    EXPECT_EQ(errors.texts, std::vector<QString>{kAbsentPortBox});
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(ui().ComboBox3->currentIndex(), ui().ComboBox3->count() - 1);
    EXPECT_EQ(selected().toStdString(), kAbsentPort);
    EXPECT_FALSE(PortUnit::IsPortOpen());
}

TEST_F(StartupTest, APortThatDoesNotOpenGivesTheSystemsReasonOnTheBoxsSecondLine)
{
    struct Case {
        const char* what;
        std::function<void(const Pty&)> spoil;  // what keeps the pty from opening
        QString secondLine;
    };
    int lockFd = -1;
    const Case cases[] = {
        {"mode 000, as to a user outside the dialout group",
         [](const Pty& pty) { ASSERT_EQ(::chmod(pty.slavePath().c_str(), 0), 0); },
         QStringLiteral(
             "Нет прав на доступ к порту (EACCES): добавьте пользователя в группу dialout командой "
             "sudo usermod -aG dialout $USER и войдите в систему заново.")},
        {"locked by another program (this test)",
         [&lockFd](const Pty& pty) {
             lockFd = ::open(pty.slavePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
             ASSERT_GE(lockFd, 0);
             ASSERT_EQ(::flock(lockFd, LOCK_EX | LOCK_NB), 0);
         },
         QStringLiteral("Порт занят другой программой: %1, PID %2 (EWOULDBLOCK).")
             .arg(QString::fromStdString(ownCommandName()))
             .arg(::getpid())},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Pty pty;
        c.spoil(pty);
        scratch.writeSettings(settingsText(pty.slavePath()));
        errors.texts.clear();
        {
            const WithoutPermissionOverride asAnOperator;
            form = std::make_unique<TForm1>();
        }
        EXPECT_EQ(errors.texts, std::vector<QString>{kNotOpened + u'\n' + c.secondLine});
        EXPECT_FALSE(PortUnit::IsPortOpen());
        form.reset();
        if (lockFd >= 0)
            ::close(lockFd);
        lockFd = -1;
    }
}

TEST_F(StartupTest, SettingsThatCannotBeWrittenAreReportedAndTheShutdownCompletes)
{
    // A directory in the file's place refuses the write whoever runs the test.
    ASSERT_TRUE(QDir(scratch.path()).mkdir(QStringLiteral("settings.INI")));
    Pty pty;
    form = std::make_unique<TForm1>();
    errors.texts.clear();
    PortSelector& selector = *ui().ComboBox3;
    selector.addItem(QString::fromStdString(pty.slavePath()));
    selector.setCurrentIndex(selector.count() - 1);
    emit selector.activated(selector.currentIndex());
    ASSERT_TRUE(PortUnit::IsPortOpen());

    form->close();
    const QString expected =
        QStringLiteral("Unable to write to ") + QString::fromStdString(scratch.settingsPath()) + u'.';
    EXPECT_EQ(errors.texts, std::vector<QString>{expected});
    EXPECT_FALSE(PortUnit::IsPortOpen());
    EXPECT_FALSE(PortUnit::IsReaderRunning());
}

TEST_F(StartupTest, SelectorRefreshKeepsTheOpenPortAndOnlyAPickReopens)
{
    Pty pty;
    scratch.writeSettings(settingsText(pty.slavePath()));
    form = std::make_unique<TForm1>();
    ASSERT_TRUE(errors.texts.empty());
    PortSelector& selector = *ui().ComboBox3;
    const QString startHint = selector.toolTip();

    // The open port refuses the probe: it is put back and stays selected.
    selector.showPopup();
    selector.hidePopup();
    EXPECT_EQ(selector.count(), static_cast<int>(PortUnit::EnumComPorts().size()) + 1);
    EXPECT_EQ(selected().toStdString(), pty.slavePath());
    EXPECT_TRUE(PortUnit::IsPortOpen());
    EXPECT_TRUE(errors.texts.empty());
    pty.send(telemetryFrame(3));
    EXPECT_TRUE(pumpUntil([&] { return form->text(telemetry::Field::Label5) == "3"; }, 2000));

    // The operator picks a port that does not open: the old one is closed
    // first, the error is shown and the selector keeps the new name.
    selector.addItem(QString::fromStdString(kAbsentPort));
    selector.setCurrentIndex(selector.count() - 1);
    emit selector.activated(selector.currentIndex());
    EXPECT_EQ(errors.texts, std::vector<QString>{kAbsentPortBox});
    EXPECT_FALSE(PortUnit::IsPortOpen());
    EXPECT_EQ(selected().toStdString(), kAbsentPort);
    EXPECT_EQ(selector.toolTip(), startHint);

    // And back to the first one, which opens again.
    selector.setCurrentIndex(selector.findText(QString::fromStdString(pty.slavePath())));
    emit selector.activated(selector.currentIndex());
    EXPECT_EQ(errors.texts.size(), 1u);
    EXPECT_TRUE(PortUnit::IsPortOpen());
}

TEST_F(StartupTest, BytesStillQueuedAtCloseAreNeverDecoded)
{
    Pty pty;
    scratch.writeSettings(settingsText(pty.slavePath()));
    form = std::make_unique<TForm1>();
    ASSERT_TRUE(errors.texts.empty());

    // The reader posts these while the window handles no events.
    for (std::uint8_t n = 1; n <= 20; ++n)
        pty.send(telemetryFrame(n));
    QThread::msleep(300);

    form->close();
    EXPECT_FALSE(PortUnit::IsPortOpen());
    EXPECT_FALSE(PortUnit::IsReaderRunning());
    pumpFor(200);
    EXPECT_EQ(form->text(telemetry::Field::Label5), "0");
    EXPECT_EQ(form->text(telemetry::Field::Label47), "0");
    EXPECT_EQ(scratch.readSettings(), settingsText(pty.slavePath()));
    EXPECT_TRUE(errors.texts.empty());
}

}  // namespace
