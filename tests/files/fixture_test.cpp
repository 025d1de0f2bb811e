// The file layouts checked against files assembled by hand from docs/file-formats.md
// (tests/fixtures/make_fixtures.py), not by the program: a writer and a reader that walk the same
// table would agree with each other even with two entries of that table swapped.

#include "calculation_file.h"
#include "customer_file.h"
#include "field_catalogue.h"
#include "file_test_support.h"
#include "material_preset.h"
#include "utf16.h"
#include "worked_example.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace pyrelto {
namespace {

std::filesystem::path fixture(const char* name) {
    return std::filesystem::path(PYRELTO_FIXTURE_DIR) / name;
}

FieldId field(const char* name) {
    const auto id = findField(name);
    if (!id) {
        ADD_FAILURE() << "no field is called " << name;
        return FieldId::KundeEd;
    }
    return *id;
}

struct Shown {
    const char* field;
    const char* text;
};

void expectShows(const Sheet& sheet, std::initializer_list<Shown> rows) {
    for (const auto& row : rows) {
        EXPECT_EQ(toUtf8(sheet.shownText(field(row.field))), row.text) << row.field;
    }
}

void enter(Sheet& sheet, std::initializer_list<Shown> steps) {
    for (const auto& step : steps) {
        sheet.enter(field(step.field), fromUtf8(step.text));
    }
}

// The README's worked example as typed, with a customer and a material name.
void typeWorkedExample(Sheet& sheet) {
    enter(sheet, {{"KundeEd", "Dachdeckerei Müller"}, {"Bez1Ed", "Schweißbahn"}});
    test::enterWorkedExample(sheet);
}

class FileFixtureTest : public ::testing::Test {
protected:
    FileFixtureTest() { sheet.runCountRules(); }

