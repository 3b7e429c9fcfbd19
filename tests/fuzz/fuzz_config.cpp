// TagValue and the two configuration loaders on whatever a damaged or hand-edited file holds.
#include "FuzzCheck.h"

#include "config/CalibrationSettings.h"
#include "config/ConfigKeys.h"
#include "config/ProgramConfig.h"
#include "config/TagValue.h"
#include "device/Conversion.h"

#include <cmath>

namespace {

const char* const allKeys[] = {
    ConfigKeys::Port,        ConfigKeys::Savehtml,   ConfigKeys::SaveExcel,
    ConfigKeys::LogDelay,    ConfigKeys::LogOn,      ConfigKeys::DisplayRPM,
    ConfigKeys::DisplayWS,   ConfigKeys::WSUnits,    ConfigKeys::VoltDivider,
    ConfigKeys::VoltOffset,  ConfigKeys::AmpDivider, ConfigKeys::RPMDivider,
    ConfigKeys::WSDivider,
};

// The value must be exactly what lies between the first opening and first closing tag.
void checkTagValue(const QString& text, const QString& key)
{
    const auto value = TagValue(text, key);
    const QString open = QLatin1Char('<') + key + QLatin1Char('>');
    const QString close = QLatin1String("</") + key + QLatin1Char('>');
    const qsizetype p = text.indexOf(open);
    const qsizetype q = text.indexOf(close);
    if (!value) {
        FUZZ_CHECK(p < 0 || q < 0 || q < p + open.size());
        return;
    }
    FUZZ_CHECK(p >= 0 && p + open.size() + value->size() == q);
    FUZZ_CHECK(text.mid(p + open.size(), value->size()) == *value);
}

bool hasTagText(const QStringList& values)
{
    for (const QString& v : values) {
        if (v.contains(QLatin1Char('<')))
            return true;
    }
    return false;
}

QStringList values(const ProgramConfig& c)
{
    return {c.Port,  c.Savehtml,   c.SaveExcel, c.LogDelay,
            c.LogOn, c.DisplayRPM, c.DisplayWS, c.WSUnits};
}

QStringList values(const CalibrationSettings& c)
{
    return {c.VoltDivider, c.VoltOffset, c.AmpDivider, c.RPMDivider, c.WSDivider};
}

// What is loaded must save and load back unchanged, unless a value itself holds tag text.
template <class Config> void checkRoundTrip(const Config& loaded, const ConfigReport& report)
{
    FUZZ_CHECK(report.clean() == report.describe().isEmpty());
    if (hasTagText(values(loaded)))
        return;
    static QTemporaryDir again(QDir::tempPath() + QStringLiteral("/wendro-fuzz-XXXXXX"));
    FUZZ_CHECK(loaded.save(again.path()).isEmpty());
    ConfigReport secondReport;
    const Config second = Config::load(again.path(), &secondReport);
    FUZZ_CHECK(secondReport.clean());
    FUZZ_CHECK(values(second) == values(loaded));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size)
{
    const QByteArray file(reinterpret_cast<const char*>(bytes), qsizetype(size));
    const QString utf8 = QString::fromUtf8(file);
    for (const QString& text : {utf8, QString::fromLatin1(file)}) {
        for (const char* key : allKeys)
            checkTagValue(text, QString::fromLatin1(key));
        // A key of the file's own making: empty, odd characters, tags inside tags.
        checkTagValue(text, text.left(text.indexOf(QLatin1Char('\n'))).left(12));
    }

    const QString& dir = fuzzProgramDir();
    writeFuzzFile(ProgramConfig::path(dir), file);
    writeFuzzFile(CalibrationSettings::path(dir), file);

    ConfigReport programReport;
    const ProgramConfig program = ProgramConfig::load(dir, &programReport);
    program.portNumber();
    ProgramConfig::isOn(program.LogOn);
    checkRoundTrip(program, programReport);

    ConfigReport calibrationReport;
    const CalibrationSettings settings = CalibrationSettings::load(dir, &calibrationReport);
    checkRoundTrip(settings, calibrationReport);

    // The loaded calibration goes straight into the conversion of a usual frame.
    Reading reading;
    RawFrame raw{true, true, 0, 625, 562, 20, 38};
    Convert(reading, raw, CalibrationNumbers::from(settings), true);
    for (double v : {reading.Volts, reading.Amps, reading.Watts, reading.RPM, reading.WindSpeed})
        FUZZ_CHECK(std::isfinite(v));
    return 0;
}
