#include "OutputBacklog.h"

#include <algorithm>

namespace {

QByteArray joined(const QList<QByteArray>& lines)
{
    QByteArray all;
    for (const QByteArray& line : lines)
        all += line;
    return all;
}

} // namespace

bool OutputBacklog::append(OutputBacklog* backlog, const OutputFile& file, const QByteArray& bytes,
                           QList<OutputFailure>& failures)
{
    return backlog ? backlog->append(file, bytes, failures) : file.append(bytes, failures);
}

bool OutputBacklog::append(const OutputFile& file, const QByteArray& bytes,
                           QList<OutputFailure>& failures)
{
    const auto held = std::find_if(m_held.begin(), m_held.end(), [&file](const Held& h) {
        return h.file.relativePath() == file.relativePath();
    });
    if (held == m_held.end()) {
        if (file.append(bytes, failures))
            return true;
        m_held.push_back({file, {bytes}, true});
    } else {
        const QByteArray before = joined(held->lines);
        if (file.append(before + bytes, failures)) {
            m_size -= before.size();
            m_held.erase(held);
            return true;
        }
        held->lines.append(bytes);
        held->tried = true;
    }
    m_size += bytes.size();
    trim();
    return false;
}

void OutputBacklog::flush(QList<OutputFailure>& failures)
{
    for (auto held = m_held.begin(); held != m_held.end();) {
        if (held->tried) {
            held->tried = false;
            ++held;
            continue;
        }
        const QByteArray all = joined(held->lines);
        if (!held->file.append(all, failures)) {
            ++held;
            continue;
        }
        m_size -= all.size();
        held = m_held.erase(held);
    }
}

void OutputBacklog::flushAll(QList<OutputFailure>& failures)
{
    for (Held& held : m_held)
        held.tried = false;
    flush(failures);
}

bool OutputBacklog::holds(const QString& relativePath) const
{
    return std::any_of(m_held.begin(), m_held.end(), [&relativePath](const Held& h) {
        return h.file.relativePath() == relativePath;
    });
}

void OutputBacklog::trim()
{
    while (m_size > Cap && !m_held.empty()) {
        Held& oldest = m_held.front();
        m_size -= oldest.lines.takeFirst().size();
        m_dropped = true;
        if (oldest.lines.isEmpty())
            m_held.erase(m_held.begin());
    }
}
