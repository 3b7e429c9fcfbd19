#pragma once

#include "web/HttpRequestParser.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QObject>
#include <QThreadPool>
#include <QTimer>
#include <deque>
#include <functional>
#include <list>
#include <memory>

class QSocketNotifier;

struct HttpResponse
{
    int status = 200;
    QByteArray contentType;
    QByteArray body;
    // Set for what can no longer change (a day that is over): a client that holds this tag
    // gets 304 and no body.
    QByteArray etag;
    // Heavy work (a large picture) that makes the real answer on a worker thread, so the
    // event loop goes on meanwhile; it may use only what it captured.
    std::function<HttpResponse()> work;

    static HttpResponse json(const QByteArray& body, int status = 200);
    // {"error": message}
    static HttpResponse error(int status, const QString& message);
};

// A small HTTP/1.1 server in the program's event loop, for GET and HEAD of what the station
// has. No client can hold up another or the station: each turn of the event loop answers at
// most one request, clients taking turns, with at most one request per client in work;
// pictures are drawn on worker threads; what a client can make the server hold is bounded
// both ways (unparsed requests, unread answers); a request must be whole within 10 s and a
// connection idle for 15 s is closed; at most 64 connections are open (the one idle longest
// makes room for a new one). A client that closes its sending side still gets every answer.
class HttpServer : public QObject
{
    Q_OBJECT

public:
    static constexpr int MaxConnections = 64;
    static constexpr qint64 IdleMs = 15000;
    static constexpr qint64 RequestMs = 10000;
    // After the last answer of a closing connection, what the client still sends is read and
    // dropped for this long, so a reset does not destroy the answer on its way.
    static constexpr qint64 LingerMs = 2000;
    // Past this, nothing more is read from a client until its requests are answered.
    static constexpr qsizetype MaxUnparsed = 64 * 1024;
    // A client that does not read its answers gets no more until it has read them down to this.
    static constexpr qsizetype MaxUnread = 256 * 1024;
    static constexpr int Workers = 2;

    using Handler = std::function<HttpResponse(const HttpRequest&)>;

    explicit HttpServer(Handler handler, QObject* parent = nullptr);
    ~HttpServer() override;

    // Empty once listening, else why it cannot. On a loopback address only requests for a
    // loopback host name are answered, so a web page cannot reach the server by rebinding
    // its own name to this machine.
    QString listen(const QHostAddress& address, quint16 port);
    quint16 port() const;
    int connectionCount() const;
    // What clients have made the server hold: requests not parsed yet and answers not sent.
    qsizetype heldBytes() const;

private:
    class Listener;
    struct Connection
    {
        quint64 id = 0;
        qintptr fd = -1;
        std::unique_ptr<QSocketNotifier> reader;
        std::unique_ptr<QSocketNotifier> writer;
        QByteArray in;
        QByteArray out;
        qsizetype sent = 0;
        qint64 lastActive = 0;
        qint64 incompleteSince = -1; // when the request at the front was first seen unfinished
        qint64 closingSince = -1;    // when the last answer was sent of a closing connection
        bool peerDone = false;       // the client has sent all it ever will
        bool working = false;        // its request is with a worker
        bool closing = false;        // no more requests: close once the answers are sent
        bool queued = false;         // waits for a turn
        bool dead = false;           // closed, to be removed
    };
    using Connections = std::list<Connection>;

    void accept(qintptr fd);
    void readFrom(Connection& c);
    void queue(Connection& c);
    void turn();
    // Answers or starts one request of the client; false when it had none to take.
    bool serveOne(Connection& c);
    void workDone(quint64 id, const HttpResponse& response, bool head, bool keepAlive);
    void send(Connection& c, const HttpResponse& response, bool head, bool keepAlive);
    void flush(Connection& c);
    void closeWhenSent(Connection& c);
    void resumeReading(Connection& c);
    void touch(Connection& c);
    void drop(Connection& c);
    void removeDropped();
    void checkTimes();
    bool hostAllowed(const QByteArray& host) const;
    Connection* find(quint64 id);

    Handler m_handler;
    std::unique_ptr<Listener> m_listener;
    Connections m_connections; // least recently active first
    std::deque<quint64> m_turns;
    bool m_turnPosted = false;
    bool m_removalPosted = false;
    bool m_loopbackOnly = false;
    quint64 m_nextId = 1;
    QTimer m_timeCheck;
    QElapsedTimer m_clock;
    QThreadPool m_workers;
};
