// "Datenbank...": the choice between this PC's file and a shared PostgreSQL server, kept in the
// settings without a password, and the window's commands following it. A closed port on this
// machine stands for a server that is down; with PYRELTO_TEST_PG set, a real server is shared by
// the window and pyrelto-cli in another home folder (a second PC).

#include "MainUnit.h"
#include "customer_file.h"
#include "customer_list.h"
#include "customer_tab.h"
#include "database_dialog.h"
#include "deferred_page.h"
#include "offer_dialog.h"
#include "offer_register_tab.h"
#include "program_store.h"
#include "qt_text.h"
#include "settings_store.h"
#include "store.h"
#include "ui_test_support.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTreeView>
#include <algorithm>
#include <arpa/inet.h>
#include <cstdlib>
#include <gtest/gtest.h>
#include <libpq-fe.h>
#include <map>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace pyrelto {
namespace {

using test::toStd;

// What libpq reads from a connection string: keyword → value, for those given.
std::map<std::string, std::string> parsed(const std::string& conninfo) {
    std::map<std::string, std::string> values;
    char* error = nullptr;
    PQconninfoOption* options = PQconninfoParse(conninfo.c_str(), &error);
    EXPECT_NE(options, nullptr) << (error ? error : "");
    PQfreemem(error);
    for (PQconninfoOption* o = options; o && o->keyword; ++o)
        if (o->val)
            values[o->keyword] = o->val;
    PQconninfoFree(options);
    return values;
}

TEST(DatabaseChoice, ConnectionStringsKeepEveryValueWhole) {
    struct Row {
        const char* name;
        DatabaseChoice choice;
        std::map<std::string, std::string> expected;
    };
    DatabaseChoice plain{
        true, QStringLiteral("buero.local"), 5433, QStringLiteral("pyrelto"), QStringLiteral("ida"),
        false};
    DatabaseChoice hostile{true,
                           QStringLiteral(" 192.168.1.10 "),
                           5432,
                           QStringLiteral("x' sslmode='disable"),
                           QStringLiteral("a\\b c"),
                           true};
    DatabaseChoice noUser = plain;
    noUser.user.clear();
    const Row rows[] = {
        {"plain",
         plain,
         {{"host", "buero.local"},
          {"port", "5433"},
          {"dbname", "pyrelto"},
          {"user", "ida"},
          {"sslmode", "prefer"}}},
        {"hostile",
         hostile,
         {{"host", "192.168.1.10"},
          {"port", "5432"},
          {"dbname", "x' sslmode='disable"},
          {"user", "a\\b c"},
          {"sslmode", "require"}}},
        {"noUser",
         noUser,
         {{"host", "buero.local"}, {"port", "5433"}, {"dbname", "pyrelto"}, {"sslmode", "prefer"}}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string text = connectionString(row.choice);
        EXPECT_TRUE(isPostgresUri(text)) << text;
        EXPECT_EQ(storeUri(row.choice), text);
        EXPECT_EQ(parsed(text), row.expected) << text;
    }
}

TEST(DatabaseChoice, KeptInTheSettingsWithoutAPassword) {
    MemorySettingsStore settings;
    EXPECT_EQ(readDatabaseChoice(settings), DatabaseChoice{});
    const DatabaseChoice server{
        true, QStringLiteral("buero"), 6543, QStringLiteral("firma"), QStringLiteral("ida"), true};
    ASSERT_TRUE(writeDatabaseChoice(settings, server));
    EXPECT_EQ(readDatabaseChoice(settings), server);
    std::vector<std::u16string> names;
    for (const auto& [name, value] : settings.values)
        names.push_back(name);
    EXPECT_EQ(names, (std::vector<std::u16string>{u"Art", u"Benutzer", u"Datenbank", u"Host",
                                                  u"Port", u"SSL"}));
    // Values typed into the settings by hand that cannot be used are the defaults.
    settings.setString(u"Port", u"neunzig");
    settings.setString(u"Art", u"Sonstwas");
    const DatabaseChoice read = readDatabaseChoice(settings);
    EXPECT_FALSE(read.server);
    EXPECT_EQ(read.port, 5432);
    EXPECT_TRUE(storeUri(read).ends_with("pyrelto.db"));
}

class DatabaseChoiceTest : public test::UiTest {
protected:
    void SetUp() override {
        form = std::make_unique<TMainForm>();
        form->show();
        QCoreApplication::processEvents();
    }
    void TearDown() override {
        form->close();
        form.reset();
    }

    static QString settingsPath() {
        return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
               QLatin1Char('/') + QtSettingsStore::executableBaseName() + QStringLiteral(".conf");
    }
    QString localDatabase() const {
        return tempPath(QStringLiteral("xdg_data_home")) +
               QStringLiteral("/Torvane/Pyrelto Kalkulation/pyrelto.db");
    }

    // A database of its own on the test server (PYRELTO_TEST_PG), dropped at the end.
    struct ServerDatabase {
        static constexpr const char* kSkipped =
            "PostgreSQL skipped: PYRELTO_TEST_PG is not set (scripts/test.sh postgres sets it)";
        explicit ServerDatabase(const std::string& suffix) {
            const char* server = std::getenv("PYRELTO_TEST_PG");
            given = server != nullptr && *server != '\0';
            if (!given)
                return;
            const auto values = parsed(server);
            admin = PQconnectdb(server);
            EXPECT_EQ(PQstatus(admin), CONNECTION_OK) << PQerrorMessage(admin);
            PQsetNoticeProcessor(
                admin, [](void*, const char*) {}, nullptr);
            database =
                "app_test_" + suffix + "_" + std::to_string(QCoreApplication::applicationPid());
            PQclear(PQexec(admin, ("DROP DATABASE IF EXISTS " + database).c_str()));
            PQclear(PQexec(admin, ("CREATE DATABASE " + database).c_str()));
            choice.server = true;
            choice.host = QString::fromStdString(values.at("host"));
            choice.port = std::stoi(values.count("port") ? values.at("port") : "5432");
            choice.database = QString::fromStdString(database);
            choice.user = QString::fromStdString(values.count("user") ? values.at("user") : "");
        }
        ~ServerDatabase() {
            if (admin == nullptr)
                return;
            PQclear(
                PQexec(admin, ("DROP DATABASE IF EXISTS " + database + " WITH (FORCE)").c_str()));
            PQfinish(admin);
        }
        ServerDatabase(const ServerDatabase&) = delete;
        ServerDatabase& operator=(const ServerDatabase&) = delete;

        bool given = false;
        PGconn* admin = nullptr;
        std::string database;
        DatabaseChoice choice;
    };

    // "Datenbank..." set to `shared`, the connection tested in the dialog first.
    void chooseServer(const DatabaseChoice& shared) {
        chooseDatabase([&shared](DatabaseDialog& dialog) {
            dialog.serverButton->setChecked(true);
            dialog.hostEdit->setText(shared.host);
            dialog.portSpin->setValue(shared.port);
            dialog.databaseEdit->setText(shared.database);
            dialog.userEdit->setText(shared.user);
            dialog.testButton->click();
            EXPECT_EQ(dialog.resultLabel->text(), QStringLiteral("Verbindung hergestellt."));
            dialog.accept();
            return dialog.result() == QDialog::Accepted;
        });
    }

    // "Datenbank..." with `fill` working on the real form.
    void chooseDatabase(const std::function<bool(DatabaseDialog&)>& fill) {
        dialogs_.formAnswers.push_back(
            [fill](QDialog& dialog) { return fill(dynamic_cast<DatabaseDialog&>(dialog)); });
        form->chooseDatabaseAction->trigger();
        ASSERT_TRUE(dialogs_.formAnswers.empty());
    }

    // The window asks the database only after its first paint, and connects off its own thread.
    void untilStarted() {
        QElapsedTimer waited;
        waited.start();
        while (!form->sharedCustomersStarted() && waited.elapsed() < 20000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        ASSERT_TRUE(form->sharedCustomersStarted());
    }

    // The window closed and started again, as on the next morning.
    void restart() {
        form->close();
        form = std::make_unique<TMainForm>();
        form->show();
        untilStarted();
    }

    std::unique_ptr<TMainForm> form;
};

// A port on this machine that nobody listens on: a server that is down.
int closedPort() {
    const int probe = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    EXPECT_EQ(::bind(probe, reinterpret_cast<sockaddr*>(&address), length), 0);
    EXPECT_EQ(::getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length), 0);
    ::close(probe);
    return ntohs(address.sin_port);
}

TEST_F(DatabaseChoiceTest, AServerThatIsDownIsSaidAndNothingGoesOutAsRecorded) {
    const int port = closedPort();
    chooseDatabase([port](DatabaseDialog& dialog) {
        EXPECT_TRUE(dialog.localButton->isChecked());
        EXPECT_FALSE(dialog.hostEdit->isEnabled());
        EXPECT_TRUE(dialog.passwordLabel->text().contains(QStringLiteral("pgpass")));
        dialog.serverButton->setChecked(true);
        EXPECT_TRUE(dialog.hostEdit->isEnabled());
        // No server given: refused, the form stays.
        dialog.accept();
        EXPECT_NE(dialog.result(), QDialog::Accepted);
        dialog.hostEdit->setText(QStringLiteral("127.0.0.1"));
        dialog.portSpin->setValue(port);
        dialog.tlsBox->setCurrentIndex(1);
        QElapsedTimer timer;
        timer.start();
        dialog.testButton->click();
        EXPECT_LT(timer.elapsed(), 5000) << "a refused connection is not waited for";
        EXPECT_TRUE(dialog.resultLabel->text().startsWith(
            QStringLiteral("Die gemeinsame Datenbank ist nicht erreichbar: ")))
            << toStd(dialog.resultLabel->text());
        dialog.accept();
        return dialog.result() == QDialog::Accepted;
    });
    ASSERT_EQ(dialogs_.messages.size(), 1u) << "the refused OK";
    {
        QSettings settings(settingsPath(), QSettings::IniFormat);
        settings.beginGroup(QStringLiteral("Datenbank"));
        EXPECT_EQ(settings.allKeys(),
                  (QStringList{QStringLiteral("Art"), QStringLiteral("Benutzer"),
                               QStringLiteral("Datenbank"), QStringLiteral("Host"),
                               QStringLiteral("Port"), QStringLiteral("SSL")}));
        EXPECT_EQ(settings.value(QStringLiteral("Art")).toString(), QStringLiteral("PostgreSQL"));
        EXPECT_EQ(settings.value(QStringLiteral("Port")).toString(), QString::number(port));
        EXPECT_EQ(settings.value(QStringLiteral("SSL")).toString(), QStringLiteral("require"));
    }

    // The offer says why and opens no form; the tab says so in itself; the sheet goes on.
    dialogs_.formAnswers.push_back([](QDialog&) { return false; });
    form->offerButton->click();
    EXPECT_EQ(dialogs_.formAnswers.size(), 1u);
    dialogs_.formAnswers.clear();
    ASSERT_EQ(dialogs_.messages.size(), 2u);
    EXPECT_TRUE(dialogs_.messages[1].text.startsWith(
        QStringLiteral("Die gemeinsame Datenbank ist nicht erreichbar: ")))
        << toStd(dialogs_.messages[1].text);
    form->PageControl1->setCurrentWidget(form->offerPage);
    QCoreApplication::processEvents();
    EXPECT_TRUE(form->offerRegisterTab()->messageLabel->text().startsWith(
        QStringLiteral("Die gemeinsame Datenbank ist nicht erreichbar: ")));
    EXPECT_EQ(dialogs_.messages.size(), 2u);
    form->sheet().enter(FieldId::Dach14Ed, u"24");
    EXPECT_EQ(form->sheet().shownText(FieldId::Dach14Ed), u"24,00");
    EXPECT_FALSE(QFile::exists(localDatabase()));

    // Back to this PC: the offer works at once, and the tab shows the local register.
    chooseDatabase([](DatabaseDialog& dialog) {
        EXPECT_TRUE(dialog.serverButton->isChecked());
        EXPECT_EQ(dialog.tlsBox->currentIndex(), 1);
        dialog.localButton->setChecked(true);
        dialog.accept();
        return dialog.result() == QDialog::Accepted;
    });
    EXPECT_FALSE(form->offerRegisterTab()->messageLabel->isVisibleTo(form->offerRegisterTab()));
    dialogs_.fileAnswers = {tempPath(QStringLiteral("angebot.pdf"))};
    // The sheet has no customer: going on regardless.
    dialogs_.questionAnswers = {Dialogs::Answer::Yes};
    dialogs_.formAnswers.push_back([](QDialog& dialog) {
        dynamic_cast<OfferDialog&>(dialog).pdfButton->click();
        return false;
    });
    form->offerButton->click();
    EXPECT_EQ(dialogs_.messages.size(), 2u);
    EXPECT_TRUE(QFile::exists(localDatabase()));
    EXPECT_EQ(form->programStore().offers().size(), 1u);
}

// Two PCs on one server: this window and pyrelto-cli with a home folder of its own. Each sees the
// other's offers, and the numbers go on across both.
TEST_F(DatabaseChoiceTest, TwoPcsShareTheRegisterOfOneServer) {
    const ServerDatabase server("register");
    if (!server.given)
        GTEST_SKIP() << ServerDatabase::kSkipped;
    const DatabaseChoice& shared = server.choice;
    chooseServer(shared);
    const QString year = QString::number(QDate::currentDate().year());
    form->sheet().enter(FieldId::KundeEd, u"Erster PC");
    // No roof area: going on regardless.
    dialogs_.questionAnswers = {Dialogs::Answer::Yes};
    dialogs_.fileAnswers = {tempPath(QStringLiteral("hier.pdf"))};
    dialogs_.formAnswers.push_back([](QDialog& dialog) {
        dynamic_cast<OfferDialog&>(dialog).pdfButton->click();
        return false;
    });
    form->offerButton->click();
    ASSERT_TRUE(dialogs_.messages.empty()) << toStd(dialogs_.messages[0].text);

    // The other PC: its own home, its settings pointing at the same server.
    const QString other = tempPath(QStringLiteral("zweiter_pc"));
    ASSERT_TRUE(QDir().mkpath(other + QStringLiteral("/config")));
    {
        QSettings settings(other + QStringLiteral("/config/pyrelto.conf"), QSettings::IniFormat);
        MemorySettingsStore choice;
        writeDatabaseChoice(choice, shared);
        for (const auto& [name, value] : choice.values)
            settings.setValue(QStringLiteral("Datenbank/") + toQString(name),
                              toQString(value.text));
    }
    QProcess cli;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), other);
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), other + QStringLiteral("/config"));
    environment.insert(QStringLiteral("XDG_DATA_HOME"), other + QStringLiteral("/data"));
    cli.setProcessEnvironment(environment);
    cli.start(QStringLiteral(PYRELTO_CLI),
              {QStringLiteral("KundeEd=Zweiter PC"), QStringLiteral("Dach14Ed=10"),
               QStringLiteral("--offer"), other + QStringLiteral("/dort.pdf"),
               QStringLiteral("--offers")});
    ASSERT_TRUE(cli.waitForFinished(60000));
    EXPECT_EQ(cli.exitCode(), 0) << cli.readAllStandardError().toStdString();
    const QString listed = QString::fromUtf8(cli.readAllStandardOutput());
    EXPECT_TRUE(listed.contains(year + QStringLiteral("-001"))) << toStd(listed);
    EXPECT_TRUE(listed.contains(year + QStringLiteral("-002")));

    form->PageControl1->setCurrentWidget(form->offerPage);
    QCoreApplication::processEvents();
    const QAbstractItemModel* model = form->offerRegisterTab()->offerList->model();
    ASSERT_EQ(model->rowCount(), 2);
    QStringList customers;
    for (int row = 0; row < 2; ++row)
        customers << model->index(row, 2).data().toString();
    customers.sort();
    EXPECT_EQ(customers, (QStringList{QStringLiteral("Erster PC"), QStringLiteral("Zweiter PC")}));
    EXPECT_FALSE(QFile::exists(localDatabase()));
}

