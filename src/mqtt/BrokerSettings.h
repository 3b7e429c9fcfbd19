#pragma once

#include <QString>
#include <optional>

// Where and as whom the station publishes: read from --mqtt, --mqtt-password-file, --mqtt-ca
// and --station. The password comes only from a file, never from the command line.
struct BrokerSettings
{
    QString host;
    quint16 port = 1883;
    bool tls = false;
    QString user;
    QString password;
    QString caFile;       // empty: the system's certificate authorities
    QString station;      // letters, digits, '_' and '-'
    QString dashboardUrl; // the dashboard Home Assistant links to; empty without --listen
    // How long a peer may take to answer the connection before it is given up.
    int answerTimeoutMs = 10000;
    // How long after the last frame the logger counts as silent: the 60 s after which the
    // watt-hour count stops too.
    int loggerSilentMs = 60000;

    // The address as the user wrote it, without the password, for status lines.
    QString address() const;
    QString topic(const QString& leaf) const;

    // Everything checked and the password file read; nothing and a message naming the bad
    // value otherwise. An empty station means the default one.
    static std::optional<BrokerSettings> fromOptions(const QString& url,
                                                     const QString& passwordFile,
                                                     const QString& caFile, const QString& station,
                                                     QString* error);
    static bool isStationName(const QString& name);
    // The host name up to its first ".", with any other character than those of a station
    // name replaced by "-".
    static QString defaultStation(const QString& hostName);
};
