#include "Options.h"

#include "mqtt/BrokerSettings.h"
#include "web/WebServer.h"

Options Options::parse(const QStringList& arguments)
{
    Options o;
    for (int i = 1; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        // "--dir DIR" and "--dir=DIR" alike.
        const auto value = [&](const QString& name, QString* out) {
            if (a.startsWith(name + QLatin1Char('='))) {
                *out = a.mid(name.size() + 1);
                return true;
            }
            if (a != name)
                return false;
            if (i + 1 >= arguments.size()) {
                o.error = QStringLiteral("%1 needs a value").arg(name);
                return true;
            }
            *out = arguments[++i];
            return true;
        };
        if (a == QLatin1String("--headless"))
            o.headless = true;
        else if (a == QLatin1String("--help") || a == QLatin1String("-h"))
            o.help = true;
        else if (a == QLatin1String("--version"))
            o.version = true;
        else if (a == QLatin1String("--power-curve")) {
            if (i + 2 >= arguments.size())
                o.error = QStringLiteral("--power-curve needs two dates, FROM and TO");
            else {
                o.powerCurve = true;
                o.curveFrom = arguments[++i];
                o.curveTo = arguments[++i];
            }
        }
        else if (value(QStringLiteral("--dir"), &o.dir) ||
                 value(QStringLiteral("--listen"), &o.listen))
            ;
        else if (value(QStringLiteral("--mqtt"), &o.mqtt))
            ;
        else if (value(QStringLiteral("--mqtt-password-file"), &o.mqttPasswordFile))
            ;
        else if (value(QStringLiteral("--mqtt-ca"), &o.mqttCa))
            ;
        else if (value(QStringLiteral("--station"), &o.station))
            ;
        else
            o.error = QStringLiteral("unknown option %1").arg(a);
        if (!o.error.isEmpty())
            return o;
    }
    if (!o.dir.isNull() && o.dir.isEmpty())
        o.error = QStringLiteral("--dir needs a folder");
    else if (!o.listen.isEmpty() && !WebServer::parseAddress(o.listen))
        o.error = QStringLiteral("--listen %1 is not ADDRESS:PORT, such as 127.0.0.1:8080")
                      .arg(o.listen);
    else if (!o.station.isNull() && !BrokerSettings::isStationName(o.station))
        o.error = QStringLiteral("--station \"%1\": use only letters, digits, _ and -")
                      .arg(o.station);
    else if (o.powerCurve && (o.headless || !o.listen.isEmpty() || !o.mqtt.isNull()))
        o.error = QStringLiteral("--power-curve goes with --dir only");
    else if (o.mqtt.isEmpty() && !(o.mqttPasswordFile.isEmpty() && o.mqttCa.isEmpty()))
        o.error = QStringLiteral("--mqtt-password-file and --mqtt-ca need --mqtt");
    return o;
}

QString Options::usage()
{
    return QStringLiteral(
        "Usage: wendro [--headless] [--dir DIR] [--listen ADDRESS:PORT]\n"
        "              [--mqtt URL [--mqtt-password-file FILE] [--mqtt-ca FILE] [--station NAME]]\n"
        "       wendro --power-curve FROM TO [--dir DIR]\n"
        "\n"
        "Logs a small wind plant from its logger device on a serial port.\n"
        "\n"
        "  --headless   run with no window and no display: log at once with LogDelay from\n"
        "               prog.cfg, and say every change of status on standard error\n"
        "  --dir DIR    the program folder, with prog.cfg, settings.cfg, logs/, html/ and\n"
        "               Excel/ (default: the folder of this program)\n"
        "  --listen ADDRESS:PORT\n"
        "               serve the dashboard and its API on this address, such as\n"
        "               127.0.0.1:8080 for this machine or 0.0.0.0:8080 for the network\n"
        "  --mqtt mqtt://[user@]host[:port]  or  mqtts://[user@]host[:port]\n"
        "               publish to this MQTT broker, with Home Assistant discovery\n"
        "               (port 1883 by default, 8883 for mqtts)\n"
        "  --mqtt-password-file FILE\n"
        "               the broker password: the first line of FILE\n"
        "  --mqtt-ca FILE\n"
        "               the certificate authority of an mqtts:// broker (default: the\n"
        "               system's)\n"
        "  --station NAME\n"
        "               the name under wendro/ on the broker: letters, digits, _ and -\n"
        "               (default: the host name up to its first \".\")\n"
        "  --power-curve FROM TO\n"
        "               print the measured power curve and yearly energy of the days FROM\n"
        "               to TO (YYYY-MM-DD) from the minute record, and end\n"
        "  --help       show this text\n"
        "  --version    show the version\n");
}
