#pragma once
// GUI tests run real widgets on Qt's offscreen platform. UiTest gives each test temporary user
// folders, German regional settings, the fake dialogs and a watchdog that fails the test (and
// closes the window) when a modal dialog opens that the test did not expect.

#include "dialogs.h"
#include "qt_strings.h"

#include <QObject>
#include <QString>
#include <QTemporaryDir>
#include <deque>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

class QApplication;

namespace pyrelto::test {

// The one QApplication of the test process, made on first use with German regional settings (the
// texts of the worked examples use ","). The environment is set before Qt reads it.
QApplication& testApplication();

// Answers file and question dialogs from queues and records every call.
class FakeDialogs final : public Dialogs {
public:
    struct Message {
        QString caption;
        QString text;
        Icon icon;
    };
    struct Question {
        QString caption;
        QString text;
        Answer defaultAnswer;
    };
    struct FileRequest {
        bool save;
        QString filter;
        QString defaultSuffix;
        QString suggestedName = {};
        QString title = {};
    };

    std::optional<QString> openFileName(QWidget* parent, const QString& filter,
                                        const QString& defaultSuffix,
                                        const QString& title = QString()) override;
    std::optional<QString> saveFileName(QWidget* parent, const QString& filter,
                                        const QString& defaultSuffix,
                                        const QString& suggestedName = QString()) override;
    // Answered from fileAnswers too; recorded as an open request with the title.
    std::optional<QString> folderName(QWidget* parent, const QString& title) override;
    void message(QWidget* parent, const QString& caption, const QString& text, Icon icon) override;
    Answer question(QWidget* parent, const QString& caption, const QString& text,
                    Answer defaultAnswer) override;
    void beep() override { ++beeps; }
    bool printerSetup(QWidget* parent, QPrinter& printer) override;
    // Runs the next queued form handler on the real form: it fills the form, clicks its buttons
    // and says whether the form was accepted.
    bool runForm(QDialog& form) override;
    // Records the preview; with previewPdf set, the document is drawn into that PDF file.
    void printPreview(QWidget* parent, QPrinter& printer,
                      const std::function<void(QPrinter&)>& paint) override;

    // What the next file dialogs answer, in order; nothing is "Cancel". A dialog without a queued
    // answer fails the test.
    std::deque<std::optional<QString>> fileAnswers;
    // Nothing: the user presses Enter, which takes the question's default button.
    std::deque<std::optional<Answer>> questionAnswers;
    std::deque<bool> printerSetupAnswers;
    std::deque<std::function<bool(QDialog&)>> formAnswers;
    std::optional<QString> previewPdf;

    std::vector<FileRequest> fileRequests;
    std::vector<Message> messages;
    std::vector<Question> questions;
    int printerSetups = 0;
    std::vector<QString> forms; // window titles
    int previews = 0;
    int beeps = 0;
};

// Fails the running test when a modal window is shown, and closes it.
class ModalWatchdog final : public QObject {
public:
    ModalWatchdog();
    ~ModalWatchdog() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

// Sets an environment variable for its lifetime.
class EnvOverride {
public:
    EnvOverride(const char* name, const QByteArray& value);
    ~EnvOverride();
    EnvOverride(const EnvOverride&) = delete;
    EnvOverride& operator=(const EnvOverride&) = delete;

private:
    QByteArray name_;
    std::optional<QByteArray> old_;
};

class UiTest : public ::testing::Test {
protected:
    UiTest();
    ~UiTest() override;

    // A folder of this test, removed afterwards.
    QString tempPath(const QString& name) const;

    QTemporaryDir temp_;
    FakeDialogs dialogs_;

private:
    std::vector<std::unique_ptr<EnvOverride>> env_;
    std::unique_ptr<ModalWatchdog> watchdog_;
};

} // namespace pyrelto::test
