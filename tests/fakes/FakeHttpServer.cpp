#include "fakes/FakeHttpServer.h"

#include <QTcpSocket>

QList<QByteArray> FakeHttpServer::Request::header(const QByteArray& name) const {
    QList<QByteArray> values;
    for (const auto& [key, value] : headers) {
        if (key.compare(name, Qt::CaseInsensitive) == 0) {
            values.append(value);
        }
    }
    return values;
}

FakeHttpServer::Response FakeHttpServer::reply(const QByteArray& status, const QByteArray& body,
                                               const QByteArray& extraHeaders) {
    return {"HTTP/1.1 " + status + "\r\nContent-Length: " + QByteArray::number(body.size()) +
                "\r\nConnection: close\r\n" + extraHeaders + "\r\n" + body,
            false};
}

FakeHttpServer::Response FakeHttpServer::oversized(qint64 limit) {
    return {"HTTP/1.1 200 OK\r\nContent-Length: " + QByteArray::number(4 * limit) + "\r\n\r\n" +
                QByteArray(limit + 1, ' '),
            true};
}

FakeHttpServer::FakeHttpServer(quint16 port, QObject* parent)
    : QObject(parent)
    , m_response(reply("200 OK", R"({"message":{"role":"assistant","content":"ok"}})")) {
    m_server.listen(QHostAddress::LocalHost, port);
    connect(&m_server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket* socket = m_server.nextPendingConnection()) {
            ++m_connections;
            socket->setParent(this);
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { readRequest(socket); });
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        }
    });
}

QString FakeHttpServer::address() const {
    return QStringLiteral("http://127.0.0.1:%1").arg(port());
}

void FakeHttpServer::readRequest(QTcpSocket* socket) {
    QByteArray received = socket->property("received").toByteArray() + socket->readAll();
    socket->setProperty("received", received);
    const qsizetype headEnd = received.indexOf("\r\n\r\n");
    if (headEnd < 0) {
        return;
    }
    Request request;
    const QList<QByteArray> lines = received.left(headEnd).split('\n');
    request.requestLine = lines.first().trimmed();
    qsizetype contentLength = 0;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const qsizetype colon = lines[i].indexOf(':');
        const QByteArray name = lines[i].left(colon).trimmed();
        const QByteArray value = lines[i].mid(colon + 1).trimmed();
        request.headers.append({name, value});
        if (name.compare("Content-Length", Qt::CaseInsensitive) == 0) {
            contentLength = value.toLongLong();
        }
    }
    request.body = received.mid(headEnd + 4);
    if (request.body.size() < contentLength) {
        return;
    }
    m_requests.append(request);
    socket->setProperty("received", QByteArray());
    const Response response = m_responder ? m_responder(request) : m_response;
    socket->write(response.bytes);
    if (!response.keepOpen) {
        socket->disconnectFromHost();
    }
}
