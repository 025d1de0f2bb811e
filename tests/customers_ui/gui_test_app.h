#pragma once
// One QApplication for the whole test program, on the offscreen platform, in a German locale so
// that sorting and number texts are those of the program's users.

#include <QApplication>
#include <QLocale>
#include <gtest/gtest.h>
#include <memory>

namespace pyrelto {

class GuiTestEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        app_ = std::make_unique<QApplication>(argc_, argv_);
    }
    void TearDown() override { app_.reset(); }

private:
    int argc_ = 1;
    char name_[16] = "customers_ui";
    char* argv_[2] = {name_, nullptr};
    std::unique_ptr<QApplication> app_;
};

inline ::testing::Environment* const guiTestEnvironment =
    ::testing::AddGlobalTestEnvironment(new GuiTestEnvironment);

} // namespace pyrelto
