// The parameter editors (carrier frequency, gain, navigation mode) and the
// calibration editors Edit1..Edit6 with their view and edit modes, their key
// filter and the check before a calibration write.

#include <QApplication>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>

#include <array>
#include <optional>
#include <string>

#include "Unit1/TForm1.h"
#include "Unit1/window_colours.h"
#include "editors/calibration_check.h"
#include "editors/editor_keys.h"
#include "editors/editor_texts.h"
#include "protocol/host_frames.h"
#include "protocol/radio_settings.h"
#include "ui_TForm1.h"

namespace Unit1 {

namespace {

using CalibrationEdits = std::array<QLineEdit*, telemetry::kEditorCount>;

std::optional<editors::Editor> calibrationEditorOf(const CalibrationEdits& all, const QLineEdit* edit)
{
    for (std::size_t i = 0; i < all.size(); ++i) {
        if (all[i] == edit)
            return static_cast<editors::Editor>(i);
    }
    return std::nullopt;
}

// What the editor will still hold once a typed character replaces its
// selection.
std::u16string remainingText(const QLineEdit& edit)
{
    QString text = edit.text();
    if (edit.hasSelectedText())
        text.remove(edit.selectionStart(), edit.selectionLength());
    return text.toStdU16String();
}

bool isNavigationKey(int key)
{
    switch (key) {
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_Home:
    case Qt::Key_End:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Delete:
    case Qt::Key_Tab:
    case Qt::Key_Backtab: return true;
    default: return false;
    }
}

// The clipboard reaches a line edit through these shortcuts whatever text
// the key event carries (Ctrl+V, Shift+Insert, ...); the editors take none.
bool isClipboardShortcut(const QKeyEvent& key)
{
    return key.matches(QKeySequence::Paste) || key.matches(QKeySequence::Copy) ||
           key.matches(QKeySequence::Cut);
}

// The caption each calibration editor is known by on the form, in the
// editors' order.
std::array<QLabel*, telemetry::kEditorCount> calibrationCaptions(Ui::TForm1& ui)
{
    return {ui.editACaption,       ui.editBCaption,       ui.editCCaption,
            ui.editSerial1Caption, ui.editSerial2Caption, ui.editDateCaption};
}

// Says which field stopped the write, then leaves the operator in it with
// its text selected, ready to be typed over.
void refuseCalibrationWrite(Ui::TForm1& ui, const CalibrationEdits& edits, editors::Editor refused,
                            QWidget* parent)
{
    const auto index = static_cast<std::size_t>(refused);
    const std::string caption = calibrationCaptions(ui)[index]->text().toStdString();
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Error"),
                    QString::fromStdString(editors::refusalText(refused, caption)), QMessageBox::Ok, parent);
    box.exec();
    QLineEdit* edit = edits[index];
    edit->setFocus(Qt::OtherFocusReason);
    edit->selectAll();
}

}  // namespace

void TForm1::wireEditors()
{
    connect(ui_->SpeedButton1, &QAbstractButton::clicked, this,
            [this] { guarded([this] { SpeedButton1Click(); }); });
    connect(ui_->SpeedButton2, &QAbstractButton::clicked, this,
            [this] { guarded([this] { SpeedButton2Click(); }); });
    connect(ui_->SpeedButton3, &QAbstractButton::clicked, this,
            [this] { guarded([this] { SpeedButton3Click(); }); });
    connect(ui_->SpeedButton4, &QAbstractButton::clicked, this,
            [this] { guarded([this] { SpeedButton4Click(); }); });
    connect(ui_->SpeedButton5, &QAbstractButton::clicked, this,
            [this] { guarded([this] { SpeedButton5Click(); }); });
    // View mode shows the button face, edit mode the window colour, in
    // whatever palette is in force.
    for (QLineEdit* edit : editors_)
        windowcolours::followEditMode(*edit);
}

void TForm1::setRadioSettingRanges()
{
    ui_->SpinEdit15->setRange(static_cast<int>(protocol::kFrequencyLowestKHz),
                              static_cast<int>(protocol::kFrequencyHighestKHz));
    ui_->SpinEdit15->setSingleStep(static_cast<int>(protocol::kFrequencyStepKHz));
    ui_->SpinEdit1->setRange(protocol::kGainLowest, protocol::kGainHighest);
}

