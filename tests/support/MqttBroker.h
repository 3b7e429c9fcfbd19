#pragma once

#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

// True when the shell script ran to a good end.
inline bool run(const QString& script)
{
    QProcess p;
    p.start("sh", {"-c", script});
    return p.waitForFinished(30000) && p.exitCode() == 0;
}

inline quint16 freePort()
{
    QTcpServer server;
    server.listen(QHostAddress::LocalHost);
    return server.serverPort();
}

// A real Mosquitto on two free loopback ports, plain and TLS; a user "wendro" whose password
// is the first line of the file "right" and not in "wrong"; a test-made authority and a server
// certificate for "localhost"; sessions kept across a restart.
struct Broker
{
    Broker()
    {
        const QString req = "openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 "
                            "-nodes -keyout";
        const QString script =
            "set -e; cd %1; %2 ca.key -out ca.crt -subj '/CN=Wendro test CA'\n"
            "%2 server.key -out server.crt -CA ca.crt -CAkey ca.key -subj /CN=localhost"
            " -addext subjectAltName=DNS:localhost -addext basicConstraints=CA:FALSE\n"
            "mosquitto_passwd -c -b passwd wendro secret; echo not the password >wrong\n"
            "printf 'secret\\r\\nsecond line\\n' >right\n"
            "cat >broker.conf <<EOF\nallow_anonymous true\nuser root\nmax_queued_messages 0\n"
            "password_file $PWD/passwd\npersistence true\npersistence_location $PWD/\n"
            "listener %3 127.0.0.1\nlistener %4 127.0.0.1\n"
            "certfile $PWD/server.crt\nkeyfile $PWD/server.key\nEOF";
        made = run(script.arg(dir.path(), req).arg(port).arg(tlsPort));
    }
    ~Broker() { stop(); }
    bool start()
    {
        process.start("mosquitto", {"-c", dir.filePath("broker.conf")});
        return made && process.waitForStarted() && QTest::qWaitFor([this] {
                   QTcpSocket probe;
                   probe.connectToHost(QHostAddress::LocalHost, port);
                   return probe.waitForConnected(200);
               });
    }
    // SIGTERM, so that it saves the sessions it holds for subscribers.
    void stop() { process.terminate(), process.waitForFinished(5000); }
    QTemporaryDir dir;
    quint16 port = freePort();
    quint16 tlsPort = freePort();
    bool made = false;
    QProcess process;
};

// The broker's one mosquitto_sub, on every topic, with a session that outlives a restart;
// ready once a retained message shows it is subscribed.
struct Subscriber : QProcess
{
    explicit Subscriber(const Broker& broker)
    {
        const QString port = QString::number(broker.port);
        start("mosquitto_sub", {"-p", port, "-i", "sub", "-c", "-q", "1", "-v", "-t", "#"});
        ready = run("mosquitto_pub -r -t ready -m 1 -p " + port) &&
                QTest::qWaitFor([this] { return !on("ready").isEmpty(); }, 5000);
    }
    ~Subscriber() { kill(), waitForFinished(); }
    // Every payload so far on topic, oldest first.
    QList<QByteArray> on(const QString& topic)
    {
        seen += readAllStandardOutput();
        QList<QByteArray> payloads;
        for (const QByteArray& line : seen.split('\n')) {
            if (line.startsWith(topic.toUtf8() + ' '))
                payloads << line.mid(topic.size() + 1);
        }
        return payloads;
    }
    QByteArray seen;
    bool ready = false;
};
