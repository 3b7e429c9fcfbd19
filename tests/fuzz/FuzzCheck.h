#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

// A broken promise is a finding like a crash: print it and abort so libFuzzer keeps the input.
#define FUZZ_CHECK(condition)                                                                   \
    do {                                                                                        \
        if (!(condition)) {                                                                     \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                       \
        }                                                                                       \
    } while (0)

// One program folder per fuzzing process, reused by every input; it lives under $TMPDIR.
inline const QString& fuzzProgramDir()
{
    static QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/wendro-fuzz-XXXXXX"));
    static const QString path = dir.path();
    static const bool made = QDir(path).mkpath(QStringLiteral("logs"));
    FUZZ_CHECK(dir.isValid() && made);
    return path;
}

// FNV-1a of the input, to draw choices from: a saved input then replays exactly. Not qHash,
// which is seeded afresh in every process.
inline quint32 inputHash(const uint8_t* bytes, size_t size)
{
    quint32 hash = 2166136261u;
    for (size_t i = 0; i < size; ++i)
        hash = (hash ^ bytes[i]) * 16777619u;
    return hash;
}

inline void writeFuzzFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    FUZZ_CHECK(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    FUZZ_CHECK(file.write(bytes) == bytes.size());
}
