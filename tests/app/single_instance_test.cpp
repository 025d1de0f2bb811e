// One program per user: a second start hands its file to the running window and ends. The real
// executable runs twice here, with its own temporary home, data, settings and runtime folders;
// another user's program at the channel is played by channel-peer, run as a second user.

#include "MainUnit.h"
#include "calculation_file.h"
#include "customer_file.h"
#include "instance_channel.h"
#include "single_instance.h"
#include "ui_test_support.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSettings>
#include <QSignalSpy>
#include <QTest>
#include <cerrno>
#include <csignal>
#include <gtest/gtest.h>
#include <iostream>
#include <memory>
#include <optional>
#include <pwd.h>
#include <string>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace pyrelto {
namespace {

using Names = std::vector<std::u16string>;

// ASan starts slowly on a busy machine; these only bound a failing run.
constexpr int kStartMs = 60000;

// A start's end of the channel, made by hand: whatever a start, a flood or a stranger sends.
class RawClient {
public:
    explicit RawClient(const QString& path) {
        fd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        const QByteArray name = QFile::encodeName(path);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        if (fd_ < 0 || static_cast<std::size_t>(name.size()) >= sizeof address.sun_path)
            return;
        std::copy(name.begin(), name.end(), address.sun_path);
        connected_ =
            ::connect(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    }
    ~RawClient() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    RawClient(const RawClient&) = delete;
    RawClient& operator=(const RawClient&) = delete;

    bool connected() const { return connected_; }
    void send(const std::string& bytes) const {
        ASSERT_EQ(::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL),
                  static_cast<ssize_t>(bytes.size()));
    }
    // Takes what has arrived; true once the other end has hung up.
    bool hungUp() {
        char buffer[64];
        for (;;) {
            const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
            if (n > 0) {
                received_.append(buffer, static_cast<std::size_t>(n));
                continue;
            }
            return n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK);
        }
    }
    const std::string& received() const { return received_; }

private:
    int fd_ = -1;
    bool connected_ = false;
    std::string received_;
};

bool answers(const QString& socket) {
    return !socket.isEmpty() && RawClient(socket).connected();
}

// A second user for the tests that put a stranger at the channel: made with useradd when the
// tests run as root. nullopt, with the reason, otherwise.
std::optional<uid_t> otherUser(QString& why) {
    if (::geteuid() != 0) {
        why = QStringLiteral("only root can act as a second user");
        return std::nullopt;
    }
    const char* name = "pyrelto-test";
    if (const passwd* user = ::getpwnam(name))
        return user->pw_uid;
    QProcess::execute(QStringLiteral("useradd"),
                      {QStringLiteral("--system"), QStringLiteral("--no-create-home"),
                       QStringLiteral("--shell"), QStringLiteral("/usr/sbin/nologin"),
                       QString::fromLatin1(name)});
    if (const passwd* user = ::getpwnam(name))
        return user->pw_uid;
    why = QStringLiteral("useradd could not make the user pyrelto-test");
    return std::nullopt;
}

// channel-peer in a process of its own (see tests/channel/channel_peer.cpp).
class Peer {
public:
    explicit Peer(const QStringList& arguments) {
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process_.start(QStringLiteral(PYRELTO_CHANNEL_PEER), arguments);
    }
    ~Peer() {
        if (process_.state() != QProcess::NotRunning) {
            process_.kill();
            process_.waitForFinished(kStartMs);
        }
    }
    Peer(const Peer&) = delete;
    Peer& operator=(const Peer&) = delete;

    // A listening peer: once it listens.
    bool ready() {
        while (!output_.contains("ready\n")) {
            if (!process_.waitForReadyRead(kStartMs))
                return false;
            output_ += process_.readAllStandardOutput();
        }
        return true;
    }
    // Ends a listening peer, or waits for a sending one, keeping the event loop running for a
    // window in this process that it talks to. Everything the peer printed.
    QString finish() {
        process_.closeWriteChannel();
        QElapsedTimer clock;
        clock.start();
        while (process_.state() != QProcess::NotRunning && clock.elapsed() < kStartMs)
            QTest::qWait(20);
        output_ += process_.readAllStandardOutput();
        return QString::fromUtf8(output_);
    }

private:
    QProcess process_;
    QByteArray output_;
};

