#include "commands/CommandLine.h"
#include "commands/CommandProtocol.h"
#include "commands/SingleInstance.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <unistd.h>

using namespace orv;
using Action = CommandLine::Parsed::Action;
using CommandLine::Verb;

namespace {

CommandLine::Parsed parse(const QString& line) {
    return CommandLine::parse(line.isEmpty() ? QStringList() : line.split(u' '));
}

}  // namespace

TEST(CommandLine, ReadsOptionsAndSubcommands) {
    EXPECT_EQ(parse("").action, Action::launch);
    EXPECT_FALSE(parse("").toggle);
    EXPECT_TRUE(parse("--toggle").toggle);
    EXPECT_TRUE(parse("--service").service);
    EXPECT_EQ(parse("--toggle --help").action, Action::help);
    EXPECT_EQ(parse("-v").action, Action::version);
    EXPECT_EQ(parse("list --kind imagen --help").action, Action::help);

    const auto list = parse("list --limit 5 --kind=archivos --search a=b --json");
    ASSERT_EQ(list.action, Action::command) << list.error.toStdString();
    EXPECT_EQ(list.request.verb, Verb::list);
    EXPECT_EQ(list.request.limit, 5);
    EXPECT_EQ(list.request.kind, ClipKind::files);
    EXPECT_EQ(list.request.search, "a=b");
    EXPECT_TRUE(list.request.json);
    EXPECT_EQ(CommandLine::parse({"list", "--search", "dos palabras"}).request.search,
              "dos palabras");

    for (const auto& [word, verb] : {std::pair{"get", Verb::get},
                                     {"copy", Verb::copy},
                                     {"delete", Verb::remove},
                                     {"pin", Verb::pin},
                                     {"unpin", Verb::unpin}}) {
        const auto parsed = CommandLine::parse({word, "42"});
        EXPECT_EQ(parsed.action, Action::command) << word;
        EXPECT_EQ(parsed.request.verb, verb) << word;
        EXPECT_EQ(parsed.request.id, 42) << word;
        EXPECT_EQ(CommandLine::verbName(verb), word);
    }
    // After "--" nothing is an option.
    const auto ended = parse("get -- 42");
    ASSERT_EQ(ended.action, Action::command) << ended.error.toStdString();
    EXPECT_EQ(ended.request.id, 42);
    for (const char* word : {"add", "clear", "pause", "resume", "toggle", "status", "quit"}) {
        EXPECT_EQ(CommandLine::parse({word}).action, Action::command) << word;
    }
    EXPECT_EQ(parse("status --json").request.verb, Verb::status);
    EXPECT_TRUE(parse("status --json").request.json);
    EXPECT_EQ(parse("quit").request.verb, Verb::quit);

    // NUL-ended records, and a MIME type for standard input (as MIME spells it, in any case).
    EXPECT_TRUE(parse("list -0").request.null);
    EXPECT_EQ(parse("list --null --limit 3").request, parse("list --limit 3 -0").request);
    for (const char* type :
         {"text/plain", "text/html", "text/uri-list", "image/png", "image/jpeg"}) {
        const auto added = CommandLine::parse({"add", "--type", type});
        ASSERT_EQ(added.action, Action::command) << type << added.error.toStdString();
        EXPECT_EQ(added.request.type, type);
    }
    EXPECT_EQ(CommandLine::parse({"add", "--type=Text/Plain; charset=UTF-8"}).request.type,
              "text/plain;charset=utf-8");
}

TEST(CommandLine, UsageErrorsSayWhatIsWrong) {
    const std::pair<const char*, const char*> cases[] = {
        {"--nada", "opción desconocida «--nada»"},
        {"--toggle list", "«list» debe ir primero"},
        {"borrar 3", "orden desconocida «borrar»"},
        {"get", "falta el id del clip: orvantide get ID"},
        {"delete abc", "«abc» no es un id"},
        {"pin -3", "«-3» no es un id"},
        {"pin 0", "«0» no es un id"},
        {"get 1 2", "sobra «2»"},
        {"get 99999999999999999999", "no es un id"},
        {"add texto", "sobra «texto»"},
        {"copy 1 --json", "opción desconocida «--json» para «copy»"},
        {"list --limit", "--limit necesita un valor"},
        {"list --limit -2", "número entero positivo, no «-2»"},
        {"list --limit 2x", "no «2x»"},
        {"list --kind video", "--kind admite texto, imagen, color o archivos, no «video»"},
        {"list algo", "sobra «algo»"},
        {"list -- --json", "sobra «--json»"},
        {"list --json -0", "--json y --null no van juntos"},
        {"add --type", "--type necesita un valor"},
        {"add --type application/pdf",
         "--type admite text/plain, text/html, text/uri-list o un "
         "tipo de imagen (image/png, image/jpeg…), no "
         "«application/pdf»"},
        {"add --type image/x-nada", "no «image/x-nada»"},
        {"status --limit 3", "opción desconocida «--limit» para «status»"},
        {"quit ahora", "sobra «ahora»"},
    };
    for (const auto& [line, message] : cases) {
        const auto parsed = parse(QString::fromUtf8(line));
        EXPECT_EQ(parsed.action, Action::usage) << line;
        EXPECT_TRUE(parsed.error.contains(QString::fromUtf8(message)))
            << line << ": " << parsed.error.toStdString();
    }
}

