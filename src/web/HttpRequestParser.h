#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QUrlQuery>

struct HttpRequest
{
    QByteArray method; // GET or HEAD
    // The path as sent, escapes and all, without the query: "%2f" is never a separator.
    QString path;
    QUrlQuery query;
    // The Host header, or the authority of an absolute-form target; empty when there is none.
    QByteArray host;
    QByteArray ifNoneMatch;
    bool keepAlive = false;

    bool head() const { return method == "HEAD"; }
};

// What the front of a client's bytes holds, by the rules of HTTP/1.1 for a server that only
// answers GET and HEAD: a request never has a body, so nothing after the headers can be
// read as part of it, and whatever is ambiguous is refused rather than guessed.
struct HttpParse
{
    enum class Outcome { Incomplete, Request, Refused };

    Outcome outcome = Outcome::Incomplete;
    HttpRequest request;
    // Bytes the request took from the front (with Request).
    qsizetype used = 0;
    // With Refused: the status to answer, why, and whether the refused request was a HEAD.
    int status = 0;
    QString message;
    bool head = false;
};

class HttpRequestParser
{
public:
    static constexpr int MaxRequestLine = 8192;
    static constexpr int MaxHeaders = 8192;

    // A pure function: the same bytes always give the same outcome, however they arrived.
    static HttpParse parse(QByteArrayView bytes);
};
