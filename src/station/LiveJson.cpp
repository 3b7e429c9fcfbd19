#include "LiveJson.h"

#include "common/NumberText.h"

#include <cmath>
#include <cstdlib>

namespace {

void appendDigits(QByteArray& out, int value, int width)
{
    out += QByteArray::number(value).rightJustified(width, '0');
}

} // namespace

QByteArray LiveJson::object(const Reading& r, const QString& windUnit, const QDateTime& frameTime,
                            const QByteArray& energy, const QByteArray& extra)
{
    QByteArray out;
    out.reserve(256 + extra.size());
    out += "{\"time\":" + time(frameTime);
    out += ",\"volts\":" + number(r.Volts);
    out += ",\"amps\":" + number(r.Amps);
    out += ",\"watts\":" + number(r.Watts);
    out += energy;
    out += ",\"rpm\":" + number(r.RPM);
    out += ",\"wind\":" + number(r.WindSpeed);
    out += ",\"wind_unit\":" + string(windUnit);
    out += ",\"mode\":" + QByteArray::number(r.Mode);
    out += extra;
    return out + '}';
}

QByteArray LiveJson::string(const QString& text)
{
    QByteArray out = "\"";
    for (const char c : text.toUtf8()) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (uchar(c) < 0x20) {
            out += "\\u00" + QByteArray::number(uchar(c), 16).rightJustified(2, '0');
        } else {
            out += c;
        }
    }
    return out + '"';
}

QByteArray LiveJson::number(double value)
{
    return std::isfinite(value) ? NumberText(value).toLatin1() : QByteArrayLiteral("null");
}

QByteArray LiveJson::time(const QDateTime& time, bool withOffset)
{
    if (!time.isValid())
        return QByteArrayLiteral("null");
    const QDate d = time.date();
    const QTime t = time.time();
    QByteArray out = "\"";
    appendDigits(out, d.year(), 4);
    out += '-';
    appendDigits(out, d.month(), 2);
    out += '-';
    appendDigits(out, d.day(), 2);
    out += 'T';
    appendDigits(out, t.hour(), 2);
    out += ':';
    appendDigits(out, t.minute(), 2);
    out += ':';
    appendDigits(out, t.second(), 2);
    if (withOffset) {
        const int offset = time.offsetFromUtc() / 60;
        out += offset < 0 ? '-' : '+';
        appendDigits(out, std::abs(offset) / 60, 2);
        out += ':';
        appendDigits(out, std::abs(offset) % 60, 2);
    }
    return out + '"';
}
