// The store against both engines (store_test_fixture.h).

#include "store_test_fixture.h"
#include "take_over.h"

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <libpq-fe.h>
#include <set>
#include <spawn.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace pyrelto {
namespace {

using test::hostileTexts;
using test::readFile;
using test::StoreTest;
namespace fs = std::filesystem;

// Runs the store tool; its standard output goes to `output`.
pid_t spawnTool(const std::vector<std::string>& args, const fs::path& output) {
    std::vector<char*> argv;
    std::string tool = PYRELTO_STORE_TOOL;
    argv.push_back(tool.data());
    std::vector<std::string> copies = args;
    for (auto& arg : copies)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, output.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = -1;
    const int rc = posix_spawn(&pid, tool.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    EXPECT_EQ(rc, 0) << tool;
    return pid;
}

int waitFor(pid_t pid) {
    int status = 0;
    waitpid(pid, &status, 0);
    return status;
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find('\n', start);
        out.push_back(text.substr(start, end - start));
        start = end == std::string::npos ? text.size() : end + 1;
    }
    return out;
}

OfferEntry sampleOffer(const std::string& date = "2026-03-02") {
    OfferEntry entry;
    entry.date = date;
    entry.customer = "Müller";
    entry.address = "Familie Müller\nAm Deich 7\n25761 Büsum";
    entry.netCents = 48624;
    entry.vatCents = 9239;
    entry.grossCents = 57863;
    entry.validUntil = "2026-03-30";
    entry.fileName = "/home/dach/Angebote/Angebot Müller.pdf";
    entry.calculation = std::string("\x50\x00\xff\x01", 4);
    return entry;
}

InvoiceEntry sampleInvoiceEntry(const std::string& date = "2026-12-10") {
    InvoiceEntry entry;
    entry.issueDate = date;
    entry.dueDate = "2026-12-24";
    entry.customer = "Hausverwaltung Nord KG";
    entry.offerNumber = "2026-014";
    entry.netCents = 603456;
    entry.vatCents = 114657;
    entry.grossCents = 718113;
    entry.dueCents = 718113;
    entry.calculation = std::string("\x50\x00\xff\x01", 4);
    return entry;
}

// Documents that name the number they were made under, and every byte value in the PDF.
InvoiceDocuments documentsFor(const std::string& number) {
    InvoiceDocuments documents;
    documents.invoiceData = "{\"number\": \"" + number + "\"}";
    for (int i = 0; i < 256 * 3; ++i)
        documents.pdf.push_back(static_cast<char>(i & 0xff));
    documents.pdf += number;
    documents.xml = "<?xml version=\"1.0\"?><ID>" + number + "</ID><Name>Müller 🏠</Name>";
    return documents;
}

std::string issue(Store& store, const InvoiceEntry& entry) {
    return store.issueInvoice(entry, documentsFor);
}

TEST_P(StoreTest, MigratesFromEmptyAndFromEveryEarlierVersion) {
    for (int from = 0; from < kStoreSchemaVersion; ++from) {
        SCOPED_TRACE("from version " + std::to_string(from));
        TearDown();
        SetUp();
        if (from > 0) {
            StoreHooks hooks;
            hooks.migrateUpTo = from;
            auto old = open(hooks);
            ASSERT_EQ(old->schemaVersion(), from);
            // Version 1 already holds everything the old program kept.
            old->setFirmData({{"Firma", "Dachdeckerei Groß"}});
            old->setAddress("Müller", "Am Deich 7");
            old->addCustomer("Müller");
        }
        auto store = open();
        EXPECT_EQ(store->schemaVersion(), kStoreSchemaVersion);
        if (from > 0) {
            EXPECT_EQ(store->firmData(), (FirmValues{{"Firma", "Dachdeckerei Groß"}}));
            EXPECT_EQ(store->address("Müller"), "Am Deich 7");
            EXPECT_EQ(store->customers().names, std::vector<std::string>{"Müller"});
        }
        EXPECT_EQ(store->recordOffer(sampleOffer()), "2026-001");
        EXPECT_EQ(issue(*store, sampleInvoiceEntry()), "R-2026-0001");
        EXPECT_EQ(store->catalogueChange(), 0);
        PriceList list;
        list.supplier = "Nord";
        list.articles.emplace_back().article.articleNumber = "BB-OL-5";
        list.articles.back().article.listPrice = {7493, 2};
        store->applyImport(store->planImport(list));
        // Opening again migrates nothing and keeps everything.
        store.reset();
        EXPECT_EQ(open()->offers().size(), 1u);
        EXPECT_EQ(open()->invoices().size(), 1u);
        EXPECT_EQ(open()->article("Nord", "BB-OL-5")->listPrice, (Decimal{7493, 2}));
    }
}

TEST_P(StoreTest, RefusesAStoreOfANewerVersionAndLeavesItAlone) {
    open()->setFirmData({{"Firma", "Alt"}});
    rawExec("UPDATE schema_version SET version = " + std::to_string(kStoreSchemaVersion + 1) +
            "; CREATE TABLE future_things (x BIGINT)");
    const std::string before = GetParam() == StoreEngine::Sqlite ? readFile(uri_) : std::string();
    try {
        open();
        FAIL() << "a newer store was opened";
    } catch (const StoreError& error) {
        EXPECT_EQ(error.kind(), StoreError::Kind::TooNew);
        EXPECT_NE(std::string(error.what()).find("neueren Programmversion"), std::string::npos)
            << error.what();
        EXPECT_NE(std::string(error.what()).find("nicht verändert"), std::string::npos);
    }
    if (GetParam() == StoreEngine::Sqlite) {
        EXPECT_EQ(readFile(uri_), before);
    }
    // Still the newer version with its table, as the newer program left it.
    rawExec("INSERT INTO future_things (x) VALUES (1)");
    rawExec("UPDATE schema_version SET version = " + std::to_string(kStoreSchemaVersion));
    EXPECT_EQ(open()->firmData().at("Firma"), "Alt");
}

TEST_P(StoreTest, RoundTripsEveryRecordWithHostileText) {
    auto store = open();
    for (const auto& [name, text] : hostileTexts()) {
        SCOPED_TRACE(name);
        store->setFirmData({{"Firma", text}, {"Schlusstext", text + "2"}});
        EXPECT_EQ(store->firmData(), (FirmValues{{"Firma", text}, {"Schlusstext", text + "2"}}));

        store->setAddress(text, text + "\nZeile 2");
        EXPECT_EQ(store->address(text), text + "\nZeile 2");
        EXPECT_EQ(store->addresses().count(text), 1u);

        EXPECT_TRUE(store->addCustomer(text));
        const auto names = store->customers().names;
        EXPECT_EQ(std::count(names.begin(), names.end(), text), 1);

        OfferEntry entry = sampleOffer();
        entry.customer = text;
        entry.address = text;
        entry.fileName = text;
        entry.particulars = text;
        entry.calculation = text + std::string("\0\xff", 2);
        const std::string number = store->recordOffer(entry);
        const auto record = store->offer(number);
        ASSERT_TRUE(record.has_value());
        EXPECT_EQ(record->entry.customer, text);
        EXPECT_EQ(record->entry.address, text);
        EXPECT_EQ(record->entry.fileName, text);
        EXPECT_EQ(record->entry.particulars, text);
        EXPECT_EQ(record->entry.calculation, entry.calculation);

        InvoiceEntry invoice = sampleInvoiceEntry();
        invoice.customer = text;
        invoice.offerNumber = text;
        const auto issued = store->invoice(issue(*store, invoice));
        ASSERT_TRUE(issued.has_value());
        EXPECT_EQ(issued->summary.customer, text);
        EXPECT_EQ(issued->summary.offerNumber, text);
    }
    // The SQL text did not drop anything.
    EXPECT_EQ(store->offers().size(), hostileTexts().size());
    EXPECT_EQ(store->invoices().size(), hostileTexts().size());
}

TEST_P(StoreTest, KeepsEveryByteOfTheCalculationAndEveryFieldOfTheOffer) {
    auto store = open();
    OfferEntry entry = sampleOffer();
    entry.calculation.clear();
    for (int i = 0; i < 256 * 4; ++i)
        entry.calculation.push_back(static_cast<char>(i & 0xff));
    entry.netCents = -9'000'000'000'000'000'000;
    entry.vatCents = 0;
    entry.grossCents = 9'000'000'000'000'000'000;
    entry.workFrom = "2026-04-13";
    entry.workUntil = "2026-04-24";
    const std::string number = store->recordOffer(entry);
    const auto record = store->offer(number);
    ASSERT_TRUE(record);
    EXPECT_EQ(record->entry.date, entry.date);
    EXPECT_EQ(record->entry.validUntil, entry.validUntil);
    EXPECT_EQ(record->entry.netCents, entry.netCents);
    EXPECT_EQ(record->entry.vatCents, 0);
    EXPECT_EQ(record->entry.grossCents, entry.grossCents);
    EXPECT_EQ(record->entry.calculation, entry.calculation);
    EXPECT_EQ(record->entry.workFrom, entry.workFrom);
    EXPECT_EQ(record->entry.workUntil, entry.workUntil);
    EXPECT_EQ(record->status, OfferStatus::Open);
    EXPECT_FALSE(record->pdfWritten);
    EXPECT_EQ(record->recordedAt.size(), 27u) << record->recordedAt;

    // An empty calculation is an empty one, not a missing one.
    entry.calculation.clear();
    EXPECT_EQ(store->offer(store->recordOffer(entry))->entry.calculation, "");
}

TEST_P(StoreTest, RefusesTextsNoEngineCanKeepAndChangesNothing) {
    auto store = open();
    store->setFirmData({{"Firma", "Vorher"}});
    const std::string nul("Mül\0ler", 7);
    const std::string invalid = "M\xfcller"; // Latin-1, not UTF-8
    for (const std::string& bad : {nul, invalid}) {
        EXPECT_THROW(store->setFirmData({{"Firma", "Neu"}, {"Web", bad}}), StoreError);
        EXPECT_THROW(store->setAddress(bad, "x"), StoreError);
        EXPECT_THROW(store->addCustomer(bad), StoreError);
        OfferEntry entry = sampleOffer();
        entry.customer = bad;
        try {
            store->recordOffer(entry);
            ADD_FAILURE() << "recorded";
        } catch (const StoreError& error) {
            EXPECT_EQ(error.kind(), StoreError::Kind::Refused);
            EXPECT_NE(std::string(error.what()).find("Kunde"), std::string::npos);
        }
    }
    EXPECT_EQ(store->firmData(), (FirmValues{{"Firma", "Vorher"}}));
    EXPECT_TRUE(store->addresses().empty());
    EXPECT_TRUE(store->customers().names.empty());
    // No number was used up by the refused offers.
    EXPECT_EQ(store->recordOffer(sampleOffer()), "2026-001");
}

TEST_P(StoreTest, NumbersOffersPerYearAndKeepsTheRegister) {
    auto store = open();
    EXPECT_EQ(store->peekNumber(kOfferCounter, 2026), "2026-001");
    EXPECT_EQ(store->recordOffer(sampleOffer("2026-03-02")), "2026-001");
    EXPECT_EQ(store->recordOffer(sampleOffer("2026-03-01")), "2026-002");
    EXPECT_EQ(store->peekNumber(kOfferCounter, 2026), "2026-003");
    EXPECT_EQ(store->recordOffer(sampleOffer("2027-01-04")), "2027-001");
    EXPECT_EQ(store->recordOffer(sampleOffer("2026-05-05")), "2026-003");
    // The invoices' counter is a sequence of its own.
    EXPECT_EQ(store->peekNumber(kInvoiceCounter, 2026), "R-2026-0001");

    std::vector<std::string> order;
    for (const auto& offer : store->offers())
        order.push_back(offer.number);
    // Newest date first; on the same date the later recording first.
    EXPECT_EQ(order, (std::vector<std::string>{"2027-001", "2026-003", "2026-001", "2026-002"}));

    store->setOfferStatus("2026-002", OfferStatus::Accepted);
    store->markPdfWritten("2026-002", "/tmp/neu.pdf");
    const auto record = store->offer("2026-002");
    EXPECT_EQ(record->status, OfferStatus::Accepted);
    EXPECT_TRUE(record->pdfWritten);
    EXPECT_EQ(record->entry.fileName, "/tmp/neu.pdf");
    EXPECT_FALSE(store->offer("2026-001")->pdfWritten);

    // The offer a retry of a failed PDF goes on with: the last one for that file not written.
    EXPECT_FALSE(store->unwrittenOffer("/tmp/neu.pdf").has_value());
    const std::string sampleFile = sampleOffer().fileName;
    EXPECT_EQ(store->unwrittenOffer(sampleFile)->number, "2026-003");
    store->markPdfWritten("2026-003", sampleFile);
    EXPECT_EQ(store->unwrittenOffer(sampleFile)->number, "2027-001");
    EXPECT_EQ(store->unwrittenOffer(sampleFile)->entry.calculation, sampleOffer().calculation);

    try {
        store->setOfferStatus("2026-999", OfferStatus::Rejected);
        FAIL();
    } catch (const StoreError& error) {
        EXPECT_EQ(error.kind(), StoreError::Kind::Refused);
    }
    EXPECT_FALSE(store->offer("2026-999").has_value());
    OfferEntry badDate = sampleOffer("2026-02-30");
    EXPECT_THROW(store->recordOffer(badDate), StoreError);
    OfferEntry badPeriod = sampleOffer();
    badPeriod.workUntil = "2026-13-01";
    EXPECT_THROW(store->recordOffer(badPeriod), StoreError);
}

TEST_P(StoreTest, SharesTheCustomerListWithAChangeCounter) {
    auto here = open();
    auto there = open(); // another PC
    const auto start = there->customerChange();
    EXPECT_TRUE(here->addCustomer("Müller"));
    EXPECT_FALSE(here->addCustomer("Müller"));
    EXPECT_TRUE(here->addCustomer("Abel"));
    EXPECT_EQ(there->customerChange(), start + 2);
    EXPECT_EQ(there->customers().names, (std::vector<std::string>{"Abel", "Müller"}));
    EXPECT_TRUE(there->removeCustomer("Abel"));
    EXPECT_FALSE(there->removeCustomer("Abel"));
    const auto list = here->customers();
    EXPECT_EQ(list.names, std::vector<std::string>{"Müller"});
    EXPECT_EQ(list.change, start + 3);
}

TEST_P(StoreTest, TakesOverTheOldFilesOnceAndLeavesThemAlone) {
    const fs::path addressFile = dir_ / "adressen.dat";
    fs::copy_file(fs::path(PYRELTO_FIXTURE_DIR) / "adressen.dat", addressFile);
    const std::string bytes = readFile(addressFile);
    OldProgramData old;
    old.addressFile = addressFile.string();
    old.firmSettings = {{"Firma", "Dachdeckerei Groß"}, {"Ansprechpartner", "Ida Groß"},
                        {"Strasse", "Hauptstraße 1"},   {"PlzOrt", "12345 Musterstadt"},
                        {"Telefon", "01234 5678"},      {"EMail", "info@gross.example"},
                        {"Web", "gross.example"},       {"SteuerNr", "DE123456789"},
                        {"Kontoinhaber", "Ida Groß"},   {"IBAN", "DE89370400440532013000"},
                        {"BIC", "COBADEFFXXX"},         {"Logo", "/home/ida/logo.png"},
                        {"Zahlungsbedingungen", ""},    {"Schlusstext", "Mit Gruß\nIda"},
                        {"Fremd", "bleibt draußen"}};
    old.offerSettings = {{"LetzteNummer", " 2026-014 "}};
    old.customers = {"Müller", "", "Öztürk GmbH"};

    auto store = open();
    ASSERT_TRUE(takeOverOldData(*store, old));
    FirmValues expected(old.firmSettings.begin(), old.firmSettings.end());
    expected.erase("Fremd");
    EXPECT_EQ(store->firmData(), expected);
    EXPECT_EQ(store->addresses(),
              (std::map<std::string, std::string, std::less<>>{
                  {"Bäckerei Groß", "Bäckerei Groß\nHauptstraße 1\n12345 Musterstadt"},
                  {"Müller", "Familie Müller\nAm Deich 7\n25761 Büsum"},
                  {"Straße 🏠 Nord", "O'Neil; DROP TABLE addresses;--\nשלום 5"}}));
    EXPECT_EQ(store->customers().names, (std::vector<std::string>{"Müller", "Öztürk GmbH"}));
    EXPECT_EQ(store->recordOffer(sampleOffer("2026-06-01")), "2026-015");
    EXPECT_EQ(readFile(addressFile), bytes);

    // Once only: another PC's old data does not overwrite what is shared now.
    old.firmSettings = {{"Firma", "Anders"}};
    EXPECT_FALSE(takeOverOldData(*open(), old));
    EXPECT_EQ(store->firmData().at("Firma"), "Dachdeckerei Groß");
}

TEST_P(StoreTest, TakeOverOfADamagedAddressFileTakesNothing) {
    const fs::path addressFile = dir_ / "adressen.dat";
    std::string bytes = readFile(fs::path(PYRELTO_FIXTURE_DIR) / "adressen.dat");
    bytes.resize(bytes.size() - 3);
    std::ofstream(addressFile, std::ios::binary) << bytes;
    OldProgramData old;
    old.addressFile = addressFile.string();
    old.firmSettings = {{"Firma", "Groß"}};
    old.offerSettings = {{"LetzteNummer", "A-17"}}; // no yearly number: no counter
    auto store = open();
    try {
        takeOverOldData(*store, old);
        FAIL();
    } catch (const StoreError& error) {
        EXPECT_NE(std::string(error.what()).find("beschädigt"), std::string::npos);
    }
    EXPECT_TRUE(store->firmData().empty());
    old.addressFile = (dir_ / "fehlt.dat").string();
    EXPECT_TRUE(takeOverOldData(*store, old));
    EXPECT_EQ(store->firmData().at("Firma"), "Groß");
    EXPECT_EQ(store->peekNumber(kOfferCounter, 2026), "2026-001");
}

TEST_P(StoreTest, TakeOverKeepsWhatTheStoreHoldsAlready) {
    auto store = open();
    store->setFirmData({{"Firma", "Neu"}});
    store->setAddress("Müller", "Neue Adresse");
    for (int i = 0; i < 3; ++i)
        store->recordOffer(sampleOffer());
    OldProgramData old;
    old.addressFile = (fs::path(PYRELTO_FIXTURE_DIR) / "adressen.dat").string();
    old.firmSettings = {{"Firma", "Alt"}, {"IBAN", "DE89370400440532013000"}};
    old.offerSettings = {{"LetzteNummer", "2026-002"}};
    ASSERT_TRUE(takeOverOldData(*store, old));
    EXPECT_EQ(store->firmData(),
              (FirmValues{{"Firma", "Neu"}, {"IBAN", "DE89370400440532013000"}}));
    EXPECT_EQ(store->address("Müller"), "Neue Adresse");
    EXPECT_EQ(store->addresses().size(), 3u);
    EXPECT_EQ(store->recordOffer(sampleOffer()), "2026-004");
}

TEST_P(StoreTest, ThreeProcessesRecordSixHundredDistinctNumbersWithoutGap) {
    open(); // created once, so that the three do not race to create it
    std::vector<pid_t> pids;
    pids.reserve(3);
    for (int p = 0; p < 3; ++p)
        pids.push_back(spawnTool({"record-offers", "--store", uri_, "--count", "200"},
                                 dir_ / ("out" + std::to_string(p))));
    for (const pid_t pid : pids) {
        const int status = waitFor(pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    }
    std::set<std::string> numbers;
    std::size_t printed = 0;
    for (int p = 0; p < 3; ++p)
        for (const auto& number : lines(readFile(dir_ / ("out" + std::to_string(p))))) {
            numbers.insert(number);
            ++printed;
        }
    EXPECT_EQ(printed, 600u);
    ASSERT_EQ(numbers.size(), 600u);
    EXPECT_EQ(*numbers.begin(), "2026-001");
    EXPECT_EQ(*numbers.rbegin(), "2026-600");
    const auto offers = open()->offers();
    std::set<std::string> recorded;
    for (const auto& offer : offers)
        recorded.insert(offer.number);
    EXPECT_EQ(offers.size(), 600u);
    EXPECT_EQ(recorded, numbers);
}

TEST_P(StoreTest, AProcessKilledWhileRecordingLeavesNothingBehind) {
    open()->recordOffer(sampleOffer());
    const fs::path output = dir_ / "held";
    const pid_t pid = spawnTool({"record-offers", "--store", uri_, "--count", "1", "--date",
                                 "2026-12-10", "--hold-ms", "60000"},
                                output);
    // Wait until it holds the counter with its number taken.
    for (int i = 0; i < 3000 && readFile(output).find('\n') == std::string::npos; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_EQ(readFile(output), "taken 2026-002\n");
    kill(pid, SIGKILL);
    const int status = waitFor(pid);
    EXPECT_TRUE(WIFSIGNALED(status));
    auto store = open();
    EXPECT_EQ(store->offers().size(), 1u);
    EXPECT_FALSE(store->offer("2026-002").has_value());
    EXPECT_EQ(store->recordOffer(sampleOffer()), "2026-002");
}

TEST_P(StoreTest, AConnectionThatBreaksWhileRecordingRollsBackAndCanBeRetried) {
    if (GetParam() != StoreEngine::Postgres)
        GTEST_SKIP() << "a file has no connection to lose";
    StoreHooks hooks;
    bool breakIt = true;
    hooks.numberTaken = [&](const std::string&) {
        if (!breakIt)
            return;
        breakIt = false;
        adminExec("SELECT pg_terminate_backend(pid) FROM pg_stat_activity "
                  "WHERE application_name = 'pyrelto' AND pid <> pg_backend_pid() "
                  "AND query ILIKE '%number_counters%'");
    };
    auto store = open(hooks);
    try {
        store->recordOffer(sampleOffer());
        FAIL() << "recorded over a broken connection";
    } catch (const StoreError& error) {
        EXPECT_EQ(error.kind(), StoreError::Kind::Unreachable);
        EXPECT_TRUE(std::string(error.what())
                        .starts_with("Die gemeinsame Datenbank ist nicht erreichbar: "))
            << error.what();
    }
    // The same store connects again, and the number was not used up.
    EXPECT_EQ(store->recordOffer(sampleOffer()), "2026-001");
    EXPECT_EQ(store->offers().size(), 1u);
    // A connection lost while idle (a server restart) is made again without an error.
    // (The timeout makes the server wait until the connection is gone.)
    adminExec("SELECT pg_terminate_backend(pid, 5000) FROM pg_stat_activity "
              "WHERE application_name = 'pyrelto' AND pid <> pg_backend_pid()");
    EXPECT_EQ(store->offers().size(), 1u);
}

TEST_P(StoreTest, IssuesInvoiceNumbersOfTheirOwnAndKeepsEveryByte) {
    auto store = open();
    EXPECT_EQ(store->peekNumber(kInvoiceCounter, 2026), "R-2026-0001");
    std::vector<std::string> madeUnder;
    const auto make = [&](const std::string& number) {
        madeUnder.push_back(number);
        return documentsFor(number);
    };
    EXPECT_EQ(store->issueInvoice(sampleInvoiceEntry("2026-12-10"), make), "R-2026-0001");
    EXPECT_EQ(store->issueInvoice(sampleInvoiceEntry("2026-12-01"), make), "R-2026-0002");
    EXPECT_EQ(store->issueInvoice(sampleInvoiceEntry("2027-01-04"), make), "R-2027-0001");
    EXPECT_EQ(madeUnder, (std::vector<std::string>{"R-2026-0001", "R-2026-0002", "R-2027-0001"}));
    EXPECT_EQ(store->peekNumber(kInvoiceCounter, 2026), "R-2026-0003");
    // The offers count on by themselves.
    EXPECT_EQ(store->recordOffer(sampleOffer()), "2026-001");

    InvoiceEntry partial = sampleInvoiceEntry("2026-12-11");
    partial.kind = InvoiceKind::Partial;
    partial.netCents = -9'000'000'000'000'000'000;
    partial.dueCents = 9'000'000'000'000'000'000;
    partial.calculation.clear();
    const std::string number = store->issueInvoice(partial, [](const std::string& taken) {
        InvoiceDocuments documents = documentsFor(taken);
        documents.xml.clear(); // a private customer gets no e-invoice
        return documents;
    });
    const auto record = store->invoice(number);
    ASSERT_TRUE(record);
    const InvoiceSummary& summary = record->summary;
    EXPECT_EQ(summary.number, "R-2026-0003");
    EXPECT_EQ(summary.kind, InvoiceKind::Partial);
    EXPECT_EQ(summary.issueDate, "2026-12-11");
    EXPECT_EQ(summary.dueDate, "2026-12-24");
    EXPECT_EQ(summary.customer, "Hausverwaltung Nord KG");
    EXPECT_EQ(summary.offerNumber, "2026-014");
    EXPECT_EQ(summary.corrects, "");
    EXPECT_EQ(summary.netCents, partial.netCents);
    EXPECT_EQ(summary.vatCents, 114657);
    EXPECT_EQ(summary.grossCents, 718113);
    EXPECT_EQ(summary.dueCents, partial.dueCents);
    EXPECT_EQ(summary.status, InvoiceStatus::Open);
    EXPECT_FALSE(summary.hasXml);
    EXPECT_EQ(record->documents.pdf, documentsFor(number).pdf);
    EXPECT_EQ(record->documents.invoiceData, documentsFor(number).invoiceData);
    EXPECT_EQ(record->documents.xml, "");
    EXPECT_EQ(record->calculation, "");
    EXPECT_EQ(record->recordedAt.size(), 27u);
    const auto first = store->invoice("R-2026-0001");
    EXPECT_EQ(first->documents.xml, documentsFor("R-2026-0001").xml);
    EXPECT_EQ(first->calculation, sampleInvoiceEntry().calculation);
    EXPECT_TRUE(first->summary.hasXml);

    std::vector<std::string> order;
    for (const auto& invoice : store->invoices())
        order.push_back(invoice.number);
    EXPECT_EQ(order, (std::vector<std::string>{"R-2027-0001", "R-2026-0003", "R-2026-0001",
                                               "R-2026-0002"}));
}

// Whatever stops an invoice on its way into the register leaves no record and uses up no number.
TEST_P(StoreTest, AnInvoiceThatFailsLeavesNoRecordAndNoGap) {
    auto store = open();
    struct Failure {
        const char* name;
        InvoiceEntry entry;
        InvoiceMaker make;
    };
    std::vector<Failure> failures;
    failures.push_back(
        {"documents fail", sampleInvoiceEntry(), [](const std::string&) -> InvoiceDocuments {
             throw std::runtime_error("Die Rechnungsnummer fehlt.");
         }});
    failures.push_back({"no PDF", sampleInvoiceEntry(), [](const std::string& number) {
                            InvoiceDocuments documents = documentsFor(number);
                            documents.pdf.clear();
                            return documents;
                        }});
    InvoiceEntry latin1 = sampleInvoiceEntry();
    latin1.customer = "M\xfcller";
    failures.push_back({"text no engine keeps", latin1, documentsFor});
    InvoiceEntry badDate = sampleInvoiceEntry("2026-02-30");
    failures.push_back({"impossible date", badDate, documentsFor});
    InvoiceEntry unknown = sampleInvoiceEntry();
    unknown.kind = InvoiceKind::CreditNote;
    unknown.corrects = "R-2026-0099";
    failures.push_back({"credit note of no invoice", unknown, documentsFor});
    InvoiceEntry nameless = sampleInvoiceEntry();
    nameless.kind = InvoiceKind::CreditNote;
    failures.push_back({"credit note naming nothing", nameless, documentsFor});
    InvoiceEntry stray = sampleInvoiceEntry();
    stray.corrects = "R-2026-0001";
    failures.push_back({"an invoice that names one", stray, documentsFor});
    for (const Failure& failure : failures) {
        SCOPED_TRACE(failure.name);
        try {
            store->issueInvoice(failure.entry, failure.make);
            ADD_FAILURE() << "issued";
        } catch (const StoreError& error) {
            EXPECT_EQ(error.kind(), StoreError::Kind::Refused) << error.what();
        } catch (const std::runtime_error& error) {
            // The maker's own exception passes through as it was.
            EXPECT_STREQ(error.what(), "Die Rechnungsnummer fehlt.");
        }
        EXPECT_TRUE(store->invoices().empty());
        EXPECT_EQ(store->peekNumber(kInvoiceCounter, 2026), "R-2026-0001");
    }
    EXPECT_EQ(issue(*store, sampleInvoiceEntry()), "R-2026-0001");
}

TEST_P(StoreTest, ACreditNoteCancelsOneIssuedInvoiceOnce) {
    auto store = open();
    const std::string original = issue(*store, sampleInvoiceEntry());
    InvoiceEntry credit = sampleInvoiceEntry("2026-12-12");
    credit.kind = InvoiceKind::CreditNote;
    credit.corrects = original;
    const std::string note = issue(*store, credit);
    EXPECT_EQ(note, "R-2026-0002");
    EXPECT_EQ(store->invoice(note)->summary.corrects, original);
    EXPECT_EQ(store->invoice(original)->summary.cancelledBy, note);
    EXPECT_EQ(store->invoices().front().corrects, original);

    const auto refused = [&](const InvoiceEntry& entry, const std::string& words) {
        try {
            issue(*store, entry);
            ADD_FAILURE() << "issued";
        } catch (const StoreError& error) {
            EXPECT_EQ(error.kind(), StoreError::Kind::Refused);
            EXPECT_NE(std::string(error.what()).find(words), std::string::npos) << error.what();
        }
    };
    refused(credit, "bereits durch die Gutschrift R-2026-0002 storniert");
    credit.corrects = note;
    refused(credit, "selbst eine Gutschrift");
    EXPECT_EQ(store->invoices().size(), 2u);
    EXPECT_EQ(store->peekNumber(kInvoiceCounter, 2026), "R-2026-0003");
}

// Paid or open is all that changes; the invoice as issued stays byte for byte, so saving its
// documents again from the register gives the files that went out.
TEST_P(StoreTest, PaymentIsTheOnlyChangeOfAnIssuedInvoice) {
    auto store = open();
    const std::string number = issue(*store, sampleInvoiceEntry());
    const auto issued = store->invoice(number);
    ASSERT_TRUE(issued);
    EXPECT_TRUE(issued->summary.overdue("2026-12-25"));
    EXPECT_FALSE(issued->summary.overdue("2026-12-24"));

    store->setInvoicePaid(number, "2027-01-05");
    auto paid = store->invoice(number);
    EXPECT_EQ(paid->summary.status, InvoiceStatus::Paid);
    EXPECT_EQ(paid->summary.paidOn, "2027-01-05");
    EXPECT_FALSE(paid->summary.overdue("2027-02-01"));
    EXPECT_EQ(paid->documents.pdf, issued->documents.pdf);
    EXPECT_EQ(paid->documents.xml, issued->documents.xml);
    EXPECT_EQ(paid->documents.invoiceData, issued->documents.invoiceData);
    EXPECT_EQ(paid->calculation, issued->calculation);
    EXPECT_EQ(paid->recordedAt, issued->recordedAt);
    EXPECT_EQ(paid->summary.grossCents, issued->summary.grossCents);

    store->setInvoicePaid(number, ""); // booked by mistake: open again
    EXPECT_EQ(store->invoice(number)->summary.status, InvoiceStatus::Open);
    EXPECT_EQ(store->invoice(number)->summary.paidOn, "");
    EXPECT_THROW(store->setInvoicePaid(number, "5.1.2027"), StoreError);
    EXPECT_THROW(store->setInvoicePaid("R-2026-0999", "2027-01-05"), StoreError);
    EXPECT_EQ(store->invoice(number)->summary.status, InvoiceStatus::Open);

    // A cancelled invoice and a credit note are not overdue.
    InvoiceEntry credit = sampleInvoiceEntry();
    credit.kind = InvoiceKind::CreditNote;
    credit.corrects = number;
    const std::string note = issue(*store, credit);
    EXPECT_FALSE(store->invoice(number)->summary.overdue("2027-06-01"));
    EXPECT_FALSE(store->invoice(note)->summary.overdue("2027-06-01"));
}

TEST_P(StoreTest, ThreeProcessesIssueThreeHundredInvoicesWithoutGap) {
    open();
    std::vector<pid_t> pids;
    pids.reserve(3);
    for (int p = 0; p < 3; ++p)
        pids.push_back(spawnTool({"issue-invoices", "--store", uri_, "--count", "100"},
                                 dir_ / ("out" + std::to_string(p))));
    for (const pid_t pid : pids) {
        const int status = waitFor(pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    }
    std::set<std::string> numbers;
    std::size_t printed = 0;
    for (int p = 0; p < 3; ++p)
        for (const auto& number : lines(readFile(dir_ / ("out" + std::to_string(p))))) {
            numbers.insert(number);
            ++printed;
        }
    EXPECT_EQ(printed, 300u);
    ASSERT_EQ(numbers.size(), 300u);
    // "R-2026-0001" … "R-2026-0300": four digits sort as numbers do.
    EXPECT_EQ(*numbers.begin(), "R-2026-0001");
    EXPECT_EQ(*numbers.rbegin(), "R-2026-0300");
    auto store = open();
    const auto invoices = store->invoices();
    std::set<std::string> recorded;
    for (const auto& invoice : invoices)
        recorded.insert(invoice.number);
    EXPECT_EQ(invoices.size(), 300u);
    EXPECT_EQ(recorded, numbers);
    // Each invoice's documents were made under the number it is recorded with.
    for (const std::string number : {"R-2026-0001", "R-2026-0150", "R-2026-0300"}) {
        const auto record = store->invoice(number);
        ASSERT_TRUE(record);
        EXPECT_EQ(record->documents.pdf, "%PDF-stand-in " + number);
        EXPECT_NE(record->documents.xml.find("<ram:ID>" + number + "</ram:ID>"), std::string::npos);
    }
}

TEST_P(StoreTest, AProcessKilledWhileIssuingLeavesNoNumberUsed) {
    auto store = open();
    issue(*store, sampleInvoiceEntry());
    const fs::path output = dir_ / "held";
    const pid_t pid = spawnTool({"issue-invoices", "--store", uri_, "--count", "1", "--date",
                                 "2026-12-10", "--hold-ms", "60000"},
                                output);
    for (int i = 0; i < 3000 && readFile(output).find('\n') == std::string::npos; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_EQ(readFile(output), "taken R-2026-0002\n");
    kill(pid, SIGKILL);
    EXPECT_TRUE(WIFSIGNALED(waitFor(pid)));
    EXPECT_EQ(store->invoices().size(), 1u);
    EXPECT_FALSE(store->invoice("R-2026-0002").has_value());
    EXPECT_EQ(store->peekNumber(kInvoiceCounter, 2026), "R-2026-0002");
    EXPECT_EQ(issue(*store, sampleInvoiceEntry()), "R-2026-0002");
}

TEST(InvoiceEntry, TakesTheRegistersFiguresFromTheInvoice) {
    Invoice invoice;
    invoice.kind = InvoiceKind::CreditNote;
    invoice.issueDate = {2026, 12, 10};
    invoice.paymentDays = 14;
    invoice.originalNumber = "R-2026-0007";
    invoice.offerNumber = "2026-014";
    invoice.buyer.name = "Müller";
    // 2,5 m² × 10,01 € = 25,03 € (25,025 rounds up); 19 %: 4,76 €.
    invoice.lines.push_back({"Dach", 2500, "MTK", Money::fromCents(1001), 1900, Money()});
    invoice.partials.push_back(
        {"R-2026-0003", {2026, 11, 1}, Money(), Money(), Money::fromCents(1000)});
    const InvoiceEntry entry = invoiceEntryOf(invoice, "kal");
    EXPECT_EQ(entry.kind, InvoiceKind::CreditNote);
    EXPECT_EQ(entry.issueDate, "2026-12-10");
    EXPECT_EQ(entry.dueDate, "2026-12-24");
    EXPECT_EQ(entry.customer, "Müller");
    EXPECT_EQ(entry.offerNumber, "2026-014");
    EXPECT_EQ(entry.corrects, "R-2026-0007");
    EXPECT_EQ(entry.netCents, 2503);
    EXPECT_EQ(entry.vatCents, 476);
    EXPECT_EQ(entry.grossCents, 2979);
    EXPECT_EQ(entry.dueCents, 1979);
    EXPECT_EQ(entry.calculation, "kal");
    invoice.kind = InvoiceKind::Invoice;
    EXPECT_EQ(invoiceEntryOf(invoice).corrects, "");
}

INSTANTIATE_TEST_SUITE_P(Engines, StoreTest, test::kBothEngines, test::engineName);

TEST(StoreOpening, AnUnreachableServerIsReportedInGermanWithoutWaiting) {
    // A closed port on this machine: refused at once.
    try {
        openStore("host=127.0.0.1 port=1 dbname=pyrelto connect_timeout=2");
        FAIL();
    } catch (const StoreError& error) {
        EXPECT_EQ(error.kind(), StoreError::Kind::Unreachable);
        EXPECT_TRUE(std::string(error.what())
                        .starts_with("Die gemeinsame Datenbank ist nicht erreichbar: "))
            << error.what();
    }
}

TEST(StoreOpening, TellsServersFromFiles) {
    EXPECT_TRUE(isPostgresUri("postgresql://buero/pyrelto"));
    EXPECT_TRUE(isPostgresUri("host=buero dbname=pyrelto"));
    EXPECT_TRUE(isPostgresUri("service=pyrelto"));
    EXPECT_FALSE(isPostgresUri("/home/ida/.local/share/Pyrelto/pyrelto.db"));
    EXPECT_FALSE(isPostgresUri("C:\\Daten\\a=b.db"));
    EXPECT_FALSE(isPostgresUri("pyrelto.db"));
}

} // namespace
} // namespace pyrelto
