#include "customer_list_model.h"
#include "customer_tab.h"
#include "ui_test_support.h"

#include <QCollator>
#include <QComboBox>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QScrollBar>
#include <QTabWidget>
#include <QTest>
#include <QTreeView>
#include <QVBoxLayout>
#include <cstdlib>
#include <functional>
#include <gtest/gtest.h>
#include <string_view>
#include <vector>

namespace pyrelto {
namespace {

QStringList namesOf(const CustomerList& list) {
    return test::qtTexts(list.names());
}

void load(CustomerList& list, const QStringList& names) {
    CustomerListUpdate update(list);
    list.clear();
    for (const auto& n : names)
        list.setName(list.append(), std::u16string(reinterpret_cast<const char16_t*>(n.utf16()),
                                                   static_cast<std::size_t>(n.size())));
}

// The window's shape around the tab: a first page holding the customer drop-down (as KundeEd),
// the tab on the second page.
class CustomerTabTest : public test::UiTest {
protected:
    void SetUp() override {
        auto* first = new QWidget;
        kunde = new QComboBox(first);
        kunde->setEditable(true);
        pages.addTab(first, QStringLiteral("Kalkulation"));
        tab = new CustomerTab;
        pages.addTab(tab, QStringLiteral("Kunden Vorlagen"));
        tab->setCombo(kunde);
        QObject::connect(tab, &CustomerTab::customerTakenOver, &pages,
                         [this](const QString& name) { takenOver.append(name); });
        pages.resize(811, 641);
        pages.setCurrentIndex(1);
        pages.show();
        pages.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&pages));
    }

    void TearDown() override { EXPECT_TRUE(dialogs_.questionAnswers.empty()) << "unused answers"; }

    QModelIndex row(int r) const { return tab->ListView1->model()->index(r, 0); }
    // The open in-place editor of the list, if any (a closed one may linger hidden until deleted).
    QLineEdit* editor() const {
        for (auto* e : tab->ListView1->viewport()->findChildren<QLineEdit*>()) {
            if (e->isVisible())
                return e;
        }
        return nullptr;
    }
    QStringList comboItems() const {
        QStringList items;
        for (int i = 0; i < kunde->count(); ++i)
            items.append(kunde->itemText(i));
        return items;
    }
    void expectComboIsList() const { EXPECT_EQ(comboItems(), namesOf(tab->list())); }
    void clickRow(int r) {
        QTest::mouseClick(tab->ListView1->viewport(), Qt::LeftButton, {},
                          tab->ListView1->visualRect(row(r)).center());
    }

    QTabWidget pages;
    QComboBox* kunde = nullptr;
    CustomerTab* tab = nullptr;
    QStringList takenOver;
};

TEST_F(CustomerTabTest, PanelAndListLookAsDesigned) {
    struct Row {
        const char* name;
        QWidget* widget;
        QString caption;
        QRect geometry;
    };
    const Row rows[] = {
        {"Neuer Kunde", tab->BitBtn14, QStringLiteral("Neuer Kunde"), {8, 8, 121, 25}},
        {"Eintrag bearbeiten",
         tab->BitBtn15,
         QStringLiteral("Eintrag bearbeiten"),
         {136, 8, 153, 25}},
        {"Löschen", tab->BitBtn16, QStringLiteral("Löschen"), {296, 8, 121, 25}},
        {"übernehmen",
         tab->BitBtn17,
         QStringLiteral("Kunde in Kalkulation übernehmen..."),
         {8, 40, 225, 25}},
        {"Suchen", tab->BitBtn18, QStringLiteral("Suchen"), {432, 40, 105, 25}},
        {"Weiter suchen", tab->BitBtn19, QStringLiteral("Weiter suchen"), {544, 40, 105, 25}},
        {"SuchEd", tab->SuchEd, QString(), {296, 40, 121, 21}},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(r.widget->geometry(), r.geometry);
        EXPECT_EQ(r.widget->parentWidget(), tab->Panel26);
        if (auto* b = qobject_cast<QPushButton*>(r.widget)) {
            EXPECT_EQ(b->text(), r.caption);
        }
    }
    EXPECT_EQ(tab->Label101->text(), QStringLiteral("Suchtext:"));
    EXPECT_LE(tab->Label101->x(), 240);
    EXPECT_LE(tab->Label101->geometry().right(), tab->SuchEd->x()) << "the label stays readable";
    EXPECT_EQ(tab->Label101->y(), 40);
    EXPECT_EQ(tab->Panel26->geometry(), QRect(0, 0, tab->width(), 73));
    EXPECT_EQ(tab->ListView1->geometry(), QRect(0, 73, tab->width(), tab->height() - 73));
    EXPECT_TRUE(tab->SuchEd->text().isEmpty());

    auto* header = tab->ListView1->header();
    EXPECT_EQ(tab->ListView1->model()->columnCount(), 1);
    EXPECT_EQ(tab->ListView1->model()->headerData(0, Qt::Horizontal).toString(),
              QStringLiteral("Kunde"));
    EXPECT_EQ(header->sectionSize(0), 400);
    EXPECT_FALSE(header->sectionsClickable());
    EXPECT_EQ(tab->ListView1->selectionBehavior(), QAbstractItemView::SelectRows);
    EXPECT_EQ(tab->ListView1->selectionMode(), QAbstractItemView::SingleSelection);
}

