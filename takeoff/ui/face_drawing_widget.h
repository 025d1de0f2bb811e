#pragma once
// The drawing of the selected face on the "Aufmaß" tab, to scale, redrawn as the face is typed.

#include "takeoff.h"

#include <QWidget>
#include <optional>

namespace pyrelto {

class FaceDrawingWidget final : public QWidget {
public:
    explicit FaceDrawingWidget(QWidget* parent = nullptr);

    void setFace(const Face& face, const FaceResult& result, char16_t separator);
    // No face selected.
    void clear();
    bool hasFace() const noexcept { return face_.has_value(); }

    QSize sizeHint() const override { return {320, 240}; }
    QSize minimumSizeHint() const override { return {160, 120}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::optional<Face> face_;
    FaceResult result_;
    char16_t separator_ = u',';
};

} // namespace pyrelto
