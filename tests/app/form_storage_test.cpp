#include "decimal_text.h"
#include "form_storage.h"
#include "observer_hooks.h"
#include "settings_store.h"
#include "sheet.h"
#include "ui_test_support.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFile>
#include <QGuiApplication>
#include <QMainWindow>
#include <QScreen>
#include <QSettings>
#include <QShowEvent>
#include <algorithm>
#include <gtest/gtest.h>
#include <limits>
#include <map>
#include <memory>
#include <ostream>
#include <vector>

// Readable rectangles in failure messages.
inline void PrintTo(const QRect& rect, std::ostream* out) {
    *out << "QRect(" << rect.x() << ", " << rect.y() << ", " << rect.width() << " x "
         << rect.height() << ")";
}

namespace pyrelto {
namespace {

using test::toStd;

// A main window with the same hook points as TMainForm: restore when first shown (before its own
// show handler), save when a close is allowed, and once more at destroy when no save completed.
class HookedWindow : public QMainWindow {
public:
    HookedWindow(Sheet& sheet, SettingsStore& store, std::vector<QString>& messages)
        : storage(*this, sheet, store,
                  [&messages](const QString& message) { messages.push_back(message); }) {
        resize(811, 682);
    }
    ~HookedWindow() override { storage.formDestroying(); }

    TFormStorage storage;
    int restoresBeforeShowHandler = 0;

protected:
    void showEvent(QShowEvent* event) override {
        if (!shown_) {
            shown_ = true;
            storage.RestoreFormPlacement();
            restoresBeforeShowHandler += storage.restored() ? 1 : 0;
        }
        QMainWindow::showEvent(event);
    }
    void closeEvent(QCloseEvent* event) override {
        storage.SaveFormPlacement();
        QMainWindow::closeEvent(event);
    }

private:
    bool shown_ = false;
};

enum class Backing { Memory, SettingsFile };

// The cases run against the in-memory store and against a real settings file in a temporary
// folder, filled the way a user editing it by hand would.
class FormStorageTest : public test::UiTest, public ::testing::WithParamInterface<Backing> {
protected:
    FormStorageTest() {
        test::testApplication();
        sheet.runCountRules();
        hooks.rule = [this](std::string_view rule) { rules.emplace_back(rule); };
        path = tempPath(QStringLiteral("pyrelto.conf"));
    }
    ~FormStorageTest() override { window.reset(); }

    // A value as it would be found stored before the program starts.
    void put(const QString& name, const QString& text) {
        if (GetParam() == Backing::Memory)
            memory.setString(name.toStdU16String(), text.toStdU16String());
        else
            fileLines << name + QStringLiteral("=\"") + text + QStringLiteral("\"");
    }
    // A hand-written settings line, taken as it is (the memory store gets the text it means).
    void putRaw(const QString& name, const QString& raw, const QString& meaning) {
        if (GetParam() == Backing::Memory)
            memory.setString(name.toStdU16String(), meaning.toStdU16String());
        else
            fileLines << name + QLatin1Char('=') + raw;
    }
    void putOther(const QString& name) {
        if (GetParam() == Backing::Memory)
            memory.setOther(name.toStdU16String());
        else
            fileLines << name + QStringLiteral("=@Rect(0 0 10 10)");
    }

    SettingsStore& store() {
        if (GetParam() == Backing::Memory)
            return memory;
        if (!file) {
            if (!fileLines.isEmpty()) {
                QFile out(path);
                EXPECT_TRUE(out.open(QIODevice::WriteOnly));
                out.write(QStringLiteral("[TMainForm]\n%1\n")
                              .arg(fileLines.join(QLatin1Char('\n')))
                              .toUtf8());
            }
            file = std::make_unique<QtSettingsStore>(path, QStringLiteral("TMainForm"));
        }
        return *file;
    }

    // What the store holds now, read afresh (from the file for the settings file).
    std::map<QString, QString> stored() {
        std::map<QString, QString> values;
        if (GetParam() == Backing::Memory) {
            for (const auto& [name, value] : memory.values)
                values[QString::fromStdU16String(name)] = QString::fromStdU16String(value.text);
            return values;
        }
        QSettings settings(path, QSettings::IniFormat);
        settings.beginGroup(QStringLiteral("TMainForm"));
        for (const QString& key : settings.childKeys())
            values[key] = settings.value(key).toString();
        return values;
    }

