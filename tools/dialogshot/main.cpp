// wendro-dialog-shot: shows the calibration or setup dialog for a program folder, with the
// real serial port and message boxes, as the main window's buttons would.
#include "ui/Calibrate.h"
#include "ui/ProgramSetup.h"
#include "ui/RealServices.h"

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

    const RealServices real(programDir);

    std::unique_ptr<QDialog> dialog;
    if (which == QLatin1String("calibrate"))
        dialog = std::make_unique<Calibrate>(real.services());
    else
        dialog = std::make_unique<ProgramSetup>(real.services());
    const int result = dialog->exec();
    QTextStream(stdout) << (result == QDialog::Accepted ? "saved\n" : "closed without saving\n");
    return 0;
}
