// Start-up, the port selector and the opening of the port, settings.INI,
// and the order of shutdown.

#include <QCheckBox>
#include <QCoreApplication>
#include <QPushButton>
#include <QSpinBox>
#include <QStringList>
#include <QTabWidget>

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "PortUnit/PortUnit.h"
#include "Unit1/PortSelector.h"
#include "Unit1/TForm1.h"
#include "Unit1/byte_event.h"
#include "Unit1/error_box.h"
#include "common/formats.h"
#include "settings/settings_ini.h"
#include "ui_TForm1.h"

namespace Unit1 {

namespace {

QStringList toQStringList(const std::vector<std::string>& names)
{
    QStringList list;
    list.reserve(static_cast<qsizetype>(names.size()));
    for (const std::string& name : names)
        list.append(QString::fromStdString(name));
    return list;
}

// Selects the entry that matches name whatever its letter case, appending
// name when there is none, so the name is always listed and selected. The
// program's own selection does not count as the operator's pick.
void selectOrAppend(QComboBox& selector, const QString& name)
{
    int index = selector.findText(name, Qt::MatchFixedString);  // case-insensitive
    if (index < 0) {
        selector.addItem(name);
        index = selector.count() - 1;
    }
    selector.setCurrentIndex(index);
}

// The selector's hint, built once at start-up: it keeps naming the port and
// speed of the start even after another port is picked. The line breaks are
// LF CR, CR LF, LF CR, LF CR, in this order.
QString portHint(const QString& port, std::int32_t baudRate)
{
    return QStringLiteral("Используемый порт: ") + port + QStringLiteral("\n\r") +
           QStringLiteral("Скорость: ") + QString::number(baudRate) + QStringLiteral("\r\n") +
           QStringLiteral("Контроль четности: нет") + QStringLiteral("\n\r") +
           QStringLiteral("8 бит данных") + QStringLiteral("\n\r") + QStringLiteral("1 стоп-бит");
}

}  // namespace

void TForm1::FormCreate()
{
    // Numbers use the fixed "," separator of the formats module; only the
    // time separator comes from the computer's regional settings.
    formats::detectTimeSeparator();

    ui_->ComboBox3->clear();
    ui_->ComboBox3->addItems(toQStringList(PortUnit::EnumComPorts()));

    LoadSetting();

    ui_->PageControl1->setCurrentIndex(0);
    PageControl1Change();

    // The receiver exists before the port opens, so no byte can come first.
    receiver_ = std::make_unique<protocol::FrameReceiver>(static_cast<protocol::ReceiverSink&>(*this));
    PortUnit::SetByteMessageTarget(&ByteMessageRelay::post, &byteRelay_);

    PortSetting();
}

void TForm1::LoadSetting()
{
    const settings::Settings settings =
        settings::loadSettings(settings::settingsPath(), PortUnit::DefaultPortName());

    selectOrAppend(*ui_->ComboBox3, QString::fromStdString(settings.port));
    PortBaudRate = settings.baudRate;
    ui_->ComboBox3->setToolTip(portHint(ui_->ComboBox3->currentText(), PortBaudRate));

    // CheckBox54 has no handler: restoring it sends nothing.
    ui_->CheckBox54->setChecked(settings.continuedMode);

    ui_->SpeedButton3->setEnabled(settings.amplSetEnable);
    ui_->SpinEdit1->setEnabled(ui_->SpeedButton3->isEnabledTo(this));
}

void TForm1::SaveSetting()
{
    const QString port = ui_->ComboBox3->currentText();
    const std::optional<std::string> storedPort =
        port.isEmpty() ? std::nullopt : std::optional<std::string>(port.toStdString());
    // The button's own enabled state, whatever its parents' state.
    settings::saveSettings(settings::settingsPath(), storedPort, PortBaudRate, ui_->CheckBox54->isChecked(),
                           ui_->SpeedButton3->isEnabledTo(this));
}

void TForm1::PortSetting()
{
    const std::string path = PortUnit::PortPathFor(ui_->ComboBox3->currentText().toStdString());
    try {
        PortUnit::OpenComPort(path, static_cast<std::uint32_t>(PortBaudRate), 0, 8, 0);
    } catch (const PortUnit::PortError& error) {
        // The box shows the step's text as its first line and the system's
        // reason, when there is one, as its second.
        throw std::runtime_error(
            errorbox::withReason(QString::fromUtf8(error.what()), QString::fromUtf8(error.reason()))
                .toStdString());
    }
}

void TForm1::PortChange(int /*index*/)
{
    PortUnit::CloseComPort(true);
    PortSetting();
}

void TForm1::ComboBox3Click()
{
    // The open port refuses the probe and drops out of the fresh list; it is
    // put back so that the selector keeps showing it. The port stays open.
    const QString current = ui_->ComboBox3->currentText();
    ui_->ComboBox3->clear();
    ui_->ComboBox3->addItems(toQStringList(PortUnit::EnumComPorts()));
    selectOrAppend(*ui_->ComboBox3, current);
}

void TForm1::FormClose()
{
    hide();
    guarded([this] { FormDestroy(); });
    // Ends the event loop when it runs (the program's), and does nothing
    // otherwise; byte messages still queued are dropped by Calc.
    QCoreApplication::quit();
}

void TForm1::FormDestroy()
{
    if (destroyed_)
        return;
    destroyed_ = true;
    Timer3.stop();
    // The reader is stopped before the port is released, and nothing is
    // posted after the close returns.
    PortUnit::CloseComPort(true);
    PortUnit::SetByteMessageTarget(nullptr, nullptr);
    SaveSetting();
}

}  // namespace Unit1