TEST_F(CustomerTabTest, SortsLinguisticallyAndCaseSensitively) {
    load(tab->list(), {QStringLiteral("müller"), QStringLiteral("Meier"), QStringLiteral("Abel"),
                       QStringLiteral("Müller"), QStringLiteral("abel")});
    // Lower case before upper case of the same letters; ü sorts with u, not after z.
    EXPECT_EQ(namesOf(tab->list()),
              (QStringList{QStringLiteral("abel"), QStringLiteral("Abel"), QStringLiteral("Meier"),
                           QStringLiteral("müller"), QStringLiteral("Müller")}));
    expectComboIsList();

    const auto compare = localeCompare(QLocale(QLocale::German, QLocale::Germany));
    struct Row {
        const char* name;
        std::u16string_view a, b;
        int sign;
    };
    const Row rows[] = {
        {"ä with a, before b", u"Bär", u"Bor", -1},
        {"ß after ss-less prefix", u"Strauß", u"Straub", 1},
        {"case decides last", u"meier", u"Meier", -1},
        {"equal", u"Meier", u"Meier", 0},
        {"empty first", u"", u"A", -1},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        const int c = compare(r.a, r.b);
        EXPECT_EQ((c > 0) - (c < 0), r.sign);
    }
}

TEST_F(CustomerTabTest, PlainNamesOrderAsTheCollatorOrdersThem) {
    // Names of letters, digits and spaces are compared without the collator; the order must be
    // the collator's all the same, or a list sorted before would read as out of order (and a
    // list ordered by two different rules is no order at all).
    for (const QLocale& locale : {QLocale(QLocale::German, QLocale::Germany),
                                  QLocale(QLocale::German, QLocale::Switzerland),
                                  QLocale(QLocale::English, QLocale::UnitedStates)}) {
        SCOPED_TRACE(locale.name().toStdString());
        const auto compare = localeCompare(locale);
        QCollator collator(locale);
        collator.setCaseSensitivity(Qt::CaseSensitive);
        collator.setNumericMode(false);
        collator.setIgnorePunctuation(false);
        const auto expected = [&collator](const std::u16string& a, const std::u16string& b) {
            const int c = collator.compare(QStringView(a.data(), qsizetype(a.size())),
                                           QStringView(b.data(), qsizetype(b.size())));
            return c != 0 ? (c > 0) - (c < 0) : (a > b) - (a < b);
        };
        // Few letters, so that names share long beginnings and differ in case alone.
        const std::u16string alphabet = u"aAbBmMzZ09 ";
        std::srand(20);
        // Others than those, where a name goes on after the letter that decides (a combining
        // mark joins the letter before it).
        const std::u16string others = u"-.&\u00e4\u00c4\u00df\u0308\u0301\u00e9";
        std::vector<std::u16string> names = {u"",    u"a",    u"A",        u"ab", u"Aa",     u"a b",
                                             u"ab ", u"a1",   u"aa",       u"1a", u" a",     u"Zz",
                                             u"zZ",  u"ab-c", u"a\u0308b", u"ac", u"a\u0308"};
        for (int i = 0; i < 3000; ++i) {
            std::u16string name;
            for (int n = std::rand() % 6; n >= 0; --n)
                name += alphabet[static_cast<std::size_t>(std::rand()) % alphabet.size()];
            if (i % 3 == 0)
                name.insert(static_cast<std::size_t>(std::rand()) % (name.size() + 1), 1,
                            others[static_cast<std::size_t>(std::rand()) % others.size()]);
            names.push_back(name);
        }
        int disagreements = 0;
        for (std::size_t i = 0; i + 1 < names.size(); ++i) {
            for (const std::size_t j : {i + 1, (i * 7919) % names.size()}) {
                const int c = compare(names[i], names[j]);
                if ((c > 0) - (c < 0) != expected(names[i], names[j]) && ++disagreements < 5)
                    ADD_FAILURE() << test::toStd(QString::fromStdU16String(names[i])) << " / "
                                  << test::toStd(QString::fromStdU16String(names[j]));
            }
        }
        EXPECT_EQ(disagreements, 0);
    }
}

