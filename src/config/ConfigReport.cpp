#include "ConfigReport.h"

QString ConfigReport::describe() const
{
    if (!readError.isEmpty())
        return QStringLiteral("%1: %2").arg(fileName, readError);
    QStringList parts;
    if (!missingKeys.isEmpty())
        parts << QStringLiteral("missing %1").arg(missingKeys.join(QStringLiteral(", ")));
    if (!damagedKeys.isEmpty())
        parts << QStringLiteral("not a number: %1").arg(damagedKeys.join(QStringLiteral(", ")));
    if (parts.isEmpty())
        return {};
    return QStringLiteral("%1: %2 (defaults used)").arg(fileName, parts.join(QStringLiteral("; ")));
}
