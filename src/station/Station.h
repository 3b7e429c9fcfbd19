#pragma once

#include "config/ProgramConfig.h"
#include "device/LiveReading.h"
#include "logging/LogInterval.h"
#include "logging/OutputBacklog.h"
#include "station/DayEnergy.h"
#include "station/MinuteRecord.h"
#include "station/PortKeeper.h"
#include "station/StationServices.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QMap>
#include <QObject>
#include <QTimer>

// The running plant with no window: the configuration, the port and the live reading, the
// watt-hour and logging timers, the records the disk refused, the day's energy and what is
// wrong, one status line per source. The desktop window and the headless service are views
// of it; it never shows anything itself.
class Station : public QObject
{
    Q_OBJECT

public:
    // Each source of trouble owns one status line, replaced as it changes.
    enum class StatusSource {
        FirstStart,
        ProgramFile,
        CalibrationFile,
        Port,
        Logging,
        Energy,
        WebServer,
        Broker,
        Minutes,
        TurbineFile
    };

    static constexpr int PortRetryMs = PortKeeper::RetryMs;
    static constexpr int WattHourStepMs = 5000;
    // Often, because totals are published only once they are on disk.
    static constexpr qint64 EnergySaveMs = 15 * 1000;

    // The day's watt-hours and the lifetime production as they last reached logs/energy.txt.
    struct SavedEnergy
    {
        QDate day;
        double dayWattHours = 0;
        double producedKWh = 0;
    };

    explicit Station(StationServices services, QObject* parent = nullptr);
    ~Station() override;

    // The start-up: missing configuration files created, the configuration and the day's
    // energy read, the port opened, and logging started when LogOn asks for it.
    void start();
    // The end: the port closed, one last try for records the disk refused, the day's energy
    // saved. No record is written for an unfinished interval.
    void shutdown();

    const Reading& reading() const { return m_live.reading(); }
    const ProgramConfig& config() const { return m_config; }
    const QString& programDir() const { return m_services.programDir; }
    // The time as the station's clock has it: what decides today for everyone reading it.
    QDateTime now() const { return m_services.clock->now(); }
    // When the last frame was converted; invalid before the first.
    QDateTime lastFrameTime() const { return m_lastFrameTime; }
    // What a restart would go on from: a total published from here never goes back after a
    // crash or a power cut.
    const SavedEnergy& savedEnergy() const { return m_saved; }
    // Every day's watt-hours, today's as the live count has it now.
    QMap<QDate, double> energyDays() const;
    bool isLogging() const { return m_logTimer.isActive(); }
    int loggingIntervalMs() const { return m_logTimer.interval(); }
    QString statusLine(StatusSource source) const { return m_status.value(source); }
    // Every problem there is now, one a line, in source order.
    QStringList statusLines() const { return m_status.values(); }

    // Starts logging as the Start button does: the delay brought into 10 to 600 seconds and
    // the peaks reset. False, changing nothing, when the delay is not a number.
    bool startLogging(const QString& delayText);
    void stopLogging();
    // Saved settings take effect: prog.cfg and settings.cfg are read again. A running log
    // timer keeps its interval.
    void reloadConfiguration();
    // A dialog takes the port for itself; when it is given back, the configuration is read
    // again and the port, perhaps a new one, opened.
    void lendPort();
    void takePortBack();
    // Replaces the status line of a source; those that read the station (the web server, the
    // broker) say their own trouble here too.
    void setStatus(StatusSource source, const QString& text);

signals:
    // A whole frame came in, whether or not it converted.
    void frameSeen();
    // A frame converted: the reading holds new values.
    void readingChanged();
    void recordWritten(bool ok);
    // The record of a logging tick, as the daily log has it, and the time it was taken.
    void recordLogged(const QByteArray& record, const QDateTime& time);
    void loggingStarted(const QString& delayText);
    void loggingStopped();
    void configurationLoaded();
    void statusChanged(Station::StatusSource source, const QString& text);

private:
    void createMissingConfigFiles();
    void loadConfiguration();
    void openConfiguredPort();
    void handleFrame(const QByteArray& frame);
    void beginLogging(const LogInterval& interval);
    void writeLogRecord();
    void wattHourStep();
    void saveEnergy();
    // turbine.cfg is the owner's to edit at any time: read again when it changes, and a key
    // that cannot be used named on the status line.
    void checkTurbineFile();

    StationServices m_services;
    ProgramConfig m_config;
    LiveReading m_live;
    QDateTime m_lastFrameTime;
    // Records the disk could not take yet, written by a later tick.
    OutputBacklog m_backlog;
    PortKeeper m_port;
    DayEnergy m_energy;
    MinuteRecord m_minutes;
    QString m_energyReadProblem;
    QDate m_countDay;
    bool m_energyChanged = false;
    QElapsedTimer m_sinceEnergySaved;
    SavedEnergy m_saved;
    QMap<StatusSource, QString> m_status;
    bool m_started = false;
    QString m_turbineFileStamp;

    QTimer m_logTimer;
    QTimer m_wattHourTimer;
};
