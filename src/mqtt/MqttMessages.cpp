#include "MqttMessages.h"

#include "common/NumberText.h"
#include "config/TagValue.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <cmath>

namespace {

QByteArray jsonString(const QString& text)
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

void appendDigits(QByteArray& out, int value, int width)
{
    out += QByteArray::number(value).rightJustified(width, '0');
}

// By hand: QDateTime::toString costs tens of microseconds per frame.
QByteArray isoLocalTime(const QDateTime& time)
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
    return out + '"';
}

QByteArray jsonNumber(double value)
{
    return std::isfinite(value) ? NumberText(value).toLatin1() : QByteArrayLiteral("null");
}

// A value from a log line goes out as it is when it is a JSON number, as a string otherwise,
// so a damaged line never makes the whole message unreadable.
QByteArray jsonValue(const std::optional<QString>& text)
{
    static const QRegularExpression number(
        QStringLiteral("^-?(0|[1-9][0-9]*)(\\.[0-9]+)?([eE][-+]?[0-9]+)?$"));
    if (!text)
        return QByteArrayLiteral("null");
    return number.match(*text).hasMatch() ? text->toLatin1() : jsonString(*text);
}

struct Entity
{
    const char* id;
    const char* component;
    const char* name;
    const char* deviceClass; // nullptr: none
    const char* stateClass;  // nullptr: none
    const char* valueTemplate;
    const char* unit; // nullptr: the wind speed unit of prog.cfg
};

const Entity entities[] = {
    {"volts", "sensor", "Volts", "voltage", "measurement", "{{ value_json.volts }}", "V"},
    {"amps", "sensor", "Amps", "current", "measurement", "{{ value_json.amps }}", "A"},
    {"watts", "sensor", "Watts", "power", "measurement", "{{ value_json.watts }}", "W"},
    {"energy", "sensor", "Energy today", "energy", "total_increasing",
     "{{ value_json.watt_hours }}", "Wh"},
    {"rpm", "sensor", "RPM", nullptr, "measurement", "{{ value_json.rpm }}", "rpm"},
    {"wind", "sensor", "Wind speed", "wind_speed", "measurement", "{{ value_json.wind }}", nullptr},
    {"load", "binary_sensor", "Load", "power", nullptr,
     "{{ 'ON' if value_json.mode == 1 else 'OFF' }}", ""},
};

} // namespace

QByteArray StateJson(const Reading& r, const QString& windUnit, const QDateTime& frameTime)
{
    QByteArray out;
    out.reserve(192);
    out += "{\"time\":" + isoLocalTime(frameTime);
    out += ",\"volts\":" + jsonNumber(r.Volts);
    out += ",\"amps\":" + jsonNumber(r.Amps);
    out += ",\"watts\":" + jsonNumber(r.Watts);
    out += ",\"watt_hours\":" + jsonNumber(r.WattHours);
    out += ",\"rpm\":" + jsonNumber(r.RPM);
    out += ",\"wind\":" + jsonNumber(r.WindSpeed);
    out += ",\"wind_unit\":" + jsonString(windUnit);
    out += ",\"mode\":" + QByteArray::number(r.Mode) + '}';
    return out;
}

QByteArray RecordJson(const QByteArray& record, const QDateTime& time)
{
    const QString line = QString::fromLatin1(record);
    QByteArray out;
    out.reserve(160);
    out += "{\"date\":" + jsonString(time.date().toString(Qt::ISODate));
    out += ",\"time\":" + jsonString(TagValue(line, QStringLiteral("T")).value_or(QString()));
    out += ",\"volts\":" + jsonValue(TagValue(line, QStringLiteral("V")));
    out += ",\"amps\":" + jsonValue(TagValue(line, QStringLiteral("I")));
    out += ",\"watts\":" + jsonValue(TagValue(line, QStringLiteral("W")));
    out += ",\"rpm\":" + jsonValue(TagValue(line, QStringLiteral("R")));
    out += ",\"wind\":" + jsonValue(TagValue(line, QStringLiteral("S")));
    out += ",\"mode\":" + jsonValue(TagValue(line, QStringLiteral("M"))) + '}';
    return out;
}

QList<DiscoveryMessage> DiscoveryMessages(const QString& station, const QString& windUnit)
{
    const QString base = QStringLiteral("wendro/%1/").arg(station);
    const QString object = QStringLiteral("wendro_") + station;
    const QJsonObject device{
        {QStringLiteral("identifiers"), QJsonArray{object}},
        {QStringLiteral("name"), QStringLiteral("Wendro ") + station},
        {QStringLiteral("model"), QStringLiteral("Wendro")},
        {QStringLiteral("sw_version"), QStringLiteral(WENDRO_VERSION)},
    };
    QList<DiscoveryMessage> messages;
    for (const Entity& e : entities) {
        const QString id = QLatin1String(e.id);
        QJsonObject config{
            {QStringLiteral("name"), QLatin1String(e.name)},
            {QStringLiteral("unique_id"), object + '_' + id},
            {QStringLiteral("object_id"), object + '_' + id},
            {QStringLiteral("state_topic"), base + QStringLiteral("state")},
            {QStringLiteral("value_template"), QLatin1String(e.valueTemplate)},
            {QStringLiteral("availability_topic"), base + QStringLiteral("availability")},
            {QStringLiteral("device"), device},
        };
        if (e.deviceClass)
            config.insert(QStringLiteral("device_class"), QLatin1String(e.deviceClass));
        if (e.stateClass)
            config.insert(QStringLiteral("state_class"), QLatin1String(e.stateClass));
        const QString unit = e.unit ? QString::fromLatin1(e.unit) : windUnit;
        if (!unit.isEmpty())
            config.insert(QStringLiteral("unit_of_measurement"), unit);
        messages.append({QStringLiteral("homeassistant/%1/%2/%3/config")
                             .arg(QLatin1String(e.component), object, id),
                         QJsonDocument(config).toJson(QJsonDocument::Compact)});
    }
    return messages;
}
