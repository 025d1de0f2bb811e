// The window's customer list at start and exit, the take-over into the sheet, and the material
// preset buttons, with the real files in a temporary data folder.

#include "MainUnit.h"
#include "customer_file.h"
#include "customer_tab.h"
#include "material_preset.h"
#include "sheet_view.h"
#include "ui_test_support.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QTreeView>
#include <QtGui/private/qguiapplication_p.h>
#include <cstdint>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

namespace pyrelto {
namespace {

using test::toStd;
using Names = std::vector<std::u16string>;

QByteArray bytes(std::initializer_list<int> values) {
    QByteArray out;
    for (int v : values)
        out.append(static_cast<char>(v));
    return out;
}

QStringList namesOf(const CustomerList& list) {
    return test::qtTexts(list.names());
}

QStringList itemsOf(const QComboBox* combo) {
    QStringList out;
    for (int i = 0; i < combo->count(); ++i)
        out.append(combo->itemText(i));
    return out;
}

class CustomerAppTest : public test::UiTest {
protected:
    QString dataFolder() const {
        return tempPath(QStringLiteral("xdg_data_home")) +
               QStringLiteral("/Torvane/Pyrelto Kalkulation");
    }
    QString dataFile() const { return dataFolder() + QStringLiteral("/options.dat"); }
    void putDataFile(const QByteArray& data) const {
        ASSERT_TRUE(QDir().mkpath(dataFolder()));
        QFile f(dataFile());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_EQ(f.write(data), data.size());
    }
    static QByteArray contents(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    void start() {
        window = std::make_unique<TMainForm>();
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }
    void quit() {
        window->close();
        window.reset();
    }
    CustomerTab& tab() const { return *window->customerTab(); }
    QString shown(FieldId id) const { return test::shown(window->sheet(), id); }

    std::unique_ptr<TMainForm> window;
};

TEST_F(CustomerAppTest, FirstRunStartsEmptyAndClosingCreatesTheFolderAndFile) {
    ASSERT_FALSE(QDir(dataFolder()).exists());
    start();
    EXPECT_EQ(tab().list().count(), 0);
    EXPECT_FALSE(QDir(dataFolder()).exists()) << "reading never creates the folder";
    quit();
    EXPECT_TRUE(dialogs_.messages.empty());
    EXPECT_EQ(contents(dataFile()), bytes({0, 0, 0, 0}));
}

TEST_F(CustomerAppTest, ClosingWritesTheSortedNames) {
    start();
    auto& list = tab().list();
    list.setName(list.append(), u"Müller");
    list.setName(list.append(), u"Abel");
    quit();
    EXPECT_EQ(contents(dataFile()),
              bytes({0x02, 0, 0, 0, 0x04, 0, 0,    0, 0x41, 0, 0x62, 0, 0x65, 0, 0x6C, 0,
                     0x06, 0, 0, 0, 0x4D, 0, 0xFC, 0, 0x6C, 0, 0x6C, 0, 0x65, 0, 0x72, 0}));
}

TEST_F(CustomerAppTest, AFileOutOfOrderLoadsSortedAndFillsTheDropDown) {
    putDataFile(bytes({0x03, 0, 0,    0, 0x01, 0, 0,    0, 0x5A, 0, 0x04, 0, 0,    0,
                       0x41, 0, 0x62, 0, 0x65, 0, 0x6C, 0, 0x01, 0, 0,    0, 0x4D, 0}));
    start();
    EXPECT_EQ(namesOf(tab().list()),
              (QStringList{QStringLiteral("Abel"), QStringLiteral("M"), QStringLiteral("Z")}));
    EXPECT_EQ(itemsOf(window->ScrollBox1->kundeEd()), namesOf(tab().list()));
    EXPECT_TRUE(dialogs_.messages.empty());
}

TEST_F(CustomerAppTest, ALongListClosedAtOnceAfterTheStartIsKeptWhole) {
    // The page's list view is made only when the page is first shown; the list itself must be
    // loaded all the same, or this close would save it empty.
    constexpr int kCount = 200000;
    QByteArray file;
    const auto putInt = [&file](std::int32_t value) {
        for (int shift = 0; shift < 32; shift += 8)
            file.append(static_cast<char>((static_cast<std::uint32_t>(value) >> shift) & 0xFF));
    };
    putInt(kCount);
    for (int i = 0; i < kCount; ++i) {
        const QString name = QStringLiteral("Kunde %1").arg(i, 6, 10, QLatin1Char('0'));
        putInt(static_cast<std::int32_t>(name.size()));
        for (const QChar c : name) {
            file.append(static_cast<char>(c.unicode() & 0xFF));
            file.append(static_cast<char>(c.unicode() >> 8));
        }
    }
    putDataFile(file);
    window = std::make_unique<TMainForm>();
    window->show();
    EXPECT_EQ(window->findChild<QTreeView*>(QStringLiteral("ListView1")), nullptr);
    quit();
    EXPECT_TRUE(dialogs_.messages.empty());
    EXPECT_EQ(contents(dataFile()), file);
}

TEST_F(CustomerAppTest, ADamagedFileIsReportedKeptAsideAndItsNamesKept) {
    const QByteArray cut = bytes({0x03, 0, 0, 0, 0x01, 0, 0, 0, 0x5A, 0, 0x01, 0, 0, 0, 0x41, 0});
    putDataFile(cut);
    start();
    ASSERT_EQ(dialogs_.messages.size(), 1u);
    EXPECT_EQ(dialogs_.messages[0].caption, QStringLiteral("Pyrelto Kalkulation"));
    EXPECT_EQ(dialogs_.messages[0].text, QStringLiteral("Read beyond end of file"));
    EXPECT_EQ(dialogs_.messages[0].icon, Dialogs::Icon::Error);
    EXPECT_EQ(namesOf(tab().list()), (QStringList{QStringLiteral("A"), QStringLiteral("Z")}));
    EXPECT_EQ(itemsOf(window->ScrollBox1->kundeEd()), namesOf(tab().list()));
    quit();
    EXPECT_EQ(contents(dataFile() + QStringLiteral(".bak")), cut);
    EXPECT_EQ(contents(dataFile()),
              bytes({0x02, 0, 0, 0, 0x01, 0, 0, 0, 0x41, 0, 0x01, 0, 0, 0, 0x5A, 0}));
}

// Another copy of the program (on a second machine with the same home folder) changed the file
// while this window ran: at close its changes and ours both stand.
TEST_F(CustomerAppTest, ClosingMergesWithWhatAnotherCopyWroteMeanwhile) {
    ASSERT_NO_FATAL_FAILURE(putDataFile(QByteArray()));
    ASSERT_TRUE(
        writeCustomerFile(dataFile().toStdU16String(), Names{u"Abel", u"Meier", u"Zander"}));
    start();
    auto& list = tab().list();
    list.setName(list.append(), u"Ost");
    list.remove(list.find(u"Meier", 0));
    ASSERT_EQ(namesOf(list), (QStringList{QStringLiteral("Abel"), QStringLiteral("Ost"),
                                          QStringLiteral("Zander")}));
    // The other copy added West and deleted Zander.
    ASSERT_TRUE(writeCustomerFile(dataFile().toStdU16String(), Names{u"Abel", u"Meier", u"West"}));
    quit();
    EXPECT_EQ(readCustomerFile(dataFile().toStdU16String()), (Names{u"Abel", u"Ost", u"West"}));
    EXPECT_TRUE(dialogs_.messages.empty());
}

// A Windows log-off ends the program without closing its window: Qt asks for the data with
// commitDataRequest at WM_QUERYENDSESSION (and on an X11 session manager's request) and says
// aboutToQuit at WM_ENDSESSION. Both store the list as the close would; the calls below are the
// ones Qt's Windows platform code makes.
TEST_F(CustomerAppTest, TheSessionsEndSavesTheListWithoutAClose) {
    start();
    auto& list = tab().list();
    list.setName(list.append(), u"Berg");
    QGuiApplicationPrivate::instance()->commitData();
    EXPECT_EQ(readCustomerFile(dataFile().toStdU16String()), (Names{u"Berg"}));
    EXPECT_TRUE(window->isVisible()) << "the session manager may still cancel the log-off";

    list.setName(list.append(), u"Abel");
    const int aboutToQuit = QGuiApplication::staticMetaObject.indexOfSignal("aboutToQuit()");
    ASSERT_GE(aboutToQuit, 0);
    qApp->qt_metacall(QMetaObject::InvokeMetaMethod, aboutToQuit, nullptr);
    EXPECT_EQ(readCustomerFile(dataFile().toStdU16String()), (Names{u"Abel", u"Berg"}));

    // After a close, which stored everything, the end of the program writes nothing more.
    window->close();
    ASSERT_TRUE(QFile::remove(dataFile()));
    qApp->qt_metacall(QMetaObject::InvokeMetaMethod, aboutToQuit, nullptr);
    EXPECT_FALSE(QFile::exists(dataFile()));
    EXPECT_TRUE(dialogs_.messages.empty());
}

struct UnwritableCase {
    const char* what;
    // Makes the file or its folder unwritable; returns the file's path.
    std::function<QString(const QString& dataFolder)> prepare;
    bool editList;
    bool expectMessage;
};

// The old file stays as it is, the window still closes, and the user hears of it when the run's
// customer edits are not stored.
TEST_F(CustomerAppTest, AListThatCannotBeWrittenIsToldAtClose) {
    auto protectedFile = [](const QString& folder) {
        QDir().mkpath(folder);
        QString file = folder + QStringLiteral("/options.dat");
        EXPECT_TRUE(writeCustomerFile(file.toStdU16String(), Names{u"Abel"}));
        QFile::setPermissions(file, QFileDevice::ReadOwner | QFileDevice::ReadGroup);
        return file;
    };
    const UnwritableCase cases[] = {
        {"write-protected file, a customer added", protectedFile, true, true},
        {"write-protected file, nothing changed", protectedFile, false, false},
        {"a folder in the file's place",
         [](const QString& folder) {
             QString file = folder + QStringLiteral("/options.dat");
             QDir().mkpath(file);
             return file;
         },
         true, true},
        {"the data folder cannot be made",
         [](const QString& folder) {
             const QString blocker = QFileInfo(folder).path(); // ".../Torvane" as a plain file
             QDir().mkpath(QFileInfo(blocker).path());
             QFile f(blocker);
             EXPECT_TRUE(f.open(QIODevice::WriteOnly));
             return folder + QStringLiteral("/options.dat");
         },
         true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        QDir(tempPath(QStringLiteral("xdg_data_home"))).removeRecursively();
        const QString file = c.prepare(dataFolder());
        const QByteArray before = contents(file);
        dialogs_.messages.clear();
        start();
        if (c.editList) {
            auto& list = tab().list();
            list.setName(list.append(), u"Neu");
        }
        window->close();
        EXPECT_FALSE(window->isVisible()) << "the window closes all the same";
        window.reset();
        EXPECT_EQ(contents(file), before);
        if (c.expectMessage) {
            ASSERT_EQ(dialogs_.messages.size(), 1U);
            EXPECT_EQ(dialogs_.messages[0].caption, QStringLiteral("Pyrelto Kalkulation"));
            EXPECT_EQ(dialogs_.messages[0].icon, Dialogs::Icon::Error);
            EXPECT_EQ(dialogs_.messages[0].text,
                      TMainForm::customerListNotSavedMessage(file.toStdU16String()));
            EXPECT_TRUE(dialogs_.messages[0].text.contains(QStringLiteral("options.dat")));
        } else {
            EXPECT_TRUE(dialogs_.messages.empty());
        }
    }
}

TEST_F(CustomerAppTest, TakeOverFillsKundeEdAndShowsTheSheet) {
    putDataFile(bytes({0x02, 0, 0, 0, 0x04, 0, 0,    0, 0x41, 0, 0x62, 0, 0x65, 0, 0x6C, 0,
                       0x06, 0, 0, 0, 0x4D, 0, 0xFC, 0, 0x6C, 0, 0x6C, 0, 0x65, 0, 0x72, 0}));
    start();
    window->sheet().text(FieldId::KundeEd).setText(u"Dachbau Nord");
    window->PageControl1->setCurrentIndex(1);

    tab().BitBtn17->click();
    EXPECT_EQ(window->PageControl1->currentIndex(), 1) << "nothing selected: nothing happens";
    EXPECT_EQ(shown(FieldId::KundeEd), QStringLiteral("Dachbau Nord"));

    tab().list().select(1);
    tab().BitBtn17->click();
    EXPECT_EQ(window->PageControl1->currentIndex(), 0);
    EXPECT_EQ(shown(FieldId::KundeEd), QStringLiteral("Müller"));
    EXPECT_EQ(window->ScrollBox1->kundeEd()->currentText(), QStringLiteral("Müller"));
    EXPECT_EQ(itemsOf(window->ScrollBox1->kundeEd()), namesOf(tab().list()));
}

TEST_F(CustomerAppTest, NeuerKundeIsTheDefaultButtonOnlyOnItsPage) {
    start();
    EXPECT_FALSE(tab().BitBtn14->isDefault());
    window->PageControl1->setCurrentIndex(1);
    EXPECT_TRUE(tab().BitBtn14->isDefault());
    window->PageControl1->setCurrentIndex(0);
    EXPECT_FALSE(tab().BitBtn14->isDefault());
}

TEST_F(CustomerAppTest, EnterAndEscapeFromTheTabBarReachTheButtonsOnlyOnTheirPage) {
    putDataFile(bytes({0x02, 0, 0, 0, 0x04, 0, 0,    0, 0x41, 0, 0x62, 0, 0x65, 0, 0x6C, 0,
                       0x06, 0, 0, 0, 0x4D, 0, 0xFC, 0, 0x6C, 0, 0x6C, 0, 0x65, 0, 0x72, 0}));
    start();
    QTabBar* bar = window->PageControl1->tabBar();
    tab().list().select(0);
    bar->setFocus();
    QTest::keyClick(bar, Qt::Key_Return);
    QTest::keyClick(bar, Qt::Key_Escape);
    EXPECT_EQ(tab().list().count(), 2) << "on the sheet page neither key reaches them";
    EXPECT_TRUE(dialogs_.questions.empty());

    window->PageControl1->setCurrentIndex(1);
    bar->setFocus();
    dialogs_.questionAnswers.push_back(Dialogs::Answer::Yes);
    QTest::keyClick(bar, Qt::Key_Escape);
    ASSERT_EQ(dialogs_.questions.size(), 1u) << "Escape runs Löschen";
    EXPECT_EQ(namesOf(tab().list()), QStringList{QStringLiteral("Müller")});

    // A focused button of the button bar is pressed by Enter on the platform; it never makes a
    // new customer.
    window->BitBtn11->setFocus();
    QTest::keyClick(window->BitBtn11, Qt::Key_Return);
    EXPECT_EQ(tab().list().count(), 1);

    bar->setFocus();
    QTest::keyClick(bar, Qt::Key_Return);
    EXPECT_EQ(namesOf(tab().list()), (QStringList{QStringLiteral("Müller"), QString()}))
        << "Enter runs Neuer Kunde";
    EXPECT_EQ(itemsOf(window->ScrollBox1->kundeEd()), namesOf(tab().list()));
}

class PresetTest : public CustomerAppTest {
protected:
    void SetUp() override {
        start();
        window->sheet().enter(FieldId::AnzZeilenEd, u"5");
    }
    // The six fields of material row `row` (0-4) as they show.
    QStringList row(int r) const {
        const auto& m = materialRows()[static_cast<std::size_t>(r)];
        return {shown(m.bez), shown(m.list), shown(m.rab),
                shown(m.ek),  shown(m.ver),  shown(m.summe)};
    }
    void fillRow(int r, const std::u16string& bez, const std::u16string& list,
                 const std::u16string& rab, const std::u16string& ver) {
        const auto& m = materialRows()[static_cast<std::size_t>(r)];
        auto& sheet = window->sheet();
        sheet.enter(m.bez, bez);
        sheet.enter(m.list, list);
        sheet.enter(m.rab, rab);
        sheet.enter(m.ver, ver);
    }
    QPushButton* saveButton(int r) const { return window->ScrollBox1->presetButton(r, false); }
    QPushButton* loadButton(int r) const { return window->ScrollBox1->presetButton(r, true); }
    QString presetPath() const { return tempPath(QStringLiteral("bahn.mat")); }
};

TEST_F(PresetTest, SavedFromRowTwoLoadsIntoRowFive) {
    fillRow(1, u"Bitumenbahn V60", u"12,35", u"10", u"5");
    const QStringList second = row(1);
    ASSERT_EQ(second, (QStringList{QStringLiteral("Bitumenbahn V60"), QStringLiteral("12,35"),
                                   QStringLiteral("10,00"), QStringLiteral("11,12"),
                                   QStringLiteral("5,00"), QStringLiteral("11,68")}));
    dialogs_.fileAnswers.push_back(presetPath());
    saveButton(1)->click();
    ASSERT_EQ(dialogs_.fileRequests.size(), 1u);
    EXPECT_TRUE(dialogs_.fileRequests[0].save);
    EXPECT_EQ(dialogs_.fileRequests[0].filter, QStringLiteral("Material (*.mat)|*.mat"));
    EXPECT_EQ(dialogs_.fileRequests[0].defaultSuffix, QStringLiteral(".mat"));

    const QString subtotalBefore = shown(FieldId::Ek9Ed);
    dialogs_.fileAnswers.push_back(presetPath());
    loadButton(4)->click();
    EXPECT_FALSE(dialogs_.fileRequests.back().save);
    EXPECT_EQ(row(4), second);
    EXPECT_EQ(row(1), second);
    EXPECT_NE(shown(FieldId::Ek9Ed), subtotalBefore) << "the subtotal follows the loaded row";
    EXPECT_TRUE(dialogs_.messages.empty());
}

TEST_F(PresetTest, StoredPricesLoadAsStoredNotRecomputed) {
    savemat(presetPath().toStdU16String(), {u"Sonderposten", 100.0, 10.0, 50.0, 0.0, 77.0});
    dialogs_.fileAnswers.push_back(presetPath());
    loadButton(0)->click();
    EXPECT_EQ(row(0), (QStringList{QStringLiteral("Sonderposten"), QStringLiteral("100,00"),
                                   QStringLiteral("10,00"), QStringLiteral("50,00"),
                                   QStringLiteral("0,00"), QStringLiteral("77,00")}));
}

TEST_F(PresetTest, LoadingIntoAHiddenRowChangesNoSum) {
    savemat(presetPath().toStdU16String(), {u"Bahn", 20.0, 0.0, 20.0, 0.0, 20.0});
    window->sheet().enter(FieldId::AnzZeilenEd, u"4");
    ASSERT_FALSE(window->sheet().shown(RowId::Panel6));
    const QString subtotal = shown(FieldId::Ek9Ed);
    dialogs_.fileAnswers.push_back(presetPath());
    loadButton(4)->click();
    EXPECT_EQ(row(4).value(5), QStringLiteral("20,00"));
    EXPECT_EQ(shown(FieldId::Ek9Ed), subtotal);
}

TEST_F(PresetTest, CancellingOrAFailedLoadChangesNothing) {
    fillRow(0, u"Bahn", u"20", u"0", u"0");
    const QStringList before = row(0);

    dialogs_.fileAnswers.push_back(std::nullopt);
    saveButton(0)->click();
    dialogs_.fileAnswers.push_back(std::nullopt);
    loadButton(0)->click();
    EXPECT_EQ(row(0), before);
    EXPECT_TRUE(dialogs_.messages.empty());
    EXPECT_TRUE(QDir(temp_.path()).entryList({QStringLiteral("*.mat")}).isEmpty());

    struct Case {
        const char* name;
        QByteArray data; // empty: no file at all
        QString caption;
        QString text;
    };
    const Case cases[] = {
        {"missing file", {}, QString(), QStringLiteral("Konnte die Datei nicht öffnen.")},
        {"cut after the description",
         bytes({0x02, 0, 0, 0, 0x41, 0, 0x42, 0, 0, 0, 0, 0, 0, 0, 0x59, 0x40}),
         QStringLiteral("Pyrelto Kalkulation"), QStringLiteral("Read beyond end of file")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = tempPath(QString::fromLatin1(c.name) + QStringLiteral(".mat"));
        if (!c.data.isEmpty()) {
            QFile f(path);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(c.data);
        }
        dialogs_.messages.clear();
        dialogs_.fileAnswers.push_back(path);
        loadButton(0)->click();
        ASSERT_EQ(dialogs_.messages.size(), 1u);
        EXPECT_EQ(dialogs_.messages[0].caption, c.caption);
        EXPECT_EQ(dialogs_.messages[0].text, c.text);
        EXPECT_EQ(dialogs_.messages[0].icon, Dialogs::Icon::Error);
        EXPECT_EQ(row(0), before);
    }
}

} // namespace
} // namespace pyrelto