class SingleInstanceProcessTest : public ::testing::Test {
protected:
    SingleInstanceProcessTest() {
        test::testApplication();
        EXPECT_TRUE(temp_.isValid());
        for (const char* name : {"home", "data", "config", "cache", "run"})
            QDir().mkpath(path(QString::fromLatin1(name)));
        QFile::setPermissions(path(QStringLiteral("run")), QFileDevice::ReadOwner |
                                                               QFileDevice::WriteOwner |
                                                               QFileDevice::ExeOwner);
        env_ = QProcessEnvironment::systemEnvironment();
        env_.insert(QStringLiteral("HOME"), path(QStringLiteral("home")));
        env_.insert(QStringLiteral("XDG_DATA_HOME"), path(QStringLiteral("data")));
        env_.insert(QStringLiteral("XDG_CONFIG_HOME"), path(QStringLiteral("config")));
        env_.insert(QStringLiteral("XDG_CACHE_HOME"), path(QStringLiteral("cache")));
        env_.insert(QStringLiteral("XDG_RUNTIME_DIR"), path(QStringLiteral("run")));
        env_.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    }
    ~SingleInstanceProcessTest() override {
        for (auto& p : processes_) {
            if (p->state() != QProcess::NotRunning) {
                p->kill();
                p->waitForFinished(kStartMs);
            }
        }
    }

    QString path(const QString& name) const { return temp_.filePath(name); }
    std::u16string customerFile() const {
        return path(QStringLiteral("data/Torvane/Pyrelto Kalkulation/")).toStdU16String() +
               std::u16string(kCustomerFileName);
    }
    void putCustomers(const Names& names) const {
        QDir().mkpath(path(QStringLiteral("data/Torvane/Pyrelto Kalkulation")));
        ASSERT_TRUE(writeCustomerFile(customerFile(), names));
    }
    // A calculation whose currency text shows, in the settings written at close, that the running
    // window opened it.
    void putCalculation(const QString& name, const std::u16string& currency) const {
        Sheet sheet;
        sheet.text(FieldId::Waehr15Ed).setText(currency);
        savefile(sheet, path(name).toStdU16String());
    }
    QString storedCurrency() const {
        QSettings settings(path(QStringLiteral("config/pyrelto.conf")), QSettings::IniFormat);
        return settings.value(QStringLiteral("TMainForm/Waehr15Ed_Text")).toString();
    }

    // `fileLimit`: the soft and hard limit of open files in the started program.
    QProcess& start(const QStringList& arguments, std::optional<rlim_t> fileLimit = {}) {
        processes_.push_back(std::make_unique<QProcess>());
        QProcess& p = *processes_.back();
        p.setProcessEnvironment(env_);
        p.setWorkingDirectory(temp_.path());
        p.setProcessChannelMode(QProcess::ForwardedChannels);
        if (fileLimit) {
            p.setChildProcessModifier([limit = *fileLimit] {
                const rlimit files{limit, limit};
                ::setrlimit(RLIMIT_NOFILE, &files);
            });
        }
        p.start(QStringLiteral(PYRELTO_EXECUTABLE), arguments);
        EXPECT_TRUE(p.waitForStarted(kStartMs));
        return p;
    }
    // The channel socket a running program made in the runtime folder.
    QString socketPath() const {
        const QStringList found = QDir(path(QStringLiteral("run")))
                                      .entryList({QStringLiteral("pyrelto-*")}, QDir::System);
        for (const QString& name : found) {
            if (!name.endsWith(QStringLiteral(".lock")))
                return path(QStringLiteral("run/") + name);
        }
        return {};
    }
    // True once `program` answers on the channel.
    bool waitUntilListening(const QProcess& program) const {
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < kStartMs && program.state() == QProcess::Running) {
            if (answers(socketPath()))
                return true;
            QTest::qWait(100);
        }
        return false;
    }
    static void expectEndsNormally(QProcess& p, const char* what) {
        SCOPED_TRACE(what);
        ASSERT_TRUE(p.waitForFinished(kStartMs));
        EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(p.exitCode(), 0);
    }

    QTemporaryDir temp_;
    QProcessEnvironment env_;
    std::vector<std::unique_ptr<QProcess>> processes_;
};

