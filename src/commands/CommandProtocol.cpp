#include "commands/CommandProtocol.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace orv {

namespace CommandProtocol {

namespace {

QByteArray line(const QJsonObject& object) {
    return QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
}

std::optional<QJsonObject> object(const QByteArray& line) {
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(line.trimmed(), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) {
        return std::nullopt;
    }
    return document.object();
}

// A byte count: a whole number, not negative.
std::optional<qsizetype> count(const QJsonValue& value) {
    const double number = value.toDouble(-1);
    if (!value.isDouble() || number < 0 || number > 1e15 || number != qsizetype(number)) {
        return std::nullopt;
    }
    return qsizetype(number);
}

}  // namespace

QByteArray encode(const RequestHeader& header) {
    return line({{QStringLiteral("arguments"), QJsonArray::fromStringList(header.arguments)},
                 {QStringLiteral("input"), double(header.inputBytes)}});
}

QByteArray encode(const ResponseHeader& header) {
    return line({{QStringLiteral("status"), header.status},
                 {QStringLiteral("message"), header.message},
                 {QStringLiteral("output"), double(header.outputBytes)}});
}

std::optional<RequestHeader> requestHeader(const QByteArray& line) {
    const auto fields = object(line);
    if (!fields || !fields->value(QStringLiteral("arguments")).isArray()) {
        return std::nullopt;
    }
    const auto input = count(fields->value(QStringLiteral("input")));
    if (!input) {
        return std::nullopt;
    }
    RequestHeader header;
    header.inputBytes = *input;
    for (const QJsonValue& argument : fields->value(QStringLiteral("arguments")).toArray()) {
        if (!argument.isString()) {
            return std::nullopt;
        }
        header.arguments.append(argument.toString());
    }
    return header;
}

std::optional<ResponseHeader> responseHeader(const QByteArray& line) {
    const auto fields = object(line);
    if (!fields) {
        return std::nullopt;
    }
    const auto output = count(fields->value(QStringLiteral("output")));
    const QJsonValue status = fields->value(QStringLiteral("status"));
    if (!output || !status.isDouble()) {
        return std::nullopt;
    }
    return ResponseHeader{status.toInt(1), fields->value(QStringLiteral("message")).toString(),
                          *output};
}

}  // namespace CommandProtocol

}  // namespace orv
