#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPair>
#include <QTcpServer>

class QTcpSocket;

/// An HTTP server on 127.0.0.1 that records each request and answers it with the scripted response, one
/// request per connection. A port it cannot listen on ends the test at once: a test that went on could be
/// talking to another server there.
class FakeHttpServer : public QObject {
    Q_OBJECT

public:
    struct Request {
        QByteArray requestLine;
        QList<QPair<QByteArray, QByteArray>> headers;
        QByteArray body;

        /// The values of a header, whose name is compared without case.
        QList<QByteArray> header(const QByteArray& name) const;
    };

    /// What the server writes once a whole request has arrived. With keepOpen the connection stays open
    /// afterwards, so a response shorter than it announces stalls the client.
    struct Response {
        QByteArray bytes;
        bool keepOpen = false;
    };

    /// A complete response with the status (such as "200 OK"), body and extra header lines.
    static Response reply(const QByteArray& status, const QByteArray& body,
                          const QByteArray& extraHeaders = QByteArray());

    /// Announces a body four times the limit, sends one byte more than the limit and holds the connection:
    /// only a client that counts the body as it arrives gets out before its timeout.
    static Response oversized(qint64 limit);

    /// Listens on the port, or on any free one.
    explicit FakeHttpServer(quint16 port = 0);

    /// "http://127.0.0.1:<port>", with no trailing slash.
    QString address() const;
    quint16 port() const { return m_server.serverPort(); }

    Response response = reply("200 OK", "{}");
    int connections = 0;
    QList<Request> requests;

private:
    void readRequest(QTcpSocket* socket);

    QTcpServer m_server;
};
