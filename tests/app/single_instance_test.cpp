// One program per user: a second start hands its file to the running window and ends. The real
// executable runs twice here, with its own temporary home, data, settings and runtime folders.

#include "MainUnit.h"
#include "calculation_file.h"
#include "customer_file.h"
#include "single_instance.h"
#include "ui_test_support.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLocalSocket>
#include <QProcess>
#include <QSettings>
#include <QSignalSpy>
#include <QTest>
#include <QtEndian>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

namespace pyrelto {
namespace {

using Names = std::vector<std::u16string>;

// ASan starts slowly on a busy machine; these only bound a failing run.
constexpr int kStartMs = 60000;

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

    QProcess& start(const QStringList& arguments) {
        processes_.push_back(std::make_unique<QProcess>());
        QProcess& p = *processes_.back();
        p.setProcessEnvironment(env_);
        p.setWorkingDirectory(temp_.path());
        p.setProcessChannelMode(QProcess::ForwardedChannels);
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
            const QString socket = socketPath();
            if (!socket.isEmpty()) {
                QLocalSocket probe;
                probe.connectToServer(socket);
                if (probe.waitForConnected(200))
                    return true;
            }
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

// The channel from the running window's side, in this process: what a later start sends.
class SingleInstanceChannelTest : public test::UiTest {
protected:
    SingleInstanceChannelTest() {
        QDir().mkpath(tempPath(QStringLiteral("run")));
        runtime_ = std::make_unique<test::EnvOverride>(
            "XDG_RUNTIME_DIR", QFile::encodeName(tempPath(QStringLiteral("run"))));
    }
    static QByteArray frame(qint32 size, const QByteArray& body) {
        QByteArray message(4, '\0');
        qToBigEndian<qint32>(size, message.data());
        return message + body;
    }

    std::unique_ptr<test::EnvOverride> runtime_;
};

TEST_F(SingleInstanceChannelTest, GarbageIsDroppedAndAProperMessageIsAnswered) {
    SingleInstance instance;
    ASSERT_EQ(instance.start({}), SingleInstance::Role::First);
    QSignalSpy handed(&instance, &SingleInstance::argumentsHandedOver);

    struct Bad {
        const char* what;
        QByteArray message;
    };
    const Bad bad[] = {
        {"a size beyond the limit",
         frame(SingleInstance::kMaxMessageBytes + 1, QByteArray(8, 'x'))},
        {"a negative size", frame(-1, QByteArray(8, 'x'))},
        {"an argument longer than the message", frame(8, frame(0x7fffffff, "abcd"))},
        {"an argument with a negative length", frame(8, frame(-4, "abcd"))},
        {"a length cut short", frame(7, frame(1, "a") + QByteArray(2, '\0'))},
    };
    for (const auto& b : bad) {
        SCOPED_TRACE(b.what);
        QLocalSocket socket;
        socket.connectToServer(SingleInstance::serverName());
        ASSERT_TRUE(socket.waitForConnected(5000));
        socket.write(b.message);
        socket.flush();
        QTRY_COMPARE_WITH_TIMEOUT(socket.state(), QLocalSocket::UnconnectedState, 10000);
        EXPECT_EQ(socket.readAll(), QByteArray()) << "no answer to garbage";
        EXPECT_EQ(handed.count(), 0);
    }

    // Sent in two pieces, as a slow start may.
    QLocalSocket socket;
    socket.connectToServer(SingleInstance::serverName());
    ASSERT_TRUE(socket.waitForConnected(5000));
    const QStringList arguments{QStringLiteral("/pfad/mit Ümlaut.kal"), QStringLiteral("x")};
    const QByteArray message = SingleInstance::encodeMessage(arguments);
    socket.write(message.left(3));
    socket.flush();
    QTest::qWait(50);
    EXPECT_EQ(handed.count(), 0);
    socket.write(message.mid(3));
    socket.flush();
    QTRY_COMPARE_WITH_TIMEOUT(handed.count(), 1, 10000);
    EXPECT_EQ(handed.at(0).at(0).toStringList(), arguments);
    QTRY_VERIFY_WITH_TIMEOUT(socket.bytesAvailable() > 0 || socket.waitForReadyRead(100), 10000);
    EXPECT_EQ(socket.read(1), QByteArray("K"));
}

// A window on its way out would take a file and never open it; the next start must run itself.
TEST_F(SingleInstanceChannelTest, AClosingWindowTakesNoMoreFiles) {
    SingleInstance instance;
    ASSERT_EQ(instance.start({}), SingleInstance::Role::First);
    QWidget window;
    instance.stopWhenClosing(&window);
    window.show();
    auto connects = [] {
        QLocalSocket socket;
        socket.connectToServer(SingleInstance::serverName());
        return socket.waitForConnected(2000);
    };
    EXPECT_TRUE(connects());
    window.close();
    EXPECT_FALSE(connects());

    SingleInstance next;
    EXPECT_EQ(next.start({}), SingleInstance::Role::First);
    EXPECT_TRUE(connects());
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

} // namespace
} // namespace pyrelto