// The server stops while the window runs: the offer says why in German and goes out as nothing,
// the sheet and what was typed stay; once the server is back the same window makes the offer
// without a restart.
TEST_F(DatabaseChoiceTest, AServerStoppedWhileTheWindowRunsLosesNothing) {
    const ServerDatabase server("halt");
    const char* stop = std::getenv("PYRELTO_TEST_PG_STOP");
    const char* start = std::getenv("PYRELTO_TEST_PG_START");
    if (!server.given || stop == nullptr || start == nullptr)
        GTEST_SKIP() << ServerDatabase::kSkipped;
    chooseServer(server.choice);
    form->sheet().enter(FieldId::KundeEd, u"Müller");
    form->sheet().enter(FieldId::Dach14Ed, u"24");
    const auto offerTo = [this](const QString& pdf) {
        // Nothing to pay on this sheet: going on regardless.
        dialogs_.questionAnswers = {Dialogs::Answer::Yes};
        dialogs_.fileAnswers = {pdf};
        dialogs_.formAnswers.push_back([](QDialog& dialog) {
            dynamic_cast<OfferDialog&>(dialog).pdfButton->click();
            return false;
        });
        form->offerButton->click();
        dialogs_.formAnswers.clear();
        dialogs_.questionAnswers.clear();
    };
    offerTo(tempPath(QStringLiteral("vorher.pdf")));
    ASSERT_TRUE(dialogs_.messages.empty()) << toStd(dialogs_.messages[0].text);

    ASSERT_EQ(std::system(stop), 0);
    const QString during = tempPath(QStringLiteral("waehrend.pdf"));
    offerTo(during);
    ASSERT_EQ(dialogs_.messages.size(), 1u);
    EXPECT_TRUE(dialogs_.messages[0].text.contains(
        QStringLiteral("Die gemeinsame Datenbank ist nicht erreichbar")))
        << toStd(dialogs_.messages[0].text);
    EXPECT_FALSE(QFile::exists(during));
    EXPECT_EQ(form->sheet().shownText(FieldId::KundeEd), u"Müller");
    form->sheet().enter(FieldId::Dach14Ed, u"30");
    EXPECT_EQ(form->sheet().shownText(FieldId::Dach14Ed), u"30,00");

    ASSERT_EQ(std::system(start), 0);
    const QString after = tempPath(QStringLiteral("nachher.pdf"));
    offerTo(after);
    EXPECT_EQ(dialogs_.messages.size(), 1u);
    EXPECT_TRUE(QFile::exists(after));
    const auto offers = form->programStore().offers();
    ASSERT_EQ(offers.size(), 2u);
    for (const auto& offer : offers)
        EXPECT_TRUE(offer.pdfWritten) << offer.number;
}

