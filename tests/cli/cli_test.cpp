#include "cli.h"
#include "cli_module.h"
#include "decimal_text.h"
#include "file_test_support.h"
#include "sheet.h"
#include "utf16.h"
#include "worked_example.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#ifdef PYRELTO_STORE
#include "store.h"
#endif

namespace pyrelto {
namespace {

// The database as pyrelto-cli opens it in a build without Qt.
[[maybe_unused]] const bool plainStore = registerCliStoreAccess(plainCliStoreAccess());

struct CliRun {
    int status;
    std::string out;
    std::string err;
    nlohmann::json json() const { return nlohmann::json::parse(out); }
};

CliRun cli(std::vector<std::string> args) {
    std::ostringstream out;
    std::ostringstream err;
    const int status = runCli(args, out, err);
    return {status, out.str(), err.str()};
}

// The command line is UTF-8 on every system (pyrelto-cli's wmain converts on Windows).
std::string utf8(const std::filesystem::path& p) {
    const auto u8 = p.u8string();
    return std::string(u8.begin(), u8.end());
}

TEST(Cli, WorkedExampleAndItsVariations) {
    struct Row {
        const char* name;
        std::vector<std::string> extra;
        std::map<std::string, std::string> expected; // written with ","
    };
    std::map<std::string, std::string> asEntered;
    for (const auto& row : test::workedExample) {
        asEntered[std::string(fieldInfo(row.field).name)] = toUtf8(row.shown);
    }
    const Row rows[] = {
        {"as entered", {}, asEntered},
        {"one other-cost row",
         {"AnzSonstEd=1"},
         {{"Ek9Ed", "8,29"},
          {"Summe9Ed", "9,53"},
          {"Summe13Ed", "20,03"},
          {"Summe15Ed", "480,72"},
          {"BruttoEd", "572,06"}}},
        {"seven percent VAT", {"MwStEd=7"}, {{"Summe15Ed", "486,24"}, {"BruttoEd", "520,28"}}},
    };
    for (const auto& r : rows) {
        for (const char sep : {',', '.'}) {
            SCOPED_TRACE(std::string(r.name) + " with " + sep);
            std::vector<std::string> steps = test::workedExampleArguments(sep);
            steps.insert(steps.end(), r.extra.begin(), r.extra.end());
            const CliRun run = cli(steps);
            ASSERT_EQ(run.status, 0) << run.err;
            const auto fields = run.json()["fields"];
            for (auto [name, text] : r.expected) {
                for (auto& c : text) {
                    c = c == ',' ? sep : c;
                }
                EXPECT_EQ(fields[name], text) << name;
            }
        }
    }
}

TEST(Cli, PrintsEveryFieldInSheetOrderAndTheShownRows) {
    const CliRun run = cli({"--separator=,", "AnzZeilenEd=9", "KundeEd=Müller & Söhne"});
    ASSERT_EQ(run.status, 0);
    const auto j = nlohmann::ordered_json::parse(run.out);
    ASSERT_EQ(j["fields"].size(), 80U);
    EXPECT_EQ(j["fields"].begin().key(), "AnzZeilenEd");
    EXPECT_EQ(j["fields"]["AnzZeilenEd"], "5"); // clamped on leaving
    EXPECT_EQ(j["fields"]["KundeEd"], "Müller & Söhne");
    EXPECT_EQ(j["fields"]["Bez8Ed"], "Tellerdübel");
    ASSERT_EQ(j["shown"].size(), 18U);
    EXPECT_EQ(j["shown"]["Panel6"], true);
    EXPECT_EQ(j["shown"]["Panel19"], false);
}

TEST(Cli, SaveAndOpenStepsWithFailuresThatDoNotStopTheRest) {
    const test::TempDir dir;
    const std::string file = utf8(dir / "dach.kal");
    std::vector<std::string> steps = test::workedExampleArguments(',');
    steps.insert(steps.end(), {"KundeEd=Müller", "--save", file});
    ASSERT_EQ(cli(steps).status, 0);

    // A failing step reports, the following steps still run, the sheet is printed: status 1.
    const CliRun run =
        cli({"--separator=,", "--open", utf8(dir / "fehlt.kal"), "--open", file, "MwStEd=7"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("Konnte die Datei nicht öffnen."), std::string::npos);
    const auto fields = run.json()["fields"];
    EXPECT_EQ(fields["KundeEd"], "Müller");
    EXPECT_EQ(fields["Summe15Ed"], "486,24");
    EXPECT_EQ(fields["BruttoEd"], "520,28");

    const CliRun bad = cli({"--save", utf8(dir / "kein" / "ordner.kal")});
    EXPECT_EQ(bad.status, 1);
    EXPECT_NE(bad.err.find("Konnte die Datei nicht anlegen."), std::string::npos);
}

TEST(Cli, MalformedCommandLinesPrintNothing) {
    for (const auto& args : std::vector<std::vector<std::string>>{{"Nope=1"},
                                                                  {"List1Ed"},
                                                                  {"--frobnicate"},
                                                                  {"--separator=5"},
                                                                  {"--separator=ab"},
                                                                  {"List1Ed=1", "--open"}}) {
        SCOPED_TRACE(args.front());
        const CliRun run = cli(args);
        EXPECT_EQ(run.status, 2);
        EXPECT_TRUE(run.out.empty());
        EXPECT_FALSE(run.err.empty());
    }
}

#ifndef _WIN32
// Windows takes the separator from the regional settings instead; scripts/test_windows.sh runs
// the program there under two of them.
TEST(Cli, DefaultSeparatorFollowsTheEnvironment) {
    struct Row {
        const char* lcAll;
        const char* lang;
        char16_t separator;
    };
    const Row rows[] = {{"", "de_DE.UTF-8", u','}, {"", "en_US.UTF-8", u'.'},
                        {"", "de_CH.UTF-8", u'.'}, {"C", "de_DE.UTF-8", u'.'},
                        {"fr_FR", "en_US", u','},  {"", "", u'.'}};
    for (const auto& r : rows) {
        SCOPED_TRACE(std::string(r.lcAll) + "/" + r.lang);
        ::setenv("LC_ALL", r.lcAll, 1);
        ::unsetenv("LC_NUMERIC");
        ::setenv("LANG", r.lang, 1);
        EXPECT_EQ(separatorFromEnvironment(), r.separator);
    }
    ::setenv("LANG", "de_DE.UTF-8", 1);
    ::setenv("LC_ALL", "", 1);
    const CliRun run = cli({"List1Ed=1,5"});
    EXPECT_EQ(run.json()["fields"]["List1Ed"], "1,50");
    ::unsetenv("LC_ALL");
    ::unsetenv("LANG");
}

#endif

} // namespace
} // namespace pyrelto

namespace pyrelto {
namespace {

// The steps a build with Qt adds ride on the driver's order and failure rule; the std-only driver
// itself knows none of them.
TEST(Cli, AddedFileStepsRunInOrderUnderTheFailureRule) {
    std::vector<std::string> seen;
    const std::vector<CliFileStep> extra{
        {"--note",
         [&seen](CliContext& context, const std::string& file, std::ostream& err) {
             seen.push_back(file + "@" +
                            std::to_string(context.sheet.number(FieldId::Dach14Ed).GetValue() > 0));
             err << "warning only\n";
         }},
        {"--fail", [](CliContext&, const std::string&, std::ostream&) {
             throw std::runtime_error("Die Datei konnte nicht angelegt werden.");
         }}};
    struct Row {
        const char* name;
        std::vector<std::string> args;
        int status;
        std::vector<std::string> seen;
        const char* errPart;
    };
    const Row rows[] = {
        {"warning_is_no_failure",
         {"--note", "a.pdf", "Dach14Ed=24", "--note", "b.pdf"},
         0,
         {"a.pdf@0", "b.pdf@1"},
         "warning only"},
        {"failure_lets_the_rest_run",
         {"--fail", "x.pdf", "--note", "c.pdf"},
         1,
         {"c.pdf@0"},
         "pyrelto-cli: Die Datei konnte nicht angelegt werden."},
        {"missing_file_name", {"--note"}, 2, {}, "--note needs a file name"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        seen.clear();
        std::ostringstream out;
        std::ostringstream err;
        EXPECT_EQ(runCli(row.args, out, err, extra), row.status);
        EXPECT_EQ(seen, row.seen);
        EXPECT_NE(err.str().find(row.errPart), std::string::npos) << err.str();
        EXPECT_EQ(out.str().empty(), row.status == 2);
    }
}

// The options of an offer ride before --offer, in order; a value the offer cannot use refuses the
// whole command line. Without an --offer step they are unknown.
TEST(Cli, OfferOptionsReachTheOfferStep) {
    std::vector<CliOfferOptions> seen;
    const std::vector<CliFileStep> offerStep{
        {"--offer", [&seen](CliContext& context, const std::string&, std::ostream&) {
             seen.push_back(context.offer);
         }}};
    std::ostringstream out;
    std::ostringstream err;
    ASSERT_EQ(runCli(std::vector<std::string>{"--offer",
                                              "a.pdf",
                                              "--tax-case",
                                              "13b",
                                              "--private",
                                              "--site",
                                              "Am Markt 3",
                                              "--period",
                                              "2027-03-01..2027-03-12",
                                              "--instalments",
                                              "30,40",
                                              "--signature-line",
                                              "--acceptance-slip",
                                              "--offer",
                                              "b.pdf",
                                              "--tax-case",
                                              "19",
                                              "--period",
                                              "nach-vereinbarung",
                                              "--offer",
                                              "c.pdf"},
                     out, err, offerStep),
              0)
        << err.str();
    ASSERT_EQ(seen.size(), 3U);
    EXPECT_EQ(seen[0].taxCase, TaxCase::Normal);
    EXPECT_FALSE(seen[0].acceptanceSlip);
    EXPECT_EQ(seen[1].taxCase, TaxCase::ReverseCharge);
    EXPECT_TRUE(seen[1].privateCustomer);
    EXPECT_EQ(seen[1].site, u"Am Markt 3");
    EXPECT_EQ(seen[1].period, (ExecutionPeriod{{2027, 3, 1}, {2027, 3, 12}, false}));
    EXPECT_EQ(seen[1].instalments, (std::vector<int>{30, 40}));
    EXPECT_TRUE(seen[1].signatureLine);
    EXPECT_TRUE(seen[1].acceptanceSlip);
    EXPECT_EQ(seen[2].taxCase, TaxCase::SmallBusiness);
    EXPECT_TRUE(seen[2].period.byArrangement);
    EXPECT_EQ(seen[2].site, u"Am Markt 3"); // kept for the next offer of the run

    struct Row {
        std::vector<std::string> args;
        const char* errPart;
    };
    const Row refused[] = {
        {{"--tax-case", "7", "--offer", "a.pdf"}, "--tax-case takes normal, 13b or 19"},
        {{"--tax-case"}, "--tax-case needs a value"},
        {{"--period", "2027-03-12..2027-03-01"}, "--period takes"},
        {{"--period", "nächste Woche"}, "--period takes"},
        {{"--period", ".."}, "--period takes"},
        {{"--instalments", "60,50"}, "--instalments takes"},
        {{"--instalments", "dreißig"}, "--instalments takes"},
    };
    for (const Row& row : refused) {
        SCOPED_TRACE(row.args.front() + " " + row.args.back());
        seen.clear();
        std::ostringstream refusedOut;
        std::ostringstream refusedErr;
        EXPECT_EQ(runCli(row.args, refusedOut, refusedErr, offerStep), 2);
        EXPECT_TRUE(refusedOut.str().empty());
        EXPECT_TRUE(seen.empty());
        EXPECT_NE(refusedErr.str().find(row.errPart), std::string::npos) << refusedErr.str();
    }
    const CliRun without = cli({"--tax-case", "13b"});
    EXPECT_EQ(without.status, 2);
    EXPECT_NE(without.err.find("unknown option"), std::string::npos) << without.err;
}

// The hook main() uses: steps a library registers are offered, run and released.
TEST(Cli, RegisteredStepsJoinTheDriverAndAreReleased) {
    std::vector<std::string> seen;
    int released = 0;
    const std::size_t before = registeredCliSteps().size();
    EXPECT_TRUE(
        registerCliSteps({{"--registered", [&seen](CliContext&, const std::string& file,
                                                   std::ostream&) { seen.push_back(file); }}},
                         [&released] { ++released; }));
    ASSERT_EQ(registeredCliSteps().size(), before + 1);
    std::ostringstream out;
    std::ostringstream err;
    EXPECT_EQ(
        runCli(std::vector<std::string>{"--registered", "r.pdf"}, out, err, registeredCliSteps()),
        0)
        << err.str();
    EXPECT_EQ(seen, std::vector<std::string>{"r.pdf"});
    releaseCliSteps();
    EXPECT_EQ(released, 1);
}

// --help and the manual page name every step and option the command line reads; a step added
// to the parser without them fails here.
TEST(Cli, HelpAndManualPageNameEveryStep) {
    std::vector<std::string> options = {"NAME=TEXT", "--open",       "--save",
                                        "--takeoff", "--separator=", "--help"};
#ifdef PYRELTO_STORE
    options.insert(options.end(), {"--store", "--offers", "--import-prices", "--supplier",
                                   "--columns", "--pick", "--reprice", "--dry-run"});
#endif
    // The module's steps and the offer options that come with --offer.
    const std::vector<CliFileStep> moduleSteps = cliModuleStepOptions();
    for (const CliFileStep& step : moduleSteps) {
        options.push_back(step.option);
        options.insert(options.end(), step.valueOptions.begin(), step.valueOptions.end());
    }
    options.insert(options.end(), {"--tax-case", "--private", "--site", "--period", "--instalments",
                                   "--signature-line", "--acceptance-slip"});

    std::ostringstream out;
    std::ostringstream err;
    ASSERT_EQ(runCli(std::vector<std::string>{"Dach14Ed=24", "--help"}, out, err, moduleSteps), 0);
    EXPECT_TRUE(err.str().empty()) << err.str();
    const std::string help = out.str();
    EXPECT_NE(help.find("Aufruf: pyrelto-cli"), std::string::npos) << help;
    EXPECT_EQ(help.find("\"fields\""), std::string::npos) << "nothing ran";

    std::ifstream page(std::filesystem::path(PYRELTO_SOURCE_DIR) / "data/man/pyrelto-cli.1");
    std::string manual((std::istreambuf_iterator<char>(page)), std::istreambuf_iterator<char>());
    ASSERT_FALSE(manual.empty());
    // Roff writes a minus as "\-" and separates a bold name from its italic value by a space.
    for (std::size_t at = manual.find("\\-"); at != std::string::npos; at = manual.find("\\-", at))
        manual.erase(at, 1);
    for (const std::string& option : options) {
        SCOPED_TRACE(option);
        EXPECT_NE(help.find(option), std::string::npos);
        const std::string name = option.substr(0, option.find('='));
        EXPECT_NE(manual.find(name), std::string::npos);
    }
}

// Without its module, a step that needs it fails alone with a message that says what is missing:
// the rest of the run stands and the sheet is still printed.
TEST(Cli, ModuleThatCannotBeLoadedFailsOnlyItsSteps) {
    const test::TempDir dir;
    const auto broken = dir / "pyrelto-cli-qt.so";
    std::ofstream(broken) << "kein Programmteil";
    struct Row {
        const char* name;
        std::vector<std::filesystem::path> candidates;
        const char* says;
    };
    const Row rows[] = {
        {"missing", {dir / "fehlt.so"}, "ist nicht installiert"},
        {"broken", {dir / "fehlt.so", broken}, "lässt sich nicht laden"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        CliModuleLoader loader(row.candidates);
        const std::vector<CliFileStep> steps = loader.steps();
        std::ostringstream out;
        std::ostringstream err;
        EXPECT_EQ(runCli(std::vector<std::string>{"--separator=,", "--calculation-pdf",
                                                  utf8(dir / "k.pdf"), "Dach14Ed=24", "--offer",
                                                  utf8(dir / "a.pdf")},
                         out, err, steps),
                  1);
        EXPECT_NE(err.str().find(row.says), std::string::npos) << err.str();
        EXPECT_NE(err.str().find("neu"), std::string::npos) << err.str();
        EXPECT_EQ(nlohmann::json::parse(out.str())["fields"]["Dach14Ed"], "24,00");
        EXPECT_FALSE(std::filesystem::exists(dir / "k.pdf"));
        loader.release();
    }
}

TEST(Cli, OfferStepsAreUnknownWithoutQt) {
    for (const char* option : {"--offer", "--calculation-pdf"}) {
        SCOPED_TRACE(option);
        const CliRun run = cli({"Dach14Ed=24", option, "angebot.pdf"});
        EXPECT_EQ(run.status, 2);
        EXPECT_TRUE(run.out.empty());
        EXPECT_NE(run.err.find("unknown option"), std::string::npos) << run.err;
    }
}

#ifdef PYRELTO_STORE
// --offers lists the register of the store --store names, newest first; without --store it is the
// default store in the program data folder, which a run that only computes never creates.
TEST(Cli, OffersListTheRegisterAndNoRunCreatesAStoreUnasked) {
    const auto dir = std::filesystem::path(::testing::TempDir()) / "pyrelto-cli-offers";
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    const std::string path = utf8(dir / "firma.db");
    {
        const auto store = openStore(path);
        OfferEntry entry;
        entry.date = "2026-03-02";
        entry.validUntil = "2026-03-30";
        entry.customer = "Müller \"Dach\" '; DROP TABLE offers; -- 😀";
        entry.grossCents = 57863;
        store->recordOffer(entry);
        entry.date = "2026-03-05";
        entry.customer = "Schulz";
        entry.grossCents = 100;
        const std::string second = store->recordOffer(entry);
        store->markPdfWritten(second, "/tmp/b.pdf");
        store->setOfferStatus(second, OfferStatus::Accepted);
    }
    const CliRun run = cli({"KundeEd=X", "--store", path, "--offers"});
    ASSERT_EQ(run.status, 0) << run.err;
    const auto offers = nlohmann::ordered_json::parse(run.out)["offers"];
    ASSERT_EQ(offers.size(), 2u);
    EXPECT_EQ(offers[0].dump(), R"({"number":"2026-002","date":"2026-03-05","customer":"Schulz",)"
                                R"("grossCents":100,"status":"angenommen","pdfWritten":true})");
    EXPECT_EQ(offers[1]["number"], "2026-001");
    EXPECT_EQ(offers[1]["customer"], "Müller \"Dach\" '; DROP TABLE offers; -- 😀");
    EXPECT_EQ(offers[1]["status"], "offen");
    EXPECT_EQ(offers[1]["pdfWritten"], false);

    // The default store, in a data folder of its own: neither computing nor listing creates it.
    const auto data = dir / "data";
    const char* oldData = std::getenv("XDG_DATA_HOME");
    const std::string savedData = oldData ? oldData : "";
    ::setenv("XDG_DATA_HOME", utf8(data).c_str(), 1);
    EXPECT_EQ(cli({"Dach14Ed=24"}).status, 0);
    const CliRun empty = cli({"--offers"});
    EXPECT_EQ(empty.status, 0) << empty.err;
    EXPECT_EQ(empty.json()["offers"], nlohmann::json::array());
    EXPECT_FALSE(std::filesystem::exists(data));
    if (oldData)
        ::setenv("XDG_DATA_HOME", savedData.c_str(), 1);
    else
        ::unsetenv("XDG_DATA_HOME");

    // A store named that is not there is a failure of the step, not an empty register; the sheet
    // is still printed.
    const CliRun missing = cli({"--store", utf8(dir / "tippfehler.db"), "--offers"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("tippfehler.db“ gibt es nicht"), std::string::npos) << missing.err;
    EXPECT_FALSE(missing.json().contains("offers"));
    EXPECT_FALSE(std::filesystem::exists(dir / "tippfehler.db"));

    for (const auto& args : std::vector<std::vector<std::string>>{
             {"--store"}, {"--store", ""}, {"--store", path, "--store", path, "--offers"}}) {
        SCOPED_TRACE(args.size());
        const CliRun bad = cli(args);
        EXPECT_EQ(bad.status, 2);
        EXPECT_TRUE(bad.out.empty());
        EXPECT_NE(bad.err.find("--store"), std::string::npos) << bad.err;
    }
    std::filesystem::remove_all(dir);
}
#endif

// The README's take-off example, taken from the README itself, with the totals worked out there.
TEST(Cli, TakeOffOfTheReadmeExample) {
    std::ifstream readme(std::filesystem::path(PYRELTO_SOURCE_DIR) / "README.md");
    const std::string text((std::istreambuf_iterator<char>(readme)),
                           std::istreambuf_iterator<char>());
    const auto section = text.find("### Take-off from a JSON file");
    ASSERT_NE(section, std::string::npos);
    const auto begin = text.find("```json\n", section);
    ASSERT_NE(begin, std::string::npos);
    const auto end = text.find("```", begin + 8);
    const test::TempDir dir;
    std::ofstream(dir / "dach.json") << text.substr(begin + 8, end - begin - 8);

    std::vector<std::string> steps = test::workedExampleArguments(',');
    steps.pop_back(); // the area comes from the take-off
    steps.insert(steps.end(),
                 {"--takeoff", utf8(dir / "dach.json"), "--save", utf8(dir / "dach.kal")});
    const CliRun run = cli(steps);
    ASSERT_EQ(run.status, 0) << run.err;
    const auto j = run.json();
    EXPECT_EQ(j["fields"]["Dach14Ed"], "157,22");
    EXPECT_EQ(j["fields"]["Summe15Ed"], "3185,28");
    EXPECT_EQ(j["fields"]["BruttoEd"], "3790,48");
    const auto& t = j["takeoff"];
    EXPECT_EQ(t["totals"], nlohmann::json::parse(R"({"gross": "156,04", "deductions": "3,62",
                                                      "upstands": "4,80", "net": "157,22"})"));
    EXPECT_EQ(t["edges"]["Traufe"], "20,00");
    EXPECT_EQ(t["edges"]["Ortgang"], "26,00");
    EXPECT_EQ(t["edges"]["First"], "10,00");
    EXPECT_EQ(t["edges"]["Wandanschluss"], "6,00");
    EXPECT_EQ(t["faces"][0]["deductions"], "2,18");
    EXPECT_EQ(t["faces"][1]["area"], "26,04");

    // Kept in the file: opened again, the same take-off, with '.' as well.
    const CliRun opened = cli({"--separator=.", "--open", utf8(dir / "dach.kal")});
    ASSERT_EQ(opened.status, 0) << opened.err;
    EXPECT_EQ(opened.json()["takeoff"]["totals"]["net"], "157.22");
    EXPECT_EQ(opened.json()["fields"]["Dach14Ed"], "157.22");
}

TEST(Cli, FaultyTakeOffChangesNothing) {
    const test::TempDir dir;
    const struct {
        const char* name;
        const char* json;
        const char* message;
    } cases[] = {
        {"ZeroWidth", R"({"faces": [{"shape": "rectangle", "length": 10, "width": 0}]})",
         "Fläche 1: Breite: muss größer als 0,00 m sein."},
        {"ThreeDecimals", R"({"faces": [{"shape": "rectangle", "length": 10.005, "width": 2}]})",
         "faces[0].length: Höchstens zwei Nachkommastellen."},
        {"Typo", R"({"faces": [{"shape": "rectangle", "length": 10, "widht": 2}]})",
         "unbekannter Eintrag „widht“"},
        {"CrossingPolygon",
         R"({"faces": [{"shape": "polygon", "points": [[0,0],[4,4],[4,0],[0,4]]}]})",
         "die Seiten 1 und 3 kreuzen"},
        {"NoJson", "{faces", "kein gültiges JSON"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto file = dir / (std::string(c.name) + ".json");
        std::ofstream(file) << c.json;
        const CliRun run = cli({"--separator=,", "Dach14Ed=24", "--takeoff", utf8(file)});
        EXPECT_EQ(run.status, 1);
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
        const auto j = run.json();
        EXPECT_EQ(j["fields"]["Dach14Ed"], "24,00");
        EXPECT_FALSE(j.contains("takeoff"));
    }
}

} // namespace
} // namespace pyrelto
