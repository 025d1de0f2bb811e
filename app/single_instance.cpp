#include "single_instance.h"

#include "customer_file.h"
#include "qt_text.h"

#include <QCryptographicHash>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QIODevice>
#include <QLocalSocket>
#include <QLockFile>
#include <QPointer>
#include <QTimer>
#include <QtEndian>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace pyrelto {

namespace {

// A copy that does not connect or answer within these is taken as gone or hung.
constexpr int kConnectMs = 2000;
constexpr int kAnswerMs = 5000;
// How long the running copy waits for a connected start to say what it wants.
constexpr int kClientMs = 10000;
// Two starts at the same moment take turns deciding who answers the other.
constexpr int kLockMs = 10000;
// sockaddr_un holds 108 bytes with the final zero.
constexpr int kMaxSocketPath = 100;

constexpr char kTaken = 'K';

QByteArray userKey() {
    QByteArray key = toQString(GetProgramDir(false)).toUtf8();
    key += '\n';
#ifdef Q_OS_UNIX
    key += QByteArray::number(static_cast<qulonglong>(::getuid()));
#else
    key += qgetenv("USERNAME");
#endif
    return key;
}

QString lockPath(const QString& server) {
    if (QDir::isAbsolutePath(server))
        return server + QStringLiteral(".lock");
    return QDir::tempPath() + QLatin1Char('/') + server + QStringLiteral(".lock");
}

} // namespace

SingleInstance::SingleInstance(QObject* parent) : QObject(parent) {
    connect(&server_, &QLocalServer::newConnection, this, &SingleInstance::takeConnection);
}

SingleInstance::~SingleInstance() = default;

// The size of the rest, then each argument as its byte count and its UTF-8 bytes. No stream
// operators of Qt's: they reserve room for whatever count the bytes claim.
QByteArray SingleInstance::encodeMessage(const QStringList& arguments) {
    QByteArray body;
    for (const QString& argument : arguments) {
        const QByteArray utf8 = argument.toUtf8();
        char size[4];
        qToBigEndian<qint32>(static_cast<qint32>(utf8.size()), size);
        body.append(size, 4).append(utf8);
    }
    char size[4];
    qToBigEndian<qint32>(static_cast<qint32>(body.size()), size);
    return QByteArray(size, 4) + body;
}

std::optional<QStringList> SingleInstance::decodeBody(const QByteArray& body) {
    QStringList arguments;
    for (qsizetype at = 0; at < body.size();) {
        if (body.size() - at < 4)
            return std::nullopt;
        const qint32 size = qFromBigEndian<qint32>(body.constData() + at);
        at += 4;
        if (size < 0 || size > body.size() - at)
            return std::nullopt;
        arguments.append(QString::fromUtf8(body.constData() + at, size));
        at += size;
    }
    return arguments;
}

QString SingleInstance::serverName() {
    QString name =
        QStringLiteral("pyrelto-") +
        QString::fromLatin1(
            QCryptographicHash::hash(userKey(), QCryptographicHash::Sha256).toHex().left(16));
#ifdef Q_OS_UNIX
    // The runtime folder is the user's own; the shared temporary folder is the fallback.
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (QDir::isAbsolutePath(runtime) && QFileInfo(runtime).isDir()) {
        QString path = QDir::cleanPath(runtime) + QLatin1Char('/') + name;
        if (QFile::encodeName(path).size() <= kMaxSocketPath)
            return path;
    }
#endif
    return name;
}

SingleInstance::Role SingleInstance::start(QStringList arguments) {
    if (!arguments.isEmpty())
        arguments.first() = QFileInfo(arguments.first()).absoluteFilePath();
    const QByteArray message = encodeMessage(arguments);
    const QString name = serverName();

    QLockFile lock(lockPath(name));
    // Without the lock (a foreign file in the shared folder, say) the start goes on all the
    // same: at worst two copies run, and the customer list merges at close.
    const bool locked = lock.tryLock(kLockMs);

    switch (handOver(message)) {
    case HandOver::Taken:
        return Role::HandedOver;
    case HandOver::NoAnswer:
        return Role::Alone;
    case HandOver::NobodyListens:
        break;
    }
    // Nobody answered: whatever lies under the name is what a crashed run left.
    QLocalServer::removeServer(name);
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    const bool listening = server_.listen(name);
    if (locked)
        lock.unlock();
    return listening ? Role::First : Role::Alone;
}

SingleInstance::HandOver SingleInstance::handOver(const QByteArray& message) {
    QLocalSocket socket;
    socket.connectToServer(serverName());
    if (!socket.waitForConnected(kConnectMs))
        return HandOver::NobodyListens;
    socket.write(message);
    if (!socket.waitForBytesWritten(kAnswerMs))
        return HandOver::NoAnswer;
    while (socket.bytesAvailable() < 1) {
        if (!socket.waitForReadyRead(kAnswerMs))
            return HandOver::NoAnswer;
    }
    char answer = 0;
    return socket.getChar(&answer) && answer == kTaken ? HandOver::Taken : HandOver::NoAnswer;
}

void SingleInstance::stopWhenClosing(QObject* window) {
    window->installEventFilter(this);
}

bool SingleInstance::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Close)
        server_.close();
    return QObject::eventFilter(watched, event);
}

void SingleInstance::takeConnection() {
    while (QLocalSocket* socket = server_.nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        // A start that connects and then says nothing is dropped, not waited for.
        QTimer::singleShot(kClientMs, socket, [socket] { socket->abort(); });
        auto read = [this, socket] {
            if (socket->bytesAvailable() < 4)
                return;
            char head[4];
            socket->peek(head, 4);
            const qint32 size = qFromBigEndian<qint32>(head);
            if (size < 0 || size > kMaxMessageBytes) {
                socket->abort();
                return;
            }
            if (socket->bytesAvailable() < 4 + size)
                return;
            socket->skip(4);
            const auto arguments = decodeBody(socket->read(size));
            if (!arguments) {
                socket->abort();
                return;
            }
            // Answered before the window acts: a message box the file may bring up must not keep
            // the other start waiting until it gives up and runs on its own.
            socket->putChar(kTaken);
            socket->flush();
            socket->disconnectFromServer();
            emit argumentsHandedOver(*arguments);
        };
        connect(socket, &QLocalSocket::readyRead, this, read);
        read();
    }
}

} // namespace pyrelto
