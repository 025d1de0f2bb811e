// The real window against settings files a careful tester would plant: special files under the
// settings name, a write-protected file, a link, a rectangle of gigabytes and an overlong text.

#include "MainUnit.h"
#include "calculation_file.h"
#include "form_storage.h"
#include "rx_spin_edit.h"
#include "settings_store.h"
#include "sheet_view.h"
#include "ui_test_support.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLineEdit>
#include <QScreen>
#include <QSettings>
#include <QStandardPaths>
#include <fcntl.h>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace pyrelto {
namespace {

using test::toStd;

class SettingsFileSafetyTest : public test::UiTest {
protected:
    SettingsFileSafetyTest() {
        QDir().mkpath(QFileInfo(settingsPath()).path());
        // A start that blocks on the settings file ends the test run loudly instead of hanging.
        ::alarm(120);
    }
    ~SettingsFileSafetyTest() override { ::alarm(0); }

    static QString settingsPath() {
        return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
               QLatin1Char('/') + QtSettingsStore::executableBaseName() + QStringLiteral(".conf");
    }
    static QByteArray native(const QString& path) { return QFile::encodeName(path); }
    static void writeSettings(const QString& path, const QByteArray& lines) {
        QFile out(path);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write("[TMainForm]\n" + lines);
    }
    static QByteArray contents(const QString& path) {
        QFile in(path);
        return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray();
    }
    std::unique_ptr<TMainForm> showForm() {
        auto form = std::make_unique<TMainForm>(QStringList());
        form->show();
        QCoreApplication::processEvents();
        return form;
    }
    // Starts and closes the window; true when the close reported the values as not stored.
    bool startAndClose() {
        auto form = showForm();
        EXPECT_TRUE(form->isVisible());
        form->close();
        form.reset();
        for (const auto& m : dialogs_.messages)
            EXPECT_EQ(m.text, QStringLiteral("Failed to set data for 'FormVersion'"));
        return !dialogs_.messages.empty();
    }
};

TEST_F(SettingsFileSafetyTest, SpecialFilesUnderTheSettingsNameAreNeverOpened) {
    const QString node = tempPath(QStringLiteral("disk"));
    // A private node with the numbers of the null device: harmless if it were opened, but a
    // replacement by a plain file shows at once.
    if (::mknod(native(node).constData(), S_IFCHR | 0600, makedev(1, 3)) != 0)
        GTEST_SKIP() << "mknod is not permitted here";
    struct stat before {};
    ASSERT_EQ(::lstat(native(node).constData(), &before), 0);

    const struct {
        const char* name;
        std::function<bool()> plant;
        std::function<bool(const struct stat&)> unchanged;
    } cases[] = {
        {"link to a device node", [&] { return QFile::link(node, settingsPath()); },
         [](const struct stat& st) { return S_ISLNK(st.st_mode); }},
        {"pipe", [&] { return ::mkfifo(native(settingsPath()).constData(), 0600) == 0; },
         [](const struct stat& st) { return S_ISFIFO(st.st_mode); }},
        {"folder", [&] { return QDir().mkdir(settingsPath()); },
         [](const struct stat& st) { return S_ISDIR(st.st_mode); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        dialogs_.messages.clear();
        ASSERT_TRUE(c.plant());
        EXPECT_TRUE(startAndClose());
        struct stat st {};
        ASSERT_EQ(::lstat(native(settingsPath()).constData(), &st), 0);
        EXPECT_TRUE(c.unchanged(st));
        QDir().rmdir(settingsPath());
        QFile::remove(settingsPath());
    }
    struct stat after {};
    ASSERT_EQ(::lstat(native(node).constData(), &after), 0);
    EXPECT_TRUE(S_ISCHR(after.st_mode));
    EXPECT_EQ(after.st_rdev, before.st_rdev);
    EXPECT_EQ(after.st_ino, before.st_ino);
}

TEST_F(SettingsFileSafetyTest, WriteProtectedSettingsAreReadAndLeftAlone) {
    writeSettings(settingsPath(), "Waehr15Ed_Text=CHF\nMwStEd_Value=7\n");
    ASSERT_EQ(::chmod(native(settingsPath()).constData(), 0444), 0);
    const QByteArray before = contents(settingsPath());
    struct stat st {};
    ASSERT_EQ(::stat(native(settingsPath()).constData(), &st), 0);

    auto form = showForm();
    EXPECT_EQ(form->sheet().shownText(FieldId::Waehr15Ed), u"CHF");
    form->sheet().enter(FieldId::MwStEd, u"16");
    form->close();
    form.reset();

    ASSERT_FALSE(dialogs_.messages.empty());
    EXPECT_EQ(dialogs_.messages.front().text,
              QStringLiteral("Failed to set data for 'FormVersion'"));
    EXPECT_EQ(contents(settingsPath()), before);
    struct stat now {};
    ASSERT_EQ(::stat(native(settingsPath()).constData(), &now), 0);
    EXPECT_EQ(now.st_ino, st.st_ino);
    EXPECT_EQ(now.st_mode & 07777, 0444u);
}

TEST_F(SettingsFileSafetyTest, ALinkToASettingsFileIsWrittenThroughAndStaysALink) {
    const QString real = tempPath(QStringLiteral("elsewhere.conf"));
    writeSettings(real, "Waehr15Ed_Text=CHF\n");
    ASSERT_TRUE(QFile::link(real, settingsPath()));
    auto form = showForm();
    form->sheet().enter(FieldId::Waehr15Ed, u"DM");
    form->close();
    form.reset();
    EXPECT_TRUE(dialogs_.messages.empty());
    EXPECT_TRUE(QFileInfo(settingsPath()).isSymLink());
    EXPECT_EQ(
        QSettings(real, QSettings::IniFormat).value(QStringLiteral("TMainForm/Waehr15Ed_Text")),
        QStringLiteral("DM"));
}

TEST_F(SettingsFileSafetyTest, AHugeStoredRectangleIsLimitedToTheScreen) {
    const int ppi = TFormStorage::pixelsPerInch();
    writeSettings(settingsPath(), "PixelsPerInch=" + QByteArray::number(ppi) +
                                      "\nShowCmd=1\nNormPos=\"0,0,16777216,16777216\"\n");
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    const long peakBefore = usage.ru_maxrss;

    auto form = showForm();
    form->repaint(); // a window of gigabytes would take them here, in its backing store
    QCoreApplication::processEvents();
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_TRUE(screen.contains(form->frameGeometry()))
        << toStd(QStringLiteral("%1x%2").arg(form->width()).arg(form->height()));
    ::getrusage(RUSAGE_SELF, &usage);
    EXPECT_LT(usage.ru_maxrss - peakBefore, 256 * 1024) << "KiB more at the peak";
    form->close();
}

TEST_F(SettingsFileSafetyTest, ALongCurrencyTextIsNeitherCutNorChanged) {
    const QString currency = QString(40003, QLatin1Char('E'));
    writeSettings(settingsPath(), "Waehr15Ed_Text=" + currency.toUtf8() + "\n");
    auto form = showForm();
    EXPECT_EQ(form->sheet().shownText(FieldId::Waehr15Ed).size(), 40003u);
    form->close();
    form.reset();
    EXPECT_TRUE(dialogs_.messages.empty());
    EXPECT_EQ(QSettings(settingsPath(), QSettings::IniFormat)
                  .value(QStringLiteral("TMainForm/Waehr15Ed_Text"))
                  .toString(),
              currency);
}

TEST_F(SettingsFileSafetyTest, LongTextsSurviveOpenAndSaveThroughTheWindow) {
    // Beyond the boxes' default limit of 32767, in a plain box and in the customer's combo box.
    const std::u16string description(40003, u'd');
    const std::u16string customer = u"K" + std::u16string(40002, u'ü');
    Sheet file;
    file.text(FieldId::Bez1Ed).setText(description);
    file.text(FieldId::KundeEd).setText(customer);
    const QString path = tempPath(QStringLiteral("lang.kal"));
    savefile(file, path.toStdU16String());

    auto form = showForm();
    dialogs_.fileAnswers.push_back(path);
    form->ffnen1->trigger();
    EXPECT_EQ(form->ScrollBox1->textWidget(FieldId::Bez1Ed)->text().size(), 40003);
    EXPECT_EQ(form->ScrollBox1->kundeEd()->currentText().size(), 40003);
    const QString copy = tempPath(QStringLiteral("kopie.kal"));
    dialogs_.fileAnswers.push_back(copy);
    form->Speichernunter1->trigger();
    EXPECT_TRUE(dialogs_.messages.empty());

    Sheet reloaded;
    openfile(reloaded, copy.toStdU16String());
    EXPECT_EQ(reloaded.text(FieldId::Bez1Ed).text(), description);
    EXPECT_EQ(reloaded.text(FieldId::KundeEd).text(), customer);
    form->close();
}

} // namespace
} // namespace pyrelto
