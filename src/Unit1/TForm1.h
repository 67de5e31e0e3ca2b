// The one window of the program: the operator page "Телеметрия" and the
// service page "Управление", every display field, the request switches,
// the editors, the status bar and the link watchdog. The layout lives in
// TForm1.ui; this class wires the handlers, implements FormView, through
// which the decoders and the request chain reach the widgets, and is the
// receiver's sink.
//
// Handler definitions are split by job:
//   TForm1.cpp          window, FormView, receiver wiring, request switches,
//                       watchdog, service key chord, page sizing
//   TForm1_startup.cpp  FormCreate, settings, port selector, shutdown
//   TForm1_editors.cpp  parameter and calibration editors
#pragma once

#include <QMainWindow>
#include <QMargins>
#include <QSize>
#include <QTimer>

#include <array>
#include <memory>
#include <string>

#include "Unit1/byte_event.h"
#include "protocol/receiver.h"
#include "telemetry/decoding_sink.h"
#include "telemetry/form_view.h"

QT_BEGIN_NAMESPACE
namespace Ui {
class TForm1;
}
class QLabel;
class QLineEdit;
class QCheckBox;
QT_END_NAMESPACE

namespace Unit1 {

// The window is the receiver's sink: good frames go to the decoders, which
// write into the window's FormView.
class TForm1 : public QMainWindow, public telemetry::FormView, public telemetry::DecodingSink {
    Q_OBJECT

public:
    explicit TForm1(QWidget* parent = nullptr);
    ~TForm1() override;

    // --- FormView (the decoders' view of the window) ---
    void setText(telemetry::Field field, const std::string& text) override;
    std::string text(telemetry::Field field) const override;
    void setEditText(telemetry::Editor editor, const std::string& text) override;
    std::string editText(telemetry::Editor editor) const override;
    bool edit1ReadOnly() const override;
    bool checked(telemetry::Box box) const override;
    void setChecked(telemetry::Box box, bool on) override;
    void setRadioButton1(bool on) override;
    void setStatusText(const std::string& text) override;
    void writeComByte(std::uint8_t byte) override;
    telemetry::TimeOfDay localTime() const override;
    void restartTimer3() override;

    // --- ReceiverSink: a taken byte restarts Timer3, the CRC verdict colours
    // Label5; good frames go to the decoders (DecodingSink) ---
    void byteTaken() override;
    void frameChecked(bool crcGood) override;

    // Handler of one byte message from the reader thread.
    void Calc(std::uint32_t wparam, std::intptr_t lparam);

    // Runs handler; an error that escapes it is shown in the error box and
    // the program carries on.
    template <typename F>
    void guarded(F&& handler);
    static void showErrorBox(const QString& message);

    const protocol::FrameReceiver& receiver() const { return *receiver_; }
    // Where the reader thread's byte messages wait for the window.
    ByteMessageRelay& byteQueue() { return byteRelay_; }
    Ui::TForm1* ui() const { return ui_.get(); }

    // For tests only: the watchdog's interval (the program keeps 3000 ms).
    void setWatchdogIntervalForTest(int ms);

public slots:
    // Window
    void FormCreate();
    void FormKeyDown(int key, Qt::KeyboardModifiers shift, quint32 nativeScanCode, quint32 nativeVirtualKey);
    void PageControl1Change();
    void Timer3Timer();
    void CheckBox26Click();

    // Start-up, port, settings, shutdown
    void LoadSetting();
    void SaveSetting();
    void PortSetting();
    void PortChange(int index);
    void ComboBox3Click();
    void FormClose();
    void FormDestroy();

    // Editors
    void SpeedButton1Click();
    void SpeedButton2Click();
    void SpeedButton3Click();
    void SpeedButton4Click();
    void SpeedButton5Click();
    bool is_float(const QString& text) const;

protected:
    bool event(QEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;
    void closeEvent(QCloseEvent* e) override;

private:
    // The frequency and gain spin boxes take their ranges from the one
    // home of the radio settings, not from the layout.
    void setRadioSettingRanges();  // TForm1_editors.cpp
    void wireWindow();             // TForm1.cpp
    void wireEditors();            // TForm1_editors.cpp
    // Key filter of Edit1..Edit6; returns true when the key is consumed.
    bool Edit1KeyPress(QLineEdit* sender, QKeyEvent* key);  // TForm1_editors.cpp

    std::unique_ptr<Ui::TForm1> ui_;
    std::unique_ptr<protocol::FrameReceiver> receiver_;  // owns RxBuf
    QTimer Timer3;
    ByteMessageRelay byteRelay_{this};
    std::array<QLabel*, telemetry::kFieldCount> fields_{};
    std::array<QLineEdit*, telemetry::kEditorCount> editors_{};
    std::array<QCheckBox*, 5> boxes_{};
    std::int32_t PortBaudRate = 38400;
    bool destroyed_ = false;  // FormDestroy has run

    // TForm1.cpp: widget lookup, the window's outer size per page.
    void findWidgets();
    void applyWindowSize();
    void followFrame();
    QLabel* statusPanel_ = nullptr;  // StatusBar1's one panel
    QSize wantedOuter_;              // outer size for the active page
    QMargins appliedMargins_;        // frame margins wantedOuter_ was applied with
    bool centrePending_ = true;      // centre again once the frame is known
};

template <typename F>
void TForm1::guarded(F&& handler)
{
    try {
        handler();
    } catch (const std::exception& error) {
        showErrorBox(QString::fromUtf8(error.what()));
    } catch (...) {
        showErrorBox(QStringLiteral("Неизвестная ошибка"));
    }
}

}  // namespace Unit1