TEST_F(CustomerTabTest, NeuerKundeEditsInPlaceAndSorts) {
    load(tab->list(), {QStringLiteral("Meier"), QStringLiteral("Abel")});
    tab->BitBtn14->click();
    auto* edit = editor();
    ASSERT_NE(edit, nullptr) << "a new entry starts in-place editing";
    EXPECT_EQ(namesOf(tab->list()),
              (QStringList{QStringLiteral("Abel"), QStringLiteral("Meier"), QString()}));
    expectComboIsList();
    QTest::keyClicks(edit, QStringLiteral("Baum"));
    QTest::keyClick(edit, Qt::Key_Return);
    QTRY_VERIFY(editor() == nullptr);
    EXPECT_EQ(namesOf(tab->list()), (QStringList{QStringLiteral("Abel"), QStringLiteral("Baum"),
                                                 QStringLiteral("Meier")}));
    expectComboIsList();
}

TEST_F(CustomerTabTest, EscapeLeavesAnEmptyEntryAtTheEnd) {
    load(tab->list(), {QStringLiteral("Meier"), QStringLiteral("Abel")});
    tab->BitBtn14->click();
    auto* edit = editor();
    ASSERT_NE(edit, nullptr);
    QTest::keyClicks(edit, QStringLiteral("Zeiler"));
    QTest::keyClick(edit, Qt::Key_Escape);
    QTRY_VERIFY(editor() == nullptr);
    EXPECT_EQ(namesOf(tab->list()),
              (QStringList{QStringLiteral("Abel"), QStringLiteral("Meier"), QString()}));
    EXPECT_EQ(comboItems().size(), 3);
    expectComboIsList();
}

TEST_F(CustomerTabTest, LeavingTheEditorAcceptsTheName) {
    load(tab->list(), {QStringLiteral("Meier")});
    tab->BitBtn14->click();
    auto* edit = editor();
    ASSERT_NE(edit, nullptr);
    QTest::keyClicks(edit, QStringLiteral("Abel"));
    tab->SuchEd->setFocus();
    QTRY_VERIFY(editor() == nullptr);
    EXPECT_EQ(namesOf(tab->list()), (QStringList{QStringLiteral("Abel"), QStringLiteral("Meier")}));
    expectComboIsList();
}

// The window's close commits an open in-place edit. An editor the view closed already (focus
// left it, its deletion still pending) is not handed back to the view, which warned twice
// ("commitData/closeEditor called with an editor that does not belong to this view").
TEST_F(CustomerTabTest, CommittingAtCloseLeavesAClosedEditorAlone) {
    static QStringList warnings;
    warnings.clear();
    const QtMessageHandler previous =
        qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
            if (type != QtDebugMsg && type != QtInfoMsg)
                warnings.append(text);
        });
    load(tab->list(), {QStringLiteral("Meier")});
    tab->BitBtn14->click();
    QTest::keyClicks(editor(), QStringLiteral("Abel"));
    tab->SuchEd->setFocus();
    QTRY_VERIFY(editor() == nullptr);
    tab->commitEditing();

    clickRow(0);
    tab->BitBtn15->click(); // still open: committed and closed
    ASSERT_NE(editor(), nullptr);
    editor()->end(false);
    QTest::keyClicks(editor(), QStringLiteral("a"));
    tab->commitEditing();
    qInstallMessageHandler(previous);
    EXPECT_EQ(editor(), nullptr);
    EXPECT_TRUE(warnings.isEmpty()) << warnings.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(namesOf(tab->list()),
              (QStringList{QStringLiteral("Abela"), QStringLiteral("Meier")}));
}

