#pragma once

#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

inline void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
}

inline bool run(const QString& program, const QStringList& arguments)
{
    QProcess p;
    p.start(program, arguments);
    return p.waitForFinished(30000) && p.exitCode() == 0;
}

inline quint16 freePort()
{
    QTcpServer server;
    server.listen(QHostAddress::LocalHost);
    return server.serverPort();
}

// A real Mosquitto on two free loopback ports, plain and TLS; a user "wendro" with the
// password "secret"; a test-made authority and a server certificate for "localhost"; sessions
// kept across a restart.
struct Broker
{
    Broker()
    {
        const QString ec = " -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 2";
        made = run("sh", {"-c", "cd " + dir.path() + " && openssl req" + ec +
                                    " -keyout ca.key -out ca.crt -subj '/CN=Wendro test CA' &&"
                                    " openssl req" +
                                    ec +
                                    " -CA ca.crt -CAkey ca.key -keyout server.key -out server.crt"
                                    " -subj /CN=localhost -addext subjectAltName=DNS:localhost"
                                    " -addext basicConstraints=CA:FALSE &&"
                                    " mosquitto_passwd -c -b passwd wendro secret &&"
                                    " echo not the password >wrong"});
        writeFile(dir.filePath("broker.conf"),
                  QString("per_listener_settings false\nallow_anonymous true\nuser root\n"
                          "max_queued_messages 0\npassword_file %1/passwd\npersistence true\n"
                          "persistence_location %1/\nlistener %2 127.0.0.1\nlistener %3 127.0.0.1\n"
                          "certfile %1/server.crt\nkeyfile %1/server.key\n")
                      .arg(dir.path(), QString::number(port), QString::number(tlsPort))
                      .toUtf8());
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
    QString url(const QString& user = {}) const
    {
        return "mqtt://" + (user.isEmpty() ? "" : user + '@') +
               "127.0.0.1:" + QString::number(port);
    }
    QTemporaryDir dir;
    quint16 port = freePort();
    quint16 tlsPort = freePort();
    bool made = false;
    QProcess process;
};

// mosquitto_sub on every topic, with a session that outlives a broker restart; ready once a
// retained message shows it is subscribed.
struct Subscriber : QProcess
{
    explicit Subscriber(const Broker& broker)
    {
        static int clients = 0;
        const QString port = QString::number(broker.port);
        start("mosquitto_sub", {"-p", port, "-i", "sub" + QString::number(++clients), "-c", "-q",
                                "1", "-v", "-t", "#"});
        ready = run("mosquitto_pub", {"-p", port, "-r", "-t", "ready", "-m", "1"}) &&
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
