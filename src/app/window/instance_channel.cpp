#include "app/window/instance_channel.h"

#include <QCryptographicHash>
#include <QLocalSocket>

namespace qrv::window {

namespace {
constexpr int kConnectTimeoutMs = 1000;
}

QString InstanceChannelName(const std::filesystem::path& stationDirectory) {
    std::error_code ec;
    std::filesystem::path canonical = std::filesystem::weakly_canonical(stationDirectory, ec);
    if (ec) {
        canonical = stationDirectory;
    }
    const QByteArray hash = QCryptographicHash::hash(QByteArray::fromStdString(canonical.string()),
                                                     QCryptographicHash::Sha1);
    return "quorvanel-" + QString::fromLatin1(hash.toHex().left(16));
}

InstanceChannelServer::InstanceChannelServer(const QString& name, std::function<void()> raise,
                                             QObject* parent)
    : QObject(parent), raise_(std::move(raise)) {
    // A station that crashed leaves its socket behind; we hold the instance
    // lock, so nobody else is listening on it.
    QLocalServer::removeServer(name);
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    server_.listen(name);
    connect(&server_, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = server_.nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            socket->disconnectFromServer();
            raise_();
        }
    });
}

bool AskRunningInstanceToRaise(const QString& name) {
    QLocalSocket socket;
    socket.connectToServer(name);
    if (!socket.waitForConnected(kConnectTimeoutMs)) {
        return false;
    }
    socket.write("raise\n");
    socket.waitForBytesWritten(kConnectTimeoutMs);
    socket.disconnectFromServer();
    return true;
}

}  // namespace qrv::window
