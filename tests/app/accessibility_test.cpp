// What a screen reader meets: the accessibility tree of the whole window, walked from the top the
// way assistive technology walks it, not the widgets' properties read directly.

#include "MainUnit.h"
#include "customer_tab.h"
#include "qt_strings.h"
#include "sheet_view.h"
#include "ui_test_support.h"

#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeView>
#include <map>
#include <memory>
#include <set>

namespace pyrelto {
namespace {

using test::toStd;
using test::UiTest;

struct Spoken {
    QString name;
    QAccessible::Role role;
};

// Every object the tree reaches from `root`, with what it says.
void walk(QAccessibleInterface* node, std::map<const QObject*, Spoken>& out, int depth = 0) {
    ASSERT_LT(depth, 64) << "the accessibility tree does not end";
    if (node == nullptr || !node->isValid()) {
        return;
    }
    if (QObject* object = node->object()) {
        out[object] = {node->text(QAccessible::Name), node->role()};
    }
    for (int i = 0; i < node->childCount(); ++i) {
        walk(node->child(i), out, depth + 1);
    }
}

class AccessibilityTest : public UiTest {
protected:
    void SetUp() override {
        QAccessible::setActive(true);
        form_ = std::make_unique<TMainForm>();
        // Every row shown, so that nothing hides from the walk for the wrong reason.
        for (FieldId count :
             {FieldId::AnzZeilenEd, FieldId::AnzSonstEd, FieldId::AnzStueckEd, FieldId::LagenEd}) {
            form_->sheet().number(count).SetValue(5);
        }
        // The customer page makes its buttons and list when first shown, as a user switching to it
        // would have it do.
        form_->customerTab();
        form_->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form_.get()));
        walk(QAccessible::queryAccessibleInterface(form_.get()), spoken_);
    }
    void TearDown() override {
        form_.reset();
        QAccessible::setActive(false);
    }

    const Spoken* find(const QObject* object) const {
        const auto it = spoken_.find(object);
        return it == spoken_.end() ? nullptr : &it->second;
    }

    std::unique_ptr<TMainForm> form_;
    std::map<const QObject*, Spoken> spoken_;
};