TEST_F(CustomerTabTest, EintragBearbeitenRenamesTheSelectedEntry) {
    load(tab->list(), {QStringLiteral("Abel"), QStringLiteral("Meier"), QStringLiteral("Zeiler")});
    tab->BitBtn15->click();
    EXPECT_EQ(editor(), nullptr) << "nothing selected, nothing edited";

    clickRow(0);
    EXPECT_EQ(tab->list().selected(), 0);
    tab->BitBtn15->click();
    auto* edit = editor();
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(edit->text(), QStringLiteral("Abel"));
    edit->selectAll();
    QTest::keyClicks(edit, QStringLiteral("Nagel"));
    QTest::keyClick(edit, Qt::Key_Return);
    QTRY_VERIFY(editor() == nullptr);
    EXPECT_EQ(namesOf(tab->list()), (QStringList{QStringLiteral("Meier"), QStringLiteral("Nagel"),
                                                 QStringLiteral("Zeiler")}));
    EXPECT_EQ(tab->list().selected(), 1) << "the renamed entry keeps the selection";
    EXPECT_EQ(tab->ListView1->selectionModel()->selectedRows().value(0).row(), 1);
    expectComboIsList();
}

TEST_F(CustomerTabTest, EditingALongNameKeepsItWhole) {
    // Beyond the editor's default limit of 32767: looking at it and pressing Enter changes nothing.
    const QString longName = QStringLiteral("Abel ") + QString(40000, QLatin1Char('x'));
    load(tab->list(), {longName, QStringLiteral("Meier")});
    clickRow(0);
    tab->BitBtn15->click();
    auto* edit = editor();
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(edit->text().size(), longName.size());
    QTest::keyClick(edit, Qt::Key_Return);
    QTRY_VERIFY(editor() == nullptr);
    const QStringList names = namesOf(tab->list());
    // Compared whole, reported by length: the names are too long to print.
    EXPECT_TRUE(names == (QStringList{longName, QStringLiteral("Meier")}))
        << "first name has " << names.value(0).size() << " characters";
}

TEST_F(CustomerTabTest, SecondClickOnTheSelectedEntryStartsEditing) {
    load(tab->list(), {QStringLiteral("Abel"), QStringLiteral("Meier")});
    // A short double-click interval: the second click still comes after it, in milliseconds.
    const int usual = QApplication::doubleClickInterval();
    QApplication::setDoubleClickInterval(40);
    const auto restore = qScopeGuard([usual] { QApplication::setDoubleClickInterval(usual); });
    clickRow(1);
    QTest::qWait(QApplication::doubleClickInterval() + 20);
    clickRow(1);
    QTRY_VERIFY(editor() != nullptr);
    QTest::keyClick(editor(), Qt::Key_Escape);
    EXPECT_EQ(namesOf(tab->list()), (QStringList{QStringLiteral("Abel"), QStringLiteral("Meier")}));
}

TEST_F(CustomerTabTest, LoeschenDeletesOnlyOnYes) {
    struct Row {
        const char* name;
        Dialogs::Answer answer;
        QStringList left;
    };
    const Row rows[] = {
        {"No keeps", Dialogs::Answer::No, {QStringLiteral("Abel"), QStringLiteral("Meier")}},
        {"Cancel keeps",
         Dialogs::Answer::Cancel,
         {QStringLiteral("Abel"), QStringLiteral("Meier")}},
        {"Yes deletes", Dialogs::Answer::Yes, {QStringLiteral("Abel")}},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        load(tab->list(), {QStringLiteral("Abel"), QStringLiteral("Meier")});
        clickRow(1);
        dialogs_.questions.clear();
        dialogs_.questionAnswers.push_back(r.answer);
        tab->BitBtn16->click();
        ASSERT_EQ(dialogs_.questions.size(), 1u);
        EXPECT_EQ(dialogs_.questions[0].text,
                  QStringLiteral("Wollen Sie den Kunden wirklich löschen?"));
        EXPECT_EQ(dialogs_.questions[0].caption, QStringLiteral("Löschen"));
        EXPECT_EQ(namesOf(tab->list()), r.left);
        expectComboIsList();
    }
    EXPECT_EQ(tab->list().selected(), -1);
    dialogs_.questions.clear();
    tab->BitBtn16->click();
    EXPECT_TRUE(dialogs_.questions.empty()) << "no selection, no question";
}

