#pragma once

#include "ConfigReport.h"
#include "common/NumberParse.h"

#include <QByteArray>
#include <QDir>
#include <QString>
#include <initializer_list>
#include <optional>

// Reading and replacing a whole configuration file in the program folder.
class ConfigFile
{
public:
    // The whole file as text: UTF-8, or Latin-1 when it is not valid UTF-8 so that files
    // from older single-byte installations keep their unit texts. Nothing on failure, with
    // the reason in error and missing set when the file is not there.
    static std::optional<QString> read(const QString& path, QString* error, bool* missing);

    // Replaces the file through a temporary one in the same folder, so a power cut leaves
    // the old file whole. Returns the reason on failure, empty on success.
    static QString writeAtomically(const QString& path, const QByteArray& bytes);

    // On a first start: writes bytes when nothing is at path. Returns what to tell the user
    // ("created ..." or why it could not be), empty when the file was already there.
    static QString createIfMissing(const QString& path, const QByteArray& bytes);

    // Appends "<key>value</key>" and CR LF.
    static void appendTagLine(QByteArray& out, const char* key, const QString& value);

    // One key of a configuration type: where its text goes, and whether the text must read
    // as a number for the program to use it.
    template <class Config> struct Field
    {
        const char* key;
        QString Config::*member;
        bool mustBeNumber;
    };

    // Fills a Config from the file by TagValue. A missing file, a missing tag or an unusable
    // number leaves that key at its default and is noted in the report.
    template <class Config>
    static Config load(const QString& programDir, const char* fileName,
                       std::initializer_list<Field<Config>> fields, ConfigReport* report)
    {
        Config config = Config::defaults();
        ConfigReport local;
        local.fileName = QString::fromLatin1(fileName);
        const auto text = read(QDir(programDir).filePath(local.fileName), &local.readError,
                               &local.fileMissing);
        for (const Field<Config>& field : fields) {
            if (!text) {
                local.missingKeys << QString::fromLatin1(field.key);
                continue;
            }
            const auto value = tagValue(*text, field.key);
            if (!value)
                local.missingKeys << QString::fromLatin1(field.key);
            else if (field.mustBeNumber && !parseNumber(*value))
                local.damagedKeys << QString::fromLatin1(field.key);
            else
                config.*field.member = *value;
        }
        if (report)
            *report = local;
        return config;
    }

private:
    static std::optional<QString> tagValue(const QString& text, const char* key);
};
