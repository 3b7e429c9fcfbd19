#include "HttpServer.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QSocketNotifier>
#include <QTcpServer>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {

QByteArray reason(int status)
{
    switch (status) {
    case 200: return "OK";
    case 304: return "Not Modified";
    case 400: return "Bad Request";
    case 404: return "Not Found";
    case 405: return "Method Not Allowed";
    case 408: return "Request Timeout";
    case 413: return "Payload Too Large";
    case 414: return "URI Too Long";
    case 421: return "Misdirected Request";
    case 431: return "Request Header Fields Too Large";
    case 500: return "Internal Server Error";
    case 503: return "Service Unavailable";
    case 505: return "HTTP Version Not Supported";
    }
    return "Unknown";
}

bool wouldBlock()
{
    return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
}

// If-None-Match is "*" or a list of tags, weak or strong.
bool tagMatches(const QByteArray& ifNoneMatch, const QByteArray& etag)
{
    for (QByteArray tag : ifNoneMatch.split(',')) {
        tag = tag.trimmed();
        if (tag.startsWith("W/"))
            tag = tag.mid(2);
        if (tag == "*" || tag == etag)
            return true;
    }
    return false;
}

} // namespace

// Hands each accepted socket over as it is: the server reads and writes it itself, since a
// QTcpSocket closes as soon as the client closes its sending side.
class HttpServer::Listener : public QTcpServer
{
public:
    std::function<void(qintptr)> accepted;

protected:
    void incomingConnection(qintptr fd) override { accepted(fd); }
};

HttpResponse HttpResponse::json(const QByteArray& body, int status)
{
    return {status, "application/json; charset=utf-8", body, {}, {}};
}

HttpResponse HttpResponse::error(int status, const QString& message)
{
    return json(QJsonDocument(QJsonObject{{QStringLiteral("error"), message}})
                    .toJson(QJsonDocument::Compact),
                status);
}

HttpServer::HttpServer(Handler handler, QObject* parent)
    : QObject(parent), m_handler(std::move(handler)), m_listener(std::make_unique<Listener>())
{
    m_clock.start();
    m_workers.setMaxThreadCount(Workers);
    m_listener->accepted = [this](qintptr fd) { accept(fd); };
    m_timeCheck.setInterval(500);
    connect(&m_timeCheck, &QTimer::timeout, this, &HttpServer::checkTimes);
}

HttpServer::~HttpServer()
{
    m_workers.waitForDone();
    for (Connection& c : m_connections) {
        if (!c.dead)
            ::close(int(c.fd));
    }
}

QString HttpServer::listen(const QHostAddress& address, quint16 port)
{
    if (m_listener->listen(address, port)) {
        m_loopbackOnly = address.isLoopback();
        m_timeCheck.start();
        return {};
    }
    switch (m_listener->serverError()) {
    case QAbstractSocket::AddressInUseError:
        return QStringLiteral("port %1 is taken by another program").arg(port);
    case QAbstractSocket::SocketAddressNotAvailableError:
        return QStringLiteral("%1 is not an address of this machine").arg(address.toString());
    case QAbstractSocket::SocketAccessError:
        return QStringLiteral("port %1 needs more privileges than this program has (use a port "
                              "above 1023)")
            .arg(port);
    default:
        return m_listener->errorString();
    }
}

quint16 HttpServer::port() const
{
    return m_listener->serverPort();
}

int HttpServer::connectionCount() const
{
    return int(std::count_if(m_connections.begin(), m_connections.end(),
                             [](const Connection& c) { return !c.dead; }));
}

qsizetype HttpServer::heldBytes() const
{
    qsizetype held = 0;
    for (const Connection& c : m_connections)
        held += c.in.size() + c.out.size() - c.sent;
    return held;
}

HttpServer::Connection* HttpServer::find(quint64 id)
{
    for (Connection& c : m_connections) {
        if (c.id == id)
            return c.dead ? nullptr : &c;
    }
    return nullptr;
}

void HttpServer::accept(qintptr fd)
{
    ::fcntl(int(fd), F_SETFL, ::fcntl(int(fd), F_GETFL) | O_NONBLOCK);
    // The connection idle longest makes room, so stalled clients cannot lock others out.
    if (connectionCount() >= MaxConnections) {
        for (Connection& c : m_connections) {
            if (!c.dead) {
                drop(c);
                break;
            }
        }
    }
    Connection& c = m_connections.emplace_back();
    c.id = m_nextId++;
    c.fd = fd;
    c.lastActive = m_clock.elapsed();
    c.reader = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read, this);
    c.writer = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Write, this);
    c.writer->setEnabled(false);
    // The list never moves its elements, and a dropped connection's notifiers are off.
    Connection* connection = &c;
    connect(c.reader.get(), &QSocketNotifier::activated, this, [this, connection] {
        readFrom(*connection);
    });
    connect(c.writer.get(), &QSocketNotifier::activated, this, [this, connection] {
        flush(*connection);
    });
}

