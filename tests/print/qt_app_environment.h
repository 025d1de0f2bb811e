#pragma once
// One QApplication for the whole test program, created before the first test and gone after the
// last, so that no static QApplication outlives main().

#include <QApplication>
#include <gtest/gtest.h>
#include <memory>

namespace pyrelto::test {

class QtAppEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        static int argc = 1;
        static char name[] = "print_tests";
        static char* argv[] = {name, nullptr};
        app_ = std::make_unique<QApplication>(argc, argv);
    }
    void TearDown() override { app_.reset(); }

private:
    std::unique_ptr<QApplication> app_;
};

} // namespace pyrelto::test
