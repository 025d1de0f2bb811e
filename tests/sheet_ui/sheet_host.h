#pragma once
// A sheet shown in its view inside an active top-level window, ready for real key and mouse
// events; the count rules have run as at start-up.

#include "observer_hooks.h"
#include "sheet.h"
#include "sheet_view.h"
#include "spin_edit_widget.h"
#include "ui_test_support.h"

#include <QApplication>
#include <QTest>
#include <memory>
#include <string>
#include <vector>

namespace pyrelto::test {

class SheetHostTest : public UiTest {
protected:
    SheetHostTest() {
        host_ = std::make_unique<QWidget>();
        host_->resize(803, 613);
        view_ = new SheetView(sheet_, host_.get());
        view_->setGeometry(0, 0, 803, 613);
        sheet_.runCountRules();
        hooks_.rule = [this](std::string_view handler) { rules_.emplace_back(handler); };
        host_->show();
        QApplication::setActiveWindow(host_.get());
        EXPECT_TRUE(QTest::qWaitForWindowActive(host_.get()));
        // The window gave its first field the focus; each test enters the fields it types in.
        if (QWidget* focused = QApplication::focusWidget()) {
            focused->clearFocus();
        }
    }

    SpinEditWidget* widget(FieldId id) const { return view_->numberWidget(id); }
    QString shown(FieldId id) const { return test::shown(sheet_, id); }

    // Enters the field as with the Tab key (its whole text selected) and types `keys`.
    void type(FieldId id, const QString& keys) {
        widget(id)->setFocus(Qt::TabFocusReason);
        QTest::keyClicks(widget(id), keys);
    }
    // Leaves the field with the Tab key.
    void leave(FieldId id) { QTest::keyClick(widget(id), Qt::Key_Tab); }
    void enter(FieldId id, const QString& keys) {
        type(id, keys);
        leave(id);
    }
    int rulesRun(std::string_view handler) const {
        return static_cast<int>(std::count(rules_.begin(), rules_.end(), handler));
    }

    Sheet sheet_;
    SheetHooks hooks_{sheet_};
    std::unique_ptr<QWidget> host_;
    SheetView* view_ = nullptr;
    std::vector<std::string> rules_;
};

} // namespace pyrelto::test
