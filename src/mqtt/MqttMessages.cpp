#include "MqttMessages.h"

#include "common/WindUnit.h"
#include "config/TagValue.h"
#include "station/LiveJson.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

namespace {

QByteArray jsonString(const QString& text)
{
    return LiveJson::string(text);
}

QByteArray isoLocalTime(const QDateTime& time, bool withOffset = false)
{
    return LiveJson::time(time, withOffset);
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

constexpr int ExpireAfterSeconds = 120; // twice the 60 s after which a frame is stale

struct Entity
{
    const char* id;
    const char* component;
    const char* name;
    const char* deviceClass;   // nullptr: none
    const char* stateClass;    // nullptr: none
    const char* valueTemplate; // nullptr: the payload of stateLeaf as it is
    const char* unit;          // nullptr: the wind speed unit of prog.cfg
    int precision;             // -1: none
    bool measured;             // goes unknown when no frame comes
    const char* stateLeaf = "state";
};

const Entity entities[] = {
    {"volts", "sensor", "Volts", "voltage", "measurement", "{{ value_json.volts }}", "V", 1, true},
    {"amps", "sensor", "Amps", "current", "measurement", "{{ value_json.amps }}", "A", 2, true},
    {"watts", "sensor", "Watts", "power", "measurement", "{{ value_json.watts }}", "W", 0, true},
    {"energy", "sensor", "Energy today", "energy", "total", "{{ value_json.watt_hours }}", "Wh", 0,
     false},
    {"production", "sensor", "Energy produced", "energy", "total_increasing",
     "{{ value_json.produced_kwh }}", "kWh", 2, false},
    {"rpm", "sensor", "RPM", nullptr, "measurement", "{{ value_json.rpm }}", "rpm", 0, true},
    {"wind", "sensor", "Wind speed", "wind_speed", "measurement", "{{ value_json.wind }}", nullptr,
     1, true},
    {"load", "binary_sensor", "Load", "power", nullptr,
     "{{ 'ON' if value_json.mode == 1 else 'OFF' }}", "", -1, true},
    {"logger", "binary_sensor", "Logger", "connectivity", nullptr, nullptr, "", -1, false,
     "logger"},
};

// Entity ids are lower case with underscores, whatever the station is called.
QString entitySlug(const QString& text)
{
    QString slug = text.toLower();
    slug.replace(QLatin1Char('-'), QLatin1Char('_'));
    return slug;
}

} // namespace

QByteArray StateJson(const Reading& r, const QString& windUnit, const QDateTime& frameTime,
                     const EnergyTotals& totals)
{
    return LiveJson::object(r, windUnit, frameTime,
                            ",\"watt_hours\":" + LiveJson::number(totals.dayWattHours) +
                                ",\"day_start\":" + LiveJson::time(totals.dayStart, true) +
                                ",\"produced_kwh\":" + LiveJson::number(totals.producedKWh));
}

QByteArray RecordJson(const QByteArray& record, const QDateTime& time)
{
    const QString line = QString::fromLatin1(record);
    QByteArray out;
    out.reserve(160);
    out += "{\"date\":" + jsonString(time.date().toString(Qt::ISODate));
    out += ",\"time\":" + jsonString(TagValue(line, QStringLiteral("T")).value_or(QString()));
    out += ",\"at\":" + isoLocalTime(time, true);
    out += ",\"volts\":" + jsonValue(TagValue(line, QStringLiteral("V")));
    out += ",\"amps\":" + jsonValue(TagValue(line, QStringLiteral("I")));
    out += ",\"watts\":" + jsonValue(TagValue(line, QStringLiteral("W")));
    out += ",\"rpm\":" + jsonValue(TagValue(line, QStringLiteral("R")));
    out += ",\"wind\":" + jsonValue(TagValue(line, QStringLiteral("S")));
    out += ",\"mode\":" + jsonValue(TagValue(line, QStringLiteral("M"))) + '}';
    return out;
}

QString HomeAssistantWindUnit(const QString& windUnit)
{
    // Home Assistant spells the units it knows as Wendro's canonical names do.
    return WindUnit::canonical(windUnit);
}

QList<DiscoveryMessage> DiscoveryMessages(const QString& station, const QString& windUnit,
                                          const QString& dashboardUrl)
{
    const QString base = QStringLiteral("wendro/%1/").arg(station);
    const QString object = QStringLiteral("wendro_") + station;
    QJsonObject device{
        {QStringLiteral("identifiers"), QJsonArray{object}},
        {QStringLiteral("name"), QStringLiteral("Wendro ") + station},
        {QStringLiteral("model"), QStringLiteral("Wendro")},
        {QStringLiteral("sw_version"), QStringLiteral(WENDRO_VERSION)},
    };
    if (!dashboardUrl.isEmpty())
        device.insert(QStringLiteral("configuration_url"), dashboardUrl);
    const QJsonObject origin{
        {QStringLiteral("name"), QStringLiteral("Wendro")},
        {QStringLiteral("sw_version"), QStringLiteral(WENDRO_VERSION)},
    };
    // A unit Home Assistant does not know is still shown, as a plain measurement.
    const QString knownWindUnit = HomeAssistantWindUnit(windUnit);
    QList<DiscoveryMessage> messages;
    for (const Entity& e : entities) {
        const QString id = QLatin1String(e.id);
        const QString component = QLatin1String(e.component);
        const bool wind = !e.unit;
        QJsonObject config{
            {QStringLiteral("name"), QLatin1String(e.name)},
            {QStringLiteral("unique_id"), object + '_' + id},
            {QStringLiteral("default_entity_id"),
             component + QLatin1Char('.') + entitySlug(object + '_' + id)},
            {QStringLiteral("state_topic"), base + QLatin1String(e.stateLeaf)},
            {QStringLiteral("availability_topic"), base + QStringLiteral("availability")},
            {QStringLiteral("device"), device},
            {QStringLiteral("origin"), origin},
        };
        if (e.valueTemplate)
            config.insert(QStringLiteral("value_template"), QLatin1String(e.valueTemplate));
        if (e.deviceClass && !(wind && knownWindUnit.isEmpty()))
            config.insert(QStringLiteral("device_class"), QLatin1String(e.deviceClass));
        if (e.stateClass)
            config.insert(QStringLiteral("state_class"), QLatin1String(e.stateClass));
        if (QLatin1String(e.stateClass) == QLatin1String("total"))
            config.insert(QStringLiteral("last_reset_value_template"),
                          QStringLiteral("{{ value_json.day_start }}"));
        const QString unit = !wind                     ? QString::fromLatin1(e.unit)
                             : knownWindUnit.isEmpty() ? windUnit
                                                       : knownWindUnit;
        if (!unit.isEmpty())
            config.insert(QStringLiteral("unit_of_measurement"), unit);
        if (e.precision >= 0)
            config.insert(QStringLiteral("suggested_display_precision"), e.precision);
        if (e.measured)
            config.insert(QStringLiteral("expire_after"), ExpireAfterSeconds);
        if (QLatin1String(e.deviceClass) == QLatin1String("connectivity"))
            config.insert(QStringLiteral("entity_category"), QStringLiteral("diagnostic"));
        messages.append({QStringLiteral("homeassistant/%1/%2/%3/config").arg(component, object, id),
                         QJsonDocument(config).toJson(QJsonDocument::Compact)});
    }
    return messages;
}
