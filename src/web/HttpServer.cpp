#include "HttpServer.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpSocket>

namespace {

QByteArray reason(int status)
{
    switch (status) {
    case 200: return "OK";
    case 400: return "Bad Request";
    case 404: return "Not Found";
    case 405: return "Method Not Allowed";
    case 413: return "Payload Too Large";
    case 414: return "URI Too Long";
    case 431: return "Request Header Fields Too Large";
    case 500: return "Internal Server Error";
    case 503: return "Service Unavailable";
    }
    return "Unknown";
}

// The value of a header, matched case-insensitively; empty when absent.
QByteArray header(const QList<QByteArray>& lines, const QByteArray& name)
{
    for (const QByteArray& line : lines) {
        const int colon = line.indexOf(':');
        if (colon > 0 && line.left(colon).trimmed().toLower() == name)
            return line.mid(colon + 1).trimmed();
    }
    return {};
}

} // namespace

HttpResponse HttpResponse::json(const QByteArray& body, int status)
{
    return {status, "application/json; charset=utf-8", body};
}

HttpResponse HttpResponse::error(int status, const QString& message)
{
    return json(QJsonDocument(QJsonObject{{QStringLiteral("error"), message}})
                    .toJson(QJsonDocument::Compact),
                status);
}

HttpServer::HttpServer(Handler handler, QObject* parent)
    : QObject(parent), m_handler(std::move(handler))
{
    m_clock.start();
    m_server.setMaxPendingConnections(MaxConnections);
    connect(&m_server, &QTcpServer::newConnection, this, &HttpServer::accept);
    m_idleCheck.setInterval(1000);
    connect(&m_idleCheck, &QTimer::timeout, this, &HttpServer::closeIdle);
}

HttpServer::~HttpServer()
{
    for (Connection& c : m_connections) {
        c.socket->disconnect(this);
        c.socket->abort();
        delete c.socket;
    }
}

QString HttpServer::listen(const QHostAddress& address, quint16 port)
{
    if (m_server.listen(address, port)) {
        m_idleCheck.start();
        return {};
    }
    switch (m_server.serverError()) {
    case QAbstractSocket::AddressInUseError:
        return QStringLiteral("port %1 is taken by another program").arg(port);
    case QAbstractSocket::SocketAddressNotAvailableError:
        return QStringLiteral("%1 is not an address of this machine").arg(address.toString());
    case QAbstractSocket::SocketAccessError:
        return QStringLiteral("port %1 needs more privileges than this program has (use a port "
                              "above 1023)")
            .arg(port);
    default:
        return m_server.errorString();
    }
}

HttpServer::Connections::iterator HttpServer::find(QTcpSocket* socket)
{
    for (auto c = m_connections.begin(); c != m_connections.end(); ++c) {
        if (c->socket == socket)
            return c;
    }
    return m_connections.end();
}

void HttpServer::accept()
{
    while (QTcpSocket* socket = m_server.nextPendingConnection()) {
        // The connection idle longest makes room, so stalled clients cannot lock others out.
        if (int(m_connections.size()) >= MaxConnections)
            drop(m_connections.begin());
        m_connections.push_back({socket, {}, m_clock.elapsed(), false});
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] {
            const auto c = find(socket);
            if (c != m_connections.end())
                receive(c);
        });
        connect(socket, &QTcpSocket::bytesWritten, this, [this, socket] {
            const auto c = find(socket);
            if (c == m_connections.end())
                return;
            c->lastActive = m_clock.elapsed();
            m_connections.splice(m_connections.end(), m_connections, c);
            serveNext(socket);
        });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            const auto c = find(socket);
            if (c != m_connections.end())
                drop(c);
        });
    }
}

void HttpServer::receive(Connections::iterator c)
{
    if (c->closing) {
        c->socket->readAll();
        return;
    }
    c->received += c->socket->readAll();
    c->lastActive = m_clock.elapsed();
    m_connections.splice(m_connections.end(), m_connections, c);
    if (c->received.size() > MaxUnread && c->socket->bytesToWrite() > MaxUnread) {
        drop(c);
        return;
    }
    serveNext(c->socket);
}

