#include "WebServer.h"

#include <QSysInfo>

std::optional<WebServer::Address> WebServer::parseAddress(const QString& text)
{
    const int colon = text.lastIndexOf(QLatin1Char(':'));
    if (colon <= 0)
        return std::nullopt;
    QString host = text.left(colon);
    bool ok = false;
    const uint port = text.mid(colon + 1).toUInt(&ok);
    if (!ok || port > 65535)
        return std::nullopt;
    if (host.startsWith(QLatin1Char('[')) && host.endsWith(QLatin1Char(']')))
        host = host.mid(1, host.size() - 2);
    Address a;
    a.text = text;
    a.port = quint16(port);
    if (host == QLatin1String("localhost"))
        a.host = QHostAddress(QHostAddress::LocalHost);
    else if (!a.host.setAddress(host))
        return std::nullopt;
    return a;
}

QString WebServer::exposureWarning(const Address& address)
{
    if (address.host.isLoopback())
        return {};
    return QStringLiteral("warning: --listen %1: anyone on that network can read the dashboard")
        .arg(address.text);
}

QString WebServer::pageUrl(const Address& address) const
{
    const QHostAddress& h = address.host;
    QString host = h.toString();
    if (h == QHostAddress::Any || h == QHostAddress::AnyIPv4 || h == QHostAddress::AnyIPv6)
        host = QSysInfo::machineHostName();
    else if (h.protocol() == QAbstractSocket::IPv6Protocol)
        host = QLatin1Char('[') + host + QLatin1Char(']');
    return QStringLiteral("http://%1:%2/").arg(host).arg(port());
}

WebServer::WebServer(const Station& station)
    : m_api(station), m_http([this](const HttpRequest& r) { return m_api.handle(r); })
{
}

QString WebServer::listen(const Address& address)
{
    const QString failure = m_http.listen(address.host, address.port);
    return failure.isEmpty() ? QString()
                             : QStringLiteral("--listen %1: %2").arg(address.text, failure);
}