    // Back to a first run: no window, nothing stored, the fields at their design values.
    void reset() {
        window.reset();
        file.reset();
        memory = {};
        fileLines.clear();
        QFile::remove(path);
        messages.clear();
        sheet.number(FieldId::MwStEd).SetValue(19);
        sheet.text(FieldId::Waehr15Ed).setText(u"€");
    }
    // Makes every write fail: the settings file's folder cannot be created, the memory store
    // refuses the first value.
    void blockWrites(bool blocked) {
        const QString blocker = tempPath(QStringLiteral("blocked"));
        if (GetParam() == Backing::Memory) {
            memory.refusedWrites = blocked ? std::vector<std::u16string>{u"FormVersion"}
                                           : std::vector<std::u16string>{};
        } else if (blocked) {
            QFile in(blocker);
            ASSERT_TRUE(in.open(QIODevice::WriteOnly));
            path = blocker + QStringLiteral("/pyrelto.conf");
        } else {
            ASSERT_TRUE(QFile::remove(blocker));
        }
    }

    HookedWindow& open() {
        window = std::make_unique<HookedWindow>(sheet, store(), messages);
        rules.clear();
        window->show();
        QCoreApplication::processEvents();
        return *window;
    }
    void closeAndDestroy() {
        window->close();
        window.reset();
    }
    QString shows(FieldId id) const { return test::shown(sheet, id); }
    static QString suffixed(const char16_t* name) {
        return QString::fromUtf16(name) + QString::fromStdU16String(TFormStorage::screenSuffix());
    }