TEST_F(SingleInstanceProcessTest, ASecondStartHandsItsFileOverAndEnds) {
    putCustomers({u"Abel"});
    QProcess& first = start({});
    ASSERT_TRUE(waitUntilListening(first));

    putCalculation(QStringLiteral("auftrag.kal"), u"Fr.X9");
    // Relative to the second start's own folder: it must arrive as an absolute name.
    QProcess& second = start({QStringLiteral("auftrag.kal")});
    expectEndsNormally(second, "the second start");
    EXPECT_EQ(first.state(), QProcess::Running);

    // Meanwhile a copy on another machine sharing this home folder adds a customer.
    putCustomers({u"Abel", u"West"});

    first.terminate();
    expectEndsNormally(first, "the first start, closed by SIGTERM like the close box");
    EXPECT_EQ(storedCurrency(), QStringLiteral("Fr.X9")) << "the handed-over file was opened";
    EXPECT_EQ(readCustomerFile(customerFile()), (Names{u"Abel", u"West"}))
        << "the other copy's customer survives the close";
}

TEST_F(SingleInstanceProcessTest, TheChannelOfACrashedRunIsTakenOver) {
    QProcess& crashed = start({});
    ASSERT_TRUE(waitUntilListening(crashed));
    crashed.kill();
    ASSERT_TRUE(crashed.waitForFinished(kStartMs));
    ASSERT_FALSE(socketPath().isEmpty()) << "the killed run left its socket behind";

    QProcess& next = start({});
    ASSERT_TRUE(waitUntilListening(next));
    putCalculation(QStringLiteral("b.kal"), u"Fr.Y7");
    QProcess& handing = start({path(QStringLiteral("b.kal"))});
    expectEndsNormally(handing, "the start that hands over");

    next.terminate();
    expectEndsNormally(next, "the window that took the file");
    EXPECT_EQ(storedCurrency(), QStringLiteral("Fr.Y7"));
}

// With the usual limit of 1,024 open files, some 1,050 connections once made the channel close
// and delete its socket, and the next start ran as a second copy.
TEST_F(SingleInstanceProcessTest, AFloodOfConnectionsUnderAFileLimitLeavesTheChannelWorking) {
    constexpr int kFlood = 2000;
    rlimit own{};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &own), 0);
    if (own.rlim_max != RLIM_INFINITY && own.rlim_max < kFlood + 200)
        GTEST_SKIP() << "this test may hold only " << own.rlim_max << " files open";
    const rlimit raised{kFlood + 200, own.rlim_max};
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &raised), 0);
    struct Restore {
        rlimit limit;
        ~Restore() { ::setrlimit(RLIMIT_NOFILE, &limit); }
    } restore{own};

    QProcess& first = start({}, 1024);
    ASSERT_TRUE(waitUntilListening(first));
    const QString socket = socketPath();

    std::vector<std::unique_ptr<RawClient>> flood;
    QElapsedTimer clock;
    clock.start();
    while (static_cast<int>(flood.size()) < kFlood && clock.elapsed() < kStartMs) {
        auto client = std::make_unique<RawClient>(socket);
        if (client->connected())
            flood.push_back(std::move(client));
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(1)); // the queue is full
    }
    ASSERT_EQ(static_cast<int>(flood.size()), kFlood) << "connections held open at once";
    ASSERT_EQ(first.state(), QProcess::Running);
    EXPECT_TRUE(QFileInfo::exists(socket)) << "the socket is still there";

    putCalculation(QStringLiteral("flut.kal"), u"Fr.F1");
    QProcess& next = start({path(QStringLiteral("flut.kal"))});
    expectEndsNormally(next, "the next start hands over");
    flood.clear();

    first.terminate();
    expectEndsNormally(first, "the window that took the file");
    EXPECT_EQ(storedCurrency(), QStringLiteral("Fr.F1"));
}

