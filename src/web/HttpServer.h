#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QPair>
#include <QTcpServer>
#include <QTimer>
#include <QUrlQuery>
#include <functional>
#include <list>

class QTcpSocket;

struct HttpRequest
{
    QByteArray method;
    QString path; // percent-decoded, without the query
    QUrlQuery query;
};

struct HttpResponse
{
    int status = 200;
    QByteArray contentType;
    QByteArray body;

    static HttpResponse json(const QByteArray& body, int status = 200);
    // {"error": message}
    static HttpResponse error(int status, const QString& message);
};

// A small HTTP/1.1 server in the program's event loop, for GET and HEAD of what the station
// has. Limits keep slow or stalled clients from exhausting it or locking others out: the
// request line and the headers are each held to 8 KiB, at most 64 connections are open (the
// one idle longest makes room for a new one), and a connection idle for 15 s is closed.
class HttpServer : public QObject
{
    Q_OBJECT

public:
    static constexpr int MaxConnections = 64;
    static constexpr qint64 IdleMs = 15000;
    static constexpr int MaxRequestLine = 8192;
    static constexpr int MaxHeaders = 8192;
    // A client that does not read its answers gets no more until it has read them down to
    // this, and one that sends more than this meanwhile is closed.
    static constexpr qint64 MaxUnread = 256 * 1024;

    using Handler = std::function<HttpResponse(const HttpRequest&)>;

    explicit HttpServer(Handler handler, QObject* parent = nullptr);
    ~HttpServer() override;

    // Empty once listening, else why it cannot.
    QString listen(const QHostAddress& address, quint16 port);
    quint16 port() const { return m_server.serverPort(); }
    int connectionCount() const { return int(m_connections.size()); }

private:
    struct Connection
    {
        QTcpSocket* socket = nullptr;
        QByteArray received;
        qint64 lastActive = 0;
        bool closing = false;
    };
    using Connections = std::list<Connection>;

    void accept();
    void receive(Connections::iterator c);
    void serveNext(QTcpSocket* socket);
    // Handles one whole request from the front of what was received; false when none is
    // whole yet, or the connection is to close.
    bool serveOne(Connections::iterator c);
    void send(Connection& c, const HttpResponse& response, bool head, bool keepAlive);
    void refuse(Connection& c, int status, const QString& message);
    void drop(Connections::iterator c);
    void closeIdle();
    Connections::iterator find(QTcpSocket* socket);

    Handler m_handler;
    QTcpServer m_server;
    Connections m_connections; // least recently active first
    QTimer m_idleCheck;
    QElapsedTimer m_clock;
};
