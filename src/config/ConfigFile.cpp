#include "ConfigFile.h"

#include "TagValue.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>

std::optional<QString> ConfigFile::read(const QString& path, QString* error, bool* missing)
{
    QFile file(path);
    if (!file.exists()) {
        *missing = true;
        *error = QStringLiteral("file not found");
        return std::nullopt;
    }
    *missing = false;
    if (!file.open(QIODevice::ReadOnly)) {
        *error = file.errorString();
        return std::nullopt;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        *error = file.errorString();
        return std::nullopt;
    }
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (utf8.hasError())
        text = QString::fromLatin1(bytes);
    return text;
}

QString ConfigFile::writeAtomically(const QString& path, const QByteArray& bytes)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        const QString folder = QFileInfo(path).absolutePath();
        if (!QFileInfo::exists(folder))
            return QStringLiteral("folder %1 is missing").arg(folder);
        return file.errorString();
    }
    if (file.write(bytes) != bytes.size()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return reason;
    }
    if (!file.commit())
        return file.errorString();
    return {};
}

void ConfigFile::appendTagLine(QByteArray& out, const char* key, const QString& value)
{
    out += '<';
    out += key;
    out += '>';
    out += value.toUtf8();
    out += "</";
    out += key;
    out += ">\r\n";
}

std::optional<QString> ConfigFile::tagValue(const QString& text, const char* key)
{
    return TagValue(text, QString::fromLatin1(key));
}

QString ConfigFile::createIfMissing(const QString& path, const QByteArray& bytes)
{
    const QFileInfo info(path);
    if (info.exists() || info.isSymLink())
        return {};
    const QString failure = writeAtomically(path, bytes);
    if (!failure.isEmpty())
        return QStringLiteral("%1 is missing and could not be created: %2 (defaults used)")
            .arg(info.fileName(), failure);
    return QStringLiteral("%1 was missing: created it with default settings.").arg(info.fileName());
}
