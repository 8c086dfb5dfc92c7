#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

namespace orv {

// The subcommands' exchange over the single-instance socket. A request is one JSON line,
// {"arguments": ["get", "42"], "input": N}, followed by N bytes of standard input; the answer is
// one JSON line, {"status": 0, "message": "…", "output": N}, followed by N bytes for standard
// output (PNG bytes as they are), after which the instance closes the connection. The status is
// the exit status: 0 done, 1 failure (the message says why), 2 usage. A line "toggle" is the older
// request to open or close the palette, which gets no answer.
namespace CommandProtocol {

// A header line longer than this is no request.
inline constexpr qsizetype maximumHeaderBytes = 1024 * 1024;

struct RequestHeader {
    QStringList arguments;
    qsizetype inputBytes = 0;
    bool operator==(const RequestHeader&) const = default;
};

struct ResponseHeader {
    int status = 0;
    QString message;
    qsizetype outputBytes = 0;
    bool operator==(const ResponseHeader&) const = default;
};

// With the line feed.
QByteArray encode(const RequestHeader& header);
QByteArray encode(const ResponseHeader& header);
// Nothing for a line that is not one (the line feed may be there or not).
std::optional<RequestHeader> requestHeader(const QByteArray& line);
std::optional<ResponseHeader> responseHeader(const QByteArray& line);

}  // namespace CommandProtocol

}  // namespace orv
