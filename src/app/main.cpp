#include "app/Headless.h"
#include "app/Options.h"
#include "mqtt/MqttPublisher.h"
#include "ui/MainWindow.h"
#include "ui/RealServices.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <cstdio>

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
    if (options.headless)
        return runHeadless(argc, argv, programDir, broker);

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Wendro"));
    const RealServices real(programDir);
    Station station(real.services());
    MainWindow window(station, real.services());
    std::unique_ptr<MqttPublisher> publisher;
    if (broker) {
        publisher = std::make_unique<MqttPublisher>(station, *broker);
        publisher->start();
    }
    window.show();
    return app.exec();
}
