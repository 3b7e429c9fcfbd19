#pragma once

#include <QTcpSocket>
#include <QtTest>

struct HttpReply
{
    int status = 0;
    QByteArray head;
    QByteArray body;
    bool closed = false;

    QByteArray header(const QByteArray& name) const
    {
        for (const QByteArray& line : head.split('\n')) {
            if (line.toLower().startsWith(name.toLower() + ':'))
                return line.mid(name.size() + 1).trimmed();
        }
        return {};
    }
};

// Sends raw bytes, on a connection of its own unless one is kept, and reads one reply while
// running the event loop, so a server in this thread can answer as well as one elsewhere.
inline HttpReply httpAsk(quint16 port, const QByteArray& request, QTcpSocket* keep = nullptr)
{
    QTcpSocket own;
    QTcpSocket& socket = keep ? *keep : own;
    if (socket.state() != QAbstractSocket::ConnectedState)
        socket.connectToHost(QHostAddress::LocalHost, port);
    socket.write(request);
    QByteArray in;
    HttpReply r;
    (void)QTest::qWaitFor(
        [&] {
            in += socket.readAll();
            const int end = in.indexOf("\r\n\r\n");
            if (end < 0)
                return socket.state() == QAbstractSocket::UnconnectedState;
            r.head = in.left(end);
            const int length = r.header("Content-Length").toInt();
            return request.startsWith("HEAD") || in.size() >= end + 4 + length;
        },
        5000);
    r.status = r.head.mid(9, 3).toInt();
    r.body = in.mid(in.indexOf("\r\n\r\n") + 4);
    r.closed = r.header("Connection") == "close" &&
               QTest::qWaitFor([&] { return socket.state() == QAbstractSocket::UnconnectedState; },
                               5000);
    return r;
}