// A logout sends SIGTERM while an error box may be up; the box once kept the process alive
// until the session killed it. The box of a handed-over file opens within the program's event
// loop, the one of a file on the command line before that loop starts.
TEST_F(SingleInstanceProcessTest, SigtermWithAMessageBoxOpenSavesTheListAndEnds) {
    for (const bool atStart : {false, true}) {
        SCOPED_TRACE(atStart ? "the box of the command line's file" : "a handed-over file's box");
        // Written out of order: a save writes the names sorted, so the file shows that it did.
        putCustomers({u"West", u"Abel"});
        QProcess& first =
            start(atStart ? QStringList{QStringLiteral("fehlt-0.kal")} : QStringList{});
        ASSERT_TRUE(waitUntilListening(first));
        if (!atStart) {
            // Each missing file brings up an error box; the first is open from the moment its
            // start is answered, the others wait behind it.
            for (const char* missing : {"fehlt-1.kal", "fehlt-2.kal", "fehlt-3.kal"}) {
                QProcess& handing = start({QString::fromLatin1(missing)});
                expectEndsNormally(handing, missing);
            }
        }
        ASSERT_EQ(first.state(), QProcess::Running);

        QElapsedTimer clock;
        clock.start();
        first.terminate();
        ASSERT_TRUE(first.waitForFinished(kStartMs)) << "SIGTERM with a message box open ends it";
        std::cout << "[ measured ] SIGTERM to the end with a box open: " << clock.elapsed()
                  << " ms (ASan build)\n";
        EXPECT_EQ(first.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(first.exitCode(), 0);
        EXPECT_EQ(readCustomerFile(customerFile()), (Names{u"Abel", u"West"}))
            << "the list was saved";
    }
}

// The channel from the running window's side, in this process: what a later start sends.
class SingleInstanceChannelTest : public test::UiTest {
protected:
    SingleInstanceChannelTest() {
        QDir().mkpath(tempPath(QStringLiteral("run")));
        QFile::setPermissions(tempPath(QStringLiteral("run")), QFileDevice::ReadOwner |
                                                                   QFileDevice::WriteOwner |
                                                                   QFileDevice::ExeOwner);
        runtime_ = std::make_unique<test::EnvOverride>(
            "XDG_RUNTIME_DIR", QFile::encodeName(tempPath(QStringLiteral("run"))));
    }
    static std::string frame(qint32 size, const std::string& body) {
        std::string message;
        for (int shift = 24; shift >= 0; shift -= 8)
            message.push_back(static_cast<char>((static_cast<quint32>(size) >> shift) & 0xffU));
        return message + body;
    }
    static std::string message(const QStringList& arguments) {
        std::vector<std::string> utf8;
        for (const QString& argument : arguments)
            utf8.push_back(argument.toStdString());
        return channel::encodeMessage(utf8);
    }

    std::unique_ptr<test::EnvOverride> runtime_;
};

TEST_F(SingleInstanceChannelTest, GarbageIsDroppedAndAProperMessageIsAnswered) {
    SingleInstance instance;
    ASSERT_EQ(instance.start({}), SingleInstance::Role::First);
    QSignalSpy handed(&instance, &SingleInstance::argumentsHandedOver);

    struct Bad {
        const char* what;
        std::string message;
    };
    const Bad bad[] = {
        {"a size beyond the limit",
         frame(static_cast<qint32>(channel::kMaxMessageBytes) + 1, std::string(8, 'x'))},
        {"a negative size", frame(-1, std::string(8, 'x'))},
        {"an argument longer than the message", frame(8, frame(0x7fffffff, "abcd"))},
        {"an argument with a negative length", frame(8, frame(-4, "abcd"))},
        {"a length cut short", frame(7, frame(1, "a") + std::string(2, '\0'))},
    };
    for (const auto& b : bad) {
        SCOPED_TRACE(b.what);
        RawClient socket(SingleInstance::serverName());
        ASSERT_TRUE(socket.connected());
        socket.send(b.message);
        QTRY_VERIFY_WITH_TIMEOUT(socket.hungUp(), 10000);
        EXPECT_EQ(socket.received(), "") << "no answer to garbage";
        EXPECT_EQ(handed.count(), 0);
    }

    // Sent in two pieces, as a slow start may.
    RawClient socket(SingleInstance::serverName());
    ASSERT_TRUE(socket.connected());
    const QStringList arguments{QStringLiteral("/pfad/mit Ümlaut.kal"), QStringLiteral("x")};
    const std::string whole = message(arguments);
    socket.send(whole.substr(0, 3));
    QTest::qWait(50);
    EXPECT_EQ(handed.count(), 0);
    socket.send(whole.substr(3));
    QTRY_COMPARE_WITH_TIMEOUT(handed.count(), 1, 10000);
    EXPECT_EQ(handed.at(0).at(0).toStringList(), arguments);
    QTRY_VERIFY_WITH_TIMEOUT(socket.hungUp(), 10000);
    EXPECT_EQ(socket.received(), "K");
}

// A window on its way out would take a file and never open it; the next start must run itself.
TEST_F(SingleInstanceChannelTest, AClosingWindowTakesNoMoreFiles) {
    SingleInstance instance;
    ASSERT_EQ(instance.start({}), SingleInstance::Role::First);
    QWidget window;
    instance.stopWhenClosing(&window);
    window.show();
    EXPECT_TRUE(answers(SingleInstance::serverName()));
    window.close();
    EXPECT_FALSE(answers(SingleInstance::serverName()));
    EXPECT_FALSE(QFileInfo::exists(SingleInstance::serverName())) << "the socket goes with it";

    SingleInstance next;
    EXPECT_EQ(next.start({}), SingleInstance::Role::First);
    EXPECT_TRUE(answers(SingleInstance::serverName()));
}

// Starts that connect and say nothing cost the oldest of them their place, never the channel.
TEST_F(SingleInstanceChannelTest, AtMostThirtyTwoStartsAreHeardAtOnce) {
    SingleInstance instance;
    ASSERT_EQ(instance.start({}), SingleInstance::Role::First);
    QSignalSpy handed(&instance, &SingleInstance::argumentsHandedOver);
    constexpr int kExtra = 8;
    std::vector<std::unique_ptr<RawClient>> silent;
    for (int i = 0; i < SingleInstance::kMaxConnections + kExtra; ++i) {
        silent.push_back(std::make_unique<RawClient>(SingleInstance::serverName()));
        ASSERT_TRUE(silent.back()->connected());
        QTest::qWait(5); // taken in the order they came
    }
    auto dropped = [&] {
        std::vector<int> which;
        for (int i = 0; i < static_cast<int>(silent.size()); ++i) {
            if (silent[static_cast<std::size_t>(i)]->hungUp())
                which.push_back(i);
        }
        return which;
    };
    QTRY_COMPARE_WITH_TIMEOUT(dropped().size(), std::size_t{kExtra}, 10000);
    QTest::qWait(100);
    EXPECT_EQ(dropped(), (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7})) << "the oldest go first";

    // The newest is still heard.
    silent.back()->send(message({QStringLiteral("/neu.kal")}));
    QTRY_COMPARE_WITH_TIMEOUT(handed.count(), 1, 10000);
    QTRY_VERIFY_WITH_TIMEOUT(silent.back()->hungUp(), 10000);
    EXPECT_EQ(silent.back()->received(), "K");
}

