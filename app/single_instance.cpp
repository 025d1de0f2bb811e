#include "single_instance.h"

#include "customer_file.h"
#include "instance_channel.h"
#include "qt_text.h"

#include <QEvent>
#include <QFileInfo>
#include <QTimer>
#include <string>
#include <vector>

#ifdef Q_OS_WIN
#include <QMetaObject>
#else
#include <QSocketNotifier>
#include <deque>
#endif

namespace pyrelto {

namespace {

using channel::Milliseconds;

// A copy that does not connect or answer within these is taken as gone or hung.
constexpr Milliseconds kConnectWait{2000};
constexpr Milliseconds kAnswerWait{5000};
// How long the running copy waits for a connected start to say what it wants.
constexpr Milliseconds kClientWait{10000};
// Two starts at the same moment take turns deciding who answers the other.
constexpr Milliseconds kLockWait{10000};

// The data folder that the channel belongs to, as UTF-8.
std::string dataFolderKey() {
    return toQString(GetProgramDir(false)).toStdString();
}

QStringList toStringList(const std::vector<std::string>& arguments) {
    QStringList list;
    list.reserve(static_cast<qsizetype>(arguments.size()));
    for (const std::string& argument : arguments)
        list.append(QString::fromStdString(argument));
    return list;
}

} // namespace

#ifndef Q_OS_WIN

namespace {
// How often the running copy looks whether its socket is still there.
constexpr int kWatchMs = 10000;
// How long listening rests when the process is out of descriptors.
constexpr int kBusyPauseMs = 200;
// Connections taken per wake-up, so that a flood cannot hold up the window.
constexpr int kAcceptsPerWake = 64;
} // namespace

struct SingleInstance::Channel {
    struct Connection {
        quint64 id = 0;
        int fd = -1;
        QSocketNotifier* notifier = nullptr;
        channel::MessageReader reader;
    };

    explicit Channel(SingleInstance& owner) : owner(owner) {
        watch.setTimerType(Qt::VeryCoarseTimer);
        watch.setInterval(kWatchMs);
        QObject::connect(&watch, &QTimer::timeout, &owner, [this] { check(); });
    }
    ~Channel() { stop(); }
    Channel(const Channel&) = delete;
    Channel& operator=(const Channel&) = delete;

    bool listen() {
        listener = channel::listenAt(address);
        if (listener.fd < 0)
            return false;
        notifier = new QSocketNotifier(listener.fd, QSocketNotifier::Read, &owner);
        QObject::connect(notifier, &QSocketNotifier::activated, &owner, [this] { accept(); });
        watch.start();
        return true;
    }

    // Notifiers go later, never at once: this may run inside one of their own signals.
    static void dispose(QSocketNotifier*& notifier) {
        if (notifier == nullptr)
            return;
        notifier->setEnabled(false);
        notifier->deleteLater();
        notifier = nullptr;
    }

    void accept() {
        for (int taken = 0; taken < kAcceptsPerWake && listener.fd >= 0; ++taken) {
            const channel::Accepted accepted = channel::acceptPeer(listener.fd);
            switch (accepted.kind) {
            case channel::Accepted::Kind::Connection:
                take(accepted.fd);
                break;
            case channel::Accepted::Kind::Refused:
                break;
            case channel::Accepted::Kind::None:
                return;
            case channel::Accepted::Kind::Busy:
                // Out of descriptors: the waiting starts stay queued until some are free.
                notifier->setEnabled(false);
                QTimer::singleShot(kBusyPauseMs, notifier, [this, paused = notifier] {
                    if (notifier == paused)
                        notifier->setEnabled(true);
                });
                return;
            case channel::Accepted::Kind::Failed:
                listenAgain();
                return;
            }
        }
    }

    void take(int fd) {
        if (connections.size() >= static_cast<std::size_t>(kMaxConnections))
            drop(connections.front().id);
        Connection& connection = connections.emplace_back();
        connection.id = ++lastId;
        connection.fd = fd;
        connection.notifier = new QSocketNotifier(fd, QSocketNotifier::Read, &owner);
        const quint64 id = connection.id;
        QObject::connect(connection.notifier, &QSocketNotifier::activated, &owner,
                         [this, id] { read(id); });
        // A start that connects and then says nothing is dropped, not waited for.
        QTimer::singleShot(static_cast<int>(kClientWait.count()), connection.notifier,
                           [this, id] { drop(id); });
    }

    Connection* find(quint64 id) {
        for (Connection& connection : connections) {
            if (connection.id == id)
                return &connection;
        }
        return nullptr;
    }

    void drop(quint64 id) {
        for (auto it = connections.begin(); it != connections.end(); ++it) {
            if (it->id == id) {
                dispose(it->notifier);
                channel::closeConnection(it->fd);
                connections.erase(it);
                return;
            }
        }
    }

    void read(quint64 id) {
        Connection* connection = find(id);
        if (connection == nullptr)
            return;
        switch (channel::receive(connection->fd, connection->reader)) {
        case channel::Received::Incomplete:
            return;
        case channel::Received::Garbage:
        case channel::Received::Closed:
            drop(id);
            return;
        case channel::Received::Complete:
            break;
        }
        // Answered before the window acts: a message box the file may bring up must not keep
        // the other start waiting until it gives up and runs on its own.
        channel::answerTaken(connection->fd);
        const QStringList arguments = toStringList(connection->reader.arguments());
        drop(id);
        emit owner.argumentsHandedOver(arguments);
    }