    Sheet sheet;
    test::SheetHooks hooks{sheet};
    std::vector<std::string> rules;
    std::vector<QString> messages;
    MemorySettingsStore memory;
    QString path;
    QStringList fileLines;
    std::unique_ptr<QtSettingsStore> file;
    std::unique_ptr<HookedWindow> window;
};

INSTANTIATE_TEST_SUITE_P(Stores, FormStorageTest,
                         ::testing::Values(Backing::Memory, Backing::SettingsFile),
                         [](const auto& info) {
                             return info.param == Backing::Memory ? "Memory" : "SettingsFile";
                         });

TEST_P(FormStorageTest, FirstRunRestoresNothingAndCloseWritesElevenValues) {
    open();
    EXPECT_TRUE(window->storage.restored());
    EXPECT_EQ(window->restoresBeforeShowHandler, 1);
    EXPECT_EQ(shows(FieldId::MwStEd), QStringLiteral("19,00"));
    EXPECT_EQ(shows(FieldId::Waehr15Ed), QStringLiteral("€"));
    EXPECT_TRUE(rules.empty());
    EXPECT_TRUE(messages.empty());
    const QRect geometry = window->geometry();

    closeAndDestroy();
    const auto values = stored();
    ASSERT_EQ(values.size(), 11u);
    const QString norm = QStringLiteral("%1,%2,%3,%4")
                             .arg(geometry.left())
                             .arg(geometry.top())
                             .arg(geometry.left() + geometry.width())
                             .arg(geometry.top() + geometry.height());
    const std::map<QString, QString> expected{
        {QStringLiteral("FormVersion"), QStringLiteral("0")},
        {QStringLiteral("Flags"), QStringLiteral("0")},
        {QStringLiteral("ShowCmd"), QStringLiteral("1")},
        {QStringLiteral("PixelsPerInch"), QString::number(TFormStorage::pixelsPerInch())},
        {QStringLiteral("NormPos"), norm},
        {suffixed(u"NormPos"), norm},
        {QStringLiteral("Visible"), QStringLiteral("0")},
        {QStringLiteral("MwStEd_Value"), QStringLiteral("19")},
        {QStringLiteral("Waehr15Ed_Text"), QStringLiteral("€")},
    };
    for (const auto& [name, text] : expected) {
        ASSERT_TRUE(values.count(name)) << toStd(name);
        EXPECT_EQ(values.at(name), text) << toStd(name);
    }
    EXPECT_EQ(values.at(QStringLiteral("MinMaxPos")), values.at(suffixed(u"MinMaxPos")));
    if (GetParam() == Backing::Memory) {
        const std::vector<std::u16string> order{u"FormVersion",
                                                u"Flags",
                                                u"ShowCmd",
                                                u"PixelsPerInch",
                                                u"MinMaxPos" + TFormStorage::screenSuffix(),
                                                u"MinMaxPos",
                                                u"NormPos" + TFormStorage::screenSuffix(),
                                                u"NormPos",
                                                u"Visible",
                                                u"MwStEd_Value",
                                                u"Waehr15Ed_Text"};
        EXPECT_EQ(memory.writeLog, order);
    }
}

TEST_P(FormStorageTest, StoredPropertiesAreReadWithTheRegionalSeparator) {
    struct Case {
        const char* name;
        QString vatRaw;  // as written in the store
        QString vatText; // what it means
        QString currencyRaw;
        QString currencyText;
        QString expectedVat;
        QString expectedCurrency;
        int grossRuleCalls;
    };
    const std::vector<Case> cases{
        {"point", QStringLiteral("7.5"), QStringLiteral("7.5"), QStringLiteral("EUR"),
         QStringLiteral("EUR"), QStringLiteral("7,50"), QStringLiteral("EUR"), 1},
        // A comma in a settings line makes Qt read a list; it is still the text typed.
        {"comma by hand", QStringLiteral("7,5"), QStringLiteral("7,5"), QStringLiteral("\"€\""),
         QStringLiteral("€"), QStringLiteral("7,50"), QStringLiteral("€"), 1},
        {"not a number", QStringLiteral("abc"), QStringLiteral("abc"), QStringLiteral("\"  EUR \""),
         QStringLiteral("  EUR "), QStringLiteral("19,00"), QStringLiteral("EUR"), 0},
        {"exponent", QStringLiteral("1E-5"), QStringLiteral("1E-5"), QStringLiteral("\"\\tCHF\""),
         QStringLiteral("\tCHF"), QStringLiteral("0,00"), QStringLiteral("CHF"), 1},
        {"same as shown", QStringLiteral("19"), QStringLiteral("19"), QStringLiteral("\"\""),
         QString(), QStringLiteral("19,00"), QString(), 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        reset();

        putRaw(QStringLiteral("MwStEd_Value"), c.vatRaw, c.vatText);
        putRaw(QStringLiteral("Waehr15Ed_Text"), c.currencyRaw, c.currencyText);
        open();
        EXPECT_EQ(shows(FieldId::MwStEd), c.expectedVat);
        EXPECT_EQ(shows(FieldId::Waehr15Ed), c.expectedCurrency);
        EXPECT_EQ(std::count(rules.begin(), rules.end(), "Summe15EdChange"), c.grossRuleCalls);
        EXPECT_TRUE(messages.empty());
    }
}

TEST_P(FormStorageTest, VatIsStoredInTheFloatTextForm) {
    open();
    for (const auto& [typed, expected] :
         {std::pair{u"16", "16"}, std::pair{u"19,5", "19.5"}, std::pair{u"0,00001", "1E-5"}}) {
        SCOPED_TRACE(expected);
        sheet.number(FieldId::MwStEd).setText(typed); // the field holds the text as typed
        window->storage.SaveFormPlacement();
        EXPECT_EQ(toStd(stored()[QStringLiteral("MwStEd_Value")]), expected);
    }
}

TEST_P(FormStorageTest, PositionNeedsTheSamePixelsPerInchButShowCmdAppliesAnyway) {
    put(QStringLiteral("NormPos"), QStringLiteral("40,30,440,330"));
    put(QStringLiteral("PixelsPerInch"), QString::number(TFormStorage::pixelsPerInch() + 24));
    put(QStringLiteral("ShowCmd"), QStringLiteral("3"));
    open();
    EXPECT_TRUE(window->isMaximized());
    EXPECT_EQ(window->normalGeometry().size(), QSize(811, 682));
    EXPECT_NE(window->normalGeometry().topLeft(), QPoint(40, 30));
}

TEST_P(FormStorageTest, PlacementIsRestored) {
    struct Case {
        const char* name;
        QString normPos;
        QString showCmd; // empty: not stored
        QRect geometry;  // of the normal state
        bool maximized;
    };
    // The window is built at 811 x 682 and (0, 0): a missing fourth word keeps bottom 682.
    const std::vector<Case> cases{
        {"four words", QStringLiteral("60,40,460,340"), QStringLiteral("1"),
         QRect(60, 40, 400, 300), false},
        {"three words", QStringLiteral("100,50,700"), QString(), QRect(100, 50, 600, 632), false},
        {"spaces and junk", QStringLiteral(" 20  30,x,330"), QStringLiteral("0"),
         QRect(20, 30, 811 - 20, 300), false},
        {"maximized", QStringLiteral("60,40,460,340"), QStringLiteral("3"), QRect(60, 40, 400, 300),
         true},
        {"show command 4 is normal", QStringLiteral("60,40,460,340"), QStringLiteral("4"),
         QRect(60, 40, 400, 300), false},
        {"right not beyond left", QStringLiteral("300,40,300,340"), QString(),
         QRect(0, 0, 811, 682), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        reset();
        putRaw(QStringLiteral("NormPos"), c.normPos, c.normPos); // typed by hand, unquoted
        if (!c.showCmd.isEmpty())
            put(QStringLiteral("ShowCmd"), c.showCmd);
        window = std::make_unique<HookedWindow>(sheet, store(), messages);
        window->storage.RestoreFormPlacement();
        EXPECT_EQ(window->normalGeometry(), c.geometry);
        EXPECT_EQ(window->isMaximized(), c.maximized);
    }
}

TEST_P(FormStorageTest, NumbersAtTheEndsOfTheIntegerRangeAreHarmless) {
    // right - left would overflow; the window still opens where it can be reached.
    put(QStringLiteral("NormPos"), QStringLiteral("-2147483648,-2147483648,2147483647,2147483647"));
    put(QStringLiteral("MinMaxPos"), QStringLiteral("-2147483648,2147483647,-1,-1"));
    open();
    EXPECT_TRUE(window->storage.restored());
    EXPECT_TRUE(window->geometry().intersects(QGuiApplication::primaryScreen()->geometry()));
    closeAndDestroy();
    // The minimized position comes back as stored; the maximized one is the system's.
    EXPECT_TRUE(stored()[QStringLiteral("MinMaxPos")].startsWith(
        QStringLiteral("-2147483648,2147483647,")));
}

TEST_P(FormStorageTest, MinimizingShowCommandsMinimizeOnceTheWindowIsUp) {
    for (const QString& showCmd : {QStringLiteral("2"), QStringLiteral("6"), QStringLiteral("7")}) {
        SCOPED_TRACE(toStd(showCmd));
        reset();
        put(QStringLiteral("ShowCmd"), showCmd);
        open();
        QCoreApplication::processEvents();
        EXPECT_TRUE(window->isMinimized());
        closeAndDestroy();
        EXPECT_EQ(stored()[QStringLiteral("ShowCmd")], QStringLiteral("2"));
    }
}

TEST_P(FormStorageTest, PositionIsReadUnderTheScreenSuffixFirst) {
    struct Case {
        const char* name;
        QString suffixedNormPos; // null: not stored
        QString plainNormPos;
        QRect geometry;
    };
    const std::vector<Case> cases{
        {"suffixed wins", QStringLiteral("60,40,460,340"), QStringLiteral("100,50,700,550"),
         QRect(60, 40, 400, 300)},
        {"empty suffixed falls back", QStringLiteral(""), QStringLiteral("100,50,700,550"),
         QRect(100, 50, 600, 500)},
        {"no suffixed falls back", QString(), QStringLiteral("100,50,700,550"),
         QRect(100, 50, 600, 500)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        reset();
        if (!c.suffixedNormPos.isNull())
            put(suffixed(u"NormPos"), c.suffixedNormPos);
        put(QStringLiteral("NormPos"), c.plainNormPos);
        window = std::make_unique<HookedWindow>(sheet, store(), messages);
        window->storage.RestoreFormPlacement();
        EXPECT_EQ(window->normalGeometry(), c.geometry);
        EXPECT_TRUE(messages.empty());
    }
}

TEST_P(FormStorageTest, StoredPropertyOfAnotherTypeIsPassedOverSilently) {
    putOther(QStringLiteral("MwStEd_Value"));
    put(QStringLiteral("Waehr15Ed_Text"), QStringLiteral("CHF"));
    put(QStringLiteral("NormPos"), QStringLiteral("60,40,460,340"));
    open();
    EXPECT_TRUE(messages.empty());
    EXPECT_TRUE(window->storage.restored());
    EXPECT_EQ(shows(FieldId::MwStEd), QStringLiteral("19,00"));
    EXPECT_TRUE(rules.empty());
    EXPECT_EQ(shows(FieldId::Waehr15Ed), QStringLiteral("CHF"));
    EXPECT_EQ(window->normalGeometry(), QRect(60, 40, 400, 300));
}

TEST_P(FormStorageTest, NegativeFormVersionRestoresNothingButSaves) {
    put(QStringLiteral("FormVersion"), QStringLiteral("-1"));
    put(QStringLiteral("NormPos"), QStringLiteral("60,40,460,340"));
    put(QStringLiteral("MwStEd_Value"), QStringLiteral("7.5"));
    open();
    EXPECT_TRUE(window->storage.restored());
    EXPECT_EQ(shows(FieldId::MwStEd), QStringLiteral("19,00"));
    EXPECT_NE(window->geometry().topLeft(), QPoint(60, 40));
    closeAndDestroy();
    EXPECT_EQ(stored()[QStringLiteral("FormVersion")], QStringLiteral("0"));
    EXPECT_EQ(stored()[QStringLiteral("MwStEd_Value")], QStringLiteral("19"));
}

TEST_P(FormStorageTest, ValueOfAnotherTypeStopsTheRestoreAndNothingIsSaved) {
    for (const QString& wrong :
         {QStringLiteral("Flags"), QStringLiteral("FormVersion"), QStringLiteral("ShowCmd"),
          QStringLiteral("PixelsPerInch"), suffixed(u"MinMaxPos")}) {
        SCOPED_TRACE(toStd(wrong));
        reset();
        putOther(wrong);
        put(QStringLiteral("NormPos"), QStringLiteral("60,40,460,340"));
        if (wrong != QStringLiteral("ShowCmd"))
            put(QStringLiteral("ShowCmd"), QStringLiteral("3"));
        put(QStringLiteral("MwStEd_Value"), QStringLiteral("7.5"));
        QByteArray before;
        if (GetParam() == Backing::SettingsFile) {
            store();
            QFile in(path);
            ASSERT_TRUE(in.open(QIODevice::ReadOnly));
            before = in.readAll();
        }
        open();
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_EQ(messages.front(), QStringLiteral("Invalid data type for '%1'").arg(wrong));
        EXPECT_FALSE(window->storage.restored());
        // Nothing half applied: neither the position, nor the show state, nor the VAT rate.
        EXPECT_EQ(shows(FieldId::MwStEd), QStringLiteral("19,00"));
        EXPECT_EQ(window->normalGeometry().size(), QSize(811, 682));
        EXPECT_FALSE(window->isMaximized());

        closeAndDestroy();
        if (GetParam() == Backing::Memory) {
            EXPECT_TRUE(memory.writeLog.empty());
        } else {
            QFile in(path);
            ASSERT_TRUE(in.open(QIODevice::ReadOnly));
            EXPECT_EQ(in.readAll(), before);
        }
    }
}

TEST_P(FormStorageTest, WindowStoredOnAMissingMonitorOpensOnTheScreen) {
    put(QStringLiteral("NormPos"), QStringLiteral("3000,2000,3400,2300"));
    open();
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_TRUE(screen.contains(window->geometry()))
        << window->geometry().x() << "," << window->geometry().y();
    EXPECT_EQ(window->geometry().size(), QSize(400, 300));
}

TEST_P(FormStorageTest, MaximizedWindowComesBackMaximizedWithItsNormalRectangle) {
    open();
    window->setGeometry(70, 60, 500, 400);
    window->showMaximized();
    QCoreApplication::processEvents();
    closeAndDestroy();
    EXPECT_EQ(stored()[QStringLiteral("ShowCmd")], QStringLiteral("3"));
    EXPECT_EQ(stored()[QStringLiteral("NormPos")], QStringLiteral("70,60,570,460"));

    file.reset();
    open();
    EXPECT_TRUE(window->isMaximized());
    EXPECT_EQ(window->normalGeometry(), QRect(70, 60, 500, 400));
}

TEST_P(FormStorageTest, FailedSaveIsReportedAndTriedAgainAtDestroy) {
    blockWrites(true);
    open();
    window->close();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages.front(), QStringLiteral("Failed to set data for 'FormVersion'"));
    EXPECT_FALSE(window->storage.saved());

    blockWrites(false);
    window.reset();
    EXPECT_EQ(messages.size(), 1u) << toStd(messages.back());
    EXPECT_EQ(stored()[QStringLiteral("Visible")], QStringLiteral("1"));
    EXPECT_EQ(stored().size(), 11u);
}

TEST_P(FormStorageTest, DestroySavesOnlyWhenNoSaveCompleted) {
    open();
    window.reset(); // destroyed without a close
    EXPECT_EQ(stored()[QStringLiteral("Visible")], QStringLiteral("1"));

    reset();
    open();
    window->close();
    sheet.number(FieldId::MwStEd).SetValue(7);
    window.reset();
    EXPECT_EQ(stored()[QStringLiteral("Visible")], QStringLiteral("0"));
    EXPECT_EQ(stored()[QStringLiteral("MwStEd_Value")], QStringLiteral("19"));
}

class SettingsFileTest : public test::UiTest {};

TEST_F(SettingsFileTest, LinesItCannotReadDoNotMakeASuccessfulSaveAFailure) {
    const QString path = tempPath(QStringLiteral("pyrelto.conf"));
    {
        QFile out(path);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write("[TMainForm]\nShowCmd=3\na line without an equals sign\n");
    }
    QtSettingsStore store(path, QStringLiteral("TMainForm"));
    EXPECT_EQ(store.readString(u"ShowCmd"), u"3");
    ASSERT_TRUE(store.writeString(u"ShowCmd", u"1"));
    EXPECT_TRUE(store.commit());
    EXPECT_EQ(QSettings(path, QSettings::IniFormat).value(QStringLiteral("TMainForm/ShowCmd")),
              QStringLiteral("1"));
}

TEST(PlaceOnNearestScreen, ReachableWindowsStayAndLostOnesComeBack) {
    // Two monitors side by side; the right one is smaller and lower.
    const QList<QRect> screens{QRect(0, 0, 1920, 1040), QRect(1920, 200, 1280, 984)};
    const struct {
        const char* name;
        QRect rect;
        QRect expected;
    } cases[] = {
        {"on the left screen", QRect(100, 100, 800, 600), QRect(100, 100, 800, 600)},
        {"across both", QRect(1500, 300, 800, 600), QRect(1500, 300, 800, 600)},
        {"mostly off, a grip left", QRect(-760, 100, 800, 600), QRect(-760, 100, 800, 600)},
        {"a sliver only", QRect(-790, 100, 800, 600), QRect(0, 100, 800, 600)},
        {"far right, to the right screen", QRect(5000, 400, 800, 600),
         QRect(3200 - 800, 400, 800, 600)},
        {"above the right screen", QRect(2500, -900, 400, 300), QRect(2500, 200, 400, 300)},
        {"below everything", QRect(300, 3000, 400, 300), QRect(300, 1040 - 300, 400, 300)},
        {"larger than the screen", QRect(4000, 0, 1600, 1200), QRect(1920, 200, 1280, 984)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(placeOnNearestScreen(c.rect, screens), c.expected);
    }
    EXPECT_EQ(placeOnNearestScreen(QRect(5000, 5000, 10, 10), {}), QRect(5000, 5000, 10, 10));
    // With a frame, the title bar lands on the screen as well.
    EXPECT_EQ(placeOnNearestScreen(QRect(100, -2000, 400, 300), screens, QMargins(8, 31, 8, 8)),
              QRect(100, 31, 400, 300));
    // On the screen already, but larger: cut to the screen the window lands on, frame included.
    EXPECT_EQ(placeOnNearestScreen(QRect(0, 0, 5000, 5000), {QRect(0, 0, 800, 600)},
                                   QMargins(8, 31, 8, 8)),
              QRect(8, 31, 784, 561));
    EXPECT_EQ(placeOnNearestScreen(QRect(0, 0, 16777216, 16777216), screens),
              QRect(0, 0, 1920, 1040));
    // Mostly on the right, smaller screen: its size is the limit, not the larger left one's.
    EXPECT_EQ(placeOnNearestScreen(QRect(1900, 300, 3000, 3000), screens),
              QRect(1920, 200, 1280, 984));
}

} // namespace
} // namespace pyrelto
