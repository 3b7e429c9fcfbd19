#pragma once

#include <QTcpSocket>
#include <QtTest>
#include <sys/socket.h>

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

// Sends raw bytes on a connection of its own unless one is kept, closing its sending side
// after them when asked, and reads `count` replies (fewer when the server closes first) while
// running the event loop, so a server in this thread can answer as well as one elsewhere.
// Replies to HEAD, and 304s, carry no body. `closed` is whether the server then closed, as
// it said it would or as it must once a half-closed client has its answers.
inline QList<HttpReply> httpReplies(quint16 port, const QByteArray& request, int count,
                                    QTcpSocket* keep = nullptr, bool halfClose = false)
{
    QTcpSocket own;
    QTcpSocket& socket = keep ? *keep : own;
    if (socket.state() != QAbstractSocket::ConnectedState) {
        socket.connectToHost(QHostAddress::LocalHost, port);
        socket.waitForConnected(5000);
    }
    socket.write(request);
    socket.flush();
    if (halfClose)
        ::shutdown(int(socket.socketDescriptor()), SHUT_WR);
    const bool bodies = !request.startsWith("HEAD");
    QByteArray in;
    QList<HttpReply> replies;
    const auto gone = [&] { return socket.state() == QAbstractSocket::UnconnectedState; };
    (void)QTest::qWaitFor(
        [&] {
            in += socket.readAll();
            for (int end; replies.size() < count && (end = in.indexOf("\r\n\r\n")) >= 0;) {
                HttpReply r;
                r.head = in.left(end);
                const int length =
                    bodies && !r.head.startsWith("HTTP/1.1 304") ? r.header("Content-Length").toInt() : 0;
                if (in.size() < end + 4 + length)
                    break;
                r.status = r.head.mid(9, 3).toInt();
                r.body = in.mid(end + 4, length);
                in.remove(0, end + 4 + length);
                replies << r;
            }
            return replies.size() == count || gone();
        },
        5000);
    if (!replies.isEmpty()) {
        HttpReply& last = replies.last();
        last.body += in; // a body longer than it said shows
        last.closed = (halfClose || last.header("Connection") == "close") && QTest::qWaitFor(gone, 5000);
    }
    return replies;
}

inline HttpReply httpAsk(quint16 port, const QByteArray& request, QTcpSocket* keep = nullptr)
{
    return httpReplies(port, request, 1, keep).value(0);
}