    // Keeps the socket's identity in `listener`, to tell it later from a socket someone else made.
    void closeListening() {
        dispose(notifier);
        channel::closeConnection(listener.fd);
        listener.fd = -1;
    }

    void listenAgain() {
        if (stopped)
            return;
        closeListening();
        std::string refusal;
        // The folder is looked at again: a cleaner may have taken it, or someone else made one.
        const auto fresh = channel::channelAddress(dataFolderKey(), refusal);
        if (!fresh)
            return;
        address = *fresh;
        const channel::StartLock lock(address, kLockWait);
        // A socket at the name that is not this copy's may be a later start's, which found
        // nobody and answers in its place; two copies then merge their lists at close.
        if (channel::listenerState(address, listener) == channel::ListenerState::Replaced &&
            channel::handOver(address, {}, kConnectWait, Milliseconds(0)).outcome !=
                channel::HandOver::NobodyListens) {
            watch.stop();
            return;
        }
        listen();
    }

    void check() {
        if (stopped)
            return;
        if (listener.fd < 0 ||
            channel::listenerState(address, listener) != channel::ListenerState::Ours)
            listenAgain();
    }

    void stop() {
        if (stopped)
            return;
        stopped = true;
        watch.stop();
        while (!connections.empty())
            drop(connections.front().id);
        dispose(notifier);
        channel::closeListener(address, listener);
    }

    SingleInstance& owner;
    channel::Address address;
    channel::Listener listener;
    QSocketNotifier* notifier = nullptr;
    std::deque<Connection> connections;
    quint64 lastId = 0;
    QTimer watch;
    bool stopped = false;
};

#else

struct SingleInstance::Channel {
    explicit Channel(SingleInstance& owner) : owner(owner) {}

    bool listen() {
        // The pipe's thread hands each message to the window's thread; it is joined before this
        // object goes, and queued calls to a destroyed owner are dropped.
        SingleInstance* target = &owner;
        pipe = std::make_unique<channel::PipeServer>(
            address,
            [target](std::vector<std::string> arguments) {
                QMetaObject::invokeMethod(
                    target,
                    [target, list = toStringList(arguments)] {
                        emit target->argumentsHandedOver(list);
                    },
                    Qt::QueuedConnection);
            },
            kClientWait);
        return pipe->listening();
    }
    void check() {}
    void stop() {
        if (pipe)
            pipe->stop();
    }

    SingleInstance& owner;
    channel::Address address;
    std::unique_ptr<channel::PipeServer> pipe;
};

#endif

SingleInstance::SingleInstance(QObject* parent)
    : QObject(parent), channel_(std::make_unique<Channel>(*this)) {}

SingleInstance::~SingleInstance() {
    channel_.reset();
}

QString SingleInstance::serverName(QString* refusal) {
    std::string why;
    const auto address = channel::channelAddress(dataFolderKey(), why);
    if (refusal != nullptr)
        *refusal = QString::fromStdString(why);
    if (!address)
        return {};
#ifdef Q_OS_WIN
    return QString::fromStdWString(address->pipe);
#else
    return QString::fromStdString(address->socket);
#endif
}

SingleInstance::Role SingleInstance::start(QStringList arguments) {
    refusal_.clear();
    if (!arguments.isEmpty())
        arguments.first() = QFileInfo(arguments.first()).absoluteFilePath();
    std::vector<std::string> utf8;
    utf8.reserve(static_cast<std::size_t>(arguments.size()));
    for (const QString& argument : std::as_const(arguments))
        utf8.push_back(argument.toStdString());
    const std::string message = channel::encodeMessage(utf8);

    std::string why;
    const auto address = channel::channelAddress(dataFolderKey(), why);
    if (!address) {
        refusal_ = QString::fromStdString(why);
        return Role::Alone;
    }
    // Without the lock the start goes on all the same: at worst two copies run, and the
    // customer list merges at close.
    const channel::StartLock lock(*address, kLockWait);
    switch (channel::handOver(*address, message, kConnectWait, kAnswerWait).outcome) {
    case channel::HandOver::Taken:
        return Role::HandedOver;
    case channel::HandOver::NoAnswer:
        return Role::Alone;
    case channel::HandOver::ForeignPeer:
        refusal_ = QStringLiteral("Am Kanal zum laufenden Programm meldet sich das Programm "
                                  "eines anderen Benutzers.");
        return Role::Alone;
    case channel::HandOver::NobodyListens:
        break;
    }
    channel_->address = *address;
    return channel_->listen() ? Role::First : Role::Alone;
}

void SingleInstance::stopWhenClosing(QObject* window) {
    window->installEventFilter(this);
}

void SingleInstance::checkListening() {
    channel_->check();
}

void SingleInstance::stop() {
    channel_->stop();
}

bool SingleInstance::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Close)
        stop();
    return QObject::eventFilter(watched, event);
}

} // namespace pyrelto
