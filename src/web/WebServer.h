#pragma once

#include "web/HttpServer.h"
#include "web/WebApi.h"

#include <QHostAddress>
#include <optional>

// The dashboard and its API on an address and port of this machine, reading the station.
class WebServer
{
public:
    struct Address
    {
        QHostAddress host;
        quint16 port = 0;
        QString text;
    };
    // "127.0.0.1:8080", "0.0.0.0:8080", "[::1]:8080" or "localhost:8080"; nothing when it
    // is not an address and a port.
    static std::optional<Address> parseAddress(const QString& text);

    explicit WebServer(const Station& station);
    // Empty once listening, else the reason.
    QString listen(const Address& address);
    quint16 port() const { return m_http.port(); }
    int connectionCount() const { return m_http.connectionCount(); }
    qsizetype heldBytes() const { return m_http.heldBytes(); }
    // Said before listening on an address that others on the network can reach.
    static QString exposureWarning(const Address& address);
    // The dashboard's address once listening: an address for every interface is given as
    // this computer's name, which other machines can reach.
    QString pageUrl(const Address& address) const;

private:
    WebApi m_api;
    HttpServer m_http;
};