TEST_F(AccessibilityTest, FieldsAreNamedByCaptionAndRow) {
    const struct {
        FieldId id;
        const char* name;
    } cases[] = {
        {FieldId::List2Ed, "Listenpreis, Material 2"},
        {FieldId::Rab1Ed, "Rabatt %, Material 1"},
        {FieldId::Summe5Ed, "Summe, Material 5"},
        {FieldId::Bez7Ed3, "Sonstiges pro m², Sonstiges 4"},
        {FieldId::Anz8Ed2, "Stück pro m², Stück 2"},
        {FieldId::Summe10Ed, "Summe, Lage 1"},
        {FieldId::Bez12Ed, "Bezeichnung, Lage 3"},
        {FieldId::AnzZeilenEd, "Anzahl Materialzeilen"},
        {FieldId::KundeEd, "Kundenname"},
        {FieldId::Ek9Ed, "Zwischensumme"},
        {FieldId::BruttoEd, "Endsumme Brutto"},
        {FieldId::Waehr15Ed, "Währung"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Spoken* s = find(form_->ScrollBox1->fieldWidget(c.id));
        ASSERT_NE(s, nullptr) << "the walk never reaches the field";
        EXPECT_EQ(s->name, QString::fromUtf8(c.name));
    }
}

TEST_F(AccessibilityTest, EveryFieldIsReachedWithAnEditRoleAndANameOfItsOwn) {
    std::set<QString> names;
    for (const FieldInfo& info : fieldCatalogue()) {
        SCOPED_TRACE(std::string(info.name));
        const Spoken* s = find(form_->ScrollBox1->fieldWidget(info.id));
        ASSERT_NE(s, nullptr) << "the walk never reaches the field";
        EXPECT_FALSE(s->name.isEmpty());
        EXPECT_TRUE(names.insert(s->name).second)
            << "spoken like another field: " << s->name.toStdString();
        const QAccessible::Role expected = !isNumeric(info.id)           ? QAccessible::EditableText
                                           : info.id == FieldId::KundeEd ? QAccessible::ComboBox
                                                                         : QAccessible::SpinBox;
        EXPECT_TRUE(s->role == expected || s->role == QAccessible::ComboBox) << "role " << s->role;
    }
}

// A numeric field is a spin box to a screen reader: value, limits, step, and the spin button's
// steps as actions.
TEST_F(AccessibilityTest, NumericFieldsAreSpinBoxesWithValueLimitsAndSteps) {
    const auto node = [this](FieldId id) {
        return QAccessible::queryAccessibleInterface(form_->ScrollBox1->fieldWidget(id));
    };
    QAccessibleInterface* rows = node(FieldId::AnzZeilenEd);
    ASSERT_NE(rows, nullptr);
    EXPECT_EQ(rows->role(), QAccessible::SpinBox);
    QAccessibleValueInterface* value = rows->valueInterface();
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(value->currentValue().toDouble(), 5.0);
    EXPECT_EQ(value->minimumValue().toDouble(), 1.0);
    EXPECT_EQ(value->maximumValue().toDouble(), 5.0);
    EXPECT_EQ(value->minimumStepSize().toDouble(), 1.0);
    EXPECT_EQ(rows->text(QAccessible::Value), QStringLiteral("5"));

    QAccessibleActionInterface* actions = rows->actionInterface();
    ASSERT_NE(actions, nullptr);
    ASSERT_TRUE(actions->actionNames().contains(QAccessibleActionInterface::decreaseAction()));
    actions->doAction(QAccessibleActionInterface::decreaseAction());
    EXPECT_EQ(form_->sheet().number(FieldId::AnzZeilenEd).GetValue(), 4);
    EXPECT_FALSE(form_->ScrollBox1->fieldWidget(FieldId::Summe5Ed)->isVisible())
        << "the fifth material row goes with the step, as with the spin button";
    value->setCurrentValue(9.0);
    EXPECT_EQ(form_->sheet().number(FieldId::AnzZeilenEd).GetValue(), 5) << "kept in its limits";

    // A price has no limit to announce.
    QAccessibleInterface* price = node(FieldId::List1Ed);
    ASSERT_NE(price, nullptr);
    EXPECT_FALSE(price->valueInterface()->maximumValue().isValid());
}

TEST_F(AccessibilityTest, EachCaptionIsItsFieldsBuddy) {
    for (const FieldInfo& info : fieldCatalogue()) {
        SCOPED_TRACE(std::string(info.name));
        QLabel* caption = form_->ScrollBox1->caption(info.id);
        if (info.caption.empty()) {
            EXPECT_EQ(caption, nullptr);
            continue;
        }
        ASSERT_NE(caption, nullptr);
        EXPECT_EQ(caption->buddy(), form_->ScrollBox1->fieldWidget(info.id));
    }
}

TEST_F(AccessibilityTest, ButtonsListAndSearchFieldAreNamed) {
    CustomerTab* tab = form_->customerTab();
    const struct {
        const char* what;
        const QObject* object;
        const char* name;
        QAccessible::Role role;
    } cases[] = {
        {"BitBtn11", form_->BitBtn11, "Öffnen...", QAccessible::Button},
        {"BitBtn13", form_->BitBtn13, "Drucken", QAccessible::Button},
        {"BitBtn3", form_->ScrollBox1->presetButton(1, false), "Material speichern, Material 2",
         QAccessible::Button},
        {"BitBtn10", form_->ScrollBox1->presetButton(4, true), "Material laden, Material 5",
         QAccessible::Button},
        {"BitBtn14", tab->BitBtn14, "Neuer Kunde", QAccessible::Button},
        {"BitBtn19", tab->BitBtn19, "Weiter suchen", QAccessible::Button},
        {"SuchEd", tab->SuchEd, "Suchtext", QAccessible::EditableText},
        {"ListView1", tab->ListView1, "Kundenliste", QAccessible::Tree},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const Spoken* s = find(c.object);
        ASSERT_NE(s, nullptr) << "the walk never reaches it";
        EXPECT_EQ(s->name, QString::fromUtf8(c.name));
        EXPECT_EQ(s->role, c.role);
    }
    // Nothing a user can press or type into is left without a name.
    for (const auto& [object, s] : spoken_) {
        if (s.role == QAccessible::Button || s.role == QAccessible::EditableText) {
            EXPECT_FALSE(s.name.isEmpty())
                << "unnamed " << s.role << ' ' << object->metaObject()->className() << ' '
                << object->objectName().toStdString();
        }
    }
}

// Where the walk meets each object, depth first, and the list it meets it inside, if any.
struct Met {
    std::size_t at;
    const QObject* insideList;
};

void walkInOrder(QAccessibleInterface* node, std::map<const QObject*, Met>& out,
                 const QObject* insideList = nullptr, int depth = 0) {
    ASSERT_LT(depth, 64) << "the accessibility tree does not end";
    if (node == nullptr || !node->isValid()) {
        return;
    }
    QObject* object = node->object();
    if (object != nullptr) {
        out.try_emplace(object, Met{out.size(), insideList});
    }
    if (node->role() == QAccessible::Tree || node->role() == QAccessible::List) {
        insideList = object;
    }
    for (int i = 0; i < node->childCount(); ++i) {
        walkInOrder(node->child(i), out, insideList, depth + 1);
    }
}

// A screen reader reads the customer tab as one sees it: the button panel above the list first,
// and none of it among the list's column header and rows.
TEST_F(AccessibilityTest, TheCustomerTabReadsTopDownAndItsButtonsStandBesideTheList) {
    form_->PageControl1->setCurrentWidget(form_->customerPage());
    CustomerTab* tab = form_->customerTab();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(tab));
    std::map<const QObject*, Met> met;
    walkInOrder(QAccessible::queryAccessibleInterface(tab), met);
    const auto list = met.find(tab->ListView1);
    ASSERT_NE(list, met.end());
    const int listTop = tab->ListView1->mapTo(tab, QPoint(0, 0)).y();
    int above = 0;
    for (const auto& [object, where] : met) {
        const auto* widget = qobject_cast<const QWidget*>(object);
        if (widget == nullptr || widget == tab || !widget->isVisible() ||
            widget->mapTo(tab, QPoint(0, widget->height())).y() > listTop) {
            continue;
        }
        SCOPED_TRACE(toStd(widget->objectName()) + " " + widget->metaObject()->className());
        EXPECT_LT(where.at, list->second.at) << "read after the list below it";
        EXPECT_EQ(where.insideList, nullptr) << "read as a part of the list";
        ++above;
    }
    EXPECT_GE(above, 8) << "the six buttons, the label and the search field";
}

} // namespace
} // namespace pyrelto
