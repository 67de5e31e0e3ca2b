// Redraws a value field without redrawing what lies beneath it.
//
// A label draws only its text; when its text changes, the toolkit first
// redraws, inside the label's rectangle, every widget beneath it: the
// group box with its frame and caption, the page. With a radiosonde's
// telemetry changing a dozen fields many times a second, that redrawing
// beneath costs several times what the texts themselves cost. So each
// field keeps a picture of what lies beneath it, rendered once from those
// same widgets, and is marked opaque: a changed text redraws the picture
// and the text over it, and nothing beneath. The pixels are the same as
// before.
//
// The picture is rendered again after anything that may change what lies
// beneath (a size, position, palette, font, style, enabled or activation
// change of the field or of a widget it lies in, a child added or
// removed). A field with another widget overlapping it, beneath or above,
// up to the first opaque widget it lies in, is left to the toolkit's own
// drawing.
#pragma once

#include <QImage>
#include <QObject>
#include <QPointer>

#include <vector>

class QLabel;
class QWidget;

namespace Unit1 {

class FieldBackdrops : public QObject {
    Q_OBJECT

public:
    // Serves the given labels of window; owned by window.
    FieldBackdrops(QWidget& window, const std::vector<QLabel*>& fields);
    // The fields are drawn as any label again.
    ~FieldBackdrops() override;

    // Whether the field now draws over its kept picture (for tests).
    bool drawsOverBackdrop(const QLabel* field) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Field {
        QPointer<QLabel> label;
        QImage backdrop;  // null while none is kept
        bool renderQueued = false;
        bool refused = false;  // overlapped: left to the toolkit until a change
    };

    Field* find(const QObject* label);
    void watchAncestors(QWidget* label);
    void forget(Field& field);
    void forgetAll();
    void queueRender(Field& field);
    void renderQueued();
    bool render(Field& field);
    void drawBackdrop(Field& field, const QRegion& region);

    QWidget& window_;
    std::vector<Field> fields_;
    std::vector<QObject*> watched_;           // ancestors of the fields, each once
    bool rendering_ = false;                  // a picture is being rendered
    const QLabel* renderingLabel_ = nullptr;  // its field, drawn without it
    bool renderPending_ = false;
};

}  // namespace Unit1