TEST_F(CustomerTabTest, TakeOverNeedsASelection) {
    load(tab->list(), {QStringLiteral("Abel"), QStringLiteral("Müller")});
    tab->BitBtn17->click();
    EXPECT_TRUE(takenOver.isEmpty());

    clickRow(1);
    tab->BitBtn17->click();
    EXPECT_EQ(takenOver, QStringList{QStringLiteral("Müller")});

    clickRow(0);
    QTest::mouseDClick(tab->ListView1->viewport(), Qt::LeftButton, {},
                       tab->ListView1->visualRect(row(0)).center());
    EXPECT_EQ(takenOver, (QStringList{QStringLiteral("Müller"), QStringLiteral("Abel")}));
    EXPECT_EQ(editor(), nullptr) << "a double click takes over; it does not edit";
}

TEST_F(CustomerTabTest, EnterAndEscapeInSuchEdPlayDefaultAndCancelButton) {
    load(tab->list(), {QStringLiteral("Abel"), QStringLiteral("Meier")});
    EXPECT_TRUE(tab->BitBtn14->isDefault());

    clickRow(0);
    tab->SuchEd->setFocus();
    tab->SuchEd->setText(QStringLiteral("ab"));
    dialogs_.questionAnswers.push_back(Dialogs::Answer::No);
    QTest::keyClick(tab->SuchEd, Qt::Key_Escape);
    EXPECT_EQ(dialogs_.questions.size(), 1u) << "Escape runs Löschen";
    EXPECT_EQ(tab->list().count(), 2);

    tab->SuchEd->setFocus();
    QTest::keyClick(tab->SuchEd, Qt::Key_Return);
    EXPECT_EQ(tab->list().count(), 3) << "Enter runs Neuer Kunde, not a search";
    ASSERT_NE(editor(), nullptr);
    QTest::keyClick(editor(), Qt::Key_Escape);
    expectComboIsList();

    pages.setCurrentIndex(0);
    EXPECT_FALSE(tab->BitBtn14->isDefault()) << "only while the tab is shown";
}

TEST_F(CustomerTabTest, EscapeThenEnterInTheSearchFieldKeepsTheCustomer) {
    load(tab->list(), {QStringLiteral("Abel"), QStringLiteral("Meier")});
    clickRow(1);
    tab->SuchEd->setFocus();
    // The Enter that follows in a hurry lands on the question's default button.
    dialogs_.questionAnswers.push_back(std::nullopt);
    QTest::keyClick(tab->SuchEd, Qt::Key_Escape);
    ASSERT_EQ(dialogs_.questions.size(), 1u);
    EXPECT_EQ(dialogs_.questions[0].defaultAnswer, Dialogs::Answer::No);
    EXPECT_EQ(namesOf(tab->list()), (QStringList{QStringLiteral("Abel"), QStringLiteral("Meier")}));
    EXPECT_EQ(tab->list().selected(), 1);
}

