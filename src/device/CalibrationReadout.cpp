#include "CalibrationReadout.h"

#include "CalibrationFormula.h"
#include "common/NumberParse.h"
#include "common/NumberText.h"
#include "common/Rounding.h"
#include "common/TagSpan.h"

namespace {

// One tag's text in a frame; a pair standing the wrong way round counts as present but not
// a number, so it shows 0 rather than stopping the readout.
struct Field
{
    bool present = false;
    std::optional<double> number;
    QString text;
};

Field cut(QByteArrayView frame, const char* open, const char* close)
{
    const TagSpan span = TagSpan::locate(frame, QByteArrayView(open), QByteArrayView(close));
    if (span.kind == TagSpan::Kind::Absent)
        return {};
    if (span.kind == TagSpan::Kind::Reversed)
        return {true, std::nullopt, {}};
    const QByteArrayView text = frame.sliced(span.begin, span.length);
    return {true, parseNumber(text), QString::fromLatin1(text)};
}

// Raw V and I: not a number, or absent, is 0.
double rawValue(const Field& field)
{
    return field.number.value_or(0.0);
}

// A pulse count shows its own text when numeric, "0" when not, nothing when absent.
QString pulseCaption(const Field& field)
{
    if (!field.present)
        return {};
    return field.number ? field.text : QStringLiteral("0");
}

QString rounded(double value, int decimals)
{
    return NumberText(roundHalfEven(value, decimals));
}

} // namespace

CalibrationReadout::Texts CalibrationReadout::takeFrame(QByteArrayView frame, const Boxes& boxes)
{
    const Field v = cut(frame, "<V>", "</V>");
    const Field i = cut(frame, "<I>", "</I>");
    const Field r = cut(frame, "<R>", "</R>");
    const Field s = cut(frame, "<S>", "</S>");
    m_rawVolts = rawValue(v);
    m_rawShunt = rawValue(i);
    const double pulses = r.number.value_or(0.0);
    const double pulses2 = s.number.value_or(0.0);

    // An unusable RPM divider shows 1, which tells the user the box needs a number.
    double rpm = 1;
    if (usablePositive(boxes.rpmDivider))
        rpm = CalibrationFormula::rpm(pulses, *parseNumber(boxes.rpmDivider));
    if (usablePositive(boxes.wsDivider))
        m_windSpeed = CalibrationFormula::windSpeed(pulses2, *parseNumber(boxes.wsDivider));

    Texts texts;
    texts.battV = rounded(m_rawVolts, 2);
    texts.shuntV = rounded(m_rawShunt, 2);
    texts.pulses = pulseCaption(r);
    texts.rpm = NumberText(rpm) + QStringLiteral(" RPM");
    texts.pulses2 = pulseCaption(s);
    texts.windSpeed = NumberText(m_windSpeed) + QLatin1Char(' ') + boxes.unit;
    if (usablePositive(boxes.voltDivider))
        texts.volts = NumberText(CalibrationFormula::volts(m_rawVolts, *parseNumber(boxes.voltDivider))) +
                      QStringLiteral(" Volts");
    if (convertible(boxes.ampDivider))
        texts.amps = NumberText(CalibrationFormula::amps(m_rawShunt, boxes.offset,
                                                         *parseNumber(boxes.ampDivider))) +
                     QStringLiteral(" Amps");
    return texts;
}

double CalibrationReadout::shownShunt() const
{
    return roundHalfEven(m_rawShunt, 2);
}

bool CalibrationReadout::usablePositive(const QString& divider)
{
    const auto value = parseNumber(divider);
    return value && *value > 0;
}

bool CalibrationReadout::convertible(const QString& divider)
{
    const auto value = parseNumber(divider);
    return value && *value != 0;
}
