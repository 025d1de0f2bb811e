#include "field_frames.h"

#include <QEvent>
#include <QPainter>
#include <QPalette>
#include <QPointer>
#include <QWidget>
#include <algorithm>
#include <vector>

namespace pyrelto {

namespace {

// Watches one parent's paint events for the fields of it that are framed. Owned by the parent.
class FieldFramer final : public QObject {
public:
    explicit FieldFramer(QWidget* surface) : QObject(surface), surface_(surface) {
        surface->installEventFilter(this);
    }

    QWidget* surface() const { return surface_; }
    void add(QWidget* field) { fields_.emplace_back(field); }

    bool eventFilter(QObject* watched, QEvent* event) override {
        // Before the parent's own painting, which leaves the gaps between its children alone.
        if (watched == surface_ && event->type() == QEvent::Paint) {
            if (const auto colour = fieldFrameColour(surface_->palette())) {
                QPainter painter(surface_);
                painter.setPen(*colour);
                painter.setBrush(Qt::NoBrush);
                for (const QPointer<QWidget>& field : fields_) {
                    if (field && field->isVisible())
                        drawFieldFrame(painter, *field);
                }
            }
        }
        return false;
    }

private:
    QWidget* surface_;
    std::vector<QPointer<QWidget>> fields_;
};

} // namespace

std::optional<QColor> fieldFrameColour(const QPalette& palette) {
    const QColor base = palette.color(QPalette::Base);
    if (base.lightness() >= 128)
        return std::nullopt;
    const QColor text = palette.color(QPalette::Text);
    return QColor((base.red() + text.red()) / 2, (base.green() + text.green()) / 2,
                  (base.blue() + text.blue()) / 2);
}

void drawFieldFrame(QPainter& painter, const QWidget& field) {
    // drawRect with a one-pixel pen covers its rectangle's right and bottom edge plus one.
    painter.drawRect(field.geometry().adjusted(-1, -1, 0, 0));
}

void keepFieldsFramed(std::initializer_list<QWidget*> fields) {
    std::vector<FieldFramer*> framers;
    for (QWidget* field : fields) {
        QWidget* surface = field->parentWidget();
        auto it = std::find_if(framers.begin(), framers.end(),
                               [surface](const FieldFramer* f) { return f->surface() == surface; });
        FieldFramer* framer =
            it != framers.end() ? *it : framers.emplace_back(new FieldFramer(surface));
        framer->add(field);
    }
}

} // namespace pyrelto