TEST_F(CustomerTabTest, TheInPlaceEditorIsPlainlyVisible) {
    load(tab->list(), {QStringLiteral("Abel"), QStringLiteral("Meier")});
    tab->BitBtn14->click();
    QLineEdit* edit = editor();
    ASSERT_NE(edit, nullptr);
    ASSERT_TRUE(edit->text().isEmpty()) << "a new entry starts empty";
    // A frame all round sets it off from the list: along its edges the pixels differ from the
    // list's background (the rounded corners of some styles aside).
    const QRect covered = edit->geometry();
    EXPECT_GE(covered.height(), edit->sizeHint().height()) << "tall enough for its frame";
    const QImage shot = tab->ListView1->viewport()->grab().toImage();
    const QRgb background = tab->ListView1->viewport()->palette().color(QPalette::Base).rgb();
    int edge = 0;
    int framed = 0;
    for (int y = covered.top(); y <= covered.bottom(); ++y) {
        for (int x = covered.left(); x <= covered.right(); ++x) {
            if (y != covered.top() && y != covered.bottom() && x != covered.left() &&
                x != covered.right())
                continue;
            ++edge;
            framed += shot.pixel(x, y) != background ? 1 : 0;
        }
    }
    EXPECT_GE(framed * 10, edge * 9) << framed << " of " << edge << " edge pixels stand out";
    QTest::keyClick(edit, Qt::Key_Escape);
}

class CustomerSearchTest : public CustomerTabTest {
protected:
    void SetUp() override {
        CustomerTabTest::SetUp();
        QStringList names;
        for (int i = 0; i < 200; ++i)
            names.append(QStringLiteral("Kunde %1").arg(i, 3, 10, QLatin1Char('0')));
        names.append(QStringLiteral("Müller"));
        names.append(QStringLiteral("Meier"));
        load(tab->list(), names);
    }
    // Distance of the entry from the top of the list's client area, header included.
    int distanceFromTop(int r) const {
        const auto* view = tab->ListView1;
        return view->viewport()->geometry().top() - view->frameWidth() +
               view->visualRect(row(r)).top();
    }
    int rowHeight() const { return tab->ListView1->visualRect(row(0)).height(); }
};

TEST_F(CustomerSearchTest, FoundEntryIsSelectedScrolledAndFocused) {
    tab->SuchEd->setText(QStringLiteral("unde 150"));
    tab->BitBtn18->click();
    EXPECT_EQ(tab->list().selected(), 150);
    EXPECT_EQ(tab->ListView1->selectionModel()->selectedRows().value(0).row(), 150);
    EXPECT_TRUE(tab->ListView1->hasFocus());
    EXPECT_LE(std::abs(distanceFromTop(150) - 50), rowHeight() / 2);
    expectComboIsList();

    // The list scrolls by whole rows, to the row nearest the wanted distance, in both directions:
    // back up to entries above the shown part too.
    for (const int target : {120, 60, 31}) {
        SCOPED_TRACE(target);
        tab->SuchEd->setText(QStringLiteral("Kunde %1").arg(target, 3, 10, QLatin1Char('0')));
        tab->BitBtn18->click();
        ASSERT_EQ(tab->list().selected(), target);
        EXPECT_LE(std::abs(distanceFromTop(target) - 50), rowHeight() / 2);
    }

    // Near the top, the list cannot scroll above its first row.
    tab->SuchEd->setText(QStringLiteral("KUNDE 001"));
    tab->BitBtn18->click();
    EXPECT_EQ(tab->list().selected(), 1);
    EXPECT_EQ(tab->ListView1->verticalScrollBar()->value(), 0);
}

TEST_F(CustomerSearchTest, WeiterSuchenContinuesAndNoMatchChangesNothing) {
    tab->SuchEd->setText(QStringLiteral("e 19"));
    for (int expected = 190; expected <= 199; ++expected) {
        tab->BitBtn19->click();
        EXPECT_EQ(tab->list().selected(), expected);
    }
    const int scrolled = tab->ListView1->verticalScrollBar()->value();
    tab->SuchEd->setFocus();
    tab->BitBtn19->click();
    EXPECT_EQ(tab->list().selected(), 199) << "no wrap to the top";
    tab->SuchEd->setText(QStringLiteral("MÜ"));
    tab->BitBtn18->click();
    EXPECT_EQ(tab->list().selected(), 199);
    EXPECT_EQ(tab->ListView1->verticalScrollBar()->value(), scrolled);
    EXPECT_TRUE(tab->SuchEd->hasFocus()) << "no match keeps the focus where it was";

    tab->SuchEd->setText(QStringLiteral("mü"));
    tab->BitBtn18->click();
    EXPECT_EQ(namesOf(tab->list()).value(tab->list().selected()), QStringLiteral("Müller"));
}

