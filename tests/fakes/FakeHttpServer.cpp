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
            "\r\nConnection: close\r\n" + extraHeaders + "\r\n" + body};
}

FakeHttpServer::Response FakeHttpServer::oversized(qint64 limit) {
    return {"HTTP/1.1 200 OK\r\nContent-Length: " + QByteArray::number(4 * limit) + "\r\n\r\n" +
                QByteArray(limit + 1, ' '),
            true};
}

FakeHttpServer::FakeHttpServer(quint16 port) {
    if (!m_server.listen(QHostAddress::LocalHost, port)) {
        qFatal("The fake HTTP server cannot listen on 127.0.0.1:%d: %s", port,
               qPrintable(m_server.errorString()));
    }
    connect(&m_server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket* socket = m_server.nextPendingConnection()) {
            ++connections;
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
    const QByteArray received = socket->property("received").toByteArray() + socket->readAll();
    socket->setProperty("received", received);
    const qsizetype headEnd = received.indexOf("\r\n\r\n");
    if (headEnd < 0) {
        return;
    }
    Request request;
    const QList<QByteArray> lines = received.left(headEnd).split('\n');
    request.requestLine = lines.first().trimmed();
    for (const QByteArray& line : lines.mid(1)) {
        const qsizetype colon = line.indexOf(':');
        request.headers.append({line.left(colon).trimmed(), line.mid(colon + 1).trimmed()});
    }
    const qsizetype contentLength = request.header("Content-Length").value(0).toLongLong();
    request.body = received.mid(headEnd + 4);
    if (request.body.size() < contentLength) {
        return;
    }
    requests.append(request);
    socket->setProperty("received", QByteArray());
    socket->write(response.bytes);
    if (!response.keepOpen) {
        socket->disconnectFromHost();
    }
}
