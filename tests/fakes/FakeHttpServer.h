#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPair>
#include <QTcpServer>

#include <functional>

class QTcpSocket;

/// A one-answer-per-connection HTTP server on 127.0.0.1 that records what it is sent and answers with a
/// scripted response.
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

    /// A complete response with the given status line tail (such as "200 OK"), body and extra header lines.
    static Response reply(const QByteArray& status, const QByteArray& body,
                          const QByteArray& extraHeaders = QByteArray());

    /// Announces a body four times the limit, sends one byte more than the limit and holds the connection:
    /// only a client that counts the body as it arrives gets out before its timeout.
    static Response oversized(qint64 limit);

    /// Listens on the given port of 127.0.0.1, or on any free one.
    explicit FakeHttpServer(quint16 port = 0, QObject* parent = nullptr);

    /// "http://127.0.0.1:<port>", with no trailing slash.
    QString address() const;
    quint16 port() const { return m_server.serverPort(); }

    void setResponse(Response response) { m_response = std::move(response); }
    /// Answers each request with what responder makes of it, instead of the set response.
    void setResponder(std::function<Response(const Request&)> responder) {
        m_responder = std::move(responder);
    }

    int connections() const { return m_connections; }
    const QList<Request>& requests() const { return m_requests; }

private:
    void readRequest(QTcpSocket* socket);

    QTcpServer m_server;
    Response m_response;
    std::function<Response(const Request&)> m_responder;
    int m_connections = 0;
    QList<Request> m_requests;
};
