#include "TagValue.h"

#include "common/TagSpan.h"

std::optional<QString> TagValue(const QString& text, const QString& key)
{
    const QString open = QLatin1Char('<') + key + QLatin1Char('>');
    const QString close = QLatin1String("</") + key + QLatin1Char('>');
    const TagSpan span =
        TagSpan::locate(QStringView(text), QStringView(open), QStringView(close));
    if (span.kind != TagSpan::Kind::Found)
        return std::nullopt;
    return text.mid(span.begin, span.length);
}
