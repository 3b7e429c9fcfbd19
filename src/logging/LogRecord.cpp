#include "LogRecord.h"

#include "common/NumberText.h"

namespace {

void appendTwoDigits(QByteArray& out, int value)
{
    out += char('0' + value / 10);
    out += char('0' + value % 10);
}

} // namespace

QString ModeText(qint16 mode)
{
    return mode == 1 ? QStringLiteral("Load On") : QString();
}

QByteArray LogRecord(const Reading& reading, const QTime& time)
{
    QByteArray out;
    out.reserve(96);
    out += "<V>" + NumberText(reading.PeakVolts).toLatin1();
    out += "</V><I>" + NumberText(reading.PeakAmps).toLatin1();
    out += "</I><W>" + NumberText(reading.PeakWatts).toLatin1();
    out += "</W><R>" + NumberText(reading.PeakRPM).toLatin1();
    out += "</R><S>" + NumberText(reading.PeakWindSpeed).toLatin1();
    out += "</S><M>" + QByteArray::number(reading.Mode);
    // Built by hand: the reader wants ASCII digits whatever the locale.
    out += "</M><T>";
    appendTwoDigits(out, time.hour());
    out += ':';
    appendTwoDigits(out, time.minute());
    out += "</T>\r\n";
    return out;
}