// A cleaner that empties the temporary folder takes the socket (and its folder) with it; the
// running copy listens again, and one that finds a later copy answering in its place stands
// aside.
TEST_F(SingleInstanceChannelTest, AChannelWhoseSocketWentListensAgain) {
    const test::EnvOverride noRuntime("XDG_RUNTIME_DIR", QByteArray());
    QDir().mkpath(tempPath(QStringLiteral("tmp")));
    const test::EnvOverride tmp("TMPDIR", QFile::encodeName(tempPath(QStringLiteral("tmp"))));

    SingleInstance instance;
    ASSERT_EQ(instance.start({}), SingleInstance::Role::First);
    const QString socket = SingleInstance::serverName();
    ASSERT_TRUE(socket.startsWith(tempPath(QStringLiteral("tmp/pyrelto-"))));
    ASSERT_TRUE(QDir(QFileInfo(socket).path()).removeRecursively());
    ASSERT_FALSE(answers(socket));

    instance.checkListening();
    EXPECT_TRUE(answers(socket));
    struct stat folder {};
    ASSERT_EQ(::lstat(QFile::encodeName(QFileInfo(socket).path()).constData(), &folder), 0);
    EXPECT_EQ(folder.st_mode & 0777, 0700U) << "the folder is made again for the user alone";

    // Gone once more, and a later start took the name before the look.
    QFile::remove(socket);
    SingleInstance later;
    ASSERT_EQ(later.start({}), SingleInstance::Role::First);
    instance.checkListening();
    QSignalSpy toFirst(&instance, &SingleInstance::argumentsHandedOver);
    QSignalSpy toLater(&later, &SingleInstance::argumentsHandedOver);
    RawClient start(socket);
    ASSERT_TRUE(start.connected());
    start.send(message({QStringLiteral("/x.kal")}));
    QTRY_COMPARE_WITH_TIMEOUT(toLater.count(), 1, 10000);
    EXPECT_EQ(toFirst.count(), 0);
}

