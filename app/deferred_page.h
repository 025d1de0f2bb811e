#pragma once
// A page of the window whose contents are made when it is first shown, or first asked for: a
// start that never opens the page does not pay for its widgets.

#include <QWidget>
#include <functional>

namespace pyrelto {

class DeferredPage final : public QWidget {
public:
    // `build` makes the contents; the page lays them out to fill it.
    explicit DeferredPage(std::function<QWidget*()> build, QWidget* parent = nullptr);

    // The contents, made now if they are not there yet.
    QWidget* content();
    bool built() const noexcept { return content_ != nullptr; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    std::function<QWidget*()> build_;
    QWidget* content_ = nullptr;
};

} // namespace pyrelto
