// The window itself: widget lookup, the FormView the receiver and the
// decoders work through, the byte messages, the request switches, the link
// watchdog, the service key chord and the sizing per page.

#include "Unit1/TForm1.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QRadioButton>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTime>
#include <QWindow>

#include "PortUnit/PortUnit.h"
#include "Unit1/PortSelector.h"
#include "Unit1/byte_event.h"
#include "Unit1/error_box.h"
#include "Unit1/field_backdrop.h"
#include "Unit1/input_blocker.h"
#include "Unit1/service_chord.h"
#include "Unit1/window_colours.h"
#include "Unit1/window_font.h"
#include "Unit1/window_locale.h"
#include "Unit1/window_sizing.h"
#include "telemetry/telemetry.h"
#include "ui_TForm1.h"

// Qt's resource initialiser is declared at global scope: it cannot be
// named from inside a namespace.
static void initWindowResources() { Q_INIT_RESOURCE(kalvi7); }

namespace Unit1 {

namespace {

constexpr int kWatchdogMs = 3000;

struct PageSizes {
    QSize pageControl;
    QSize windowOuter;
};

// Page index 0 is the operator page, 1 the service page.
constexpr PageSizes kPageSizes[] = {
    {{390, 320}, {394, 362}},
    {{649, 435}, {659, 482}},
};

// A missing control is a fault of the layout, not of the operator's
// circumstances: stop at once with its name.
template <typename W>
W* requireChild(const QObject& root, const char* name)
{
    W* widget = root.findChild<W*>(QString::fromLatin1(name));
    if (!widget)
        qFatal("TForm1: the layout has no %s named %s", W::staticMetaObject.className(), name);
    return widget;
}

// The page control's own keys for turning pages (Ctrl+Tab and the like)
// would show the service page without the chord.
bool isPageTurnKey(const QKeyEvent& key)
{
    if (!(key.modifiers() & Qt::ControlModifier))
        return false;
    switch (key.key()) {
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown: return true;
    default: return false;
    }
}

}  // namespace

TForm1::TForm1(QWidget* parent)
    : QMainWindow(parent),
      DecodingSink(static_cast<telemetry::FormView&>(*this)),
      ui_(std::make_unique<Ui::TForm1>())
{
    initWindowResources();
    // Every control made below inherits it: the spin editors show and read
    // Latin digits whatever the computer's regional settings.
    setLocale(windowlocale::numbers());
    ui_->setupUi(this);
    // Arial, which the layout names, may be missing; a face with its widths
    // then stands in, not whatever face the system lists first.
    setFont(windowfont::withArialTwins(font()));
    findWidgets();
    setRadioSettingRanges();
    // The value fields change many times a second: each keeps a picture of
    // what lies beneath it instead of having it redrawn every time.
    new FieldBackdrops(*this, std::vector<QLabel*>(fields_.begin(), fields_.end()));
    wireWindow();
    wireEditors();

    // The watchdog runs from the window's creation: its first expiry sends
    // the first request.
    // Precise: a coarse timer may expire up to 5 % early, and the link is
    // declared silent only after a full interval without a byte.
    Timer3.setTimerType(Qt::PreciseTimer);
    Timer3.setInterval(kWatchdogMs);
    Timer3.start();

    guarded([this] { FormCreate(); });
}

TForm1::~TForm1()
{
    qApp->removeEventFilter(this);
    // The window may go without a close (the event loop ended by itself):
    // the port and the settings are still seen to.
    if (!destroyed_)
        guarded([this] { FormDestroy(); });
}

void TForm1::findWidgets()
{
    for (std::size_t i = 0; i < fields_.size(); ++i)
        fields_[i] = requireChild<QLabel>(*this, telemetry::fieldName(static_cast<telemetry::Field>(i)));
    for (std::size_t i = 0; i < editors_.size(); ++i)
        editors_[i] =
            requireChild<QLineEdit>(*this, telemetry::editorName(static_cast<telemetry::Editor>(i)));
    for (std::size_t i = 0; i < boxes_.size(); ++i)
        boxes_[i] = requireChild<QCheckBox>(*this, telemetry::boxName(static_cast<telemetry::Box>(i)));
}

void TForm1::wireWindow()
{
    // Title, system menu and close box only; the size is fixed per page.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);

    QTabWidget* pages = ui_->PageControl1;
    if (QTabBar* tabs = pages->findChild<QTabBar*>())
        tabs->hide();
    pages->setFocusPolicy(Qt::NoFocus);
    pages->installEventFilter(this);
    // Any page change, whoever makes it, leaves the window sized for the page.
    connect(pages, &QTabWidget::currentChanged, this, [this] { guarded([this] { PageControl1Change(); }); });

    // Disabled group boxes: no input reaches them or anything inside, yet
    // they keep the look of enabled ones. CheckBox26 lies in GroupBox30, so
    // only the program changes it.
    auto* blocker = new InputBlocker(this);
    for (const char* name : {"GroupBox30", "GroupBox7", "GroupBox31", "GroupBox32"})
        blocker->block(requireChild<QGroupBox>(*this, name));
    // The link indicator is the program's to set and to clear.
    blocker->block(ui_->RadioButton1);

    statusPanel_ = new QLabel(ui_->StatusBar1);
    statusPanel_->setObjectName(QStringLiteral("StatusBar1Panel"));
    ui_->StatusBar1->addWidget(statusPanel_, 1);

    // The four packet boxes share one handler, which runs on every change of
    // state, the program's own included. CheckBox54 has none.
    for (telemetry::Box box : {telemetry::Box::CheckBox26, telemetry::Box::CheckBox32,
                               telemetry::Box::CheckBox33, telemetry::Box::CheckBox43}) {
        connect(boxes_[static_cast<std::size_t>(box)], &QCheckBox::toggled, this,
                [this] { guarded([this] { CheckBox26Click(); }); });
    }

    connect(&Timer3, &QTimer::timeout, this, [this] { guarded([this] { Timer3Timer(); }); });

    connect(ui_->ComboBox3, &PortSelector::aboutToShowPopup, this,
            [this] { guarded([this] { ComboBox3Click(); }); });
    // activated: the operator picked an entry; the program's own selections
    // change the current index without it.
    connect(ui_->ComboBox3, &QComboBox::activated, this,
            [this](int index) { guarded([this, index] { PortChange(index); }); });

    // Key preview: every key that reaches the window passes FormKeyDown
    // first, whichever control has the focus.
    qApp->installEventFilter(this);
}

// --- FormView ---------------------------------------------------------------

void TForm1::setText(telemetry::Field field, const std::string& text)
{
    fields_[static_cast<std::size_t>(field)]->setText(QString::fromStdString(text));
}

std::string TForm1::text(telemetry::Field field) const
{
    return fields_[static_cast<std::size_t>(field)]->text().toStdString();
}

void TForm1::setEditText(telemetry::Editor editor, const std::string& text)
{
    QLineEdit* edit = editors_[static_cast<std::size_t>(editor)];
    edit->setText(QString::fromStdString(text));
    // Show a value that is wider than the editor from its start, so its
    // sign and leading digits stay in view (setText scrolls to the end).
    edit->setCursorPosition(0);
}

std::string TForm1::editText(telemetry::Editor editor) const
{
    return editors_[static_cast<std::size_t>(editor)]->text().toStdString();
}

bool TForm1::edit1ReadOnly() const { return editors_[0]->isReadOnly(); }

bool TForm1::checked(telemetry::Box box) const { return boxes_[static_cast<std::size_t>(box)]->isChecked(); }

void TForm1::setChecked(telemetry::Box box, bool on)
{
    // QCheckBox emits toggled only on a real change, and emits it inside
    // setChecked: the same state sends nothing, the other runs the handler
    // before the caller goes on.
    boxes_[static_cast<std::size_t>(box)]->setChecked(on);
}

void TForm1::setRadioButton1(bool on) { ui_->RadioButton1->setChecked(on); }

void TForm1::setStatusText(const std::string& text) { statusPanel_->setText(QString::fromStdString(text)); }

void TForm1::writeComByte(std::uint8_t byte) { PortUnit::WriteComByte(1, byte); }

telemetry::TimeOfDay TForm1::localTime() const
{
    const QTime now = QTime::currentTime();
    return {now.hour(), now.minute(), now.second()};
}

void TForm1::restartTimer3()
{
    Timer3.stop();
    Timer3.start();
}

void TForm1::byteTaken() { restartTimer3(); }

void TForm1::frameChecked(bool crcGood) { windowcolours::showVerdict(*ui_->Label5, crcGood); }

// --- Byte messages, request switches, watchdog ------------------------------

void TForm1::Calc(std::uint32_t wparam, std::intptr_t lparam)
{
    // Bytes still queued when the window shuts down are dropped.
    if (destroyed_ || !receiver_)
        return;
    receiver_->Calc(wparam, lparam);
}

void TForm1::CheckBox26Click() { telemetry::CheckBox26Click(*this); }

void TForm1::Timer3Timer() { telemetry::Timer3Timer(*this); }

void TForm1::setWatchdogIntervalForTest(int ms) { Timer3.setInterval(ms); }

void TForm1::showErrorBox(const QString& message) { errorbox::show(message); }

// --- Service key chord and page sizing --------------------------------------

void TForm1::FormKeyDown(int key, Qt::KeyboardModifiers shift, quint32 nativeScanCode,
                         quint32 nativeVirtualKey)
{
    if (!servicechord::hasChordModifiers(shift) ||
        !servicechord::isServiceKey(key, nativeScanCode, nativeVirtualKey))
        return;
    ui_->PageControl1->setCurrentIndex(ui_->PageControl1->currentIndex() ^ 1);
    PageControl1Change();
}

void TForm1::PageControl1Change()
{
    const int page = ui_->PageControl1->currentIndex();
    if (page < 0 || page >= static_cast<int>(std::size(kPageSizes)))
        return;
    const PageSizes& sizes = kPageSizes[page];
    ui_->PageControl1->resize(sizes.pageControl);
    wantedOuter_ = sizes.windowOuter;
    applyWindowSize();
}

// The window manager reports its frame only after the window is mapped:
// the client size follows, so that the outer size stays the page's, and the
// first time the window is centred again with its frame.
void TForm1::followFrame()
{
    if (!wantedOuter_.isValid() || windowsizing::frameMargins(*this) == appliedMargins_)
        return;
    applyWindowSize();
    if (centrePending_ && isVisible()) {
        centrePending_ = false;
        windowsizing::centreOnScreen(*this);
    }
}

void TForm1::applyWindowSize()
{
    appliedMargins_ = windowsizing::frameMargins(*this);
    windowsizing::setOuterSize(*this, wantedOuter_);
}

// --- Events -----------------------------------------------------------------

bool TForm1::event(QEvent* e)
{
    ByteMessageRelay::arrived(e);
    if (e->type() == ByteMessageRelay::wakeType()) {
        byteRelay_.deliver();
        return true;
    }
    if (e->type() == ByteEvent::eventType()) {
        const auto* byte = static_cast<const ByteEvent*>(e);
        PortUnit::ByteMessageTaken();
        guarded([this, byte] { Calc(byte->wparam, byte->lparam); });
        return true;
    }

    switch (e->type()) {
    case QEvent::Show:
        if (centrePending_) {
            windowsizing::centreOnScreen(*this);
            // Some window managers announce their frame without moving or
            // resizing the window: look again once it has settled.
            QTimer::singleShot(300, this, [this] { followFrame(); });
        }
        break;
    case QEvent::Move:
    case QEvent::Resize:
    case QEvent::WindowActivate: followFrame(); break;
    default: break;
    }
    return QMainWindow::event(e);
}

bool TForm1::eventFilter(QObject* watched, QEvent* e)
{
    ByteMessageRelay::arrived(e);
    if (e->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(e);
        // A key reaches the window's native window once, before it is
        // handed to the focused control: that is the window's preview.
        if (watched == windowHandle()) {
            guarded([this, key] {
                FormKeyDown(key->key(), key->modifiers(), key->nativeScanCode(), key->nativeVirtualKey());
            });
            return false;
        }
        if (watched == ui_->PageControl1 && isPageTurnKey(*key)) {
            key->accept();
            return true;
        }
        for (QLineEdit* edit : editors_) {
            if (watched == edit)
                return Edit1KeyPress(edit, key);
        }
    }
    return QMainWindow::eventFilter(watched, e);
}

void TForm1::closeEvent(QCloseEvent* e)
{
    // The close is never refused.
    e->accept();
    guarded([this] { FormClose(); });
}

}  // namespace Unit1
