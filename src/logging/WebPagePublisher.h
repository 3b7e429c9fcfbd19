#pragma once

#include "OutputBacklog.h"
#include "OutputFailure.h"
#include "device/Reading.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QLocale>
#include <QString>

// The web files of a tick in the html folder: one line appended to the day's history text,
// and log.asp made afresh from template.asp. Nothing is served; a web server reads them.
class WebPagePublisher
{
public:
    static QString templateFile() { return QStringLiteral("html/template.asp"); }
    static QString pageFile() { return QStringLiteral("html/log.asp"); }
    // "html/history" + the short date with "/" made "_" + ".txt".
    static QString historyFile(const QLocale& locale, const QDate& date);

    // Peaks with their units, the mode text and the time, two tabs apart, ended by CR LF.
    static QByteArray historyLine(const Reading& reading, const QString& windUnits,
                                  const QString& longTime);

    // Every placeholder of the template replaced, then CR LF. The template's bytes are kept
    // as they are, so a page in any ASCII-compatible encoding survives.
    static QByteArray page(QByteArray templateBytes, const Reading& reading,
                           const QString& longTime);

    // Appends the history line, then reads the template and replaces log.asp. A missing
    // template leaves the old page in place. A history line that cannot be appended waits
    // in the backlog, when there is one.
    static void publish(const QString& programDir, const Reading& reading, const QString& windUnits,
                        const QDateTime& now, const QLocale& locale, QList<OutputFailure>& failures,
                        OutputBacklog* backlog = nullptr);
};
