// The port selector: a drop-down list that tells the window just before its
// list opens, so that the window can refresh the ports first.
//
// Picking another entry closes the radiosonde's line and opens another
// port, so only a deliberate pick does it: an entry chosen from the opened
// list, or the keyboard while the selector has the focus. The mouse wheel,
// which a hand scrolling the window turns over the selector by chance,
// changes nothing.
//
// Every entry, however it is added, carries a tool tip with what the system
// knows of the adapter behind it (PortUnit::DescribeComPort), so that two
// adapters can be told apart in the list; the entries themselves stay the
// port names.
#pragma once

#include <QComboBox>

#include <functional>

namespace Unit1 {

class PortSelector : public QComboBox {
    Q_OBJECT

public:
    explicit PortSelector(QWidget* parent = nullptr);

    void showPopup() override;

    // What the tool tip of the entry naming a port says; empty: no tool tip.
    using Describer = std::function<QString(const QString& port)>;
    // Tests replace the system's description; the entries present are
    // described again.
    void setDescriberForTest(Describer describer);

signals:
    // Emitted before the list is shown; the entries may be replaced here.
    void aboutToShowPopup();

protected:
    void wheelEvent(QWheelEvent* event) override;

private:
    void describeEntries(int first, int last);

    Describer describer_;
};

}  // namespace Unit1
