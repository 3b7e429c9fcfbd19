// wendro-dialog-shot: shows the calibration or setup dialog for a program folder, with the
// real serial port and message boxes, as the main window's buttons would.
#include "common/SystemClock.h"
#include "device/QtSerialLink.h"
#include "ui/Calibrate.h"
#include "ui/MessageBoxMessages.h"
#include "ui/ProgramSetup.h"

#include <QApplication>
#include <QDir>
#include <QTextStream>
#include <memory>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Wendro"));
    const QStringList args = QApplication::arguments();
    const QString which = args.value(2);
    if (args.size() != 3 || (which != QLatin1String("calibrate") &&
                             which != QLatin1String("setup"))) {
        QTextStream(stderr) << "usage: wendro-dialog-shot PROGRAM_FOLDER calibrate|setup\n";
        return 2;
    }
    const QString programDir = QDir(args.value(1)).absolutePath();
    if (!QDir(programDir).exists()) {
        QTextStream(stderr) << "wendro-dialog-shot: no folder " << programDir << "\n";
        return 2;
    }

    SystemClock clock;
    MessageBoxMessages messages;
    AppServices services;
    services.programDir = programDir;
    services.clock = &clock;
    services.messages = &messages;
    services.makeLink = [programDir] { return std::make_unique<QtSerialLink>(programDir); };

    std::unique_ptr<QDialog> dialog;
    if (which == QLatin1String("calibrate"))
        dialog = std::make_unique<Calibrate>(services);
    else
        dialog = std::make_unique<ProgramSetup>(services);
    const int result = dialog->exec();
    QTextStream(stdout) << (result == QDialog::Accepted ? "saved\n" : "closed without saving\n");
    return 0;
}
