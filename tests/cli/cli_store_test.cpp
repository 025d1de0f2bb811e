// The real pyrelto-cli of a build with Qt making offers through the store, as separate processes
// at once, against SQLite and, when PYRELTO_TEST_PG holds a libpq connection string, PostgreSQL
// (each case in a schema of its own). The PDFs are read back with pdftotext.

#include "store.h"
#include "store_test_fixture.h"
#include "worked_example.h"

#include <csignal>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <libpq-fe.h>
#include <nlohmann/json.hpp>
#include <set>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace pyrelto {
namespace {

namespace fs = std::filesystem;

using test::readFile;

void writeFile(const fs::path& path, const std::string& bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string thisYear() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return std::to_string(local.tm_year + 1900);
}

std::string pdfText(const fs::path& pdf) {
    const fs::path text = pdf.string() + ".txt";
    const std::string command = "pdftotext -layout '" + pdf.string() + "' '" + text.string() + "'";
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    return readFile(text);
}

// The worked example, for customer Müller.
std::vector<std::string> sheetArguments() {
    std::vector<std::string> args = test::workedExampleArguments();
    args.emplace_back("KundeEd=Müller");
    return args;
}

// "p0", "p1" …, built front to back: GCC 12 sees a false overlap in "p" + std::to_string(p) at -O3.
std::string processTag(int process) {
    std::string tag(1, 'p');
    tag += std::to_string(process);
    return tag;
}

class CliStoreTest : public test::StoreTest {
protected:
    // Starts pyrelto-cli with the test's own home, settings and data folders; its standard
    // output and error go to files named by `tag`.
    pid_t start(std::vector<std::string> args, const std::string& tag,
                const std::vector<std::string>& extraEnvironment = {}) {
        std::vector<std::string> environment = {
            "HOME=" + dir_.string(), "XDG_CONFIG_HOME=" + (dir_ / "config").string(),
            "XDG_DATA_HOME=" + (dir_ / "data").string(),
            "XDG_RUNTIME_DIR=" + runtimeFolder().string(), "LANG=C.UTF-8"};
        for (char** e = environ; *e != nullptr; ++e) {
            const std::string_view entry(*e);
            for (const char* keep : {"PATH=", "ASAN_OPTIONS=", "UBSAN_OPTIONS=", "LSAN_OPTIONS="})
                if (entry.starts_with(keep))
                    environment.emplace_back(entry);
        }
        environment.insert(environment.end(), extraEnvironment.begin(), extraEnvironment.end());
        std::string cli = PYRELTO_CLI;
        args.insert(args.begin(), cli);
        std::vector<char*> argv;
        argv.reserve(args.size() + 1);
        for (auto& arg : args)
            argv.push_back(arg.data());
        argv.push_back(nullptr);
        std::vector<char*> envp;
        envp.reserve(environment.size() + 1);
        for (auto& entry : environment)
            envp.push_back(entry.data());
        envp.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        const std::string out = (dir_ / (tag + ".out")).string();
        const std::string err = (dir_ / (tag + ".err")).string();
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, out.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, err.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        pid_t pid = -1;
        EXPECT_EQ(posix_spawn(&pid, cli.c_str(), &actions, nullptr, argv.data(), envp.data()), 0);
        posix_spawn_file_actions_destroy(&actions);
        return pid;
    }

    fs::path runtimeFolder() const {
        fs::path folder = dir_ / "runtime";
        if (!fs::exists(folder)) {
            fs::create_directory(folder);
            fs::permissions(folder, fs::perms::owner_all);
        }
        return folder;
    }