std::vector<std::u16string> sortedNames(const CustomerList& list) {
    std::vector<std::u16string> names = list.names();
    std::sort(names.begin(), names.end());
    return names;
}

// Two PCs on one server share the customer list: joining unites the two lists, the other PC's
// additions and deletions come in when this window turns to its list, this PC's go out, and
// options.dat keeps the local copy at close.
TEST_F(DatabaseChoiceTest, TwoPcsShareTheCustomerList) {
    const ServerDatabase server("kunden");
    if (!server.given)
        GTEST_SKIP() << ServerDatabase::kSkipped;
    untilStarted();
    CustomerList& list = form->customerTab()->list();
    list.assign({u"Müller", u"Schulz"});
    // On this PC's own database the list is the file's alone.
    EXPECT_FALSE(form->syncSharedCustomers());
    EXPECT_TRUE(form->programStore().customers().names.empty());

    const auto otherPc = openStore(connectionString(server.choice));
    otherPc->addCustomer("Weber");
    otherPc->addCustomer("Schulz");
    chooseServer(server.choice);
    EXPECT_EQ(sortedNames(list), (std::vector<std::u16string>{u"Müller", u"Schulz", u"Weber"}));
    EXPECT_EQ(otherPc->customers().names, (std::vector<std::string>{"Müller", "Schulz", "Weber"}));

    // Meanwhile the other PC deletes Schulz and adds Yılmaz; here Müller is renamed and a new
    // entry is still empty.
    otherPc->removeCustomer("Schulz");
    otherPc->addCustomer("Yılmaz");
    list.setName(list.find(u"Müller", 0), u"Müller-Lüdenscheidt");
    list.append();
    form->PageControl1->setCurrentWidget(form->customerPage());
    const std::vector<std::u16string> expected{u"", u"Müller-Lüdenscheidt", u"Weber", u"Yılmaz"};
    EXPECT_EQ(sortedNames(list), expected);
    EXPECT_EQ(otherPc->customers().names,
              (std::vector<std::string>{"Müller-Lüdenscheidt", "Weber", "Yılmaz"}));
    // Nothing new on either side: nothing changes.
    EXPECT_FALSE(form->syncSharedCustomers());
    EXPECT_EQ(sortedNames(list), expected);

    // A later start keeps its deletions: Schulz stays gone although this PC's file had him.
    form->close();
    const auto saved = readCustomerFile(GetProgramDir(true) + std::u16string(kCustomerFileName));
    ASSERT_TRUE(saved.has_value());
    std::vector<std::u16string> savedNames = *saved;
    std::sort(savedNames.begin(), savedNames.end());
    EXPECT_EQ(savedNames, expected);
    otherPc->removeCustomer("Weber");
    restart();
    EXPECT_EQ(sortedNames(form->customerTab()->list()),
              (std::vector<std::u16string>{u"", u"Müller-Lüdenscheidt", u"Yılmaz"}));
}

