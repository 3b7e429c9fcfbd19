#include "HttpRequestParser.h"

#include <boost/beast/http/empty_body.hpp>
#include <boost/beast/http/parser.hpp>
#include <boost/beast/http/rfc7230.hpp>

namespace http = boost::beast::http;

namespace {

HttpParse refused(int status, const QString& message, bool head)
{
    HttpParse p;
    p.outcome = HttpParse::Outcome::Refused;
    p.status = status;
    p.message = message;
    p.head = head;
    return p;
}

QByteArray bytesOf(boost::beast::string_view text)
{
    return QByteArray(text.data(), qsizetype(text.size()));
}

QString notHttp()
{
    return QStringLiteral("That is not an HTTP/1 request.");
}

QString whyBeastRefused(const boost::beast::error_code& ec)
{
    switch (http::error(ec.value())) {
    case http::error::bad_field:
    case http::error::bad_value:
        return QStringLiteral("A header line is not a name, a colon and a value.");
    case http::error::bad_content_length:
    case http::error::bad_transfer_encoding:
        return QStringLiteral("A GET request carries no body.");
    case http::error::bad_version:
        return QStringLiteral("Only HTTP/1.0 and HTTP/1.1 are served here.");
    default:
        return notHttp();
    }
}

} // namespace

HttpParse HttpRequestParser::parse(QByteArrayView bytes)
{
    const bool head = bytes.startsWith("HEAD ");
    // Nothing past the two limits is ever looked at, so a parse costs at most that much.
    const QByteArrayView window =
        bytes.first(qMin(bytes.size(), qsizetype(MaxRequestLine + MaxHeaders + 4)));
    const qsizetype end = window.indexOf("\r\n\r\n");
    const QByteArrayView block = end < 0 ? window : window.first(end + 4);

    // A bare LF is refused at once: waiting for a CR LF CR LF that will never come would leave
    // the client with no answer at all.
    for (qsizetype i = 0; i < block.size(); ++i) {
        if (block[i] == '\n' && (i == 0 || block[i - 1] != '\r'))
            return refused(400, QStringLiteral("Lines of a request end with CR LF."), head);
    }
    const qsizetype lineEnd = block.indexOf("\r\n");
    if ((lineEnd < 0 && block.size() > MaxRequestLine) || lineEnd > MaxRequestLine)
        return refused(414, QStringLiteral("The request line is longer than 8 KiB."), head);
    if (lineEnd < 0)
        return {};
    if ((end < 0 ? block.size() : end) - lineEnd > MaxHeaders)
        return refused(431, QStringLiteral("The request headers are longer than 8 KiB."), head);
    if (end < 0)
        return {};
    // A folded line would be joined to the one before by some readers and not by others.
    if (block.indexOf("\r\n ", lineEnd) >= 0 || block.indexOf("\r\n\t", lineEnd) >= 0)
        return refused(400, QStringLiteral("Folded header lines are not accepted."), head);

    http::request_parser<http::empty_body> parser;
    parser.header_limit(std::uint32_t(block.size() + 1));
    boost::beast::error_code ec;
    parser.put(boost::asio::const_buffer(block.data(), std::size_t(block.size())), ec);
    if (ec || !parser.is_header_done())
        return refused(400, whyBeastRefused(ec), head);

    const auto& message = parser.get();
    // The parser takes only HTTP/1.0 and HTTP/1.1.
    const unsigned version = message.version();
    const QByteArray method = bytesOf(message.method_string());
    if (method != "GET" && method != "HEAD")
        return refused(405, QStringLiteral("Only GET and HEAD are served here."), head);
    // A body is never read: a length other than one plain 0, or any transfer coding, would
    // leave the next request's start to a guess that a proxy in front may guess otherwise.
    if (message.count(http::field::transfer_encoding) > 0 ||
        message.count(http::field::content_length) > 1 ||
        (message.count(http::field::content_length) == 1 &&
         message[http::field::content_length] != "0"))
        return refused(400, QStringLiteral("A GET request carries no body."), head);
    const std::size_t hosts = message.count(http::field::host);
    if (hosts > 1 || (version == 11 && hosts == 0))
        return refused(400, QStringLiteral("An HTTP/1.1 request names exactly one Host."), head);

    HttpParse p;
    HttpRequest& r = p.request;
    r.method = method;
    r.host = bytesOf(message[http::field::host]);
    r.ifNoneMatch = bytesOf(message[http::field::if_none_match]);
    bool close = false;
    bool keepAlive = false;
    for (const auto& field : message) {
        if (field.name() != http::field::connection)
            continue;
        for (const auto& token : http::token_list(field.value())) {
            close = close || boost::beast::iequals(token, "close");
            keepAlive = keepAlive || boost::beast::iequals(token, "keep-alive");
        }
    }
    r.keepAlive = !close && (version == 11 || keepAlive);

    QByteArray target = bytesOf(message.target());
    if (target.left(7).toLower() == "http://") {
        // The absolute form names the host itself, and that host is the one that counts.
        const qsizetype pathAt = target.indexOf('/', 7);
        const qsizetype queryAt = target.indexOf('?', 7);
        const qsizetype authorityEnd =
            pathAt < 0 ? (queryAt < 0 ? target.size() : queryAt)
                       : (queryAt < 0 ? pathAt : qMin(pathAt, queryAt));
        r.host = target.mid(7, authorityEnd - 7);
        target = '/' + target.mid(authorityEnd + (authorityEnd == pathAt ? 1 : 0));
    }
    if (!target.startsWith('/'))
        return refused(400, notHttp(), head);
    const qsizetype mark = target.indexOf('?');
    r.path = QString::fromLatin1(target.left(mark < 0 ? target.size() : mark));
    if (mark >= 0)
        r.query.setQuery(QString::fromUtf8(target.mid(mark + 1)));
    p.outcome = HttpParse::Outcome::Request;
    p.used = block.size();
    return p;
}
