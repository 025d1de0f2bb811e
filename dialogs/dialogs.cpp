#include "dialogs.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPushButton>
#include <QSpacerItem>
#include <QStringList>
#include <QStyle>
#include <exception>

namespace pyrelto {

namespace {

Dialogs* installed = nullptr;

QtDialogs& qtDialogs() {
    static QtDialogs instance;
    return instance;
}

std::optional<QString> runFileDialog(QWidget* parent, const QString& filter,
                                     const QString& defaultSuffix, QFileDialog::AcceptMode mode,
                                     const QString& suggestedName = QString(),
                                     const QString& title = QString()) {
    QFileDialog dialog(parent);
    if (!title.isEmpty())
        dialog.setWindowTitle(title);
    dialog.setAcceptMode(mode);
    // Opening accepts a typed name that does not exist: the open itself reports it, as the
    // calculation file's own message.
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(qtFileFilter(filter));
    dialog.setDefaultSuffix(defaultSuffix);
    if (mode == QFileDialog::AcceptSave) {
        dialog.setOption(QFileDialog::DontConfirmOverwrite);
        if (!suggestedName.isEmpty())
            dialog.selectFile(suggestedName);
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    return dialog.selectedFiles().constFirst();
}

} // namespace

QString applicationTitle() {
    return QStringLiteral("Pyrelto Kalkulation");
}

Dialogs& dialogs() {
    return installed != nullptr ? *installed : qtDialogs();
}

void setDialogs(Dialogs* replacement) {
    installed = replacement;
}

std::optional<QString> QtDialogs::openFileName(QWidget* parent, const QString& filter,
                                               const QString& defaultSuffix, const QString& title) {
    return runFileDialog(parent, filter, defaultSuffix, QFileDialog::AcceptOpen, QString(), title);
}

std::optional<QString> QtDialogs::saveFileName(QWidget* parent, const QString& filter,
                                               const QString& defaultSuffix,
                                               const QString& suggestedName) {
    return runFileDialog(parent, filter, defaultSuffix, QFileDialog::AcceptSave, suggestedName);
}

std::optional<QString> QtDialogs::folderName(QWidget* parent, const QString& title) {
    const QString folder = QFileDialog::getExistingDirectory(parent, title);
    if (folder.isEmpty())
        return std::nullopt;
    return folder;
}

namespace {

// A box is as wide as its text; a short text left the title bar too narrow for the caption,
// which the window manager then shortened ("Pyrelt…ation"). Room for the caption in the title
// font, the window's icon and its buttons keeps it whole.
void fitCaption(QMessageBox& box) {
    auto* layout = qobject_cast<QGridLayout*>(box.layout());
    if (layout == nullptr) {
        return;
    }
    const QFontMetrics title(QApplication::font("QMdiSubWindowTitleBar"));
    const int titleBarFurniture = 4 * box.style()->pixelMetric(QStyle::PM_TitleBarHeight);
    const int needed = title.horizontalAdvance(box.windowTitle()) + titleBarFurniture;
    layout->addItem(new QSpacerItem(needed, 0, QSizePolicy::Minimum, QSizePolicy::Minimum),
                    layout->rowCount(), 0, 1, layout->columnCount());
}

} // namespace

void QtDialogs::message(QWidget* parent, const QString& caption, const QString& text, Icon icon) {
    QMessageBox::Icon qtIcon = QMessageBox::NoIcon;
    switch (icon) {
    case Icon::None:
        break;
    case Icon::Information:
        qtIcon = QMessageBox::Information;
        break;
    case Icon::Warning:
        qtIcon = QMessageBox::Warning;
        break;
    case Icon::Error:
        qtIcon = QMessageBox::Critical;
        break;
    case Icon::Question:
        qtIcon = QMessageBox::Question;
        break;
    }
    QMessageBox box(qtIcon, caption, text, QMessageBox::Ok, parent);
    fitCaption(box);
    box.exec();
}

Dialogs::Answer QtDialogs::question(QWidget* parent, const QString& caption, const QString& text,
                                    Answer defaultAnswer) {
    QMessageBox box(QMessageBox::Question, caption, text,
                    QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, parent);
    fitCaption(box);
    switch (defaultAnswer) {
    case Answer::Yes:
        box.setDefaultButton(QMessageBox::Yes);
        break;
    case Answer::No:
        box.setDefaultButton(QMessageBox::No);
        break;
    case Answer::Cancel:
        box.setDefaultButton(QMessageBox::Cancel);
        break;
    }
    switch (box.exec()) {
    case QMessageBox::Yes:
        return Answer::Yes;
    case QMessageBox::No:
        return Answer::No;
    default:
        return Answer::Cancel;
    }
}

void QtDialogs::beep() {
    QApplication::beep();
}

bool QtDialogs::printerSetup(QWidget* parent, QPrinter& printer) {
    QPrintDialog dialog(&printer, parent);
    dialog.setWindowTitle(QStringLiteral("Drucker einrichten"));
    // Choosing prints nothing yet: the platform dialog's "Drucken" would promise a printout.
    if (auto* buttons = dialog.findChild<QDialogButtonBox*>()) {
        if (QPushButton* ok = buttons->button(QDialogButtonBox::Ok)) {
            ok->setText(QStringLiteral("OK"));
        }
    }
    return dialog.exec() == QDialog::Accepted;
}

bool QtDialogs::runForm(QDialog& form) {
    return form.exec() == QDialog::Accepted;
}

void QtDialogs::printPreview(QWidget* parent, QPrinter& printer,
                             const std::function<void(QPrinter&)>& paint) {
    QPrintPreviewDialog preview(&printer, parent);
    QObject::connect(&preview, &QPrintPreviewDialog::paintRequested, &preview,
                     [&paint](QPrinter* target) { paint(*target); });
    preview.exec();
}

QString qtFileFilter(const QString& filter) {
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i < parts.size(); i += 2) {
        const QString description = parts.at(i).trimmed();
        if (i + 1 >= parts.size()) {
            filters << description;
            break;
        }
        const QString patterns = parts.at(i + 1).split(QLatin1Char(';')).join(QLatin1Char(' '));
        if (description.contains(QLatin1Char('(') + patterns + QLatin1Char(')'))) {
            filters << description;
        } else {
            filters << description + QStringLiteral(" (") + patterns + QLatin1Char(')');
        }
    }
    return filters.join(QStringLiteral(";;"));
}

void reportError(QWidget* parent, const QString& text) {
    dialogs().message(parent, applicationTitle(), text, Dialogs::Icon::Error);
}

void reportCurrentException(QWidget* parent) {
    try {
        throw;
    } catch (const std::exception& e) {
        reportError(parent, QString::fromUtf8(e.what()));
    } catch (...) {
        reportError(parent, QStringLiteral("Unbekannter Fehler."));
    }
}

} // namespace pyrelto
