#include "app/Headless.h"
#include "app/Options.h"
#include "app/StationRun.h"
#include "app/PowerCurveCommand.h"
#include "station/FolderLock.h"
#include "ui/MainWindow.h"
#include "ui/RealServices.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <cstdio>
#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace {

// The folder of the binary, found before any application object exists.
QString binaryFolder(const char* argv0)
{
    const QFileInfo self(QStringLiteral("/proc/self/exe"));
    const QString path = self.exists() ? self.canonicalFilePath() : QFile::decodeName(argv0);
    return QFileInfo(path).absolutePath();
}

} // namespace

int main(int argc, char* argv[])
{
#ifdef __GLIBC__
    // Big buffers, such as a graph drawn for the web, go back to the system when freed,
    // instead of raising the heap for good: a service stays at its size for months.
    mallopt(M_MMAP_THRESHOLD, 256 * 1024);
#endif
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    // Read before any application object, so none of these needs a display.
    const Options options = Options::parse(arguments);
    if (!options.error.isEmpty()) {
        std::fprintf(stderr, "wendro: %s\n\n%s", qPrintable(options.error),
                     qPrintable(Options::usage()));
        return 2;
    }
    if (options.help) {
        std::printf("%s", qPrintable(Options::usage()));
        return 0;
    }
    if (options.version) {
        std::printf("Wendro %s\n", WENDRO_VERSION);
        return 0;
    }
    // Only reads: no lock, no window, no port.
    if (options.powerCurve)
        return runPowerCurve(options.dir.isEmpty() ? binaryFolder(argv[0])
                                                   : QDir(options.dir).absolutePath(),
                             options.curveFrom, options.curveTo);
    std::optional<BrokerSettings> broker;
    if (!options.mqtt.isNull()) {
        QString error;
        broker = BrokerSettings::fromOptions(options.mqtt, options.mqttPasswordFile,
                                             options.mqttCa, options.station, &error);
        if (!broker) {
            std::fprintf(stderr, "wendro: %s\n", qPrintable(error));
            return 2;
        }
    }
    // Everything the program keeps lives in its folder: beside the binary unless told.
    const QString programDir =
        options.dir.isEmpty() ? binaryFolder(argv[0]) : QDir(options.dir).absolutePath();
    // Taken before anything is written; a second program writes nothing and ends.
    FolderLock lock(programDir);
    const QString taken = lock.take();
    if (options.headless) {
        if (!taken.isEmpty()) {
            std::fprintf(stderr, "wendro: %s\n", qPrintable(taken));
            return 2;
        }
        return runHeadless(argc, argv, programDir, options.listen, broker);
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Wendro"));
    if (!taken.isEmpty()) {
        QMessageBox::critical(nullptr, QStringLiteral("Wendro"), taken);
        return 2;
    }
    const RealServices real(programDir);
    Station station(real.services());
    MainWindow window(station, real.services());
    const auto say = [](const QString& text) {
        std::fprintf(stderr, "wendro: %s\n", qPrintable(text));
    };
    StationRun run(station, say);
    // The desktop program goes on without the dashboard if it cannot listen.
    station.setStatus(Station::StatusSource::WebServer, run.startWeb(options.listen));
    run.startStation();
    run.startBroker(broker);
    window.show();
    const int status = app.exec();
    run.stop();
    return status;
}