    Sheet sheet;
    test::TempDir dir;
};

TEST(CalculationFileOrder, EveryEntryHoldsItsDocumentedField) {
    const struct {
        int entry;
        const char* field;
    } order[] = {
        {1, "AnzZeilenEd"}, {2, "AnzSonstEd"}, {3, "AnzStueckEd"}, {4, "LagenEd"},
        {5, "KundeEd"},     {6, "Bez1Ed"},     {7, "Bez2Ed"},      {8, "Bez3Ed"},
        {9, "Bez4Ed"},      {10, "Bez5Ed"},    {11, "Bez6Ed"},     {12, "Bez7Ed"},
        {13, "Bez8Ed"},     {14, "Bez10Ed"},   {15, "Bez11Ed"},    {16, "Bez12Ed"},
        {17, "Waehr15Ed"},  {18, "List1Ed"},   {19, "List2Ed"},    {20, "List3Ed"},
        {21, "List4Ed"},    {22, "List5Ed"},   {23, "Rab1Ed"},     {24, "Rab2Ed"},
        {25, "Rab3Ed"},     {26, "Rab4Ed"},    {27, "Rab5Ed"},     {28, "Ek1Ed"},
        {29, "Ek2Ed"},      {30, "Ek3Ed"},     {31, "Ek4Ed"},      {32, "Ek5Ed"},
        {33, "Ek8Ed"},      {34, "Ek9Ed"},     {35, "Ver1Ed"},     {36, "Ver2Ed"},
        {37, "Ver3Ed"},     {38, "Ver4Ed"},    {39, "Ver5Ed"},     {40, "Anz8Ed"},
        {41, "Ver9Ed"},     {42, "Summe1Ed"},  {43, "Summe2Ed"},   {44, "Summe3Ed"},
        {45, "Summe4Ed"},   {46, "Summe5Ed"},  {47, "Summe6Ed"},   {48, "Summe7Ed"},
        {49, "Summe8Ed"},   {50, "Summe9Ed"},  {51, "Summe10Ed"},  {52, "Summe11Ed"},
        {53, "Summe12Ed"},  {54, "Summe13Ed"}, {55, "Summe15Ed"},  {56, "Dach14Ed"},
        {57, "MwStEd"},     {58, "BruttoEd"},  {59, "Bez7Ed2"},    {60, "Bez7Ed3"},
        {61, "Bez7Ed4"},    {62, "Summe7Ed2"}, {63, "Summe7Ed3"},  {64, "Summe7Ed4"},
        {65, "Bez8Ed2"},    {66, "Bez8Ed3"},   {67, "Bez8Ed4"},    {68, "Bez8Ed5"},
        {69, "Ek8Ed2"},     {70, "Ek8Ed3"},    {71, "Ek8Ed4"},     {72, "Ek8Ed5"},
        {73, "Anz8Ed2"},    {74, "Anz8Ed3"},   {75, "Anz8Ed4"},    {76, "Anz8Ed5"},
        {77, "Summe8Ed2"},  {78, "Summe8Ed3"}, {79, "Summe8Ed4"},  {80, "Summe8Ed5"},
    };
    const auto actual = calculationFileOrder();
    ASSERT_EQ(std::size(order), actual.size());
    for (std::size_t i = 0; i < actual.size(); ++i) {
        EXPECT_EQ(order[i].entry, static_cast<int>(i) + 1);
        EXPECT_EQ(fieldInfo(actual[i]).name, order[i].field) << "entry " << order[i].entry;
    }
}

TEST_F(FileFixtureTest, WorkedExampleIsWrittenByteForByte) {
    typeWorkedExample(sheet);
    savefile(sheet, test::name16(dir / "written.kal"));
    EXPECT_EQ(test::readBytes(dir / "written.kal"), test::readBytes(fixture("worked_example.kal")));
}

TEST_F(FileFixtureTest, WorkedExampleLoadsIntoItsFieldsByName) {
    openfile(sheet, test::name16(fixture("worked_example.kal")));
    expectShows(sheet, {{"AnzZeilenEd", "1"},
                        {"AnzSonstEd", "2"},
                        {"AnzStueckEd", "1"},
                        {"LagenEd", "3"},
                        {"KundeEd", "Dachdeckerei Müller"},
                        {"Bez1Ed", "Schweißbahn"},
                        {"Bez2Ed", ""},
                        {"Bez6Ed", "Gas"},
                        {"Bez7Ed", "Titanol"},
                        {"Bez8Ed", "Tellerdübel"},
                        {"Bez10Ed", "Pyrelto 1. Lage"},
                        {"Bez11Ed", "Pyrelto 2. Lage"},
                        {"Bez12Ed", "Pyrelto 3. Lage"},
                        {"Waehr15Ed", "€"},
                        {"List2Ed", "0,00"},
                        {"Ver9Ed", "15,00"},
                        {"Summe12Ed", "0,00"},
                        {"MwStEd", "19,00"},
                        {"Bez7Ed2", ""},
                        {"Summe7Ed2", "0,00"},
                        {"Anz8Ed5", "0"}});
    for (const auto& row : test::workedExample) {
        EXPECT_EQ(sheet.shownText(row.field), row.shown) << fieldInfo(row.field).name;
    }
}

TEST_F(FileFixtureTest, BaseSectionFileIsWrittenAndLoadedByName) {
    enter(sheet, {{"LagenEd", "1"},
                  {"KundeEd", "Bäckerei Groß"},
                  {"Summe10Ed", "5,5"},
                  {"Dach14Ed", "100"}});
    CalculationContent content = captureCalculation(sheet);
    content.entryCount = kBaseSectionEntries;
    MemoryWriter out;
    writeCalculation(out, content);
    EXPECT_EQ(out.bytes(), test::readBytes(fixture("base_section.kal")));

    // Loaded over a sheet whose extension fields hold something: those keep it.
    Sheet other;
    other.runCountRules();
    enter(other, {{"Bez7Ed2", "Kehlblech"}, {"Summe7Ed2", "1,25"}, {"Anz8Ed3", "7"}});
    openfile(other, test::name16(fixture("base_section.kal")));
    expectShows(other, {{"LagenEd", "1"},
                        {"KundeEd", "Bäckerei Groß"},
                        {"Summe10Ed", "5,50"},
                        {"Summe11Ed", "0,00"},
                        {"Summe13Ed", "5,50"},
                        {"Dach14Ed", "100,00"},
                        {"Summe15Ed", "550,00"},
                        {"BruttoEd", "654,50"},
                        {"Bez7Ed2", "Kehlblech"},
                        {"Summe7Ed2", "1,25"},
                        {"Anz8Ed3", "7"}});
    EXPECT_FALSE(other.shown(RowId::Panel12));
}

// Umlauts, ß, a character outside the BMP and an empty name, in list order.
const std::vector<std::u16string> kCustomers = {u"Müller", u"Öztürk GmbH", u"Straße 🏠 Nord", u""};

TEST_F(FileFixtureTest, CustomerListIsWrittenAndReadByteForByte) {
    ASSERT_TRUE(writeCustomerFile(test::name16(dir / "options.dat"), kCustomers, false));
    EXPECT_EQ(test::readBytes(dir / "options.dat"), test::readBytes(fixture("customers.dat")));

    const auto names = readCustomerFile(test::name16(fixture("customers.dat")));
    ASSERT_TRUE(names.has_value());
    EXPECT_EQ(*names, kCustomers);
    EXPECT_EQ((*names)[2].size(), 14U) << "the house is one surrogate pair";
}

TEST_F(FileFixtureTest, MaterialPresetIsWrittenAndLoadsIntoItsRowByName) {
    const MaterialPreset preset{u"Schweißbahn Ø 4 mm", 9.99, 35.0, 6.49, 15.0, 7.46};
    savemat(test::name16(dir / "written.mat"), preset);
    EXPECT_EQ(test::readBytes(dir / "written.mat"), test::readBytes(fixture("schweissbahn.mat")));

    const MaterialPreset loaded = loademat(test::name16(fixture("schweissbahn.mat")));
    EXPECT_EQ(loaded, preset);
    enter(sheet, {{"AnzZeilenEd", "3"}});
    applyMaterialRow(sheet, 2, loaded);
    expectShows(sheet, {{"Bez3Ed", "Schweißbahn Ø 4 mm"},
                        {"List3Ed", "9,99"},
                        {"Rab3Ed", "35,00"},
                        {"Ek3Ed", "6,49"},
                        {"Ver3Ed", "15,00"},
                        {"Summe3Ed", "7,46"},
                        {"Ek9Ed", "7,46"},
                        {"Bez1Ed", ""},
                        {"List1Ed", "0,00"}});
}

} // namespace
} // namespace pyrelto
