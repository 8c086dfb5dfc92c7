#include "commands/SingleInstance.h"
#include "launcher/InstanceSocket.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

using namespace orv;

namespace {

constexpr uid_t kNobody = 65534;

// Sets the variables for its lifetime; nothing stands for unset.
class Environment {
public:
    Environment(std::initializer_list<std::pair<const char*, std::optional<std::string>>> values) {
        for (const auto& [name, value] : values) {
            const char* old = std::getenv(name);
            m_saved.push_back({name, old ? std::optional<std::string>(old) : std::nullopt});
            set(name, value);
        }
    }
    ~Environment() {
        for (const auto& [name, value] : m_saved) {
            set(name, value);
        }
    }

private:
    static void set(const char* name, const std::optional<std::string>& value) {
        if (value) {
            ::setenv(name, value->c_str(), 1);
        } else {
            ::unsetenv(name);
        }
    }
    std::vector<std::pair<const char*, std::optional<std::string>>> m_saved;
};

std::string path(const QTemporaryDir& dir, const QString& name = {}) {
    return QFile::encodeName(name.isEmpty() ? dir.path() : dir.filePath(name)).toStdString();
}

// What a running instance shows the launcher: the lock held, the socket listened on.
struct FakeInstance {
    explicit FakeInstance(std::string socketPath) : socket(std::move(socketPath)) {
        lock = ::open((socket + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        EXPECT_EQ(::flock(lock, LOCK_EX | LOCK_NB), 0);
        listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        socket.copy(address.sun_path, sizeof(address.sun_path) - 1);
        EXPECT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
        EXPECT_EQ(::listen(listener, 8), 0);
    }
    ~FakeInstance() {
        ::close(listener);
        ::close(lock);
        ::unlink(socket.c_str());
    }
    void releaseLock() { ::flock(lock, LOCK_UN); }
    // What the next connection sent before it closed; nothing when none came within the wait.
    std::optional<std::string> received(int waitMs = 30000) {
        pollfd incoming{listener, POLLIN, 0};
        if (::poll(&incoming, 1, waitMs) != 1) {
            return std::nullopt;
        }
        const int connection = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
        std::string text;
        char buffer[64];
        for (ssize_t count; (count = ::read(connection, buffer, sizeof(buffer))) > 0;) {
            text.append(buffer, size_t(count));
        }
        ::close(connection);
        return text;
    }

    std::string socket;
    int lock = -1;
    int listener = -1;
};

struct Outcome {
    int status = -1;
    QByteArray errors;
};

Outcome runWith(const QString& program, const QStringList& arguments,
                const QTemporaryDir& runtime) {
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_RUNTIME_DIR", runtime.path());
    environment.insert("DISPLAY", ":9");
    environment.remove("WAYLAND_DISPLAY");
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    EXPECT_TRUE(process.waitForFinished(60000)) << program.toStdString();
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            process.readAllStandardError()};
}

}  // namespace

TEST(Launcher, NamesEverySessionAsTheProgramDoes) {
    for (const char* display : {"",
                                ":0",
                                ":0.0",
                                ":03.1",
                                "host:1",
                                "host:1.2",
                                "unix:3",
                                "unix/:3",
                                "unix/unix:3.0",
                                "tcp/otra:2",
                                "tcp/a/b:1",
                                "/a:1",
                                ":",
                                ":x",
                                ":1.",
                                ":1.x",
                                ":1:2",
                                "h o:1",
                                ":99999999999",
                                ":4294967295",
                                ":4294967296",
                                ":0\n",
                                "\n:0",
                                "/tmp/.X11-unix/X5",
                                "//X7",
                                "/X7",
                                "/tmp/X7",
                                "/tmp/.X11-unix/X",
                                "/tmp/a\n/X1",
                                "/tmp/.X11-unix/X2\n",
                                "../../x",
                                "weird name!",
                                "a.b-c_d"}) {
        for (const char* wayland :
             {"", "wayland-1", "/run/user/1000/wayland-0", "wl/", "a b", "../x"}) {
            const auto ours = launcher::sessionName(display, wayland);
            ASSERT_TRUE(ours) << display << " " << wayland;
            EXPECT_EQ(*ours, SingleInstance::sessionName(QString::fromUtf8(display),
                                                         QString::fromUtf8(wayland))
                                 .toStdString())
                << "DISPLAY=" << display << " WAYLAND_DISPLAY=" << wayland;
        }
    }
    // Left to the program, which reads them as text.
    EXPECT_FALSE(launcher::sessionName("año:0", ""));
    EXPECT_FALSE(launcher::sessionName("", "wayland-ñ"));
}

TEST(Launcher, FindsTheSocketWhereTheProgramDoes) {
    QTemporaryDir runtime;
    QTemporaryDir temporary;
    QTemporaryDir others;
    ASSERT_TRUE(runtime.isValid() && temporary.isValid() && others.isValid());
    QFile file(runtime.filePath("a-file"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    ASSERT_TRUE(QFile::link(temporary.path(), runtime.filePath("linked")));
    const bool root = ::getuid() == 0;
    // Another user's folder, and in it a private folder named as ours but also theirs.
    const std::string othersFolder = path(others, "orvantide-" + QString::number(::getuid()));
    ASSERT_EQ(::mkdir(othersFolder.c_str(), 0700), 0);
    if (root) {
        ASSERT_EQ(::chown(QFile::encodeName(others.path()).constData(), kNobody, kNobody), 0);
        ASSERT_EQ(::chown(othersFolder.c_str(), kNobody, kNobody), 0);
    }

    struct Row {
        std::optional<std::string> runtime, temporary, display, wayland;
        // Whether the launcher can tell, or leaves it to the program.
        bool tells;
    };
    const std::optional<std::string> unset;
    const std::string ownFolder = path(temporary, "orvantide-" + QString::number(::getuid()));
    std::vector<Row> rows = {
        {path(runtime), unset, ":0", unset, true},
        {path(runtime) + "/", unset, ":0.0", "wayland-1", true},
        {path(runtime), unset, "host:1", unset, true},
        {path(runtime), unset, unset, "wayland-1", true},
        {path(runtime), unset, "", "/run/user/1000/wayland-0", true},
        {path(runtime), unset, "/tmp/.X11-unix/X3", unset, true},
        {path(runtime, "linked"), unset, ":0", unset, true},
        // Neither display: the program looks among the lock files.
        {path(runtime), unset, unset, unset, false},
        {path(runtime), unset, "", "wl/", false},
        {path(runtime), unset, "año:0", unset, false},
        // Not a folder, or not there: the private folder in the temporary one, once made.
        {path(runtime, "a-file"), path(temporary), ":0", unset, true},
        {path(runtime, "missing"), path(temporary), ":0", unset, true},
        {"", path(temporary), ":0", unset, true},
        {unset, path(temporary), ":0", unset, true},
        {unset, path(runtime, "linked"), ":0", unset, true},
        {unset, path(temporary) + "/", "host:1", unset, true},
        {":resource", path(temporary), ":0", unset, false},
    };
    if (root) {
        // Another user's runtime folder is still the folder; the socket's owner is checked later.
        rows.push_back({path(others), unset, ":0", unset, true});
        rows.push_back({unset, path(others), ":0", unset, false});
    } else {
        ADD_FAILURE() << "another user's folders need root: those rows were not run";
    }
    for (const Row& row : rows) {
        const std::string what = "XDG_RUNTIME_DIR=" + row.runtime.value_or("(unset)") +
                                 " TMPDIR=" + row.temporary.value_or("(unset)") +
                                 " DISPLAY=" + row.display.value_or("(unset)") +
                                 " WAYLAND_DISPLAY=" + row.wayland.value_or("(unset)");
        const Environment environment{{"XDG_RUNTIME_DIR", row.runtime},
                                      {"TMPDIR", row.temporary},
                                      {"DISPLAY", row.display},
                                      {"WAYLAND_DISPLAY", row.wayland}};
        // First, so that the private folder the program makes is there.
        const QString program = SingleInstance::standardName();
        const auto ours = launcher::instanceSocketPath();
        if (row.tells) {
            EXPECT_EQ(ours, std::optional(QFile::encodeName(program).toStdString())) << what;
        } else {
            EXPECT_FALSE(ours) << what << " gave " << ours.value_or("");
        }
    }

    // The private folder opened to others: the program refuses it, and so nothing is found.
    ASSERT_EQ(::chmod(ownFolder.c_str(), 0770), 0);
    const Environment environment{{"XDG_RUNTIME_DIR", unset},
                                  {"TMPDIR", path(temporary)},
                                  {"DISPLAY", ":0"},
                                  {"WAYLAND_DISPLAY", unset}};
    EXPECT_FALSE(SingleInstance::refusal().isEmpty());
    EXPECT_FALSE(launcher::instanceSocketPath());
}

TEST(Launcher, TogglesOnlyAnInstanceThatRunsAndIsThisUsers) {
    QTemporaryDir runtime;
    ASSERT_TRUE(runtime.isValid());
    const std::string socket = path(runtime, "orvantide-_9.socket");
    EXPECT_FALSE(launcher::toggleRunningInstance(socket)) << "nothing there";
    {
        FakeInstance instance(socket);
        EXPECT_TRUE(launcher::toggleRunningInstance(socket));
        EXPECT_EQ(instance.received(), "toggle\n");

        instance.releaseLock();
        EXPECT_FALSE(launcher::toggleRunningInstance(socket)) << "no lock held";
        EXPECT_FALSE(instance.received(0)) << "it connected although no instance holds the lock";
        ASSERT_EQ(::flock(instance.lock, LOCK_EX | LOCK_NB), 0);

        if (::getuid() == 0) {
            ASSERT_EQ(::chown(socket.c_str(), kNobody, kNobody), 0);
            EXPECT_FALSE(launcher::toggleRunningInstance(socket)) << "another user's socket";
            EXPECT_EQ(instance.received(), "") << "a request went to another user's socket";
        } else {
            ADD_FAILURE() << "another user's socket needs root: not tried";
        }
    }
    // Held, but nothing listens yet (an instance still starting): the program waits for it.
    const int lock = ::open((socket + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    ASSERT_EQ(::flock(lock, LOCK_EX | LOCK_NB), 0);
    EXPECT_FALSE(launcher::toggleRunningInstance(socket));
    ::close(lock);
}

TEST(Launcher, HandsAToggleOverWithoutLoadingTheProgram) {
    QTemporaryDir runtime;
    QTemporaryDir alone;
    ASSERT_TRUE(runtime.isValid() && alone.isValid());
    // The executable without the library beside it, nor installed relative to it.
    const QString copy = alone.filePath("orvantide");
    ASSERT_TRUE(QFile::copy(ORV_PROGRAM, copy));
    {
        FakeInstance instance(path(runtime, "orvantide-_9.socket"));
        for (const QString& spelling : {QStringLiteral("--toggle"), QStringLiteral("toggle")}) {
            const Outcome toggle = runWith(copy, {spelling}, runtime);
            EXPECT_EQ(toggle.status, 0) << spelling.toStdString() << toggle.errors.constData();
            EXPECT_EQ(instance.received(), "toggle\n") << spelling.toStdString();
        }
        // Anything more is the program's to read.
        const Outcome more = runWith(copy, {"--toggle", "--toggle"}, runtime);
        EXPECT_EQ(more.status, 1);
        EXPECT_FALSE(instance.received(0));
        instance.releaseLock();
        const Outcome unlocked = runWith(copy, {"--toggle"}, runtime);
        EXPECT_EQ(unlocked.status, 1);
        EXPECT_TRUE(unlocked.errors.contains("no se puede cargar el programa"))
            << unlocked.errors.constData();
        EXPECT_FALSE(instance.received(0));
    }
    const Outcome version = runWith(copy, {"--version"}, runtime);
    EXPECT_EQ(version.status, 1);
    EXPECT_TRUE(version.errors.startsWith("orvantide: no se puede cargar el programa " +
                                          QFile::encodeName(alone.path()).toStdString()))
        << version.errors.constData();

    // Where it was built, the program is beside it.
    QProcess built;
    built.start(ORV_PROGRAM, {"--version"});
    ASSERT_TRUE(built.waitForFinished(60000));
    EXPECT_EQ(built.exitCode(), 0) << built.readAllStandardError().constData();
    EXPECT_TRUE(built.readAllStandardOutput().startsWith("Orvantide ")) << ORV_PROGRAM;

    // Nothing of Qt among the libraries the executable needs.
    QProcess needed;
    needed.start("readelf", {"--dynamic", ORV_PROGRAM});
    ASSERT_TRUE(needed.waitForFinished(60000));
    const QByteArray table = needed.readAllStandardOutput();
    EXPECT_TRUE(table.contains("(NEEDED)")) << table.constData();
    EXPECT_FALSE(table.contains("libQt")) << table.constData();
}
