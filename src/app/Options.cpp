#include "Options.h"

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
        else if (value(QStringLiteral("--dir"), &o.dir) ||
                 value(QStringLiteral("--listen"), &o.listen))
            ;
        else
            o.error = QStringLiteral("unknown option %1").arg(a);
        if (!o.error.isEmpty())
            return o;
    }
    if (!o.dir.isNull() && o.dir.isEmpty())
        o.error = QStringLiteral("--dir needs a folder");
    if (!o.listen.isEmpty() && !WebServer::parseAddress(o.listen))
        o.error = QStringLiteral("--listen %1 is not ADDRESS:PORT, such as 127.0.0.1:8080")
                      .arg(o.listen);
    return o;
}

QString Options::usage()
{
    return QStringLiteral(
        "Usage: wendro [--headless] [--dir DIR] [--listen ADDRESS:PORT]\n"
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
        "  --help       show this text\n"
        "  --version    show the version\n");
}