void HttpServer::serveNext(QTcpSocket* socket)
{
    const auto c = find(socket);
    if (c == m_connections.end() || c->closing || c->received.isEmpty() ||
        socket->bytesToWrite() > MaxUnread || !serveOne(c))
        return;
    // One request a turn of the event loop: a burst of pipelined requests cannot hold up
    // frames and logging ticks.
    QMetaObject::invokeMethod(this, [this, socket] { serveNext(socket); }, Qt::QueuedConnection);
}

bool HttpServer::serveOne(Connections::iterator c)
{
    QByteArray& in = c->received;
    const int lineEnd = in.indexOf("\r\n");
    if ((lineEnd < 0 && in.size() > MaxRequestLine) || lineEnd > MaxRequestLine) {
        refuse(*c, 414, QStringLiteral("The request line is longer than 8 KiB."));
        return false;
    }
    if (lineEnd < 0)
        return false;
    const int headersEnd = in.indexOf("\r\n\r\n", lineEnd);
    const int headerBytes = (headersEnd < 0 ? in.size() : headersEnd) - lineEnd;
    if (headerBytes > MaxHeaders) {
        refuse(*c, 431, QStringLiteral("The request headers are longer than 8 KiB."));
        return false;
    }
    if (headersEnd < 0)
        return false;

    const QList<QByteArray> parts = in.left(lineEnd).split(' ');
    const QList<QByteArray> headers = in.mid(lineEnd + 2, headersEnd - lineEnd - 2).split('\n');
    in.remove(0, headersEnd + 4);
    if (parts.size() != 3 || !parts[2].startsWith("HTTP/1.") || !parts[1].startsWith('/')) {
        refuse(*c, 400, QStringLiteral("That is not an HTTP/1 request."));
        return false;
    }
    const QByteArray& method = parts[0];
    if (method != "GET" && method != "HEAD") {
        // A body may follow that we will not read: the connection ends here.
        refuse(*c, 405, QStringLiteral("Only GET and HEAD are served here."));
        return false;
    }
    if (!header(headers, "content-length").isEmpty() && header(headers, "content-length") != "0") {
        refuse(*c, 400, QStringLiteral("A GET request carries no body."));
        return false;
    }
    const QByteArray connection = header(headers, "connection").toLower();
    const bool keepAlive =
        parts[2] == "HTTP/1.1" ? connection != "close" : connection == "keep-alive";

    const QByteArray& target = parts[1];
    const int mark = target.indexOf('?');
    HttpRequest request;
    request.method = method;
    request.path = QString::fromUtf8(
        QByteArray::fromPercentEncoding(target.left(mark < 0 ? target.size() : mark)));
    if (mark >= 0)
        request.query.setQuery(QString::fromUtf8(target.mid(mark + 1)));
    send(*c, m_handler(request), method == "HEAD", keepAlive);
    if (!keepAlive) {
        c->closing = true;
        c->socket->disconnectFromHost();
        return false;
    }
    return true;
}

void HttpServer::send(Connection& c, const HttpResponse& response, bool head, bool keepAlive)
{
    QByteArray out = "HTTP/1.1 " + QByteArray::number(response.status) + ' ' +
                     reason(response.status) + "\r\nContent-Type: " + response.contentType +
                     "\r\nContent-Length: " + QByteArray::number(response.body.size()) +
                     "\r\nCache-Control: no-store\r\nX-Content-Type-Options: nosniff\r\n";
    if (response.status == 405)
        out += "Allow: GET, HEAD\r\n";
    out += keepAlive ? "Connection: keep-alive\r\n\r\n" : "Connection: close\r\n\r\n";
    if (!head)
        out += response.body;
    c.socket->write(out);
}

void HttpServer::refuse(Connection& c, int status, const QString& message)
{
    send(c, HttpResponse::error(status, message), false, false);
    c.closing = true;
    c.received.clear();
    c.socket->disconnectFromHost();
}

void HttpServer::drop(Connections::iterator c)
{
    QTcpSocket* socket = c->socket;
    m_connections.erase(c);
    socket->disconnect(this);
    socket->abort();
    socket->deleteLater();
}

void HttpServer::closeIdle()
{
    const qint64 now = m_clock.elapsed();
    // Least recently active first: stop at the first one still in use.
    while (!m_connections.empty() && now - m_connections.front().lastActive >= IdleMs)
        drop(m_connections.begin());
}
