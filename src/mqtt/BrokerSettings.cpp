#include "BrokerSettings.h"

#include "mqtt/TlsContext.h"

#include <QFile>
#include <QRegularExpression>
#include <QSysInfo>
#include <QUrl>

namespace {

bool isStationChar(QChar c)
{
    return (c >= QLatin1Char('a') && c <= QLatin1Char('z')) ||
           (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) ||
           (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || c == QLatin1Char('_') ||
           c == QLatin1Char('-');
}

// The first line of the file without its line end; nothing when it cannot be read.
std::optional<QString> firstLine(const QString& path, QString* error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("--mqtt-password-file %1: %2").arg(path, file.errorString());
        return std::nullopt;
    }
    QByteArray line = file.readLine();
    if (line.endsWith('\n'))
        line.chop(1);
    if (line.endsWith('\r'))
        line.chop(1);
    return QString::fromUtf8(line);
}

} // namespace

QString BrokerSettings::address() const
{
    const QString shownHost = host.contains(QLatin1Char(':')) ? '[' + host + ']' : host;
    return QStringLiteral("%1://%2%3:%4")
        .arg(tls ? QStringLiteral("mqtts") : QStringLiteral("mqtt"),
             user.isEmpty() ? QString() : user + '@', shownHost)
        .arg(port);
}

QString BrokerSettings::topic(const QString& leaf) const
{
    return QStringLiteral("wendro/%1/%2").arg(station, leaf);
}

bool BrokerSettings::isStationName(const QString& name)
{
    if (name.isEmpty())
        return false;
    for (const QChar c : name) {
        if (!isStationChar(c))
            return false;
    }
    return true;
}

QString BrokerSettings::defaultStation(const QString& hostName)
{
    QString name = hostName.section(QLatin1Char('.'), 0, 0);
    for (QChar& c : name) {
        if (!isStationChar(c))
            c = QLatin1Char('-');
    }
    return name.isEmpty() ? QStringLiteral("wendro") : name;
}

std::optional<BrokerSettings> BrokerSettings::fromOptions(const QString& url,
                                                          const QString& passwordFile,
                                                          const QString& caFile,
                                                          const QString& station, QString* error)
{
    BrokerSettings s;
    const auto refuse = [&](const QString& why) {
        *error = why;
        return std::nullopt;
    };
    const QUrl u(url, QUrl::StrictMode);
    const QString scheme = u.scheme();
    if (!u.isValid() || (scheme != QLatin1String("mqtt") && scheme != QLatin1String("mqtts")) ||
        u.host().isEmpty())
        return refuse(QStringLiteral("--mqtt \"%1\" is not an address such as "
                                     "mqtt://host, mqtt://user@host:1883 or mqtts://host")
                          .arg(url));
    if (!u.password().isEmpty())
        return refuse(QStringLiteral("--mqtt: no password in the address, where any user can "
                                     "read it; put it in a file and give --mqtt-password-file"));
    if (!(u.path().isEmpty() || u.path() == QLatin1String("/")) || u.hasQuery() || u.hasFragment())
        return refuse(
            QStringLiteral("--mqtt \"%1\": only a user, a host and a port, no path").arg(url));
    s.tls = scheme == QLatin1String("mqtts");
    s.host = u.host();
    s.user = u.userName();
    const int port = u.port(s.tls ? 8883 : 1883);
    if (port < 1)
        return refuse(QStringLiteral("--mqtt \"%1\": the port must be 1 to 65535").arg(url));
    s.port = quint16(port);

    if (!passwordFile.isEmpty()) {
        if (s.user.isEmpty())
            return refuse(QStringLiteral("--mqtt-password-file needs a user name in the address: "
                                         "mqtt://user@host"));
        const auto password = firstLine(passwordFile, error);
        if (!password)
            return std::nullopt;
        s.password = *password;
    }
    if (!caFile.isEmpty()) {
        if (!s.tls)
            return refuse(QStringLiteral("--mqtt-ca needs an mqtts:// address"));
        const QString problem = TlsContext::checkCaFile(caFile);
        if (!problem.isEmpty())
            return refuse(QStringLiteral("--mqtt-ca %1: %2").arg(caFile, problem));
        s.caFile = caFile;
    }
    if (!station.isNull() && !isStationName(station))
        return refuse(
            QStringLiteral("--station \"%1\": use only letters, digits, _ and -").arg(station));
    s.station = station.isEmpty() ? defaultStation(QSysInfo::machineHostName()) : station;
    return s;
}
