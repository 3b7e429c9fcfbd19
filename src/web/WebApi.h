#pragma once

#include "analysis/MinuteAverages.h"
#include "web/HttpServer.h"

#include <QDate>
#include <QVector>
#include <optional>

class Station;

// What the web server answers: the dashboard with its chart library, the live reading, any
// day's records as JSON or CSV, its graph as a PNG, the energy per day, and the page made from
// the template. It only reads: no file is created or changed, and no part of a request becomes
// a path but a date that passed the history query's checks.
class WebApi
{
public:
    explicit WebApi(const Station& station);

    HttpResponse handle(const HttpRequest& request) const;

    // Whole local days, from midnight of from to the midnight after to.
    struct DaySpan
    {
        QDate from;
        QDate to;
    };

private:
    HttpResponse live() const;
    HttpResponse day(const QString& date, bool csv, const QUrlQuery& query) const;
    HttpResponse graph(const QString& date, const QUrlQuery& query) const;
    HttpResponse energy(const QUrlQuery& query) const;
    HttpResponse page() const;
    // The minute record's views: columns over a range of days, energy per day, month or year.
    HttpResponse range(const QUrlQuery& query, bool csv) const;
    HttpResponse energyByPeriod(const QUrlQuery& query) const;
    // The query's from and to; limited, at most 400 days. Else the answer that refuses them.
    static std::optional<DaySpan> daySpan(const QUrlQuery& query, bool limited,
                                          HttpResponse* refusal);
    // The validator of an answer about a day that is over; empty for today and later.
    QByteArray pastDayTag(const QString& date, const QString& asked) const;
    // The measured power curve with its yearly energy, or its bin table as CSV.
    HttpResponse powerCurve(const QUrlQuery& query, bool csv) const;

    const Station& m_station;
};
