#include "store/Error.h"
#include "store/HistoryStore.h"

#include <QCoreApplication>
#include <QCoro/QCoroFuture>
#include <QCoro/QCoroTask>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

using namespace orv;

// The model awaits the store from coroutines on the main thread; they must resume there, with the
// results and errors of the worker.
TEST(HistoryStoreAwait, CoroutinesResumeOnTheMainThreadWithResultsAndErrors) {
    // The store's worker needs the application, made by the test program's main.
    QCoreApplication* app = QCoreApplication::instance();
    ASSERT_NE(app, nullptr);
    QTemporaryDir temp;
    HistoryStore store(temp.filePath("history.db"), temp.filePath("images"));

    QList<QThread*> resumedOn;
    QList<Clip> listed;
    QString error;
    auto run = [&]() -> QCoro::Task<> {
        co_await store.upsert(ClipKind::text, "uno", std::nullopt, std::nullopt, std::nullopt,
                              QDateTime::currentDateTimeUtc());
        resumedOn.append(QThread::currentThread());
        listed = co_await store.clips(QString());
        resumedOn.append(QThread::currentThread());
        co_await store.close();
        try {
            co_await store.clips(QString());
        } catch (const Error& e) {
            error = e.message();
        }
        resumedOn.append(QThread::currentThread());
    };
    QCoro::waitFor(run());

    EXPECT_EQ(resumedOn, QList<QThread*>(3, app->thread()));
    ASSERT_EQ(listed.size(), 1);
    EXPECT_EQ(listed.first().value, "uno");
    EXPECT_EQ(error, "Error de SQLite") << "a closed store refuses further work";
}