// What this PC changed while the server was down is still its own change after a restart: the
// name added offline goes to the server, the one deleted offline stays deleted there, and the other
// PC's addition comes in.
TEST_F(DatabaseChoiceTest, ChangesMadeWhileTheServerWasDownSurviveARestart) {
    const ServerDatabase server("offline");
    const char* stop = std::getenv("PYRELTO_TEST_PG_STOP");
    const char* start = std::getenv("PYRELTO_TEST_PG_START");
    if (!server.given || stop == nullptr || start == nullptr)
        GTEST_SKIP() << ServerDatabase::kSkipped;
    untilStarted();
    form->customerTab()->list().assign({u"Altbau GmbH", u"Becker"});
    chooseServer(server.choice);
    const auto otherPc = openStore(connectionString(server.choice));
    ASSERT_EQ(otherPc->customers().names, (std::vector<std::string>{"Altbau GmbH", "Becker"}));

    ASSERT_EQ(std::system(stop), 0);
    CustomerList& list = form->customerTab()->list();
    list.remove(list.find(u"Altbau GmbH", 0));
    list.setName(list.append(), u"Neubau KG");
    form->close();
    ASSERT_EQ(std::system(start), 0);
    const auto otherPcAgain = openStore(connectionString(server.choice));
    otherPcAgain->addCustomer("Weber");

    form = std::make_unique<TMainForm>();
    form->show();
    untilStarted();
    const std::vector<std::u16string> expected{u"Becker", u"Neubau KG", u"Weber"};
    EXPECT_EQ(sortedNames(form->customerTab()->list()), expected);
    EXPECT_EQ(otherPcAgain->customers().names,
              (std::vector<std::string>{"Becker", "Neubau KG", "Weber"}));
}

