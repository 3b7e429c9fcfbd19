#include "Station.h"

#include "config/CalibrationSettings.h"
#include "config/ConfigFile.h"
#include "config/TurbineConfig.h"
#include "logging/LogRecord.h"
#include "logging/LogWriter.h"

#include <QFileInfo>
#include <QLocale>

Station::Station(StationServices services, QObject* parent)
    : QObject(parent), m_services(std::move(services)),
      m_port(m_services.makeLink(), QStringLiteral("stationPort"), this),
      m_minutes(m_services.programDir)
{
    // Children, so tests find them by name; they leave the child list as members go.
    for (QTimer* timer : {&m_logTimer, &m_wattHourTimer})
        timer->setParent(this);
    m_logTimer.setObjectName(QStringLiteral("logTimer"));
    m_logTimer.setInterval(1000);
    m_wattHourTimer.setObjectName(QStringLiteral("wattHourTimer"));
    m_wattHourTimer.setInterval(WattHourStepMs);
    connect(&m_logTimer, &QTimer::timeout, this, &Station::writeLogRecord);
    connect(&m_wattHourTimer, &QTimer::timeout, this, &Station::wattHourStep);
    connect(&m_port, &PortKeeper::frameArrived, this, &Station::handleFrame);
    connect(&m_port, &PortKeeper::problemChanged, this,
            [this](const QString& text) { setStatus(StatusSource::Port, text); });
}

Station::~Station()
{
    shutdown();
}

void Station::start()
{
    if (m_started)
        return;
    m_started = true;
    Reading& r = m_live.reading();
    r.Mode = 0;
    r.Volts = r.Amps = r.Watts = r.RPM = r.WattHours = 0;
    r.LastRawCurrent = 500;
    createMissingConfigFiles();
    loadConfiguration();

    m_energyReadProblem = m_energy.load(m_services.programDir);
    setStatus(StatusSource::Energy, m_energyReadProblem);
    m_countDay = m_services.clock->now().date();
    m_live.reading().WattHours = m_energy.total(m_countDay);
    m_live.continueProduction(m_energy.produced());
    m_saved = {m_countDay, m_energy.total(m_countDay), m_energy.produced()};
    m_wattHourTimer.start();

    openConfiguredPort();
    // Automatic start: quietly stays off when the interval is not a number.
    if (ProgramConfig::isOn(m_config.LogOn)) {
        if (const auto interval = LogInterval::fromDelay(m_config.LogDelay))
            beginLogging(*interval);
    }
}

void Station::shutdown()
{
    if (!m_started)
        return;
    m_started = false;
    m_logTimer.stop();
    m_wattHourTimer.stop();
    m_port.close();
    QList<OutputFailure> failures;
    m_backlog.flushAll(failures);
    if (m_energyChanged)
        saveEnergy();
    m_minutes.finish(m_services.clock->now());
}

void Station::createMissingConfigFiles()
{
    const QString dir = m_services.programDir;
    const QStringList notes = {
        ConfigFile::createIfMissing(ProgramConfig::path(dir), ProgramConfig::defaults().fileText()),
        ConfigFile::createIfMissing(CalibrationSettings::path(dir),
                                    CalibrationSettings::defaults().fileText())};
    QStringList said;
    for (const QString& note : notes) {
        if (!note.isEmpty())
            said << note;
    }
    setStatus(StatusSource::FirstStart, said.join(QLatin1Char('\n')));
}

void Station::loadConfiguration()
{
    ConfigReport programReport;
    m_config = ProgramConfig::load(m_services.programDir, &programReport);
    ConfigReport calibrationReport;
    m_live.setCalibration(CalibrationSettings::load(m_services.programDir, &calibrationReport));
    // A file that could not be created at start-up has been said once already.
    const auto said = [this](const ConfigReport& report) {
        const bool told =
            report.fileMissing && statusLine(StatusSource::FirstStart).contains(report.fileName);
        return told ? QString() : report.describe();
    };
    setStatus(StatusSource::ProgramFile, said(programReport));
    setStatus(StatusSource::CalibrationFile, said(calibrationReport));
    checkTurbineFile();
    emit configurationLoaded();
}

void Station::reloadConfiguration()
{
    loadConfiguration();
}

void Station::openConfiguredPort()
{
    // A Port that is not a number opens nothing, and nothing is retried: another device
    // may be on any port we guessed.
    if (const auto port = m_config.portNumber()) {
        m_port.open(*port);
        return;
    }
    m_port.close();
    setStatus(StatusSource::Port, m_config.portProblem());
}

