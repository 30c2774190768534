// SPDX-License-Identifier: GPL-3.0-or-later
// The channel as a local socket (a named pipe on Windows) through Qt Network.
#include <QDeadlineTimer>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>

#include "app/command_channel.h"

namespace lumora {

namespace {

// More than any path and two names: whoever sends this much sends no request.
constexpr std::size_t kLongestRequest = 64 * 1024;
// Long enough for a large JPEG to be decoded and handed to a slow desktop.
constexpr int kReplyTimeoutMs = 60000;

void Send(QLocalSocket* socket, const CommandReply& reply) {
  const std::string bytes = EncodeReply(reply);
  socket->write(bytes.data(), static_cast<qint64>(bytes.size()));
  // Answered before the program may end (after --quit): the reply must have left by then.
  socket->waitForBytesWritten(1000);
  socket->disconnectFromServer();
}

void Append(std::string& received, QLocalSocket& socket) {
  const QByteArray bytes = socket.readAll();
  received.append(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

}  // namespace

struct CommandServer::Listener {
  QLocalServer server;
};

CommandServer::CommandServer(const std::string& channel) : listener_(std::make_unique<Listener>()) {
  if (channel.empty()) {
    error_ = "no channel";
    return;
  }
  QLocalServer& server = listener_->server;
  server.setSocketOptions(QLocalServer::UserAccessOption);
  const QString name = QString::fromStdString(channel);
  QLocalServer::removeServer(name);
  if (!server.listen(name)) {
    error_ = channel + ": " + server.errorString().toStdString();
    return;
  }
  connect(&server, &QLocalServer::newConnection, this, [this] { Serve(handler_); });
}

CommandServer::~CommandServer() = default;

void CommandServer::Serve(Handler handler) {
  handler_ = std::move(handler);
  if (!handler_) return;
  while (QLocalSocket* socket = listener_->server.nextPendingConnection()) {
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    auto received = std::make_shared<std::string>();
    const auto read = [this, socket, received] {
      Append(*received, *socket);
      const std::optional<CommandLine> request = DecodeRequest(*received);
      if (!request) {
        if (received->size() > kLongestRequest) socket->abort();
        return;
      }
      // One request a connection: what follows it is not read.
      disconnect(socket, &QLocalSocket::readyRead, this, nullptr);
      if (!handler_) {
        Send(socket, CommandReply{false, "Lumora is ending"});
        return;
      }
      // The request may outlast its socket (the command was interrupted) or the other way round.
      const QPointer<QLocalSocket> asker(socket);
      handler_(*request, [asker](const CommandReply& reply) {
        if (asker) Send(asker, reply);
      });
    };
    connect(socket, &QLocalSocket::readyRead, this, read);
    read();
  }
}

std::optional<CommandReply> AskRunningLumora(const std::string& channel, const CommandLine& command) {
  QLocalSocket socket;
  socket.connectToServer(QString::fromStdString(channel));
  if (!socket.waitForConnected(5000)) {
    if (socket.error() == QLocalSocket::ServerNotFoundError ||
        socket.error() == QLocalSocket::ConnectionRefusedError) {
      return std::nullopt;
    }
    return CommandReply{false, channel + ": " + socket.errorString().toStdString()};
  }
  const std::string request = EncodeRequest(command);
  socket.write(request.data(), static_cast<qint64>(request.size()));
  std::string received;
  const QDeadlineTimer deadline(kReplyTimeoutMs);
  while (!DecodeReply(received) && !deadline.hasExpired()) {
    if (socket.bytesAvailable() == 0 &&
        !socket.waitForReadyRead(static_cast<int>(deadline.remainingTime())) &&
        socket.state() != QLocalSocket::ConnectedState) {
      break;
    }
    Append(received, socket);
  }
  Append(received, socket);
  if (std::optional<CommandReply> reply = DecodeReply(received)) return reply;
  return CommandReply{false, deadline.hasExpired() ? "the running Lumora did not answer in time"
                                                   : "the running Lumora ended without an answer"};
}

}  // namespace lumora
