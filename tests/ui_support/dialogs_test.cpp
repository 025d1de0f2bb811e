#include "dialogs.h"
#include "ui_test_support.h"

#include <stdexcept>

namespace pyrelto {
namespace {

using test::FakeDialogs;
using test::UiTest;

TEST(QtFileFilter, DescriptionPatternPairsBecomeQtFilters) {
    struct Row {
        const char* name;
        const char16_t* filter;
        const char16_t* expected;
    };
    const Row rows[] = {
        {"calculation", u"Kalkulation (*.kal)|*.kal", u"Kalkulation (*.kal)"},
        {"preset", u"Material (*.mat)|*.mat", u"Material (*.mat)"},
        {"patternsAddedWhenNotShown", u"Alle Dateien|*.*", u"Alle Dateien (*.*)"},
        {"twoPairs", u"Kalkulation (*.kal)|*.kal|Alle|*.*", u"Kalkulation (*.kal);;Alle (*.*)"},
        {"severalPatterns", u"Daten|*.kal;*.mat", u"Daten (*.kal *.mat)"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(qtFileFilter(QString::fromUtf16(row.filter)), QString::fromUtf16(row.expected));
    }
}

class ErrorReportTest : public UiTest {};

TEST_F(ErrorReportTest, AnEscapedErrorShowsItsTextUnderTheApplicationTitle) {
    try {
        throw std::runtime_error("I/O error 5");
    } catch (...) {
        reportCurrentException(nullptr);
    }
    try {
        throw 42;
    } catch (...) {
        reportCurrentException(nullptr);
    }
    ASSERT_EQ(dialogs_.messages.size(), 2U);
    for (const FakeDialogs::Message& m : dialogs_.messages) {
        EXPECT_EQ(m.caption, QStringLiteral("Pyrelto Kalkulation"));
        EXPECT_EQ(m.icon, Dialogs::Icon::Error);
    }
    EXPECT_EQ(dialogs_.messages[0].text, QStringLiteral("I/O error 5"));
    EXPECT_FALSE(dialogs_.messages[1].text.isEmpty());
}

TEST_F(ErrorReportTest, TheInstalledDialogsAnswerUntilUninstalled) {
    EXPECT_EQ(&dialogs(), &dialogs_);
    setDialogs(nullptr);
    EXPECT_NE(dynamic_cast<QtDialogs*>(&dialogs()), nullptr);
    setDialogs(&dialogs_);
}

} // namespace
} // namespace pyrelto
