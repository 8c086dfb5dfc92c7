#pragma once

// The command line's requests as they reach the instance over its socket or D-Bus: the header
// line, then the arguments it carries.
#include "FuzzEntries.h"
#include "commands/CommandLine.h"
#include "commands/CommandProtocol.h"

namespace orv {

namespace FuzzEntries {

// ---- subcommands ------------------------------------------------------------------------------

inline void checkArguments(const QStringList& arguments) {
    const CommandLine::Parsed parsed = CommandLine::parse(arguments);
    ORV_FUZZ_EXPECT((parsed.action == CommandLine::Parsed::Action::usage) ==
                    !parsed.error.isEmpty());
    if (parsed.action != CommandLine::Parsed::Action::command) {
        return;
    }
    const CommandLine::Request& request = parsed.request;
    ORV_FUZZ_EXPECT(!request.limit || *request.limit > 0);
    // Once read, the request is the same when read again from its own words.
    QStringList again{CommandLine::verbName(request.verb)};
    ORV_FUZZ_EXPECT(CommandLine::parse(again).action != CommandLine::Parsed::Action::launch);
}

inline void command(QByteArrayView input) {
    const QByteArray bytes = input.toByteArray();
    // A header line, as the socket gives it.
    if (const auto request = CommandProtocol::requestHeader(bytes)) {
        ORV_FUZZ_EXPECT(request->inputBytes >= 0);
        ORV_FUZZ_EXPECT(CommandProtocol::requestHeader(CommandProtocol::encode(*request)) ==
                        request);
        checkArguments(request->arguments);
    }
    if (const auto response = CommandProtocol::responseHeader(bytes)) {
        ORV_FUZZ_EXPECT(response->outputBytes >= 0);
        ORV_FUZZ_EXPECT(CommandProtocol::responseHeader(CommandProtocol::encode(*response)) ==
                        response);
    }
    // The same bytes as arguments, one between NULs, as D-Bus's array of strings gives them.
    QStringList arguments;
    for (const QByteArray& argument : bytes.split('\0')) {
        arguments.append(QString::fromUtf8(argument));
    }
    checkArguments(arguments);
    (void)CommandLine::inputError(bytes, QString());
    (void)CommandLine::inputError(bytes, QStringLiteral("text/plain"));
}

}  // namespace FuzzEntries

}  // namespace orv