// A server that takes the connection but never answers (a host dropping packets behaves alike):
// the window goes on painting and taking input while it connects, and when the attempt fails the
// list is this PC's own, without a message nobody asked for.
TEST_F(DatabaseChoiceTest, AServerThatNeverAnswersDoesNotHoldTheWindow) {
    untilStarted();
    const int silent = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(::bind(silent, reinterpret_cast<sockaddr*>(&address), length), 0);
    ASSERT_EQ(::listen(silent, 4), 0);
    ASSERT_EQ(::getsockname(silent, reinterpret_cast<sockaddr*>(&address), &length), 0);
    DatabaseChoice choice;
    choice.server = true;
    choice.host = QStringLiteral("127.0.0.1");
    choice.port = ntohs(address.sin_port);
    choice.database = QStringLiteral("pyrelto");
    form->customerTab()->list().assign({u"Becker"});
    form->close();
    ASSERT_TRUE(writeDatabaseChoice(*programSettings(toQString(kDatabaseGroup)), choice));
    form = std::make_unique<TMainForm>();
    form->show();

    // The connection is waiting in the server's queue; the window's thread is back here all the
    // same, the attempt still open.
    pollfd waiting{silent, POLLIN, 0};
    QElapsedTimer waited;
    waited.start();
    while (::poll(&waiting, 1, 0) == 0 && waited.elapsed() < 20000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    ASSERT_EQ(waiting.revents & POLLIN, POLLIN);
    QCoreApplication::processEvents();
    EXPECT_FALSE(form->sharedCustomersStarted());
    form->sheet().enter(FieldId::KundeEd, u"Becker");
    EXPECT_EQ(form->sheet().shownText(FieldId::KundeEd), u"Becker");

    ::close(silent); // the queued connection is reset: the attempt fails
    untilStarted();
    EXPECT_EQ(form->customerTab()->list().names(), std::vector<std::u16string>{u"Becker"});
    EXPECT_TRUE(dialogs_.messages.empty());
}

} // namespace
} // namespace pyrelto
