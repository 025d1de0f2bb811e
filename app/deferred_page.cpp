#include "deferred_page.h"

#include <QVBoxLayout>

namespace pyrelto {

DeferredPage::DeferredPage(std::function<QWidget*()> build, QWidget* parent)
    : QWidget(parent), build_(std::move(build)) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
}

QWidget* DeferredPage::content() {
    if (content_ == nullptr) {
        content_ = build_();
        build_ = {};
        layout()->addWidget(content_);
        // A layout shows a widget added to a visible page only one event later; the page is
        // seen whole at once.
        if (isVisible())
            content_->show();
    }
    return content_;
}

void DeferredPage::showEvent(QShowEvent* event) {
    content();
    QWidget::showEvent(event);
}

} // namespace pyrelto
