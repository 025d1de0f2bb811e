#pragma once
// One program per user and data folder. Two copies would each write the customer list at close,
// and the one closed last would drop the other's new customers; so a second start (a .kal
// double-clicked while the program runs) hands its file to the running window and ends.
//
// The channel's system side is channel/instance_channel.h; this is its event-loop side: on POSIX
// systems socket notifiers on the window's thread, on Windows the pipe's own thread, whose
// messages arrive here queued.

#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>

namespace pyrelto {

class SingleInstance final : public QObject {
    Q_OBJECT

public:
    enum class Role {
        // This process answers later starts.
        First,
        // A running copy took the file; this process should end.
        HandedOver,
        // A copy runs but did not take the file in time (it hangs), no safe channel could be
        // made, or someone else's program sits at it: this process runs on its own rather than
        // leave the user with nothing.
        Alone,
    };

    explicit SingleInstance(QObject* parent = nullptr);
    ~SingleInstance() override;

    // The channel's name for this user and program data folder (the socket's path, the pipe's
    // name); empty, with the reason in `refusal`, when there is no safe place for it.
    static QString serverName(QString* refusal = nullptr);

    // Hands `arguments` (the command line after the program's name; the first, the file, made
    // absolute here, since the running copy has a folder of its own) to a running copy, or
    // becomes the copy that later starts hand theirs to. A channel left behind by a crashed run
    // answers nobody and is replaced.
    Role start(QStringList arguments);

    // Why the last start runs on its own when that is for the channel's safety; else empty.
    QString refusal() const { return refusal_; }

    // The starts heard at once. One more drops the oldest that has not said what it wants: a
    // flood of connections costs it nothing but those, and never the listening socket.
    static constexpr int kMaxConnections = 32;

    // Stops answering once `window` starts to close: a file handed to a window on its way out
    // would be taken and then never opened. A later start then runs on its own.
    void stopWhenClosing(QObject* window);

    // Listens again when the channel's socket has gone (a cleaner emptied the folder, say);
    // a timer asks every few seconds. Nothing on Windows, where the pipe's thread keeps it.
    void checkListening();

signals:
    // A later start handed over its command line (the file in it already absolute).
    void argumentsHandedOver(const QStringList& arguments);

private:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void stop();

    struct Channel;
    std::unique_ptr<Channel> channel_;
    QString refusal_;
};

} // namespace pyrelto
