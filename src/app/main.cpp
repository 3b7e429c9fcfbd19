#include "ui/MainWindow.h"
#include "ui/RealServices.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Wendro"));

    // Everything the program keeps lives beside the binary.
    const RealServices real(QCoreApplication::applicationDirPath());

    MainWindow window(real.services());
    window.show();
    return app.exec();
}
