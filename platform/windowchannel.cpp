#include "platform/windowchannel.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QTimer>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {

// A request and its answer each end with a NUL byte, which no path holds.
constexpr char End = '\0';
// A request longer than this is no request of the program's.
constexpr qsizetype MaxRequest = 64 * 1024;
// How long a connection may take to send its request.
constexpr int RequestMs = 5000;
// How long a start waits for the window's answer. A window that is busy
// longer than this reads the request when it is done.
constexpr int AnswerMs = 5000;

// A folder (not a link) of the user's own that no one else may enter.
bool PrivateFolder(const QString &path) {
    struct stat st;
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 && S_ISDIR(st.st_mode) &&
           st.st_uid == ::geteuid() && (st.st_mode & 077) == 0;
}

class DesktopWindowChannel final : public WindowChannel {
  public:
    bool Listen(const QString &socket) {
        server_.setSocketOptions(QLocalServer::UserAccessOption);
        if (!server_.listen(socket))
            return false;
        QObject::connect(&server_, &QLocalServer::newConnection, &server_, [this] { Accept(); });
        return true;
    }
    // Closing the server removes its socket.
    ~DesktopWindowChannel() override { server_.close(); }

  private:
    void Accept() {
        while (QLocalSocket *c = server_.nextPendingConnection()) {
            auto data = std::make_shared<QByteArray>();
            QObject::connect(c, &QLocalSocket::disconnected, c, &QObject::deleteLater);
            QObject::connect(c, &QLocalSocket::readyRead, c, [this, c, data] {
                *data += c->readAll();
                const qsizetype end = data->indexOf(End);
                if (end < 0) {
                    if (data->size() > MaxRequest)
                        c->abort();
                    return;
                }
                QObject::disconnect(c, &QLocalSocket::readyRead, nullptr, nullptr);
                c->write(QByteArray("ok", 3)); // with its NUL
                c->disconnectFromServer();
                Deliver(data->left(end));
            });
            QTimer::singleShot(RequestMs, c, [c] { c->abort(); });
        }
    }

    QLocalServer server_;
};

enum class HandOver { Taken, NoWindow, WentAway };

HandOver HandTo(const QString &socket, const QByteArray &request) {
    QLocalSocket s;
    s.connectToServer(socket);
    if (!s.waitForConnected(1000))
        return s.error() == QLocalSocket::SocketTimeoutError ? HandOver::WentAway
                                                             : HandOver::NoWindow;
    s.write(request + End);
    QByteArray answer;
    QDeadlineTimer deadline(AnswerMs);
    for (;;) {
        answer += s.readAll();
        if (answer.contains(End))
            return HandOver::Taken;
        if (s.state() != QLocalSocket::ConnectedState)
            return HandOver::WentAway; // closed without taking it: the window is ending
        if (deadline.hasExpired())
            return HandOver::Taken; // busy: the request waits for it in the socket
        s.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime())));
    }
}

} // namespace

QString PrivateRuntimeFolder(const QString &runtimeDir, const QString &tempDir) {
    if (QDir::isAbsolutePath(runtimeDir) && PrivateFolder(runtimeDir))
        return QDir::cleanPath(runtimeDir);
    if (!QDir::isAbsolutePath(tempDir))
        return QString();
    const QString own =
        QDir::cleanPath(tempDir) + QStringLiteral("/quorvel-") + QString::number(::geteuid());
    ::mkdir(QFile::encodeName(own).constData(), 0700); // when there is one, it is checked
    return PrivateFolder(own) ? own : QString();
}

QString WindowSocketPath(const QString &folder, const QString &settingsFile) {
    const QByteArray hash =
        QCryptographicHash::hash(settingsFile.toUtf8(), QCryptographicHash::Sha256);
    return folder + QStringLiteral("/quorvel-") + QString::fromLatin1(hash.left(16).toHex());
}

WindowClaim ClaimDesktopWindow(const QString &settingsFile, const QByteArray &request, bool listen,
                               const QString &socketFolder) {
    const QString folder =
        !socketFolder.isEmpty()
            ? socketFolder
            : PrivateRuntimeFolder(qEnvironmentVariable("XDG_RUNTIME_DIR"), QDir::tempPath());
    if (folder.isEmpty())
        return {};
    const QString socket = WindowSocketPath(folder, settingsFile);
    // One start at a time decides: two that found no window must not both
    // listen, nor remove each other's socket.
    QLockFile lock(socket + QStringLiteral(".lock"));
    if (!lock.tryLock(5000))
        return {};
    for (int attempt = 0; attempt < 3; ++attempt) {
        const HandOver h = HandTo(socket, request);
        if (h == HandOver::Taken)
            return WindowClaim{true, nullptr};
        if (h == HandOver::NoWindow)
            break;
    }
    if (!listen)
        return {};
    QLocalServer::removeServer(socket); // left by a window that was killed
    auto channel = std::make_unique<DesktopWindowChannel>();
    if (!channel->Listen(socket))
        return {};
    return WindowClaim{false, std::move(channel)};
}

WindowClaim Platform::ClaimWindow(const QString &, const QByteArray &, bool) {
    return {};
}
