#include "Unit1/PortSelector.h"

#include "PortUnit/PortUnit.h"

#include <QAbstractItemModel>
#include <QTextDocument>
#include <QWheelEvent>

namespace Unit1 {

namespace {

QString systemDescription(const QString& port)
{
    return QString::fromStdString(PortUnit::DescribeComPort(port.toStdString()));
}

// A tool tip that looks like markup is shown as markup; the device's own
// strings are shown as they are.
QString plainToolTip(const QString& text)
{
    return Qt::mightBeRichText(text) ? Qt::convertFromPlainText(text, Qt::WhiteSpaceNormal) : text;
}

}  // namespace

PortSelector::PortSelector(QWidget* parent) : QComboBox(parent), describer_(&systemDescription)
{
    // A list takes the focus from a turn of the wheel by default; then the
    // next keys typed, meant for something else, would pick a port.
    setFocusPolicy(Qt::StrongFocus);
    // The entries are added by the window (the refresh, the stored port put
    // back); each is described as it comes.
    connect(model(), &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex&, int first, int last) { describeEntries(first, last); });
}

void PortSelector::showPopup()
{
    emit aboutToShowPopup();
    QComboBox::showPopup();
}

void PortSelector::setDescriberForTest(Describer describer)
{
    describer_ = std::move(describer);
    if (count() > 0)
        describeEntries(0, count() - 1);
}

void PortSelector::describeEntries(int first, int last)
{
    for (int row = first; row <= last; ++row) {
        const QString description = describer_ ? describer_(itemText(row)) : QString();
        setItemData(row, description.isEmpty() ? QVariant() : QVariant(plainToolTip(description)),
                    Qt::ToolTipRole);
    }
}

void PortSelector::wheelEvent(QWheelEvent* event)
{
    // Left to the controls around it, as if the selector were not there.
    event->ignore();
}

}  // namespace Unit1
