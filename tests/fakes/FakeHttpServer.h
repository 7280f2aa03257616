#pragma once

#include <QTcpServer>
#include <QTcpSocket>

/// An HTTP server on 127.0.0.1 that records each request and answers it with the scripted response, one
/// request per connection. A port it cannot listen on ends the test at once: a test that went on could be
/// talking to another server there.
class FakeHttpServer : public QObject {
public:
    struct Request {
        QByteArray requestLine;
        QList<QPair<QByteArray, QByteArray>> headers;
        QByteArray body;

        /// The value of a header, whose name is compared without case.
        QByteArray header(const QByteArray& name) const {
            const auto found = std::ranges::find_if(headers, [&](const auto& header) {
                return header.first.compare(name, Qt::CaseInsensitive) == 0;
            });
            return found == headers.end() ? QByteArray() : found->second;
        }
    };

    /// What the server writes once a whole request has arrived. With keepOpen the connection stays open
    /// afterwards, so a response shorter than it announces stalls the client.
    struct Response {
        QByteArray bytes;
        bool keepOpen = false;
    };

    static Response reply(const QByteArray& status, const QByteArray& body, const QByteArray& headers = {}) {
        return {"HTTP/1.1 " + status + "\r\nContent-Length: " + QByteArray::number(body.size()) +
                "\r\nConnection: close\r\n" + headers + "\r\n" + body};
    }

    /// Announces a body four times the limit, sends one byte more than the limit and holds the connection:
    /// only a client that counts the body as it arrives gets out before its timeout.
    static Response oversized(qint64 limit) {
        return {"HTTP/1.1 200 OK\r\nContent-Length: " + QByteArray::number(4 * limit) + "\r\n\r\n" +
                    QByteArray(limit + 1, ' '),
                true};
    }

    /// Listens on the port, or on any free one.
    explicit FakeHttpServer(quint16 port = 0) {
        if (!m_server.listen(QHostAddress::LocalHost, port)) {
            qFatal("The fake HTTP server cannot listen on 127.0.0.1:%d: %s", port,
                   qPrintable(m_server.errorString()));
        }
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = m_server.nextPendingConnection()) {
                socket->setParent(this);
                connect(socket, &QTcpSocket::readyRead, this, [this, socket] { readRequest(*socket); });
                connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            }
        });
    }

    /// "http://127.0.0.1:<port>", with no trailing slash.
    QString address() const { return QStringLiteral("http://127.0.0.1:%1").arg(m_server.serverPort()); }

    Response response = reply("200 OK", "{}");
    QList<Request> requests;

private:
    void readRequest(QTcpSocket& socket) {
        const QByteArray received = socket.property("received").toByteArray() + socket.readAll();
        socket.setProperty("received", received);
        const qsizetype headEnd = received.indexOf("\r\n\r\n");
        if (headEnd < 0) {
            return;
        }
        Request request{{}, {}, received.mid(headEnd + 4)};
        const QList<QByteArray> lines = received.left(headEnd).split('\n');
        request.requestLine = lines.first().trimmed();
        for (const QByteArray& line : lines.mid(1)) {
            request.headers.append(
                {line.left(line.indexOf(':')).trimmed(), line.mid(line.indexOf(':') + 1).trimmed()});
        }
        if (request.body.size() < request.header("Content-Length").toLongLong()) {
            return;
        }
        requests.append(request);
        socket.setProperty("received", QByteArray());
        socket.write(response.bytes);
        if (!response.keepOpen) {
            socket.disconnectFromHost();
        }
    }

    QTcpServer m_server;
};
