#pragma once
// One program per user and data folder. Two copies would each write the customer list at close,
// and the one closed last would drop the other's new customers; so a second start (a .kal
// double-clicked while the program runs) hands its file to the running window and ends.

#include <QLocalServer>
#include <QObject>
#include <QString>
#include <QStringList>
#include <optional>

namespace pyrelto {

class SingleInstance final : public QObject {
    Q_OBJECT

public:
    enum class Role {
        // This process answers later starts.
        First,
        // A running copy took the file; this process should end.
        HandedOver,
        // A copy runs but did not take the file in time (it hangs), or no channel could be made:
        // this process runs on its own rather than leave the user with nothing.
        Alone,
    };

    explicit SingleInstance(QObject* parent = nullptr);
    ~SingleInstance() override;

    // The channel's name for this user and program data folder: a socket in $XDG_RUNTIME_DIR
    // when there is one, so tests and users with their own data folder never meet.
    static QString serverName();

    // Hands `arguments` (the command line after the program's name; the first, the file, made
    // absolute here, since the running copy has a folder of its own) to a running copy, or
    // becomes the copy that later starts hand theirs to. A channel left behind by a crashed run
    // answers nobody and is replaced.
    Role start(QStringList arguments);

    // The largest message taken from a later start; more is dropped as garbage.
    static constexpr qint32 kMaxMessageBytes = 64 * 1024;
    // What a later start sends, and the arguments in a message after its size (none: garbage).
    static QByteArray encodeMessage(const QStringList& arguments);
    static std::optional<QStringList> decodeBody(const QByteArray& body);

    // Stops answering once `window` starts to close: a file handed to a window on its way out
    // would be taken and then never opened. A later start then runs on its own.
    void stopWhenClosing(QObject* window);

signals:
    // A later start handed over its command line (the file in it already absolute).
    void argumentsHandedOver(const QStringList& arguments);

private:
    enum class HandOver { NobodyListens, Taken, NoAnswer };
    HandOver handOver(const QByteArray& message);
    void takeConnection();
    bool eventFilter(QObject* watched, QEvent* event) override;

    QLocalServer server_;
};

} // namespace pyrelto
