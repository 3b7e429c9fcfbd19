#include "mqtt/BrokerSettings.h"
#include "mqtt/MqttPublisher.h"
#include "mqtt/MqttSession.h"
#include "support/MqttBroker.h"
#include "support/WindowRig.h"

#include <QTcpServer>
#include <QtTest>

namespace {

BrokerSettings settings(const QString& url, const QString& station,
                        const QString& passwordFile = {}, const QString& caFile = {})
{
    QString error;
    return BrokerSettings::fromOptions(url, passwordFile, caFile, station, &error).value();
}

// A station fed by hand, and its publisher.
struct Reader : WindowRig
{
    explicit Reader(const BrokerSettings& s)
        : publisher(station(), s, std::make_unique<MqttSession>(s))
    {
    }
    QString status() { return station().statusLine(Station::StatusSource::Broker); }
    MqttPublisher publisher;
};

} // namespace

class TestMqtt : public QObject
{
    Q_OBJECT

    Broker broker;

private slots:
    void initTestCase() { QVERIFY(broker.start()); }

    // Each TLS refusal and each peer that is no broker is named in the status line, the
    // program goes on, and nothing is tried faster than the backoff. A wrong password is
    // left to the refused station of tst_e2e_mqtt.
    void refusals_data()
    {
        // TLS: the broker's port; FAKE: a fake peer; " CA": with the test authority
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("status");
        const auto row = [](const char* name, const char* url, const char* status) {
            QTest::newRow(name) << QString(url) << QString(status);
        };
        row("unknown authority", "mqtts://localhost:TLS", "certificate not trusted");
        row("other name", "mqtts://127.0.0.1:TLS CA", "host name mismatch");
        row("plain to tls", "mqtt://127.0.0.1:TLS", "closed the connection");
        row("garbage", "mqtt://127.0.0.1:FAKE", "not an MQTT broker");
        row("silent", "mqtt://127.0.0.1:FAKE", "no MQTT answer");
        row("no such name", "mqtt://nonexistent.invalid", "does not resolve");
    }
    void refusals()
    {
        QFETCH(QString, url);
        QFETCH(QString, status);
        QTcpServer fake;
        int connections = 0;
        QObject::connect(&fake, &QTcpServer::newConnection, [&] {
            QTcpSocket* s = fake.nextPendingConnection();
            if (++connections && QTest::currentDataTag() == QLatin1String("garbage"))
                s->write(QByteArray(4096, '\xff'));
        });
        QVERIFY(fake.listen(QHostAddress::LocalHost));
        const QString ca = url.endsWith(" CA") ? broker.dir.filePath("ca.crt") : "";
        url = url.remove(" CA")
                  .replace("TLS", QString::number(broker.tlsPort))
                  .replace("FAKE", QString::number(fake.serverPort()));
        BrokerSettings s = settings(url, "t", "", ca);
        s.answerTimeoutMs = 500;
        Reader reader(s);
        QSignalSpy connected(&reader.publisher, &MqttPublisher::connectedChanged);
        QElapsedTimer started;
        started.start();
        reader.publisher.start();
        QTRY_VERIFY_WITH_TIMEOUT(!reader.status().isEmpty(), 5000);
        QVERIFY2(
            reader.status().contains(status) &&
                reader.status().endsWith(" (trying again every 1 to 60 s; records wait in memory)"),
            qPrintable(reader.status()));
        QCOMPARE(connected.count(), 0);
        if (!url.contains(QString::number(fake.serverPort())))
            return;
        // Tries at 0, 1 and 3 s after failures; a silent peer first gets 0.5 s to answer. A
        // busy machine can only make the tries later, never sooner.
        const bool silent = status == "no MQTT answer";
        QTRY_COMPARE_WITH_TIMEOUT(connections, silent ? 2 : 3, 15000);
        QVERIFY(started.elapsed() >= (silent ? 1300 : 2700)); // coarse timers: 5% early
    }

    // Over TLS with the test-made authority and the first line of a password file: records
    // that waited for the broker are all acknowledged, through three windows of them, and the
    // status line stays clear.
    void recordsOverTls()
    {
        Reader reader(settings("mqtts://wendro@localhost:" + QString::number(broker.tlsPort), "q",
                               broker.dir.filePath("right"), broker.dir.filePath("ca.crt")));
        for (int i = 0; i < 3 * MqttPublisher::RecordWindow; ++i)
            reader.publisher.publishRecord("<R>" + QByteArray::number(i) + "</R>", {});
        reader.publisher.start();
        QTRY_COMPARE_WITH_TIMEOUT(reader.publisher.waitingRecords(), 0, 20000);
        QVERIFY2(reader.status().isEmpty(), qPrintable(reader.status()));
    }
};

QTEST_GUILESS_MAIN(TestMqtt)
#include "tst_mqtt.moc"
