#pragma once
// A fixture with a temporary folder for the files a test writes. Setting the environment variable
// the fixture is made with keeps the folder, for looking at the files (docs/offer.png and
// docs/printout.png are made from them).

#include <QString>
#include <QTemporaryDir>
#include <cstdio>
#include <gtest/gtest.h>

namespace pyrelto::test {

class KeptFolderTest : public ::testing::Test {
protected:
    explicit KeptFolderTest(const char* keepVariable) : keepVariable_(keepVariable) {}

    void SetUp() override {
        ASSERT_TRUE(folder.isValid());
        if (qEnvironmentVariableIsSet(keepVariable_)) {
            folder.setAutoRemove(false);
        }
    }
    void TearDown() override {
        if (!folder.autoRemove()) {
            std::printf("files kept in %s\n", qPrintable(folder.path()));
        }
    }

    QString filePath(const QString& name) const { return folder.filePath(name); }

    QTemporaryDir folder;

private:
    const char* keepVariable_;
};

} // namespace pyrelto::test
