// TagValue and the two configuration loaders on whatever a damaged or hand-edited file holds.
#include "FuzzCheck.h"

#include "config/CalibrationSettings.h"
#include "config/ProgramConfig.h"
#include "config/TagValue.h"
#include "device/Conversion.h"

#include <cmath>

namespace {

// The value must be exactly what lies between the first opening and first closing tag.
void checkTagValue(const QString& text, const QString& key)
{
    const auto value = TagValue(text, key);
    const qsizetype open = text.indexOf(QLatin1Char('<') + key + QLatin1Char('>'));
    const qsizetype close = text.indexOf(QLatin1String("</") + key + QLatin1Char('>'));
    const qsizetype start = open + key.size() + 2;
    if (!value)
        FUZZ_CHECK(open < 0 || close < start);
    else
        FUZZ_CHECK(open >= 0 && start + value->size() == close &&
                   text.mid(start, value->size()) == *value);
}

// What is loaded must save and load back unchanged, unless a value itself holds tag text.
template <class Config> void checkRoundTrip(const Config& loaded, const ConfigReport& report)
{
    FUZZ_CHECK(report.clean() == report.describe().isEmpty());
    if (loaded.fileText().count('<') != Config::defaults().fileText().count('<'))
        return;
    static QTemporaryDir again(QDir::tempPath() + QStringLiteral("/wendro-fuzz-XXXXXX"));
    FUZZ_CHECK(loaded.save(again.path()).isEmpty());
    ConfigReport secondReport;
    FUZZ_CHECK(Config::load(again.path(), &secondReport).fileText() == loaded.fileText());
    FUZZ_CHECK(secondReport.clean());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size)
{
    const QByteArray file(reinterpret_cast<const char*>(bytes), qsizetype(size));
    for (const QString& text : {QString::fromUtf8(file), QString::fromLatin1(file)}) {
        for (const char* key :
             {"Port", "Savehtml", "SaveExcel", "LogDelay", "LogOn", "DisplayRPM", "DisplayWS",
              "WSUnits", "VoltDivider", "VoltOffset", "AmpDivider", "RPMDivider", "WSDivider"})
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
    Convert(reading, RawFrame{true, true, 0, 625, 562, 20, 38}, CalibrationNumbers::from(settings),
            true);
    for (double v : {reading.Volts, reading.Amps, reading.Watts, reading.RPM, reading.WindSpeed})
        FUZZ_CHECK(std::isfinite(v));
    return 0;
}
