#include "Headless.h"

#include "app/StationRun.h"
#include "common/SystemClock.h"
#include "device/QtSerialLink.h"
#include "station/Station.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QDateTime>
#include <QSocketNotifier>
#include <csignal>
#include <memory>
#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int signalPipe[2] = {-1, -1};

void onSignal(int)
{
    const char byte = 1;
    // Only the event loop acts on it, after the handler that runs now has finished.
    [[maybe_unused]] const auto written = ::write(signalPipe[1], &byte, 1);
}

void say(const QString& text)
{
    const QString time = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    for (const QString& line : text.split(QLatin1Char('\n')))
        std::fprintf(stderr, "%s %s\n", qPrintable(time), qPrintable(line));
    std::fflush(stderr);
}

QString sourceName(Station::StatusSource source)
{
    switch (source) {
    case Station::StatusSource::FirstStart:
        return QStringLiteral("first start");
    case Station::StatusSource::ProgramFile:
        return QStringLiteral("prog.cfg");
    case Station::StatusSource::CalibrationFile:
        return QStringLiteral("settings.cfg");
    case Station::StatusSource::Port:
        return QStringLiteral("port");
    case Station::StatusSource::Logging:
        return QStringLiteral("logging");
    case Station::StatusSource::Energy:
        return QStringLiteral("energy");
    case Station::StatusSource::WebServer:
        return QStringLiteral("web server");
    case Station::StatusSource::Broker:
        return QStringLiteral("broker");
    case Station::StatusSource::Minutes:
        return QStringLiteral("minute record");
    case Station::StatusSource::TurbineFile:
        return QStringLiteral("turbine.cfg");
    }
    return {};
}

bool catchStopSignals()
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0)
        return false;
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    return ::sigaction(SIGTERM, &action, nullptr) == 0 && ::sigaction(SIGINT, &action, nullptr) == 0;
}

} // namespace

int runHeadless(int argc, char* argv[], const QString& programDir, const QString& listen,
                const std::optional<BrokerSettings>& broker)
{
    // The graphs the web server draws need fonts, so it takes a GUI application, on a
    // platform that needs no display.
    std::unique_ptr<QCoreApplication> application;
    if (listen.isEmpty()) {
        application = std::make_unique<QCoreApplication>(argc, argv);
    } else {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        application = std::make_unique<QGuiApplication>(argc, argv);
    }
    QCoreApplication& app = *application;
    QCoreApplication::setApplicationName(QStringLiteral("Wendro"));
    if (!catchStopSignals()) {
        say(QStringLiteral("cannot catch SIGTERM and SIGINT: %1").arg(qt_error_string()));
        return 1;
    }
    QSocketNotifier stopNotifier(signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&stopNotifier, &QSocketNotifier::activated, &app, [] {
        char byte;
        [[maybe_unused]] const auto read = ::read(signalPipe[0], &byte, 1);
        QCoreApplication::quit();
    });

    SystemClock clock;
    Station station({programDir, &clock, [programDir] {
                         return std::make_unique<QtSerialLink>(programDir);
                     }});
    // Only changes are said: a port that stays missing is said once, not at every retry.
    QObject::connect(&station, &Station::statusChanged,
                     [](Station::StatusSource source, const QString& text) {
                         say(text.isEmpty() ? sourceName(source) + QStringLiteral(": all well again")
                                            : text);
                     });
    // The journal shows when values began to come in, once.
    auto firstFrame = std::make_shared<QMetaObject::Connection>();
    *firstFrame = QObject::connect(&station, &Station::readingChanged, [firstFrame] {
        say(QStringLiteral("first frame from the logger converted"));
        QObject::disconnect(*firstFrame);
    });
    say(QStringLiteral("Wendro %1 started in %2").arg(QStringLiteral(WENDRO_VERSION), programDir));
    StationRun run(station, say);
    if (const QString failure = run.startWeb(listen); !failure.isEmpty()) {
        say(failure);
        return 2;
    }
    run.startStation();
    if (!station.isLogging() && !station.startLogging(station.config().LogDelay)) {
        say(QStringLiteral("prog.cfg: LogDelay \"%1\" is not a number: cannot log. Set a number "
                           "of seconds from 10 to 600.")
                .arg(station.config().LogDelay));
        return 2;
    }
    say(QStringLiteral("logging every %1 s").arg(station.loggingIntervalMs() / 1000.0));
    run.startBroker(broker);
    const int status = app.exec();
    run.stop();
    say(QStringLiteral("stopped"));
    return status;
}