void HttpServer::readFrom(Connection& c)
{
    // A closing connection's requests are read only to be dropped.
    const qsizetype room = c.closing ? MaxUnparsed : MaxUnparsed - c.in.size();
    if (room <= 0) {
        c.reader->setEnabled(false);
        return;
    }
    const qsizetype had = c.in.size();
    c.in.resize(had + room);
    const ssize_t n = ::recv(int(c.fd), c.in.data() + had, size_t(room), 0);
    c.in.resize(had + qMax<ssize_t>(n, 0));
    if (n < 0) {
        if (!wouldBlock())
            drop(c);
        return;
    }
    if (c.closing) {
        c.in.clear();
        if (n == 0)
            drop(c);
        return;
    }
    if (n == 0) {
        c.peerDone = true;
        c.reader->setEnabled(false);
    } else {
        touch(c);
        if (c.in.size() >= MaxUnparsed)
            c.reader->setEnabled(false);
    }
    queue(c);
}

void HttpServer::queue(Connection& c)
{
    if (!c.queued) {
        c.queued = true;
        m_turns.push_back(c.id);
    }
    if (m_turnPosted)
        return;
    m_turnPosted = true;
    QMetaObject::invokeMethod(this, &HttpServer::turn, Qt::QueuedConnection);
}

void HttpServer::turn()
{
    m_turnPosted = false;
    // One request a turn, clients in the order they became ready: a burst from one client
    // cannot hold up frames, logging ticks or the other clients.
    while (!m_turns.empty()) {
        Connection* c = find(m_turns.front());
        m_turns.pop_front();
        if (!c)
            continue;
        c->queued = false;
        if (serveOne(*c))
            break;
    }
    if (!m_turns.empty() && !m_turnPosted) {
        m_turnPosted = true;
        QMetaObject::invokeMethod(this, &HttpServer::turn, Qt::QueuedConnection);
    }
}

bool HttpServer::serveOne(Connection& c)
{
    // Each of these wakes the client again when it clears: the worker's answer, the client
    // reading its answers.
    if (c.working || c.closing || c.out.size() - c.sent > MaxUnread)
        return false;
    const HttpParse parse = HttpRequestParser::parse(c.in);
    if (parse.outcome == HttpParse::Outcome::Incomplete) {
        if (c.peerDone)
            closeWhenSent(c);
        else if (!c.in.isEmpty() && c.incompleteSince < 0)
            c.incompleteSince = m_clock.elapsed();
        return false;
    }
    if (parse.outcome == HttpParse::Outcome::Refused) {
        send(c, HttpResponse::error(parse.status, parse.message), parse.head, false);
        return true;
    }
    c.in.remove(0, parse.used);
    c.incompleteSince = -1;
    resumeReading(c);
    const HttpRequest& request = parse.request;
    if (!hostAllowed(request.host)) {
        send(c,
             HttpResponse::error(421, QStringLiteral("This server answers only to localhost, "
                                                     "127.0.0.1 and [::1].")),
             request.head(), request.keepAlive);
        return true;
    }
    HttpResponse response = m_handler(request);
    if (!response.etag.isEmpty() && tagMatches(request.ifNoneMatch, response.etag)) {
        response.status = 304;
        response.work = nullptr;
    }
    if (response.work) {
        c.working = true;
        const quint64 id = c.id;
        const bool head = request.head();
        const bool keepAlive = request.keepAlive;
        m_workers.start([this, id, work = std::move(response.work), head, keepAlive] {
            const HttpResponse done = work();
            QMetaObject::invokeMethod(
                this, [this, id, done, head, keepAlive] { workDone(id, done, head, keepAlive); },
                Qt::QueuedConnection);
        });
        return true;
    }
    send(c, response, request.head(), request.keepAlive);
    return true;
}

void HttpServer::workDone(quint64 id, const HttpResponse& response, bool head, bool keepAlive)
{
    Connection* c = find(id);
    if (!c)
        return;
    c->working = false;
    send(*c, response, head, keepAlive);
}

