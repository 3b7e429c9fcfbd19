#pragma once

#include "config/ProgramConfig.h"

// prog.cfg's values by what they do, starting from what a first start writes (port 1, a
// minute's interval, nothing saved or started, RPM and wind in km/h): config().page().units("knots").
// Each takes the text as the file would hold it.
struct ConfigBuilder : ProgramConfig
{
    ConfigBuilder() : ProgramConfig(ProgramConfig::defaults()) {}
    ConfigBuilder& port(const QString& text) { return set(Port, text); }
    ConfigBuilder& page(const QString& text = QStringLiteral("1")) { return set(Savehtml, text); }
    ConfigBuilder& spreadsheet(const QString& text = QStringLiteral("1")) { return set(SaveExcel, text); }
    ConfigBuilder& logEvery(const QString& seconds) { return set(LogDelay, seconds); }
    ConfigBuilder& logAtStart(const QString& text = QStringLiteral("1")) { return set(LogOn, text); }
    ConfigBuilder& rpm(const QString& text) { return set(DisplayRPM, text); }
    ConfigBuilder& wind(const QString& text) { return set(DisplayWS, text); }
    ConfigBuilder& units(const QString& text) { return set(WSUnits, text); }

private:
    ConfigBuilder& set(QString& key, const QString& text)
    {
        key = text;
        return *this;
    }
};

inline ConfigBuilder config()
{
    return {};
}