void TForm1::SpeedButton1Click()
{
    const std::int64_t kHz =
        editors::spinValue(ui_->SpinEdit15->text().toStdString(), protocol::kFrequencyLowestKHz);
    for (std::uint8_t byte : protocol::buildFrequencyCommand(protocol::frequencyCode(kHz)))
        writeComByte(byte);
}

void TForm1::SpeedButton2Click()
{
    const auto navMode = static_cast<std::uint8_t>(ui_->ComboBox16->currentIndex());
    for (std::uint8_t byte : protocol::buildNavModeCommand(navMode))
        writeComByte(byte);
}

void TForm1::SpeedButton3Click()
{
    const std::int64_t gain = editors::spinValue(ui_->SpinEdit1->text().toStdString(), protocol::kGainLowest);
    for (std::uint8_t byte : protocol::buildGainCommand(static_cast<std::uint8_t>(gain & 0xFF)))
        writeComByte(byte);
}

void TForm1::SpeedButton4Click()
{
    // Edit1's read-only flag is the edit mode the decoders and the watchdog
    // look at, so it decides the direction of the toggle.
    const bool entering = ui_->Edit1->isReadOnly();
    // The background follows the read-only flag by itself (wireEditors).
    for (QLineEdit* edit : editors_) {
        edit->setFrame(entering);
        edit->setReadOnly(!entering);
    }
    ui_->SpeedButton4->setText(entering ? QStringLiteral("Отмена") : QStringLiteral("Изменить"));
    ui_->SpeedButton5->setVisible(entering);
}

void TForm1::SpeedButton5Click()
{
    // The texts are checked as they stand, whether typed, pasted through the
    // context menu or left by the watchdog.
    editors::CalibrationTexts texts;
    for (std::size_t i = 0; i < editors_.size(); ++i)
        texts[i] = editors_[i]->text().toStdString();

    // The coefficients are read as is_float reads them, then the numbers
    // and the date; the first field that fails stops the write.
    const editors::CalibrationCheck check = editors::checkCalibrationTexts(texts);
    if (!check.ok()) {
        refuseCalibrationWrite(*ui_, editors_, check.refused, this);
        return;
    }

    for (std::uint8_t byte : protocol::buildCalibrationWrite(*check.values))
        writeComByte(byte);
    SpeedButton4Click();
}

bool TForm1::is_float(const QString& text) const { return editors::isFloatText(text.toStdString()); }

bool TForm1::Edit1KeyPress(QLineEdit* sender, QKeyEvent* key)
{
    const auto editor = calibrationEditorOf(editors_, sender);
    if (!editor)
        return false;
    if (isClipboardShortcut(*key))
        return true;

    char16_t typed = 0;
    switch (key->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter: typed = editors::kEnter; break;
    case Qt::Key_Backspace: typed = editors::kBackspace; break;
    default: {
        // Navigation and modifier keys carry no character: they move the
        // cursor or the focus and change no text.
        if (isNavigationKey(key->key()))
            return false;
        const QString text = key->text();
        if (text.isEmpty())
            return false;
        if (text.size() != 1)
            return true;
        typed = text.front().unicode();
    }
    }

    switch (editors::filterEditorKey(*editor, typed, remainingText(*sender))) {
    case editors::KeyVerdict::Accept: return false;
    case editors::KeyVerdict::AcceptComma:
        if (key->text() == QStringLiteral(","))
            return false;
        {
            // A "." goes in as ","; the replacement passes this filter again
            // with the same verdict and then reaches the editor, which keeps
            // its own read-only rule.
            QKeyEvent comma(QEvent::KeyPress, Qt::Key_Comma, key->modifiers(), QStringLiteral(","));
            QCoreApplication::sendEvent(sender, &comma);
        }
        return true;
    case editors::KeyVerdict::MoveFocus: {
        // Enter works as Tab, in view mode too: on to the next control in
        // tab order.
        QKeyEvent tab(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier);
        QCoreApplication::sendEvent(sender, &tab);
        return true;
    }
    case editors::KeyVerdict::Refuse: return true;
    }
    return true;
}

}  // namespace Unit1
