#pragma once
// Dialogs that answer from queues and write down what they were asked, captions included,
// installed for the lifetime of the object. A dialog nobody prepared an answer for fails the test
// instead of waiting for a user.

#include "dialogs.h"

#include <deque>
#include <gtest/gtest.h>
#include <vector>

namespace pyrelto {

class FakeDialogs final : public Dialogs {
public:
    struct Asked {
        QString caption;
        QString text;
        Icon icon = Icon::None;
    };

    FakeDialogs() { setDialogs(this); }
    ~FakeDialogs() override { setDialogs(nullptr); }

    std::deque<Answer> answers;
    // A file name, or nothing for a cancelled dialog.
    std::deque<std::optional<QString>> fileNames;
    std::vector<Asked> questions;
    std::vector<Asked> messages;
    std::vector<QString> filters;
    int beeps = 0;

    std::optional<QString> openFileName(QWidget*, const QString& filter,
                                        const QString& suffix) override {
        return nextFile(filter, suffix);
    }
    std::optional<QString> saveFileName(QWidget*, const QString& filter,
                                        const QString& suffix) override {
        return nextFile(filter, suffix);
    }
    void message(QWidget*, const QString& caption, const QString& text, Icon icon) override {
        messages.push_back({caption, text, icon});
    }
    Answer question(QWidget*, const QString& caption, const QString& text) override {
        questions.push_back({caption, text, Icon::Question});
        if (answers.empty()) {
            ADD_FAILURE() << "unexpected question: " << text.toStdString();
            return Answer::Cancel;
        }
        const Answer a = answers.front();
        answers.pop_front();
        return a;
    }
    void beep() override { ++beeps; }
    bool printerSetup(QWidget*, QPrinter&) override {
        ADD_FAILURE() << "unexpected printer set-up";
        return false;
    }

private:
    std::optional<QString> nextFile(const QString& filter, const QString& suffix) {
        filters.push_back(filter + QStringLiteral(" ") + suffix);
        if (fileNames.empty()) {
            ADD_FAILURE() << "unexpected file dialog";
            return std::nullopt;
        }
        auto name = fileNames.front();
        fileNames.pop_front();
        return name;
    }
};

} // namespace pyrelto
