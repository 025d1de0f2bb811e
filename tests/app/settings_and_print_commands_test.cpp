#include "MainUnit.h"
#include "calculation_file.h"
#include "form_storage.h"
#include "pdf_reader.h"
#include "settings_store.h"
#include "ui_test_support.h"

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QPrinter>
#include <QPushButton>
#include <QSettings>
#include <QStandardPaths>
#include <gtest/gtest.h>
#include <memory>

namespace pyrelto {
namespace {

using test::toStd;

// The real window with its real settings file, which lives in this test's own configuration
// folder (UiTest points XDG_CONFIG_HOME there).
class MainFormSettingsTest : public test::UiTest {
protected:
    static QString settingsPath() {
        return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
               QLatin1Char('/') + QtSettingsStore::executableBaseName() + QStringLiteral(".conf");
    }
    static void store(const QString& name, const QString& value) {
        QSettings settings(settingsPath(), QSettings::IniFormat);
        settings.setValue(QStringLiteral("TMainForm/") + name, value);
    }
    static QString stored(const QString& name) {
        QSettings settings(settingsPath(), QSettings::IniFormat);
        return settings.value(QStringLiteral("TMainForm/") + name).toString();
    }
    static QString shown(TMainForm& form, FieldId id) { return test::shown(form.sheet(), id); }
    std::unique_ptr<TMainForm> showForm(QStringList arguments = {}) {
        auto form = std::make_unique<TMainForm>(std::move(arguments));
        form->show();
        QCoreApplication::processEvents();
        return form;
    }
};

TEST_F(MainFormSettingsTest, SettingsSurviveARestart) {
    auto form = showForm();
    EXPECT_TRUE(form->FormStorage1->restored());
    form->sheet().enter(FieldId::MwStEd, u"16");
    form->sheet().enter(FieldId::Waehr15Ed, u" CHF ");
    form->setGeometry(QRect(30, 40, 700, 500));
    form->close();
    form.reset();

    ASSERT_TRUE(QFile::exists(settingsPath())) << toStd(settingsPath());
    EXPECT_EQ(stored(QStringLiteral("MwStEd_Value")), QStringLiteral("16"));
    EXPECT_EQ(stored(QStringLiteral("Waehr15Ed_Text")), QStringLiteral("CHF"));
    EXPECT_EQ(stored(QStringLiteral("Visible")), QStringLiteral("0"));

    form = showForm();
    EXPECT_EQ(shown(*form, FieldId::MwStEd), QStringLiteral("16,00"));
    EXPECT_EQ(shown(*form, FieldId::Waehr15Ed), QStringLiteral("CHF"));
    EXPECT_EQ(form->normalGeometry(), QRect(30, 40, 700, 500));
    EXPECT_TRUE(dialogs_.messages.empty());
}

TEST_F(MainFormSettingsTest, CommandLineFileWinsOverTheStoredValues) {
    Sheet file;
    file.number(FieldId::MwStEd).SetValue(7);
    file.text(FieldId::Waehr15Ed).setText(u"DM");
    const QString path = tempPath(QStringLiteral("auftrag.kal"));
    savefile(file, path.toStdU16String());
    store(QStringLiteral("MwStEd_Value"), QStringLiteral("16"));
    store(QStringLiteral("Waehr15Ed_Text"), QStringLiteral("CHF"));

    auto form = showForm({path});
    EXPECT_EQ(shown(*form, FieldId::MwStEd), QStringLiteral("7,00"));
    EXPECT_EQ(shown(*form, FieldId::Waehr15Ed), QStringLiteral("DM"));
    form->close();
    EXPECT_EQ(stored(QStringLiteral("MwStEd_Value")), QStringLiteral("7"));
}

TEST_F(MainFormSettingsTest, WrongTypeIsReportedInTheStandardErrorBox) {
    {
        QFile out(settingsPath());
        QDir().mkpath(QFileInfo(settingsPath()).path());
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write("[TMainForm]\nFlags=@Rect(0 0 1 1)\nMwStEd_Value=7.5\n");
    }
    // The window's own show handler still runs: the file named on the command line opens.
    Sheet file;
    file.text(FieldId::Waehr15Ed).setText(u"DM");
    const QString path = tempPath(QStringLiteral("auftrag.kal"));
    savefile(file, path.toStdU16String());

    auto form = showForm({path});
    ASSERT_EQ(dialogs_.messages.size(), 1u);
    EXPECT_EQ(dialogs_.messages[0].caption, QStringLiteral("Pyrelto Kalkulation"));
    EXPECT_EQ(dialogs_.messages[0].text, QStringLiteral("Invalid data type for 'Flags'"));
    EXPECT_EQ(dialogs_.messages[0].icon, Dialogs::Icon::Error);
    EXPECT_EQ(shown(*form, FieldId::MwStEd), QStringLiteral("19,00"));
    EXPECT_EQ(shown(*form, FieldId::Waehr15Ed), QStringLiteral("DM"));
    form->close();
    form.reset();
    EXPECT_EQ(stored(QStringLiteral("MwStEd_Value")), QStringLiteral("7.5")); // untouched
    EXPECT_TRUE(stored(QStringLiteral("FormVersion")).isEmpty());
}

TEST_F(MainFormSettingsTest, PrintCommandsUseTheWindowsPrinter) {
    auto form = showForm();
    form->sheet().enter(FieldId::KundeEd, u"Bauhof Schmidt");
    form->sheet().enter(FieldId::Dach14Ed, u"10");
    form->sheet().enter(FieldId::Summe10Ed, u"5");

    dialogs_.printerSetupAnswers.push_back(true);
    form->Druckereinrichten1->trigger();
    EXPECT_EQ(dialogs_.printerSetups, 1);

    // No printer: a PDF printer with nowhere to write, as Qt sets it up without one.
    form->printer().setOutputFormat(QPrinter::PdfFormat);
    form->printer().setOutputFileName(QString());
    form->Drucken1->trigger();
    ASSERT_EQ(dialogs_.messages.size(), 1u);
    EXPECT_EQ(dialogs_.messages[0].caption, QStringLiteral("Pyrelto Kalkulation"));
    EXPECT_TRUE(dialogs_.messages[0].text.startsWith(QStringLiteral("Es ist kein Drucker")))
        << toStd(dialogs_.messages[0].text);

    // The choice stays with the window: the button prints on it without a dialog.
    const QString pdf = tempPath(QStringLiteral("druck.pdf"));
    form->printer().setOutputFileName(pdf);
    form->BitBtn13->click();
    EXPECT_EQ(dialogs_.printerSetups, 1);
    // Nothing comes out of a printer, so the user is told where the file went.
    ASSERT_EQ(dialogs_.messages.size(), 2u);
    EXPECT_EQ(dialogs_.messages[1].caption, QStringLiteral("Drucken"));
    EXPECT_EQ(dialogs_.messages[1].icon, Dialogs::Icon::Information);
    EXPECT_TRUE(dialogs_.messages[1].text.contains(pdf)) << toStd(dialogs_.messages[1].text);
    const QString printed = test::pdfText(pdf, test::PdfLayout::Raw);
    EXPECT_TRUE(printed.contains(QStringLiteral("Bauhof Schmidt"))) << toStd(printed);
    EXPECT_TRUE(printed.contains(QStringLiteral("59,50"))) << toStd(printed); // 50,00 plus 19 %
}

} // namespace
} // namespace pyrelto
