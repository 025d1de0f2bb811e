#pragma once
// Every dialog, message box and beep of the program goes through Dialogs, so that every command
// runs without a modal window in tests: the program uses QtDialogs, a test installs a fake that
// answers and records.

#include <QString>
#include <functional>
#include <optional>

class QDialog;
class QPrinter;
class QWidget;

namespace pyrelto {

// The application title; also the caption of the standard error report.
QString applicationTitle();

class Dialogs {
public:
    enum class Icon { None, Information, Warning, Error, Question };
    enum class Answer { Yes, No, Cancel };

    Dialogs() = default;
    Dialogs(const Dialogs&) = delete;
    Dialogs& operator=(const Dialogs&) = delete;
    virtual ~Dialogs() = default;

    // The full name of a file to open or to save, nothing when the user cancels. `filter` is a
    // list of "description|pattern" pairs joined by "|" ("Kalkulation (*.kal)|*.kal");
    // `defaultSuffix` (".kal") is added to a name typed without one. Saving never asks before
    // replacing an existing file. `suggestedName` (a bare file name) is what the save dialog
    // offers before the user types. `title` replaces the platform's title of the open dialog
    // ("Logo wählen").
    virtual std::optional<QString> openFileName(QWidget* parent, const QString& filter,
                                                const QString& defaultSuffix,
                                                const QString& title = QString()) = 0;
    virtual std::optional<QString> saveFileName(QWidget* parent, const QString& filter,
                                                const QString& defaultSuffix,
                                                const QString& suggestedName = QString()) = 0;
    // An existing folder, titled `title`; nothing when the user cancels.
    virtual std::optional<QString> folderName(QWidget* parent, const QString& title) = 0;
    // A box with an OK button. An empty caption leaves the platform's default title.
    virtual void message(QWidget* parent, const QString& caption, const QString& text,
                         Icon icon) = 0;
    // Yes, No and Cancel with the question icon; Enter answers `defaultAnswer`. A question whose
    // Yes destroys something makes No the default, so that a reflex cannot confirm it.
    virtual Answer question(QWidget* parent, const QString& caption, const QString& text,
                            Answer defaultAnswer) = 0;
    // The system's default beep.
    virtual void beep() = 0;
    // The printer set-up dialog working on `printer`: titled "Drucker einrichten", it only
    // chooses, so its confirming button is "OK". False when the user cancels.
    virtual bool printerSetup(QWidget* parent, QPrinter& printer) = 0;
    // One of the program's own forms (firm data, offer), run modally; true when it was accepted.
    virtual bool runForm(QDialog& form) = 0;
    // The print preview of a document that `paint` draws on the printer it is given; the preview
    // prints on `printer` when the user asks it to.
    virtual void printPreview(QWidget* parent, QPrinter& printer,
                              const std::function<void(QPrinter&)>& paint) = 0;
};

// The dialogs in use for the whole process: QtDialogs unless a replacement is installed.
Dialogs& dialogs();
// Installs `replacement` (kept by the caller, who must uninstall it before it goes away);
// nullptr returns to QtDialogs.
void setDialogs(Dialogs* replacement);

// The real dialogs: QFileDialog, QMessageBox, QPrintDialog, QPrintPreviewDialog and
// QApplication::beep.
class QtDialogs final : public Dialogs {
public:
    std::optional<QString> openFileName(QWidget* parent, const QString& filter,
                                        const QString& defaultSuffix,
                                        const QString& title = QString()) override;
    std::optional<QString> saveFileName(QWidget* parent, const QString& filter,
                                        const QString& defaultSuffix,
                                        const QString& suggestedName = QString()) override;
    std::optional<QString> folderName(QWidget* parent, const QString& title) override;
    void message(QWidget* parent, const QString& caption, const QString& text, Icon icon) override;
    Answer question(QWidget* parent, const QString& caption, const QString& text,
                    Answer defaultAnswer) override;
    void beep() override;
    bool printerSetup(QWidget* parent, QPrinter& printer) override;
    bool runForm(QDialog& form) override;
    void printPreview(QWidget* parent, QPrinter& printer,
                      const std::function<void(QPrinter&)>& paint) override;
};

// A "description|pattern|..." filter in QFileDialog's form: one "description (patterns)" per
// pair, joined by ";;". The patterns are added to a description that does not already show them.
QString qtFileFilter(const QString& filter);

// The standard error report: `text` in a box captioned with the application title, with the
// error icon. The program goes on running afterwards.
void reportError(QWidget* parent, const QString& text);
// The standard error report for the exception being handled; call it only inside a catch block.
// A std::exception shows its what() (UTF-8).
void reportCurrentException(QWidget* parent);

} // namespace pyrelto