TEST_F(CustomerTabTest, ComboKeepsItsTextWhileItsItemsFollowTheList) {
    kunde->setEditText(QStringLiteral("Dachdeckerei Nord"));
    QString heard;
    QObject::connect(kunde, &QComboBox::editTextChanged, &pages,
                     [&heard](const QString& t) { heard = t; });
    load(tab->list(), {QStringLiteral("Zeiler"), QStringLiteral("Abel"), QString()});
    EXPECT_EQ(comboItems(),
              (QStringList{QString(), QStringLiteral("Abel"), QStringLiteral("Zeiler")}));
    EXPECT_EQ(kunde->currentText(), QStringLiteral("Dachdeckerei Nord"));
    EXPECT_TRUE(heard.isEmpty()) << "rebuilding the items is no edit of the customer";

    tab->list().clear();
    EXPECT_TRUE(comboItems().isEmpty());
    EXPECT_EQ(kunde->currentText(), QStringLiteral("Dachdeckerei Nord"));
}

// The drop-down shows the list's own model. Whatever the list does, and also after the user picked
// an item, the customer typed in the sheet stays as it is and the sheet hears no edit.
TEST_F(CustomerTabTest, ComboTextSurvivesEveryListChange) {
    const struct {
        const char* what;
        std::function<void(CustomerList&)> change;
    } cases[] = {
        {"first names into an empty list",
         [](CustomerList& l) {
             load(l, {QStringLiteral("Abel"), QStringLiteral("Meier")});
         }},
        {"a new entry into an empty list", [](CustomerList& l) { l.append(); }},
        {"a rename that moves", [](CustomerList& l) { l.setName(0, u"Zorn"); }},
        {"a rename of the picked item", [](CustomerList& l) { l.setName(1, u"Meier GmbH"); }},
        {"a new entry", [](CustomerList& l) { l.setName(l.append(), u"Bauer"); }},
        {"the picked item deleted", [](CustomerList& l) { l.remove(1); }},
        {"the first item deleted", [](CustomerList& l) { l.remove(0); }},
        {"cleared", [](CustomerList& l) { l.clear(); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        tab->list().clear();
        if (std::string_view(c.what).find("empty") == std::string_view::npos)
            load(tab->list(),
                 {QStringLiteral("Abel"), QStringLiteral("Meier"), QStringLiteral("Müller")});
        // The user picks "Meier" from the drop-down, then types on.
        if (kunde->count() > 1) {
            kunde->setCurrentIndex(1);
            EXPECT_EQ(kunde->currentText(), QStringLiteral("Meier"));
        }
        kunde->setEditText(QStringLiteral("Meier Süd"));
        QStringList heard;
        const auto watch = QObject::connect(kunde, &QComboBox::editTextChanged, &pages,
                                            [&heard](const QString& t) { heard.append(t); });
        c.change(tab->list());
        QObject::disconnect(watch);
        EXPECT_EQ(kunde->currentText(), QStringLiteral("Meier Süd"));
        EXPECT_TRUE(heard.isEmpty()) << heard.join(u'|').toStdString();
        expectComboIsList();
    }
}

// A load of many names is one reset of the model, not one notification per name.
TEST_F(CustomerTabTest, ALoadIsOneResetOfTheList) {
    QAbstractItemModel* model = tab->ListView1->model();
    EXPECT_EQ(kunde->model(), model) << "the drop-down shares the list's model";
    int resets = 0;
    int rowSignals = 0;
    QObject::connect(model, &QAbstractItemModel::modelReset, &pages, [&] { ++resets; });
    for (auto rowsSignal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
        QObject::connect(model, rowsSignal, &pages, [&] { ++rowSignals; });
    QObject::connect(model, &QAbstractItemModel::dataChanged, &pages, [&] { ++rowSignals; });
    QObject::connect(model, &QAbstractItemModel::layoutChanged, &pages, [&] { ++rowSignals; });
    load(tab->list(), {QStringLiteral("Zeiler"), QStringLiteral("Abel"), QStringLiteral("Meier"),
                       QStringLiteral("Bauer")});
    EXPECT_EQ(resets, 1);
    EXPECT_EQ(rowSignals, 0);
    expectComboIsList();
    EXPECT_EQ(tab->ListView1->model()->rowCount(), 4);
}

} // namespace
} // namespace pyrelto
