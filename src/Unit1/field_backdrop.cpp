#include "Unit1/field_backdrop.h"

#include <QBackingStore>
#include <QEvent>
#include <QLabel>
#include <QPaintEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace Unit1 {

namespace {

// A widget that paints every pixel of itself, so that nothing beneath it
// shows through.
bool paintsItsWholeRect(const QWidget& widget)
{
    if (widget.isWindow() || widget.testAttribute(Qt::WA_OpaquePaintEvent))
        return true;
    return widget.autoFillBackground() && widget.palette().brush(widget.backgroundRole()).isOpaque();
}

// The widget whose rendering of the label's rectangle, without the label,
// is what lies beneath the label; nullptr when another widget overlaps the
// label on the way there.
QWidget* backdropSource(const QLabel& label)
{
    const QWidget* node = &label;
    QRect rect = label.geometry();  // in the parent's coordinates
    for (QWidget* parent = node->parentWidget(); parent != nullptr; parent = node->parentWidget()) {
        for (QObject* child : parent->children()) {
            const auto* sibling = qobject_cast<const QWidget*>(child);
            if (sibling == nullptr || sibling == node || sibling->isWindow())
                continue;
            if (sibling->geometry().intersects(rect))
                return nullptr;
        }
        if (paintsItsWholeRect(*parent))
            return parent;
        if (node->isWindow())
            return nullptr;
        rect = rect.intersected(parent->rect()).translated(parent->pos());
        node = parent;
    }
    return nullptr;
}

bool changesWhatLiesBeneath(QEvent::Type type, bool ofTheFieldItself)
{
    switch (type) {
    case QEvent::Move:
    case QEvent::Resize:
    case QEvent::ZOrderChange:
    case QEvent::ParentChange: return true;
    case QEvent::PaletteChange:
    case QEvent::FontChange:
    case QEvent::StyleChange:
    case QEvent::EnabledChange:
    case QEvent::ActivationChange:
    case QEvent::LayoutDirectionChange:
    case QEvent::ApplicationPaletteChange:
    case QEvent::ApplicationFontChange:
    case QEvent::ThemeChange:
    case QEvent::ScreenChangeInternal:
    case QEvent::WindowStateChange:
    case QEvent::ChildAdded:
    case QEvent::ChildRemoved:
        // The field's own palette, font or state colour only its text.
        return !ofTheFieldItself;
    default: return false;
    }
}

}  // namespace

FieldBackdrops::FieldBackdrops(QWidget& window, const std::vector<QLabel*>& fields)
    : QObject(&window), window_(window)
{
    fields_.reserve(fields.size());
    for (QLabel* label : fields) {
        if (label == nullptr || label->autoFillBackground())
            continue;  // one that fills its own background needs none of this
        fields_.push_back({label, {}, false, false});
        label->installEventFilter(this);
        watchAncestors(label);
    }
}

FieldBackdrops::~FieldBackdrops() { forgetAll(); }

void FieldBackdrops::watchAncestors(QWidget* label)
{
    for (QWidget* ancestor = label->parentWidget(); ancestor != nullptr;
         ancestor = ancestor->parentWidget()) {
        if (std::find(watched_.begin(), watched_.end(), ancestor) == watched_.end()) {
            watched_.push_back(ancestor);
            ancestor->installEventFilter(this);
        }
        if (ancestor->isWindow())
            break;
    }
}

FieldBackdrops::Field* FieldBackdrops::find(const QObject* label)
{
    for (Field& field : fields_) {
        if (field.label == label)
            return &field;
    }
    return nullptr;
}

bool FieldBackdrops::drawsOverBackdrop(const QLabel* label) const
{
    for (const Field& field : fields_) {
        if (field.label == label)
            return !field.backdrop.isNull();
    }
    return false;
}

bool FieldBackdrops::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if (type == QEvent::Paint) {
        if (rendering_ && watched == renderingLabel_)
            return true;  // its picture is what lies beneath it, without it
        if (Field* field = find(watched)) {
            if (!field->backdrop.isNull())
                drawBackdrop(*field, static_cast<QPaintEvent*>(event)->region());
            else
                queueRender(*field);
        }
        return false;
    }
    if (rendering_ || !changesWhatLiesBeneath(type, false))
        return false;
    if (type == QEvent::ChildAdded || type == QEvent::ChildRemoved) {
        // Also sent while a parent deletes its children: touch no widget.
        forgetAll();
    } else if (Field* field = find(watched)) {
        if (changesWhatLiesBeneath(type, true))
            forget(*field);
    } else {
        // An ancestor of some fields: those beneath which it lies.
        const auto* ancestor = static_cast<const QWidget*>(watched);
        for (Field& beneath : fields_) {
            if (beneath.label && ancestor->isAncestorOf(beneath.label))
                forget(beneath);
        }
    }
    return false;
}

void FieldBackdrops::forgetAll()
{
    for (Field& field : fields_)
        forget(field);
}

void FieldBackdrops::forget(Field& field)
{
    field.refused = false;
    if (field.backdrop.isNull())
        return;
    field.backdrop = QImage();
    // Drawn as any label again, the widgets beneath it first, until a new
    // picture is rendered.
    if (field.label)
        field.label->setAttribute(Qt::WA_OpaquePaintEvent, false);
}

void FieldBackdrops::queueRender(Field& field)
{
    if (field.renderQueued || field.refused)
        return;
    field.renderQueued = true;
    if (renderPending_)
        return;
    renderPending_ = true;
    // Not inside the paint: the picture is rendered from the widgets beneath
    // once the toolkit has finished drawing them.
    QMetaObject::invokeMethod(this, &FieldBackdrops::renderQueued, Qt::QueuedConnection);
}

void FieldBackdrops::renderQueued()
{
    renderPending_ = false;
    for (Field& field : fields_) {
        if (!field.renderQueued)
            continue;
        field.renderQueued = false;
        field.refused = !render(field);
    }
}

bool FieldBackdrops::render(Field& field)
{
    QLabel* label = field.label;
    if (label == nullptr || !label->isVisible())
        return false;
    QWidget* source = backdropSource(*label);
    const qreal ratio = label->devicePixelRatioF();
    // At a fractional scale the picture's pixels need not meet the
    // screen's: such a window is left to the toolkit's own drawing.
    if (source == nullptr || ratio != std::floor(ratio))
        return false;

    // The format the window is drawn in, so that blending gives the same
    // pixels as when it is drawn there.
    QImage::Format format = QImage::Format_ARGB32_Premultiplied;
    if (QBackingStore* store = window_.backingStore()) {
        QPaintDevice* device = store->paintDevice();
        if (device != nullptr && device->devType() == QInternal::Image)
            format = static_cast<const QImage*>(device)->format();
    }
    QImage image(label->size() * ratio, format);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::transparent);

    label->setAttribute(Qt::WA_OpaquePaintEvent, false);
    rendering_ = true;
    renderingLabel_ = label;
    const QRect inSource(label->mapTo(source, QPoint(0, 0)), label->size());
    source->render(&image, QPoint(0, 0), QRegion(inSource),
                   QWidget::DrawWindowBackground | QWidget::DrawChildren);
    rendering_ = false;
    renderingLabel_ = nullptr;

    field.backdrop = std::move(image);
    label->setAttribute(Qt::WA_OpaquePaintEvent, true);
    return true;
}

void FieldBackdrops::drawBackdrop(Field& field, const QRegion& region)
{
    QPainter painter(field.label);
    painter.setClipRegion(region);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawImage(QPoint(0, 0), field.backdrop);
}

}  // namespace Unit1
