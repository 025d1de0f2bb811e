#include "program_icon.h"

#include <QApplication>
#include <QEvent>
#include <QIconEngine>
#include <QPainter>
#include <QPixmap>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <map>

namespace pyrelto {

namespace {

// QIcon::addFile decodes every file at once; the 128 and 256 pixel pictures alone cost several
// per cent of the start-up's instructions, for a window icon of which a desktop asks one or two
// small sizes at most. This engine reads a size the first time it is asked for.
class LazyProgramIconEngine final : public QIconEngine {
public:
    QPixmap pixmap(const QSize& size, QIcon::Mode /*mode*/, QIcon::State /*state*/) override {
        const int side = bestSide(size);
        auto found = loaded_.find(side);
        if (found == loaded_.end()) {
            found = loaded_.emplace(side, QPixmap(fileFor(side))).first;
        }
        const QPixmap& picture = found->second;
        // Never blown up: a blurred icon is worse than a small one.
        if (picture.isNull() || size.isEmpty() ||
            (picture.width() <= size.width() && picture.height() <= size.height())) {
            return picture;
        }
        return picture.scaled(size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    }

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode,
               QIcon::State state) override {
        const qreal scale =
            painter->device() != nullptr ? painter->device()->devicePixelRatioF() : 1;
        const QSize wanted = (QSizeF(rect.size()) * scale).toSize();
        painter->drawPixmap(rect, pixmap(wanted, mode, state));
    }

    QSize actualSize(const QSize& size, QIcon::Mode /*mode*/, QIcon::State /*state*/) override {
        const int side = std::min({bestSide(size), size.width(), size.height()});
        return QSize(side, side);
    }

    QList<QSize> availableSizes(QIcon::Mode /*mode*/, QIcon::State /*state*/) override {
        QList<QSize> sizes;
        for (const int side : kSides) {
            sizes.append(QSize(side, side));
        }
        return sizes;
    }

    QIconEngine* clone() const override { return new LazyProgramIconEngine(*this); }
    QString key() const override { return QStringLiteral("pyrelto-program-icon"); }

private:
    static constexpr int kSides[] = {16, 24, 32, 48, 64, 128, 256};

    // The smallest drawing at least as large as asked for, so that a picture is only ever
    // scaled down; the largest one for anything bigger.
    static int bestSide(const QSize& size) {
        const int wanted = std::max(size.width(), size.height());
        for (const int side : kSides) {
            if (side >= wanted) {
                return side;
            }
        }
        return kSides[std::size(kSides) - 1];
    }

    static QString fileFor(int side) {
        return QStringLiteral(":/icons/%1x%1/%2.png").arg(side).arg(desktopId());
    }

    std::map<int, QPixmap> loaded_;
};

class FirstPaintWatcher final : public QObject {
public:
    explicit FirstPaintWatcher(QWidget& window) : QObject(&window), window_(&window) {
        window.installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == window_ && event->type() == QEvent::Paint) {
            window_->removeEventFilter(this);
            // Queued, so that the paint this event starts is finished first.
            QTimer::singleShot(0, qApp, [] { QApplication::setWindowIcon(programIcon()); });
            deleteLater();
        }
        return false;
    }

private:
    QPointer<QWidget> window_;
};

} // namespace

QString desktopId() {
    return QStringLiteral("de.torvane.PyreltoKalkulation");
}

QIcon builtInProgramIcon() {
    return QIcon(new LazyProgramIconEngine);
}

QIcon programIcon() {
    return QIcon::fromTheme(desktopId(), builtInProgramIcon());
}

void setProgramIconAfterFirstPaint(QWidget& window) {
    new FirstPaintWatcher(window);
}

} // namespace pyrelto