    static int exitCode(pid_t pid) {
        int status = 0;
        waitpid(pid, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    // Runs pyrelto-cli on the sheet with `steps` against the store; the exit code.
    int run(const std::vector<std::string>& steps, const std::string& tag = "run") {
        std::vector<std::string> args = sheetArguments();
        if (!defaultStore_)
            args.insert(args.end(), {"--store", uri_});
        args.insert(args.end(), steps.begin(), steps.end());
        return exitCode(start(args, tag));
    }
    std::string err(const std::string& tag = "run") const {
        return readFile(dir_ / (tag + ".err"));
    }
    nlohmann::json output(const std::string& tag = "run") const {
        return nlohmann::json::parse(readFile(dir_ / (tag + ".out")));
    }

    // SQLite without --store: the program's own file in the data folder.
    bool defaultStore_ = false;
};

// The first offer through a store takes this user's old settings and address file over, in today's
// format, and leaves them as they were; the take-over happens once.
TEST_P(CliStoreTest, TakesTheOldSettingsAndAddressesOverOnce) {
    if (GetParam() == StoreEngine::Sqlite) {
        defaultStore_ = true;
        uri_ = (dir_ / "data" / "Torvane" / "Pyrelto Kalkulation" / "pyrelto.db").string();
    }
    const std::string year = thisYear();
    const fs::path settings = dir_ / "config" / "pyrelto.conf";
    const std::string settingsText = "[Angebote]\nLetzteNummer=" + year +
                                     "-014\n\n[Firmendaten]\nFirma=Bedachungen Kramer "
                                     "GmbH\nStrasse=Industriestraße 12\nPlzOrt=34117 Kassel\n"
                                     "Schlusstext=Mit freundlichen Grüßen\n";
    writeFile(settings, settingsText);
    const fs::path addresses = dir_ / "data" / "Torvane" / "Pyrelto Kalkulation" / "adressen.dat";
    const std::string addressBytes = readFile(fs::path(PYRELTO_FIXTURE_DIR) / "adressen.dat");
    writeFile(addresses, addressBytes);

    ASSERT_EQ(run({"--offer", (dir_ / "a.pdf").string()}), 0) << err();
    EXPECT_EQ(err(), "");
    const std::string text = pdfText(dir_ / "a.pdf");
    for (const std::string& expected :
         {year + "-015", std::string("Bedachungen Kramer GmbH"), std::string("Am Deich 7"),
          std::string("25761 Büsum"), std::string("Mit freundlichen Grüßen")})
        EXPECT_NE(text.find(expected), std::string::npos) << expected << "\n" << text;
    EXPECT_EQ(readFile(settings), settingsText);
    EXPECT_EQ(readFile(addresses), addressBytes);
    ASSERT_TRUE(fs::exists(uri_) || GetParam() == StoreEngine::Postgres);

    // Later settings are no longer read: the store counts on.
    writeFile(settings, "[Angebote]\nLetzteNummer=" + year + "-050\n");
    ASSERT_EQ(run({"--offer", (dir_ / "b.pdf").string()}), 0) << err();
    const std::string second = pdfText(dir_ / "b.pdf");
    EXPECT_NE(second.find(year + "-016"), std::string::npos) << second;
    EXPECT_NE(second.find("Bedachungen Kramer GmbH"), std::string::npos);
}

// The offer of --offer is recorded before its PDF is written; a PDF that cannot be written leaves
// the record saying so, and the same command once the folder is there makes it under that number.
TEST_P(CliStoreTest, AFailedPdfIsRecordedAndTheRetryKeepsItsNumber) {
    const std::string year = thisYear();
    const fs::path first = dir_ / "erstes.pdf";
    const fs::path kal = dir_ / "erstes.kal";
    ASSERT_EQ(run({"--save", kal.string(), "--offer", first.string()}), 0) << err();
    const fs::path blocked = dir_ / "fehlt" / "angebot.pdf";
    const fs::path other = dir_ / "anderes.pdf";
    ASSERT_EQ(run({"--offer", blocked.string(), "--offer", other.string()}), 1);
    EXPECT_NE(err().find("Das Angebot " + year + "-002 ist im Angebotsbuch verzeichnet"),
              std::string::npos)
        << err();
    EXPECT_FALSE(fs::exists(blocked));
    {
        auto store = open();
        EXPECT_FALSE(store->offer(year + "-002")->pdfWritten);
        EXPECT_EQ(store->offer(year + "-002")->entry.fileName, blocked.string());
        EXPECT_TRUE(store->offer(year + "-003")->pdfWritten);
    }
    EXPECT_NE(pdfText(other).find(year + "-003"), std::string::npos);

    fs::create_directory(blocked.parent_path());
    ASSERT_EQ(run({"--offer", blocked.string()}), 0) << err();
    const std::string text = pdfText(blocked);
    EXPECT_NE(text.find(year + "-002"), std::string::npos) << text;
    EXPECT_NE(text.find("578,63 €"), std::string::npos) << text;
    auto store = open();
    const auto offers = store->offers();
    EXPECT_EQ(offers.size(), 3u);
    for (const auto& offer : offers)
        EXPECT_TRUE(offer.pdfWritten) << offer.number;
    const auto record = store->offer(year + "-002");
    EXPECT_EQ(record->entry.customer, "Müller");
    EXPECT_EQ(record->entry.grossCents, 57863);
    EXPECT_EQ(record->entry.netCents, 48624);
    EXPECT_EQ(record->entry.vatCents, 9239);
    // The calculation as it was, byte for byte the file --save wrote.
    EXPECT_EQ(record->entry.calculation, readFile(kal));
    // Another sheet for the same file is another offer: a number of its own.
    std::vector<std::string> steps = {"Dach14Ed=30", "--offer", blocked.string()};
    ASSERT_EQ(run(steps), 0) << err();
    EXPECT_NE(pdfText(blocked).find(year + "-004"), std::string::npos);
}

// Three processes with 200 offers each at once: 600 distinct numbers without a gap, each offer
// recorded once with its PDF written under its number.
TEST_P(CliStoreTest, ThreeProcessesMakeSixHundredOffersWithoutAGap) {
    constexpr int kProcesses = 3;
    constexpr int kOffers = 200;
    // Made once beforehand, as the window would on its first start.
    open();
    std::vector<pid_t> pids;
    for (int p = 0; p < kProcesses; ++p) {
        std::vector<std::string> args = sheetArguments();
        args.insert(args.end(), {"--store", uri_});
        for (int i = 0; i < kOffers; ++i) {
            args.emplace_back("--offer");
            args.push_back((dir_ / (processTag(p) + "_" + std::to_string(i) + ".pdf")).string());
        }
        pids.push_back(start(args, processTag(p)));
    }
    for (int p = 0; p < kProcesses; ++p)
        EXPECT_EQ(exitCode(pids[static_cast<std::size_t>(p)]), 0) << err(processTag(p));

    const std::string year = thisYear();
    auto store = open();
    const auto offers = store->offers();
    std::set<std::string> numbers;
    std::set<std::string> files;
    for (const auto& offer : offers) {
        numbers.insert(offer.number);
        EXPECT_TRUE(offer.pdfWritten) << offer.number;
    }
    ASSERT_EQ(offers.size(), 600u);
    ASSERT_EQ(numbers.size(), 600u);
    EXPECT_EQ(*numbers.begin(), year + "-001");
    EXPECT_EQ(*numbers.rbegin(), year + "-600");
    for (const auto& number : numbers) {
        const auto record = store->offer(number);
        files.insert(record->entry.fileName);
        EXPECT_TRUE(fs::exists(record->entry.fileName)) << number;
    }
    EXPECT_EQ(files.size(), 600u);
    // Each PDF carries the number it was recorded under (a sample; pdftotext takes its time).
    for (const auto& number : {year + "-001", year + "-300", year + "-600"}) {
        const std::string file = store->offer(number)->entry.fileName;
        EXPECT_NE(pdfText(file).find(number), std::string::npos) << file;
    }
}

// Killed while it holds the counter with a number taken: no record, no PDF, and the number goes to
// the next offer.
TEST_P(CliStoreTest, AProcessKilledWhileRecordingLeavesNothingBehind) {
    const std::string year = thisYear();
    ASSERT_EQ(run({"--offer", (dir_ / "erstes.pdf").string()}), 0) << err();
    const fs::path held = dir_ / "gehalten.pdf";
    std::vector<std::string> args = sheetArguments();
    args.insert(args.end(), {"--store", uri_, "--offer", held.string()});
    const pid_t pid = start(args, "held", {"PYRELTO_TEST_HOLD_NUMBER_MS=60000"});
    // Wait until it holds the counter with its number taken (a warning may come first).
    for (int i = 0; i < 3000 && err("held").find("taken ") == std::string::npos; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ASSERT_TRUE(err("held").ends_with("taken " + year + "-002\n")) << err("held");
    kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFSIGNALED(status));
    EXPECT_FALSE(fs::exists(held));
    {
        auto store = open();
        EXPECT_EQ(store->offers().size(), 1u);
        EXPECT_FALSE(store->offer(year + "-002").has_value());
    }
    ASSERT_EQ(run({"--offer", (dir_ / "danach.pdf").string()}), 0) << err();
    EXPECT_NE(pdfText(dir_ / "danach.pdf").find(year + "-002"), std::string::npos);
}

// The firm data an invoice needs, as "Firmendaten..." keeps it.
void storeInvoiceFirm(Store& store) {
    store.setFirmData({{"Firma", "Bedachungen Kramer GmbH"},
                       {"Ansprechpartner", "Jana Kramer"},
                       {"Strasse", "Industriestraße 12"},
                       {"PlzOrt", "34117 Kassel"},
                       {"Telefon", "0561 123456"},
                       {"EMail", "info@kramer-dach.example"},
                       {"SteuerNr", "26/123/45678"},
                       {"Kontoinhaber", "Bedachungen Kramer GmbH"},
                       {"IBAN", "DE89 3704 0044 0532 0130 00"},
                       {"BIC", "COBADEFFXXX"}});
}

std::string xpath(const fs::path& xml, const std::string& expression) {
    const fs::path out = xml.string() + ".xpath";
    const std::string command = "xmllint --xpath '" + expression + "' '" + xml.string() + "' > '" +
                                out.string() + "' 2>/dev/null";
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    std::string value = readFile(out);
    while (!value.empty() && value.back() == '\n')
        value.pop_back();
    return value;
}

// The CII amount of the document's settlement summation.
std::string summation(const fs::path& xml, const std::string& amount) {
    return xpath(xml, "string(//*[local-name()=\"SpecifiedTradeSettlementHeaderMonetarySummation\"]"
                      "/*[local-name()=\"" +
                          amount + "\"])");
}

const std::vector<std::string> kBusinessInvoice = {
    "--address",     "Hausverwaltung Müller & Söhne|Am Deich 7|25761 Büsum",
    "--period",      "2026-03-02..2026-03-20",
    "--buyer-email", "rechnung@mueller.example"};

// Whatever an invoice lacks is named and the run fails before a number is taken: nothing is
// written and the next sound invoice still gets the first number.
TEST_P(CliStoreTest, AnInvoiceLackingAnItemNamesItAndConsumesNoNumber) {
    const std::string year = thisYear();
    const fs::path pdf = dir_ / "rechnung.pdf";
    const fs::path xml = dir_ / "rechnung.xml";
    struct Case {
        std::vector<std::string> options;
        bool withFirm;
        std::string named;
        int status = 1; // 2: refused with the command line, before any step
    };
    const std::vector<Case> cases = {
        {{"--address", "Müller|Am Deich 7|25761 Büsum"},
         true,
         "Leistungszeitraum (von, bis) fehlt"},
        {{"--address", "Müller", "--period", "2026-03-02..2026-03-20"},
         true,
         "Anschrift des Kunden (Straße, PLZ, Ort) ist unvollständig"},
        {{"--tax-case", "13b", "--address", "Müller|Am Deich 7|25761 Büsum", "--period",
          "2026-03-02..2026-03-20"},
         true,
         "Für § 13b UStG fehlt die USt-IdNr. des Kunden"},
        {{"--address", "Müller|Am Deich 7|25761 Büsum", "--period", "2026-03-02..2026-03-20"},
         false,
         "Steuernummer oder USt-IdNr. der eigenen Firma fehlt"},
        {{"--xrechnung", xml.string(), "--address", "Müller|Am Deich 7|25761 Büsum", "--period",
          "2026-03-02..2026-03-20"},
         true,
         "E-Mail-Adresse des Kunden"},
        {{"--period", "2026-03-20..2026-03-02", "--address", "Müller|Am Deich 7|25761 Büsum"},
         true,
         "--period takes",
         2},
        {{"--xrechnung", xml.string(), "--address", "Müller|Am Deich 7|25761 Büsum", "--period",
          "2026-03-02..2026-03-20", "--buyer-email", "a@b.example"},
         true,
         "Käuferreferenz fehlt"},
        {{"--kind", "credit:R-2020-0001"}, true, "„R-2020-0001“ ist nicht im Rechnungsbuch"},
        {{"--kind", "partial:abc"}, true, "partial:PROZENT"},
        {{"--quantity", "0"}, true, "Die Menge (Dachfläche) muss größer als 0 m² sein, nicht 0,00"},
        {{"--quantity", "-3,5"}, true, "muss größer als 0 m² sein, nicht -3,50 m²"},
        {{"--quantity", "1.234"}, true, "--quantity braucht die Menge (Dachfläche) in m²"},
        {{"--quantity", ""}, true, "--quantity braucht die Menge"},
        {{"--kind", "partial-amount:0,00"}, true, "muss über 0,00 € liegen, nicht 0,00 €"},
        {{"--kind", "partial-amount:-5"}, true, "muss über 0,00 € liegen, nicht -5,00 €"},
        {{"--kind", "partial-amount:zwölf"}, true, "partial-amount:BETRAG"},
        // The worked example's whole net is 486,24 €.
        {{"--kind", "partial-amount:486,25"},
         true,
         "Der Abschlag von 486,25 € netto ist mehr, als vom Auftrag noch offen ist (486,24 €"},
    };
    for (const Case& c : cases) {
        if (c.withFirm)
            storeInvoiceFirm(*open());
        else
            open()->setFirmData({});
        std::vector<std::string> steps = {"--invoice", pdf.string()};
        steps.insert(steps.end(), c.options.begin(), c.options.end());
        EXPECT_EQ(run(steps), c.status) << c.named;
        EXPECT_NE(err().find(c.named), std::string::npos) << err();
        EXPECT_FALSE(fs::exists(pdf)) << c.named;
        EXPECT_FALSE(fs::exists(xml)) << c.named;
        EXPECT_TRUE(open()->invoices().empty()) << c.named;
    }
    // Without an offer of this calculation the e-invoice's buyer reference is the customer's.
    std::vector<std::string> steps = {"--invoice",  pdf.string(),        "--xrechnung",
                                      xml.string(), "--buyer-reference", "Auftrag 4711"};
    steps.insert(steps.end(), kBusinessInvoice.begin(), kBusinessInvoice.end());
    ASSERT_EQ(run(steps), 0) << err();
    EXPECT_EQ(xpath(xml, "string(//*[local-name()=\"BuyerReference\"])"), "Auftrag 4711");
    EXPECT_EQ(open()->invoices().front().number, "R-" + year + "-0001");
}

// An invoice of the worked example, its PDF with what § 14 UStG requires and its e-invoice with
// the sheet's amounts; both recorded byte for byte as written, the offer of the same calculation
// named as the reference.
TEST_P(CliStoreTest, AnInvoiceIsWrittenAsPdfAndXRechnungAndRecorded) {
    const std::string year = thisYear();
    storeInvoiceFirm(*open());
    ASSERT_EQ(run({"--offer", (dir_ / "angebot.pdf").string()}), 0) << err();
    const fs::path pdf = dir_ / "rechnung.pdf";
    const fs::path xml = dir_ / "rechnung.xml";
    std::vector<std::string> steps = {"--invoice",  pdf.string(), "--xrechnung",
                                      xml.string(), "--vat-id",   "DE987654321"};
    steps.insert(steps.end(), kBusinessInvoice.begin(), kBusinessInvoice.end());
    ASSERT_EQ(run(steps), 0) << err();
    EXPECT_EQ(err(), "");
    const std::string number = "R-" + year + "-0001";
    const std::string text = pdfText(pdf);
    for (const std::string& expected :
         {number, std::string("Rechnung"), std::string("Bedachungen Kramer GmbH"),
          std::string("Industriestraße 12"), std::string("34117 Kassel"),
          std::string("26/123/45678"), std::string("Hausverwaltung Müller & Söhne"),
          std::string("Am Deich 7"), std::string("25761 Büsum"), std::string("DE987654321"),
          std::string("Leistungszeitraum: 02.03.2026 bis 20.03.2026"), std::string("486,24"),
          std::string("92,39"), std::string("578,63"), std::string(year + "-001"),
          std::string("DE89 3704 0044 0532 0130 00")})
        EXPECT_NE(text.find(expected), std::string::npos) << expected << "\n" << text;
    EXPECT_EQ(xpath(xml, "string(//*[local-name()=\"ExchangedDocument\"]/*[local-name()=\"ID\"])"),
              number);
    EXPECT_EQ(xpath(xml, "string(//*[local-name()=\"BuyerReference\"])"), year + "-001");
    EXPECT_EQ(summation(xml, "LineTotalAmount"), "486.24");
    EXPECT_EQ(summation(xml, "TaxBasisTotalAmount"), "486.24");
    EXPECT_EQ(summation(xml, "TaxTotalAmount"), "92.39");
    EXPECT_EQ(summation(xml, "GrandTotalAmount"), "578.63");
    EXPECT_EQ(summation(xml, "DuePayableAmount"), "578.63");

    auto store = open();
    const auto record = store->invoice(number);
    ASSERT_TRUE(record.has_value());
    EXPECT_EQ(record->documents.pdf, readFile(pdf));
    EXPECT_EQ(record->documents.xml, readFile(xml));
    EXPECT_EQ(record->summary.customer, "Hausverwaltung Müller & Söhne");
    EXPECT_EQ(record->summary.offerNumber, year + "-001");
    EXPECT_EQ(record->summary.grossCents, 57863);
    EXPECT_EQ(record->summary.dueCents, 57863);
}

// Two partial invoices, the final one deducting both, a credit note cancelling the first partial
// one; no run changes an invoice issued before, and a second final invoice for the job is refused.
TEST_P(CliStoreTest, AFinalInvoiceDeductsThePartialsAndACreditNoteCancels) {
    const std::string year = thisYear();
    const auto number = [&year](int n) {
        std::string digits = std::to_string(n);
        return "R-" + year + "-" + std::string(4 - digits.size(), '0') + digits;
    };
    storeInvoiceFirm(*open());
    ASSERT_EQ(run({"--offer", (dir_ / "angebot.pdf").string()}), 0) << err();
    const auto invoice = [&](const std::string& kind, const std::string& name) {
        std::vector<std::string> steps = {"--invoice",   (dir_ / (name + ".pdf")).string(),
                                          "--xrechnung", (dir_ / (name + ".xml")).string(),
                                          "--kind",      kind};
        steps.insert(steps.end(), kBusinessInvoice.begin(), kBusinessInvoice.end());
        return run(steps, name);
    };
    ASSERT_EQ(invoice("partial:30", "a1"), 0) << err("a1");
    ASSERT_EQ(invoice("partial:20", "a2"), 0) << err("a2");
    const std::string firstPdf = readFile(dir_ / "a1.pdf");
    const std::string firstXml = readFile(dir_ / "a1.xml");
    ASSERT_EQ(invoice("final", "schluss"), 0) << err("schluss");

    // 30 % and 20 % of 486,24 €: 145,87 € + 97,25 € net, 173,59 € + 115,73 € gross.
    const fs::path finalXml = dir_ / "schluss.xml";
    EXPECT_EQ(summation(dir_ / "a1.xml", "GrandTotalAmount"), "173.59");
    EXPECT_EQ(summation(dir_ / "a2.xml", "GrandTotalAmount"), "115.73");
    EXPECT_EQ(xpath(finalXml, "string(//*[local-name()=\"TypeCode\"][1])"), "877");
    EXPECT_EQ(summation(finalXml, "GrandTotalAmount"), "578.63");
    EXPECT_EQ(summation(finalXml, "TotalPrepaidAmount"), "289.32");
    EXPECT_EQ(summation(finalXml, "DuePayableAmount"), "289.31");
    const std::string text = pdfText(dir_ / "schluss.pdf");
    for (const std::string& expected :
         {std::string("Schlussrechnung"), number(1), number(2), std::string("173,59"),
          std::string("115,73"), std::string("289,31")})
        EXPECT_NE(text.find(expected), std::string::npos) << expected << "\n" << text;

    EXPECT_EQ(invoice("final", "zweite"), 1);
    EXPECT_NE(err("zweite").find("schon die Schlussrechnung " + number(3)), std::string::npos)
        << err("zweite");

    ASSERT_EQ(invoice("credit:" + number(1), "storno"), 0) << err("storno");
    const fs::path stornoXml = dir_ / "storno.xml";
    EXPECT_EQ(xpath(stornoXml, "string(//*[local-name()=\"TypeCode\"][1])"), "381");
    EXPECT_EQ(xpath(stornoXml, "string(//*[local-name()=\"InvoiceReferencedDocument\"]/"
                               "*[local-name()=\"IssuerAssignedID\"])"),
              number(1));
    EXPECT_NE(pdfText(dir_ / "storno.pdf").find("Storno der Rechnung " + number(1)),
              std::string::npos);
    EXPECT_EQ(invoice("credit:" + number(1), "nochmal"), 1);
    EXPECT_NE(err("nochmal").find("schon durch die Gutschrift " + number(4)), std::string::npos)
        << err("nochmal");

    auto store = open();
    EXPECT_EQ(store->invoices().size(), 4u);
    const auto first = store->invoice(number(1));
    EXPECT_EQ(first->documents.pdf, firstPdf);
    EXPECT_EQ(first->documents.xml, firstXml);
    EXPECT_EQ(first->summary.cancelledBy, number(4));
    EXPECT_EQ(store->invoice(number(4))->summary.corrects, number(1));
}

// The roof as finally measured and a partial invoice by amount. The measured area is priced
// exactly as the sheet prices it when typed (the run with Dach14Ed=26,25 says what that is): 26,25
// × 20,26 € = 531,825 €, 531,83 €. A partial amount beyond what is left of the job is refused
// without a number; the final invoice at the measured area deducts the partial invoice.
TEST_P(CliStoreTest, AMeasuredQuantityAndAPartialInvoiceByAmount) {
    const std::string year = thisYear();
    storeInvoiceFirm(*open());
    ASSERT_EQ(run({"Dach14Ed=26,25"}, "typed"), 0) << err("typed");
    const auto typed = output("typed")["fields"];
    EXPECT_EQ(typed["Summe15Ed"], "531,83");
    EXPECT_EQ(typed["BruttoEd"], "632,88");
    ASSERT_EQ(run({"--offer", (dir_ / "angebot.pdf").string()}), 0) << err();
    const auto invoice = [&](const std::string& name, std::vector<std::string> options) {
        std::vector<std::string> steps = {"--invoice", (dir_ / (name + ".pdf")).string(),
                                          "--xrechnung", (dir_ / (name + ".xml")).string()};
        steps.insert(steps.end(), kBusinessInvoice.begin(), kBusinessInvoice.end());
        steps.insert(steps.end(), options.begin(), options.end());
        return run(steps, name);
    };
    ASSERT_EQ(invoice("abschlag", {"--kind", "partial-amount:100,00"}), 0) << err("abschlag");
    const fs::path partialXml = dir_ / "abschlag.xml";
    EXPECT_EQ(xpath(partialXml, "string(//*[local-name()=\"TypeCode\"][1])"), "875");
    EXPECT_EQ(summation(partialXml, "TaxBasisTotalAmount"), "100.00");
    EXPECT_EQ(summation(partialXml, "TaxTotalAmount"), "19.00");
    EXPECT_EQ(summation(partialXml, "DuePayableAmount"), "119.00");
    EXPECT_NE(pdfText(dir_ / "abschlag.pdf").find("119,00"), std::string::npos);

    // 486,24 € less 100,00 € leaves 386,24 €.
    EXPECT_EQ(invoice("zuviel", {"--kind", "partial-amount:386,25"}), 1);
    EXPECT_NE(err("zuviel").find("noch offen ist (386,24 € netto)"), std::string::npos)
        << err("zuviel");
    EXPECT_FALSE(fs::exists(dir_ / "zuviel.pdf"));
    // By percentage alike: 80 % of 486,24 € is 388,99 € — more than is left.
    EXPECT_EQ(invoice("zuvielprozent", {"--kind", "partial:80"}), 1);
    EXPECT_NE(err("zuvielprozent")
                  .find("Der Abschlag von 80,00 % (388,99 € netto) ist mehr, als vom Auftrag noch "
                        "offen ist (386,24 € netto)"),
              std::string::npos)
        << err("zuvielprozent");
    EXPECT_FALSE(fs::exists(dir_ / "zuvielprozent.pdf"));

    ASSERT_EQ(invoice("schluss", {"--kind", "final", "--quantity", "26,25"}), 0) << err("schluss");
    const fs::path finalXml = dir_ / "schluss.xml";
    EXPECT_EQ(xpath(finalXml, "string(//*[local-name()=\"TypeCode\"][1])"), "877");
    EXPECT_EQ(xpath(finalXml, "string(//*[local-name()=\"BilledQuantity\"])"), "26.25");
    EXPECT_EQ(xpath(finalXml, "string(//*[local-name()=\"BilledQuantity\"]/@unitCode)"), "MTK");
    EXPECT_EQ(xpath(finalXml, "string(//*[local-name()=\"LineTotalAmount\"][1])"), "531.83");
    EXPECT_EQ(summation(finalXml, "TaxBasisTotalAmount"), "531.83");
    EXPECT_EQ(summation(finalXml, "TaxTotalAmount"), "101.05");
    EXPECT_EQ(summation(finalXml, "GrandTotalAmount"), "632.88");
    EXPECT_EQ(summation(finalXml, "TotalPrepaidAmount"), "119.00");
    EXPECT_EQ(summation(finalXml, "DuePayableAmount"), "513.88");
    const std::string text = pdfText(dir_ / "schluss.pdf");
    for (const std::string& expected :
         {std::string("26,25"), std::string("531,83"), std::string("632,88"), std::string("513,88"),
          "R-" + year + "-0001"})
        EXPECT_NE(text.find(expected), std::string::npos) << expected << "\n" << text;

    // A private customer's labour share follows the area: 26,25 × 10,50 € = 275,625 €.
    ASSERT_EQ(run({"--invoice", (dir_ / "privat.pdf").string(), "--customer", "private",
                   "--address", "Familie Müller|Am Deich 7|25761 Büsum", "--period",
                   "2026-03-02..2026-03-20", "--quantity", "26.25"},
                  "privat"),
              0)
        << err("privat");
    EXPECT_NE(pdfText(dir_ / "privat.pdf").find("275,63"), std::string::npos)
        << pdfText(dir_ / "privat.pdf");
    auto store = open();
    EXPECT_EQ(store->invoices().size(), 3u);
    EXPECT_EQ(store->invoice("R-" + year + "-0002")->summary.grossCents, 63288);
}

// A roll of 7,5 m² at 74,93 € and nails at 0,12 € a piece: the worked example's first material row
// and piece row, from the list.
const std::string kPriceList = "Artikelnummer;Bezeichnung;Einheit;Preis;Preiseinheit;Rabattgruppe;"
                               "m² je Einheit\r\n"
                               "BB-OL-5;Oberlagsbahn Schiefer;Rolle;74,93;1;10;7,5\r\n"
                               "N-12;Nagel verzinkt;Stk;12,00;100;20;\r\n";

// Imported, picked into M1 and S1 with the group discount of the firm: the sheet is the worked
// example, its 80 entries byte for byte those of the same sheet typed, and the article is kept in
// the file. A list with other headers imports with --columns, which is remembered for the supplier.
TEST_P(CliStoreTest, ImportsAPriceListAndPicksItsArticlesIntoRows) {
    writeFile(dir_ / "nord.csv", kPriceList);
    ASSERT_EQ(run({"--import-prices", (dir_ / "nord.csv").string(), "--supplier", "Nord"}), 0)
        << err();
    const auto summary = output()["imports"][0];
    EXPECT_EQ(summary["format"], "CSV");
    EXPECT_EQ(summary["encoding"], "UTF-8");
    EXPECT_EQ(summary["delimiter"], ";");
    EXPECT_EQ(summary["added"], 2);
    EXPECT_EQ(summary["applied"], true);
    open()->setGroupDiscount("Nord", "10", Decimal{35, 0});

    const fs::path picked = dir_ / "gewaehlt.kal";
    const fs::path typed = dir_ / "getippt.kal";
    ASSERT_EQ(run({"--pick", "M1=BB-OL-5", "--pick", "s1=N-12", "--save", picked.string()}), 0)
        << err();
    const auto fields = output()["fields"];
    EXPECT_EQ(fields["Bez1Ed"], "Oberlagsbahn Schiefer");
    EXPECT_EQ(fields["List1Ed"], "9,99");
    EXPECT_EQ(fields["Rab1Ed"], "35,00");
    EXPECT_EQ(fields["Ek8Ed"], "0,12");
    EXPECT_EQ(fields["Summe15Ed"], "486,24");
    EXPECT_EQ(fields["BruttoEd"], "578,63");
    ASSERT_EQ(
        run({"Bez1Ed=Oberlagsbahn Schiefer", "Bez8Ed=Nagel verzinkt", "--save", typed.string()}), 0)
        << err();
    const std::string pickedBytes = readFile(picked);
    const std::string typedBytes = readFile(typed);
    ASSERT_GT(pickedBytes.size(), typedBytes.size());
    EXPECT_EQ(pickedBytes.substr(0, typedBytes.size()), typedBytes);
    // Opened and saved again, the file keeps the articles.
    ASSERT_EQ(run({"--open", picked.string(), "--save", (dir_ / "wieder.kal").string()}), 0);
    EXPECT_EQ(readFile(dir_ / "wieder.kal"), pickedBytes);

    writeFile(dir_ / "sued.csv", "ArtNr;Text;VK;Fläche\r\nBB-OL-5;Bahn;80,00;5\r\n");
    const std::string mapping =
        "Artikelnummer=ArtNr;Bezeichnung=Text;Preis=VK;m² je Einheit=Fläche";
    ASSERT_EQ(run({"--import-prices", (dir_ / "sued.csv").string(), "--supplier", "Süd",
                   "--columns", mapping}),
              0)
        << err();
    writeFile(dir_ / "sued.csv", "ArtNr;Text;VK;Fläche\r\nBB-OL-5;Bahn;85,00;5\r\n");
    ASSERT_EQ(run({"--import-prices", (dir_ / "sued.csv").string(), "--supplier", "Süd"}), 0)
        << err();
    EXPECT_EQ(output()["imports"][0]["changed"], 1);
    // Two suppliers list the number now: the row names which one.
    EXPECT_EQ(run({"--pick", "M2=BB-OL-5"}), 1);
    EXPECT_NE(err().find("mehrere Lieferanten (Nord, Süd)"), std::string::npos) << err();
    ASSERT_EQ(run({"--pick", "M2=Süd:BB-OL-5"}), 0) << err();
    EXPECT_EQ(output()["fields"]["List2Ed"], "17,00");
    EXPECT_EQ(run({"--pick", "M3=GIBT-ES-NICHT", "--pick", "M4=N-12"}), 1);
    EXPECT_NE(err().find("Den Artikel „GIBT-ES-NICHT“ gibt es im Katalog nicht."),
              std::string::npos)
        << err();
    EXPECT_NE(err().find("keine Fläche je Einheit"), std::string::npos) << err();
    EXPECT_EQ(run({"--pick", "M6=N-12"}), 2);
}

// A list with lines that cannot be read is shown with their line numbers and not applied, not even
// the lines that could be read.
TEST_P(CliStoreTest, AListWithUnreadableLinesChangesNothing) {
    writeFile(dir_ / "nord.csv", kPriceList);
    ASSERT_EQ(run({"--import-prices", (dir_ / "nord.csv").string(), "--supplier", "Nord"}), 0)
        << err();
    writeFile(dir_ / "neu.csv",
              "Artikelnummer;Preis\r\nBB-OL-5;80,00\r\nN-12;zwölf\r\nNEU;1,00\r\n");
    EXPECT_EQ(run({"--import-prices", (dir_ / "neu.csv").string(), "--supplier", "Nord"}), 1);
    EXPECT_NE(err().find("die Preisliste wurde nicht übernommen"), std::string::npos) << err();
    const auto summary = output()["imports"][0];
    EXPECT_EQ(summary["applied"], false);
    ASSERT_EQ(summary["problems"].size(), 1u);
    EXPECT_EQ(summary["problems"][0]["line"], 3);
    const auto store = open();
    EXPECT_EQ(store->article("Nord", "BB-OL-5")->listPrice, (Decimal{7493, 2}));
    EXPECT_FALSE(store->article("Nord", "NEU").has_value());
    // A CSV list names no supplier of its own.
    EXPECT_EQ(run({"--import-prices", (dir_ / "nord.csv").string()}), 1);
    EXPECT_NE(err().find("--supplier"), std::string::npos) << err();
    EXPECT_EQ(run({"--import-prices", (dir_ / "nord.csv").string(), "--columns", "Preis"}), 2);
}

// After a new list, --reprice gives the rows with picked articles the new prices (no group discount
// here, so the material row carries none): the dry run
// reports and writes nothing, the real run writes the changed file beside its .bak and leaves the
// others as they were.
TEST_P(CliStoreTest, RepricesAFolderOfCalculations) {
    writeFile(dir_ / "nord.csv", kPriceList);
    ASSERT_EQ(run({"--import-prices", (dir_ / "nord.csv").string(), "--supplier", "Nord"}), 0)
        << err();
    const fs::path folder = dir_ / "kalkulationen";
    fs::create_directories(folder);
    ASSERT_EQ(
        run({"--pick", "M1=BB-OL-5", "--pick", "S1=N-12", "--save", (folder / "a.kal").string()}),
        0)
        << err();
    ASSERT_EQ(run({"--save", (folder / "b.kal").string()}), 0) << err();
    const std::string a = readFile(folder / "a.kal");
    const std::string b = readFile(folder / "b.kal");
    std::string newList = kPriceList;
    newList.replace(newList.find("74,93"), 5, "79,50");
    writeFile(dir_ / "nord.csv", newList);
    ASSERT_EQ(run({"--import-prices", (dir_ / "nord.csv").string(), "--supplier", "Nord"}), 0)
        << err();

    ASSERT_EQ(run({"--reprice", folder.string(), "--dry-run"}), 0) << err();
    auto dry = output()["reprice"];
    EXPECT_EQ(dry["dryRun"], true);
    EXPECT_EQ(readFile(folder / "a.kal"), a);
    EXPECT_FALSE(fs::exists(folder / "a.kal.bak"));

    ASSERT_EQ(run({"--reprice", folder.string()}), 0) << err();
    auto report = output()["reprice"];
    EXPECT_EQ(report["dryRun"], false);
    report.erase("dryRun");
    const auto expected = nlohmann::json::parse(R"({"files": [
        {"file": "a.kal", "outcome": "neue Preise", "netBeforeCents": 59760, "netAfterCents": 61680,
         "rows": [
           {"row": "M1", "supplier": "Nord", "articleNumber": "BB-OL-5", "status": "geändert",
            "oldCents": 999, "newCents": 1060},
           {"row": "S1", "supplier": "Nord", "articleNumber": "N-12", "status": "unverändert",
            "oldCents": 12, "newCents": 12}]},
        {"file": "b.kal", "outcome": "keine Artikelnummern", "netBeforeCents": 48624,
         "netAfterCents": 48624, "rows": []}]})");
    dry.erase("dryRun");
    EXPECT_EQ(report, expected) << report.dump(2);
    EXPECT_EQ(dry, expected);
    EXPECT_EQ(readFile(folder / "a.kal.bak"), a);
    EXPECT_EQ(readFile(folder / "b.kal"), b);
    EXPECT_FALSE(fs::exists(folder / "b.kal.bak"));
    ASSERT_EQ(run({"--open", (folder / "a.kal").string()}), 0) << err();
    EXPECT_EQ(output()["fields"]["List1Ed"], "10,60");
    EXPECT_EQ(output()["fields"]["Summe15Ed"], "616,80");
}

INSTANTIATE_TEST_SUITE_P(Engines, CliStoreTest, test::kBothEngines, test::engineName);

} // namespace
} // namespace pyrelto