TEST_F(SingleInstanceChannelTest, AHandedOverFileOpensAsFromTheCommandLine) {
    const QString missing = tempPath(QStringLiteral("fehlt.kal"));
    std::vector<test::FakeDialogs::Message> fromCommandLine;
    {
        TMainForm form({missing});
        form.show();
        fromCommandLine = dialogs_.messages;
        dialogs_.messages.clear();
    }
    ASSERT_EQ(fromCommandLine.size(), 1U);

    TMainForm form;
    form.showMinimized();
    form.argumentsHandedOver({missing});
    EXPECT_FALSE(form.isMinimized()) << "the window comes to the front";
    EXPECT_TRUE(form.isVisible());
    QTRY_COMPARE_WITH_TIMEOUT(dialogs_.messages.size(), 1U, 10000);
    EXPECT_EQ(dialogs_.messages[0].text, fromCommandLine[0].text);
    EXPECT_EQ(dialogs_.messages[0].caption, fromCommandLine[0].caption);
    EXPECT_EQ(dialogs_.messages[0].icon, fromCommandLine[0].icon);

    Sheet sheet;
    sheet.text(FieldId::Waehr15Ed).setText(u"Fr.Z3");
    const QString good = tempPath(QStringLiteral("gut.kal"));
    savefile(sheet, good.toStdU16String());
    form.argumentsHandedOver({good, QStringLiteral("ignoriert")});
    EXPECT_EQ(test::shown(form.sheet(), FieldId::Waehr15Ed), QStringLiteral("Fr.Z3"));
    EXPECT_EQ(dialogs_.messages.size(), 1U);
    form.close();
}

// Another user's program at the channel: it learns no file name, and its own starts are not
// heard. channel-peer plays that program as the second user.
class SingleInstanceStrangerTest : public SingleInstanceChannelTest {
protected:
    void SetUp() override {
        QString why;
        const auto user = otherUser(why);
        if (!user)
            GTEST_SKIP() << why.toStdString();
        other_ = QString::number(*user);
        // The stranger must reach into this test's folder to do his part.
        QFile::setPermissions(temp_.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                QFileDevice::ExeOwner | QFileDevice::ExeGroup |
                                                QFileDevice::ExeOther);
    }
    static QString own() { return QString::number(::getuid()); }
    // Never sent anywhere: the name alone would tell the stranger about the offer.
    QString secretFile() const { return tempPath(QStringLiteral("geheim-angebot.kal")); }

    QString other_;
};