void HttpServer::send(Connection& c, const HttpResponse& response, bool head, bool keepAlive)
{
    const bool body = !head && response.status != 304;
    QByteArray out = "HTTP/1.1 " + QByteArray::number(response.status) + ' ' +
                     reason(response.status) + "\r\n";
    if (response.status != 304)
        out += "Content-Type: " + response.contentType +
               "\r\nContent-Length: " + QByteArray::number(response.body.size()) + "\r\n";
    out += response.etag.isEmpty() ? QByteArray("Cache-Control: no-store\r\n")
                                   : "Cache-Control: no-cache\r\nETag: " + response.etag + "\r\n";
    out += "X-Content-Type-Options: nosniff\r\n";
    if (response.status == 405)
        out += "Allow: GET, HEAD\r\n";
    out += keepAlive ? "Connection: keep-alive\r\n\r\n" : "Connection: close\r\n\r\n";
    if (body)
        out += response.body;
    c.out += out;
    if (keepAlive)
        queue(c);
    else
        c.closing = true;
    flush(c);
}

void HttpServer::flush(Connection& c)
{
    while (!c.dead && c.sent < c.out.size()) {
        const ssize_t n = ::send(int(c.fd), c.out.constData() + c.sent, size_t(c.out.size() - c.sent),
                                 MSG_NOSIGNAL);
        if (n < 0 && wouldBlock()) {
            c.writer->setEnabled(true);
            return;
        }
        if (n < 0) {
            drop(c);
            return;
        }
        c.sent += n;
        touch(c);
    }
    if (c.dead)
        return;
    c.out.clear();
    c.sent = 0;
    c.writer->setEnabled(false);
    if (c.closing)
        closeWhenSent(c);
    else
        queue(c); // it may have waited for its answers to be read
}

void HttpServer::closeWhenSent(Connection& c)
{
    c.closing = true;
    c.in.clear();
    if (c.sent < c.out.size() || c.closingSince >= 0)
        return;
    if (c.peerDone) {
        drop(c);
        return;
    }
    // Our side is done; the client's last bytes are read and dropped until it closes too.
    ::shutdown(int(c.fd), SHUT_WR);
    c.closingSince = m_clock.elapsed();
    c.reader->setEnabled(true);
}

void HttpServer::resumeReading(Connection& c)
{
    if (!c.peerDone && !c.dead && c.in.size() < MaxUnparsed)
        c.reader->setEnabled(true);
}

void HttpServer::touch(Connection& c)
{
    c.lastActive = m_clock.elapsed();
    for (auto it = m_connections.begin(); it != m_connections.end(); ++it) {
        if (&*it == &c) {
            m_connections.splice(m_connections.end(), m_connections, it);
            return;
        }
    }
}

void HttpServer::drop(Connection& c)
{
    if (c.dead)
        return;
    c.dead = true;
    // The notifiers may be the ones calling: they are switched off now and deleted later.
    for (std::unique_ptr<QSocketNotifier>* n : {&c.reader, &c.writer}) {
        (*n)->setEnabled(false);
        (*n)->disconnect(this);
        n->release()->deleteLater();
    }
    ::close(int(c.fd));
    c.in.clear();
    c.out.clear();
    c.sent = 0;
    if (!m_removalPosted) {
        m_removalPosted = true;
        QMetaObject::invokeMethod(this, &HttpServer::removeDropped, Qt::QueuedConnection);
    }
}

void HttpServer::removeDropped()
{
    m_removalPosted = false;
    m_connections.remove_if([](const Connection& c) { return c.dead; });
}

void HttpServer::checkTimes()
{
    const qint64 now = m_clock.elapsed();
    // Answering moves a connection to the back of the list: walk a copy.
    std::vector<Connection*> all;
    for (Connection& c : m_connections)
        all.push_back(&c);
    for (Connection* connection : all) {
        Connection& c = *connection;
        if (c.dead || c.working)
            continue;
        if (c.closingSince >= 0) {
            if (now - c.closingSince >= LingerMs)
                drop(c);
        } else if (c.incompleteSince >= 0 && now - c.incompleteSince >= RequestMs) {
            // Against clients that send a byte now and then to hold a connection for ever.
            c.in.clear();
            send(c,
                 HttpResponse::error(408, QStringLiteral("A request must be whole within 10 "
                                                         "seconds of its first byte.")),
                 false, false);
        } else if (now - c.lastActive >= IdleMs) {
            drop(c);
        }
    }
}

bool HttpServer::hostAllowed(const QByteArray& host) const
{
    if (!m_loopbackOnly || host.isEmpty())
        return true;
    QByteArray name = host.toLower();
    const qsizetype colon = name.lastIndexOf(':');
    if (colon > name.lastIndexOf(']')) {
        bool digits = false;
        name.mid(colon + 1).toUShort(&digits);
        if (!digits)
            return false;
        name.truncate(colon);
    }
    return name == "localhost" || name == "127.0.0.1" || name == "[::1]";
}
