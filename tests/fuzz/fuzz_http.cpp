// The web server's request parser on any bytes, as pipelined requests are read: each request
// it takes must take the same bytes and say the same thing whatever was split off before it
// arrived, and never more bytes than there are.
#include "FuzzCheck.h"

#include "web/HttpRequestParser.h"

namespace {

bool same(const HttpParse& a, const HttpParse& b)
{
    return a.outcome == b.outcome && a.used == b.used && a.status == b.status &&
           a.request.method == b.request.method && a.request.path == b.request.path &&
           a.request.query.toString() == b.request.query.toString() &&
           a.request.host == b.request.host && a.request.keepAlive == b.request.keepAlive &&
           a.request.ifNoneMatch == b.request.ifNoneMatch;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size)
{
    const QByteArray input(reinterpret_cast<const char*>(bytes), qsizetype(size));
    quint32 choice = inputHash(bytes, size);
    qsizetype at = 0;
    while (at < input.size()) {
        const QByteArrayView rest = QByteArrayView(input).sliced(at);
        const HttpParse whole = HttpRequestParser::parse(rest);
        if (whole.outcome != HttpParse::Outcome::Request)
            break;
        FUZZ_CHECK(whole.used > 0 && whole.used <= rest.size());
        FUZZ_CHECK(whole.request.method == "GET" || whole.request.method == "HEAD");
        FUZZ_CHECK(whole.request.path.startsWith(QLatin1Char('/')));
        // Nothing after the request changes it.
        FUZZ_CHECK(same(HttpRequestParser::parse(rest.first(whole.used)), whole));
        // Its first part alone, as one read may bring it, is only ever "more to come".
        const qsizetype split = qsizetype(choice % quint32(whole.used));
        choice = choice * 16777619u + 1;
        FUZZ_CHECK(HttpRequestParser::parse(rest.first(split)).outcome ==
                   HttpParse::Outcome::Incomplete);
        at += whole.used;
    }
    return 0;
}