// Without a runtime folder the channel lives in <TMPDIR>/pyrelto-<uid>, a name anybody can
// foresee: another user made it first, open to all, with a socket that answers like a copy.
TEST_F(SingleInstanceStrangerTest, AFolderPlantedByAnotherUserIsNeitherUsedNorAnswered) {
    const QString tmp = tempPath(QStringLiteral("tmp"));
    QDir().mkpath(tmp);
    ::chmod(QFile::encodeName(tmp).constData(), 01777);
    const test::EnvOverride noRuntime("XDG_RUNTIME_DIR", QByteArray());
    const test::EnvOverride tmpdir("TMPDIR", QFile::encodeName(tmp));
    const QString socket = SingleInstance::serverName();
    const QString folder = QFileInfo(socket).path();
    ASSERT_EQ(folder, tmp + QStringLiteral("/pyrelto-") + own());
    ASSERT_TRUE(QDir(folder).removeRecursively());

    Peer planted({QStringLiteral("plant"), folder, QFileInfo(socket).fileName(), other_});
    ASSERT_TRUE(planted.ready());
    // The planted socket does answer: sent to it, a file name would be taken.
    Peer check({QStringLiteral("send"), socket, other_, QStringLiteral("probe")});
    EXPECT_EQ(check.finish(), QStringLiteral("answer K\n"));

    SingleInstance instance;
    EXPECT_EQ(instance.start({secretFile()}), SingleInstance::Role::Alone);
    EXPECT_TRUE(instance.refusal().contains(QStringLiteral("gehört einem anderen Benutzer")))
        << instance.refusal().toStdString();
    EXPECT_EQ(SingleInstance::serverName(), QString()) << "no channel there at all";
    const QString heard = planted.finish();
    EXPECT_EQ(heard.count(QStringLiteral("connection")), 1)
        << "only the check above reached it: " << heard.toStdString();
}

// The folder is the user's, yet a process of another user listens at the name (in the test, a
// socket made by root and handed to the stranger): nothing is sent to it.
TEST_F(SingleInstanceStrangerTest, AListenerOfAnotherUserIsToldNoFileName) {
    const QString socket = SingleInstance::serverName();
    ASSERT_FALSE(socket.isEmpty());
    Peer stranger({QStringLiteral("listen"), socket, other_});
    ASSERT_TRUE(stranger.ready());

    SingleInstance instance;
    EXPECT_EQ(instance.start({secretFile()}), SingleInstance::Role::Alone);
    EXPECT_TRUE(instance.refusal().contains(QStringLiteral("anderen Benutzers")))
        << instance.refusal().toStdString();
    EXPECT_EQ(stranger.finish(), QStringLiteral("ready\nconnection 0\n"))
        << "connected, looked at, and left without a byte";
}

// The running copy's socket opened to everybody (so that the folder alone does not keep the
// stranger out): his start is refused unanswered, the user's own is taken.
TEST_F(SingleInstanceStrangerTest, AStartOfAnotherUserIsNotHeard) {
    SingleInstance instance;
    ASSERT_EQ(instance.start({}), SingleInstance::Role::First);
    QSignalSpy handed(&instance, &SingleInstance::argumentsHandedOver);
    const QString socket = SingleInstance::serverName();
    ::chmod(QFile::encodeName(QFileInfo(socket).path()).constData(), 0711);
    ::chmod(QFile::encodeName(socket).constData(), 0777);

    Peer stranger({QStringLiteral("send"), socket, other_, QStringLiteral("/fremd.kal")});
    EXPECT_EQ(stranger.finish(), QStringLiteral("answer \n"));
    EXPECT_EQ(handed.count(), 0);

    Peer user({QStringLiteral("send"), socket, own(), QStringLiteral("/eigen.kal")});
    EXPECT_EQ(user.finish(), QStringLiteral("answer K\n"));
    ASSERT_EQ(handed.count(), 1);
    EXPECT_EQ(handed.at(0).at(0).toStringList(), QStringList{QStringLiteral("/eigen.kal")});
}

} // namespace
} // namespace pyrelto
