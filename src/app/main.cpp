#include "common/SystemClock.h"
#include "device/QtSerialLink.h"
#include "ui/MainWindow.h"
#include "ui/MessageBoxMessages.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Wendro"));

    // Everything the program keeps lives beside the binary.
    const QString programDir = QCoreApplication::applicationDirPath();
    SystemClock clock;
    MessageBoxMessages messages;
    AppServices services;
    services.programDir = programDir;
    services.clock = &clock;
    services.messages = &messages;
    services.makeLink = [programDir] { return std::make_unique<QtSerialLink>(programDir); };

    MainWindow window(services);
    window.show();
    return app.exec();
}