void Station::lendPort()
{
    m_port.close();
    m_live.lendPort(m_services.clock->now());
}

void Station::takePortBack()
{
    m_live.takePortBack(m_services.clock->now());
    loadConfiguration();
    openConfiguredPort();
}

void Station::handleFrame(const QByteArray& frame)
{
    emit frameSeen();
    const QDateTime now = m_services.clock->now();
    if (!m_live.handleFrame(frame, now, isLogging()))
        return;
    m_lastFrameTime = now;
    m_minutes.add(now, m_live.reading(), m_config.WSUnits);
    setStatus(StatusSource::Minutes, m_minutes.status());
    emit readingChanged();
}

bool Station::startLogging(const QString& delayText)
{
    const auto interval = LogInterval::fromDelay(delayText);
    if (!interval)
        return false;
    beginLogging(*interval);
    return true;
}

void Station::beginLogging(const LogInterval& interval)
{
    m_logTimer.setInterval(interval.milliseconds);
    m_logTimer.start();
    m_live.reading().resetPeaks();
    emit loggingStarted(interval.delayText);
}

void Station::stopLogging()
{
    m_logTimer.stop();
    emit loggingStopped();
}

void Station::writeLogRecord()
{
    const QDateTime now = m_services.clock->now();
    const LogWriter::Result result = LogWriter::writeTick(
        m_services.programDir, m_live.reading(), m_config, now, QLocale(), &m_backlog);
    setStatus(StatusSource::Logging, result.describe());
    const QByteArray record = LogRecord(m_live.reading(), now.time());
    m_live.reading().resetPeaks();
    emit recordWritten(result.ok());
    emit recordLogged(record, now);
}

void Station::wattHourStep()
{
    const QDateTime now = m_services.clock->now();
    const QDate today = now.date();
    Reading& r = m_live.reading();
    // The one place a day's count begins: a new day from 0, and a day come back to, with
    // the clock set back, from its own count.
    if (today != m_countDay)
        r.WattHours = m_energy.total(today);
    m_countDay = today;
    m_live.wattHourStep(now);
    m_minutes.tick(now);
    setStatus(StatusSource::Minutes, m_minutes.status());
    checkTurbineFile();
    if (m_energy.set(today, r.WattHours))
        m_energyChanged = true;
    // A plant that never produced keeps the two-column lines it had.
    if (m_live.producedKWh() > 0 && m_energy.setProduced(today, m_live.producedKWh()))
        m_energyChanged = true;
    if (m_energyChanged &&
        (!m_sinceEnergySaved.isValid() || m_sinceEnergySaved.hasExpired(EnergySaveMs)))
        saveEnergy();
}

QMap<QDate, double> Station::energyDays() const
{
    QMap<QDate, double> days = m_energy.days();
    if (m_started)
        days.insert(m_countDay, m_live.reading().WattHours);
    return days;
}

void Station::saveEnergy()
{
    const QString failure = m_energy.save(m_services.programDir);
    // A save that failed is tried again at the next step, not a minute later.
    m_energyChanged = !failure.isEmpty();
    if (failure.isEmpty()) {
        m_sinceEnergySaved.start();
        m_saved = {m_countDay, m_energy.total(m_countDay), m_live.producedKWh()};
    }
    QStringList problems;
    for (const QString& problem : {m_energyReadProblem, failure}) {
        if (!problem.isEmpty())
            problems << problem;
    }
    setStatus(StatusSource::Energy, problems.join(QLatin1Char('\n')));
}

void Station::setStatus(StatusSource source, const QString& text)
{
    if (m_status.value(source) == text)
        return;
    if (text.isEmpty())
        m_status.remove(source);
    else
        m_status.insert(source, text);
    emit statusChanged(source, text);
}

void Station::checkTurbineFile()
{
    const QFileInfo file(TurbineConfig::path(m_services.programDir));
    const QString stamp = file.exists() ? QStringLiteral("%1 %2").arg(file.size()).arg(
                                              file.lastModified().toMSecsSinceEpoch())
                                        : QString();
    if (stamp == m_turbineFileStamp)
        return;
    m_turbineFileStamp = stamp;
    setStatus(StatusSource::TurbineFile, TurbineConfig::load(m_services.programDir).problem());
}