TEST(CommandLine, InputForAddMustBeWhatItsTypeSays) {
    for (const char* type : {"", "text/plain", "text/html", "text/uri-list"}) {
        EXPECT_TRUE(CommandLine::inputError("ñandú", type).isEmpty()) << type;
        EXPECT_TRUE(CommandLine::inputError(QByteArray("a\0b", 3), type).contains("no es texto"))
            << type;
        EXPECT_TRUE(CommandLine::inputError("\xff\x80", type).contains("no es texto")) << type;
        EXPECT_TRUE(CommandLine::inputError(" \n\t", type).contains("vacía")) << type;
        EXPECT_TRUE(CommandLine::inputError({}, type).contains("vacía")) << type;
    }
    EXPECT_TRUE(CommandLine::inputError("\xc3", "").contains("no es texto")) << "cut mid-character";
    EXPECT_TRUE(CommandLine::inputError({}, "image/png").contains("vacía"));
    EXPECT_TRUE(CommandLine::inputError(QByteArray(CommandLine::maximumInputBytes + 1, 'a'), "")
                    .contains("16 MiB"));
    // As browsers and file managers write them: HTML in UTF-16 after its mark, a list ending in
    // NUL.
    EXPECT_TRUE(CommandLine::inputError(QByteArray("\xff\xfe<\0b\0>\0", 8), "text/html").isEmpty());
    EXPECT_TRUE(
        CommandLine::inputError(QByteArray("file:///tmp\r\n\0", 14), "text/uri-list").isEmpty());
}

TEST(CommandProtocol, HeadersGoAndComeBackAndNonsenseIsRefused) {
    const CommandProtocol::RequestHeader request{{"list", "--search", "línea\ncon salto"}, 12};
    const QByteArray requestLine = CommandProtocol::encode(request);
    EXPECT_EQ(requestLine.count('\n'), 1);
    EXPECT_TRUE(requestLine.endsWith('\n'));
    EXPECT_EQ(CommandProtocol::requestHeader(requestLine), request);

    const CommandProtocol::ResponseHeader response{1, "no hay ningún clip con el id 7", 0};
    EXPECT_EQ(CommandProtocol::responseHeader(CommandProtocol::encode(response)), response);

    for (const QByteArray& bad : {QByteArray("toggle\n"), QByteArray("{}"),
                                  QByteArray("{\"arguments\":\"list\",\"input\":0}"),
                                  QByteArray("{\"arguments\":[1],\"input\":0}"),
                                  QByteArray("{\"arguments\":[],\"input\":-1}"),
                                  QByteArray("{\"arguments\":[],\"input\":1.5}")}) {
        EXPECT_FALSE(CommandProtocol::requestHeader(bad)) << bad.constData();
    }
    EXPECT_FALSE(CommandProtocol::responseHeader("{\"status\":0}"));
}

TEST(SingleInstance, EverySpellingOfADisplayNamesOneSession) {
    for (const char* local :
         {":3", ":3.0", ":03.1", "unix:3", "unix/:3", "unix/unix:3.0", "/tmp/.X11-unix/X3"}) {
        EXPECT_EQ(SingleInstance::sessionName(local, "wayland-1"), "_3") << local;
    }
    EXPECT_EQ(SingleInstance::sessionName("localhost:10.0", {}), "localhost_10");
    EXPECT_EQ(SingleInstance::sessionName("tcp/otra:2", {}), "otra_2");
    EXPECT_EQ(SingleInstance::sessionName({}, "wayland-1"), "wayland-1");
    EXPECT_EQ(SingleInstance::sessionName({}, "/run/user/1000/wayland-0"), "wayland-0");
    EXPECT_EQ(SingleInstance::sessionName({}, {}), "");
    EXPECT_EQ(SingleInstance::sessionName("../../x", {}), ".._.._x") << "never a path";
}

TEST(SingleInstance, WithoutARuntimeFolderTheSocketLivesInAPrivateFolderOnly) {
    QTemporaryDir temp;
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    const QByteArray tmpdir = qgetenv("TMPDIR");
    qunsetenv("XDG_RUNTIME_DIR");
    qputenv("TMPDIR", QFile::encodeName(temp.path()));
    const QString folder = temp.path() + "/orvantide-" + QString::number(getuid());
    EXPECT_TRUE(SingleInstance::standardName().startsWith(folder + "/orvantide-"));
    EXPECT_EQ(QFileInfo(folder).permissions(), QFile::ReadOwner | QFile::WriteOwner |
                                                   QFile::ExeOwner | QFile::ReadUser |
                                                   QFile::WriteUser | QFile::ExeUser);
    // Opened to others (or another user's): never used.
    QFile::setPermissions(folder, QFileInfo(folder).permissions() | QFile::WriteOther);
    EXPECT_FALSE(SingleInstance::standardName().startsWith(folder + "/orvantide-"));
    EXPECT_TRUE(SingleInstance::refusal().contains(folder));
    qputenv("XDG_RUNTIME_DIR", runtime);
    qputenv("TMPDIR", tmpdir);
}
