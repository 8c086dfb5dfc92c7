#include "store/ClipIdentity.h"
#include "store/Error.h"
#include "store/HistoryStore.h"
#include "support/RawDatabase.h"
#include "support/TestImages.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QThread>
#include <QUuid>

#include <gtest/gtest.h>

#include <thread>

#include <sys/stat.h>
#include <unistd.h>

using namespace orv;

namespace {

// A name as the store gives its image files.
QString ownName(const char* suffix = ".png") {
    return QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper() + suffix;
}

class HistoryStoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(temp.isValid());
        store = std::make_unique<HistoryStore>(databasePath(), imagesPath());
    }

    QString supportPath() const { return temp.filePath("support"); }
    QString databasePath() const { return temp.filePath("support/history.db"); }
    QString imagesPath() const { return temp.filePath("support/images"); }

    // Minutes before now, so that retention never touches what a test did not age on purpose.
    static QDateTime at(int minutesAgo) {
        return QDateTime::fromMSecsSinceEpoch(base - qint64(minutesAgo) * 60'000, Qt::UTC);
    }

    void text(const QString& value, int minutesAgo, const std::optional<QString>& html = {},
              const std::optional<QString>& source = {}) {
        store->upsert(ClipKind::text, value, html, {}, source, at(minutesAgo)).waitForFinished();
    }
    void image(const QByteArray& bytes, int minutesAgo, const std::optional<QString>& source = {}) {
        store->recordImage(bytes, source, at(minutesAgo)).waitForFinished();
    }
    QList<Clip> list(const QString& search = {}) { return store->clips(search).result(); }
    QStringList values(const QString& search = {}) {
        QStringList out;
        for (const Clip& clip : list(search)) {
            out.append(clip.value);
        }
        return out;
    }
    qint64 idOf(const QString& value) {
        for (const Clip& clip : list()) {
            if (clip.value == value) {
                return clip.id;
            }
        }
        ADD_FAILURE() << "no clip " << value.toStdString();
        return -1;
    }
    QStringList imageFiles() const {
        return QDir(imagesPath()).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    }
    QString writeFile(const QString& relative) const {
        const QString path = QDir(temp.path()).absoluteFilePath(relative);
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("x");
        return path;
    }
    // Makes every delete of the table fail, as a locked or damaged database would.
    void refuseDeletes() {
        RawDatabase::execute(databasePath(),
                             "CREATE TRIGGER refuse BEFORE DELETE ON clips "
                             "BEGIN SELECT RAISE(ABORT, 'borrado rechazado'); END;");
    }

    static inline const qint64 base = QDateTime::currentMSecsSinceEpoch();
    QTemporaryDir temp;
    std::unique_ptr<HistoryStore> store;
};

}  // namespace

TEST_F(HistoryStoreTest, OpeningCreatesAPrivateHistory) {
    EXPECT_EQ(QFileInfo(supportPath()).permissions() & 0x0777, QFile::Permissions(0x0700));
    EXPECT_EQ(QFileInfo(imagesPath()).permissions() & 0x0777, QFile::Permissions(0x0700));
    text("secreto", 0);
    const auto others = QFile::ReadGroup | QFile::WriteGroup | QFile::ReadOther | QFile::WriteOther;
    for (const QString& file : {databasePath(), databasePath() + "-wal"}) {
        ASSERT_TRUE(QFileInfo::exists(file)) << file.toStdString();
        EXPECT_EQ(QFileInfo(file).permissions() & others, QFile::Permissions())
            << file.toStdString();
    }
    EXPECT_EQ(RawDatabase::scalar(databasePath(), "PRAGMA journal_mode"), "wal");
    EXPECT_EQ(store->imageDirectory(), QDir::cleanPath(imagesPath()));

    // Reopening keeps what was stored.
    store.reset();
    store = std::make_unique<HistoryStore>(databasePath(), imagesPath());
    EXPECT_EQ(values(), QStringList{"secreto"});
}

TEST_F(HistoryStoreTest, UpsertRefreshesTheSameValueKeepingIdAndPin) {
    text("hola", 10, QStringLiteral("<b>hola</b>"), QStringLiteral("Editor"));
    const qint64 id = idOf("hola");
    store->togglePinned(id).waitForFinished();
    ASSERT_EQ(store->clip(id).result()->html, QStringLiteral("<b>hola</b>"));

    text("hola", 2);
    const QList<Clip> clips = list();
    ASSERT_EQ(clips.size(), 1);
    EXPECT_EQ(clips[0].id, id);
    EXPECT_TRUE(clips[0].pinned);
    EXPECT_EQ(clips[0].createdAt, at(2));
    EXPECT_EQ(clips[0].source, std::nullopt);
    EXPECT_EQ(clips[0].html, std::nullopt) << "the list never carries html";
    const auto full = store->clip(id).result();
    ASSERT_TRUE(full);
    EXPECT_EQ(full->html, std::nullopt) << "a copy without html clears the old one";

    // A new kind replaces the old one; the row and its place stay.
    store->upsert(ClipKind::color, "hola", {}, {}, {}, at(1)).waitForFinished();
    EXPECT_EQ(store->clip(id).result()->kind, ClipKind::color);
    EXPECT_FALSE(store->clip(id + 100).result());
}

TEST_F(HistoryStoreTest, ValuesWithNulCharactersSurviveWhole) {
    const QString a = QStringLiteral("antes") + QChar(u'\0') + QStringLiteral("después");
    const QString b = QStringLiteral("antes") + QChar(u'\0') + QStringLiteral("otro");
    const QString html = QStringLiteral("<p>") + QChar(u'\0') + QStringLiteral("</p>");
    text(a, 2, html);
    text(b, 1);
    EXPECT_EQ(values(), (QStringList{b, a}));
    const auto full = store->clip(idOf(a)).result();
    ASSERT_TRUE(full);
    EXPECT_EQ(full->value, a);
    EXPECT_EQ(full->html, html);
    EXPECT_EQ(values(QStringLiteral("DESPUÉS")), QStringList{a});
}

TEST_F(HistoryStoreTest, OperationsRunInTheOrderTheyWereAsked) {
    QList<QFuture<void>> pending;
    for (int i = 0; i < 50; ++i) {
        pending.append(QFuture<void>(
            store->upsert(ClipKind::text, QString::number(i), {}, {}, {}, at(100 - i))));
    }
    pending.append(store->togglePinned(1));
    pending.append(store->deleteClip(2));
    const QList<Clip> clips = store->clips({}).result();
    for (auto& future : pending) {
        EXPECT_TRUE(future.isFinished());
    }
    ASSERT_EQ(clips.size(), 49);
    EXPECT_EQ(clips.first().id, 1);
    EXPECT_TRUE(clips.first().pinned);
    EXPECT_EQ(clips.at(1).value, "49");
    EXPECT_EQ(clips.last().value, "2");
}

TEST_F(HistoryStoreTest, ListingSortsPinnedFirstThenNewest) {
    text("viejo", 30);
    text("medio", 20);
    text("nuevo", 10);
    store->togglePinned(idOf("viejo")).waitForFinished();
    EXPECT_EQ(values(), (QStringList{"viejo", "nuevo", "medio"}));
    store->togglePinned(idOf("viejo")).waitForFinished();
    EXPECT_EQ(values(), (QStringList{"nuevo", "medio", "viejo"}));
    store->togglePinned(9999).waitForFinished();  // no such row: nothing happens
    EXPECT_EQ(list().size(), 3);
}

TEST_F(HistoryStoreTest, TheListingReadsWhatRowsDrawInTheSameOrderAndMatches) {
    const QString longText = QString(Clip::listedCharacters, u'x') + QStringLiteral(" Agujá");
    const QString files = QStringLiteral("/tmp/").repeated(600) + QStringLiteral("a\n/tmp/b");
    text(longText, 40, QStringLiteral("<b>x</b>"));
    store->upsert(ClipKind::files, files, {}, {}, {}, at(30)).waitForFinished();
    text("corto", 20);
    store->togglePinned(idOf("corto")).waitForFinished();
    const auto listing = [this](const QString& search, int limit = -1) {
        return store->listing(search, limit, {}).result();
    };
    const QList<Clip> all = listing({});
    ASSERT_EQ(all.size(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(all[i].id, list()[i].id);
    }
    EXPECT_FALSE(all[0].partial);
    EXPECT_EQ(all[1].value, files) << "a files list is read whole";
    EXPECT_FALSE(all[1].partial);
    EXPECT_EQ(all[2].value, longText.left(Clip::listedCharacters));
    EXPECT_TRUE(all[2].partial);
    EXPECT_EQ(all[2].html, std::nullopt);
    EXPECT_EQ(listing(QStringLiteral("aguja")).size(), 1) << "matched beyond what is read";
    RawDatabase::execute(databasePath(),
                         "UPDATE clips SET value = value || ' zafiro' WHERE value LIKE 'xxx%';");
    EXPECT_EQ(listing(QStringLiteral("zafiro")).size(), 1) << "changed by another program";
    RawDatabase::execute(databasePath(), "UPDATE clips SET value = replace(value, ' zafiro', '');");
    EXPECT_EQ(listing({}, 2).size(), 2);
    text("aguja corta", 45);
    EXPECT_EQ(listing(QStringLiteral("aguja"), 1).first().id, all[2].id)
        << "a row matched beyond what is read comes before an older one matched at once";
    store->deleteClip(idOf("aguja corta")).waitForFinished();

    std::stop_source stop;
    stop.request_stop();
    EXPECT_TRUE(store->listing({}, -1, stop.get_token()).result().isEmpty());

    // Rows written behind the store's back (an older build, another program) are listed too,
    // and a value that changes kind is read again.
    store.reset();
    RawDatabase::execute(databasePath(),
                         "DROP TRIGGER clip_heads_insert;"
                         "INSERT INTO clips (kind, value, created_at) "
                         "VALUES ('text', 'ajeno', 1);");
    store = std::make_unique<HistoryStore>(databasePath(), imagesPath());
    store->upsert(ClipKind::files, longText, {}, {}, {}, at(50)).waitForFinished();
    store->deleteClip(idOf("corto")).waitForFinished();
    const QList<Clip> after = listing({});
    ASSERT_EQ(after.size(), 3);
    EXPECT_EQ(after[1].value, longText);
    EXPECT_FALSE(after[1].partial);
    EXPECT_EQ(after[2].value, "ajeno");
}

TEST_F(HistoryStoreTest, TypingOnFindsWhatWasAddedMeanwhile) {
    text("Aguja uno", 30);
    text("aguja dos", 20);
    text("ajo", 10);
    const auto found = [this](const QString& search) {
        QStringList values;
        for (const Clip& clip : store->listing(search, -1, {}).result()) {
            values.append(clip.value);
        }
        return values;
    };
    EXPECT_EQ(found("ag"), (QStringList{"aguja dos", "Aguja uno"}));
    text("agujero", 5);
    EXPECT_EQ(found("agu").size(), 3) << "written by the store since";
    RawDatabase::execute(databasePath(),
                         "INSERT INTO clips (kind, value, created_at) "
                         "VALUES ('text', 'agujita', 1);");
    EXPECT_EQ(found("aguj").size(), 4) << "written by another program since";
    EXPECT_EQ(found("aguja"), (QStringList{"aguja dos", "Aguja uno"}));
    EXPECT_EQ(found("ajo"), QStringList{"ajo"});
    store->togglePinned(idOf("Aguja uno")).waitForFinished();
    EXPECT_EQ(found("a"), values("a")) << "in the order of the whole list";

    // The same list asked again, whole or its first rows, is the history as it is now.
    const QStringList whole = found("a");
    EXPECT_EQ(store->listing("a", 2, {}).result().size(), 2);
    EXPECT_EQ(store->listing("a", 2, {}).result().first().value, whole.first());
    RawDatabase::execute(
        databasePath(),
        "INSERT INTO clips (kind, value, created_at) VALUES ('text', 'ajonjolí', 2);");
    EXPECT_EQ(found("a").size(), whole.size() + 1) << "another program wrote";
    store->deleteClip(idOf("ajo")).waitForFinished();
    EXPECT_FALSE(found("a").contains("ajo")) << "the store deleted";
    store->togglePinned(idOf("ajonjolí")).waitForFinished();
    EXPECT_EQ(store->listing("a", 2, {}).result().at(1).value, "ajonjolí")
        << "pinned, after the newer pinned one";
}

TEST_F(HistoryStoreTest, SearchIgnoresCaseAccentsAndSurroundingBlanks) {
    text("say hello there", 5);
    text("goodbye", 4);
    text("Árbol frondoso", 3);
    text("UN ÁRBOL", 2);
    text("arbol sin tilde", 1);
    store->togglePinned(idOf("goodbye")).waitForFinished();

    EXPECT_EQ(values("  HeLLo \n"), QStringList{"say hello there"});
    EXPECT_EQ(values(""), values("   "));
    EXPECT_EQ(values("\n\t "), (QStringList{"goodbye", "arbol sin tilde", "UN ÁRBOL",
                                            "Árbol frondoso", "say hello there"}));
    EXPECT_EQ(values("árbol"), (QStringList{"arbol sin tilde", "UN ÁRBOL", "Árbol frondoso"}));
    EXPECT_EQ(values("ÁRBOL"), values("árbol"));
    EXPECT_EQ(values("arbol"), values("árbol"));
    EXPECT_TRUE(values("ausente").isEmpty());
    // Only the value is searched, not the html or the source.
    text("plain", 0, QStringLiteral("<i>oculto</i>"), QStringLiteral("oculto"));
    EXPECT_TRUE(values("oculto").isEmpty());
}

TEST_F(HistoryStoreTest, SearchFoldsEveryScriptAndSurvivesBrokenText) {
    text("UN PREFIJO LARGO, TODO EN MAYÚSCULAS, Y AL FINAL ÁRBOL", 6);
    text("ΣΟΦΊΑ и ЗНАНИЕ", 5);
    text(QStringLiteral("\u023A mayor que su minúscula"), 4);  // Ⱥ lower-cases to three bytes
    text(QStringLiteral("\U00010400 Deseret"), 3);
    RawDatabase::execute(databasePath(),
                         "INSERT INTO clips (kind, value, created_at) "
                         "VALUES ('text', CAST(X'C3FF414243C3' AS TEXT), 1);");

    EXPECT_EQ(values("mayúsculas, y al final árbol").size(), 1);
    EXPECT_EQ(values("todo en MAYÚSCULAS").size(), 1);
    EXPECT_EQ(values("σοφία").size(), 1);
    EXPECT_EQ(values("знание").size(), 1);
    EXPECT_EQ(values(QStringLiteral("\u2C65 mayor")).size(), 1);
    EXPECT_EQ(values(QStringLiteral("\u023A MAYOR")).size(), 1);
    EXPECT_EQ(values(QStringLiteral("\U00010428 deseret")).size(), 1);
    // Bytes that are not UTF-8 are listed (with replacement characters) and still searchable.
    EXPECT_EQ(values().size(), 5);
    EXPECT_EQ(values("abc").size(), 1);
}

TEST_F(HistoryStoreTest, SearchFindsWordsTypedWithOrWithoutTheirAccents) {
    text("Mi canción favorita", 9);
    text("un café con leche", 8);
    text("arbol sin tilde", 7);
    text("El niño y la cigüeña", 6);
    text("cafe\u0301 en dos partes", 5);
    text("Straße", 4);
    text("una ﬁesta", 3);
    text("canon, caja fuerte, abril", 2);
    // Folds that grow the value many times over, before the words searched for.
    text(QString(QChar(0xFDFA)).repeated(3000) + " y al final EL TEXTO", 1);

    EXPECT_EQ(values("CANCION"), QStringList{"Mi canción favorita"});
    EXPECT_EQ(values("cafe"), (QStringList{"cafe\u0301 en dos partes", "un café con leche"}));
    EXPECT_EQ(values("café"), values("cafe"));
    EXPECT_EQ(values("CAFÉ CON"), QStringList{"un café con leche"});
    // An accented search finds the text written without.
    EXPECT_EQ(values("ÁRBOL"), QStringList{"arbol sin tilde"});
    EXPECT_EQ(values("nino"), QStringList{"El niño y la cigüeña"});
    EXPECT_EQ(values("CIGUEÑA"), values("nino"));
    EXPECT_EQ(values("strasse"), QStringList{"Straße"});
    EXPECT_EQ(values("FIESTA"), QStringList{"una ﬁesta"});
    EXPECT_EQ(values("el texto").size(), 1);

    EXPECT_TRUE(values("canciones").isEmpty());
    EXPECT_TRUE(values("cafes").isEmpty());
    EXPECT_TRUE(values("árboles").isEmpty());
    EXPECT_TRUE(values("niña").isEmpty());
    EXPECT_EQ(values("  ").size(), 9);
}

TEST_F(HistoryStoreTest, UnknownKindsListAsText) {
    RawDatabase::execute(databasePath(),
                         "INSERT INTO clips (kind, value, created_at, pinned) "
                         "VALUES ('sticker', 'raro', 5, 7);"
                         "INSERT INTO clips (kind, value, created_at) VALUES ('files', '/a', 4);");
    const QList<Clip> clips = list();
    ASSERT_EQ(clips.size(), 2);
    EXPECT_EQ(clips[0].kind, ClipKind::text);
    EXPECT_TRUE(clips[0].pinned) << "any non-zero pin counts";
    EXPECT_EQ(clips[0].createdAt, QDateTime::fromMSecsSinceEpoch(5, Qt::UTC));
    EXPECT_EQ(clips[1].kind, ClipKind::files);
}

TEST_F(HistoryStoreTest, ImagesAreStoredOnceAsAPrivateFilePairBesideTheDatabase) {
    const QByteArray png = TestImages::png(800, 400);
    const mode_t umask = ::umask(0);
    image(png, 5, QStringLiteral("Visor"));
    ::umask(umask);
    image(png, 1, QStringLiteral("Navegador"));

    const QList<Clip> clips = list();
    ASSERT_EQ(clips.size(), 1);
    const Clip& clip = clips[0];
    EXPECT_EQ(clip.kind, ClipKind::image);
    EXPECT_EQ(clip.value, ClipIdentity::imageValue(png, 800, 400));
    EXPECT_EQ(clip.source, QStringLiteral("Navegador"));
    EXPECT_EQ(clip.createdAt, at(1));
    ASSERT_TRUE(clip.imagePath);
    const QFileInfo file(*clip.imagePath);
    EXPECT_TRUE(file.isAbsolute());
    EXPECT_EQ(file.absolutePath(), store->imageDirectory());
    static const QRegularExpression upperUuid(
        "^[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}\\.png$");
    EXPECT_TRUE(upperUuid.match(file.fileName()).hasMatch()) << file.fileName().toStdString();

    const QString stem = file.completeBaseName();
    EXPECT_EQ(imageFiles(), (QStringList{stem + ".png", stem + ".thumb.png"}));
    QFile stored(*clip.imagePath);
    ASSERT_TRUE(stored.open(QIODevice::ReadOnly));
    EXPECT_EQ(stored.readAll(), png) << "the image bytes are kept unchanged";
    EXPECT_EQ(QImage(store->imageDirectory() + "/" + stem + ".thumb.png").size(), QSize(360, 180));
    for (const QString& name : imageFiles()) {
        EXPECT_EQ(QFileInfo(imagesPath() + "/" + name).permissions() & 0x0777,
                  QFile::ReadUser | QFile::WriteUser)
            << "whatever the umask";
    }
}

TEST_F(HistoryStoreTest, ImageSizeLimitAndBytesThatAreNoImage) {
    image("abc", 3);
    ASSERT_EQ(values(), QStringList{"image:7aigaz:0x0:3"});
    EXPECT_EQ(imageFiles().size(), 1) << "no thumbnail for bytes that are not an image";
    EXPECT_EQ(list()[0].listTitle(), "Imagen");

    image({}, 2);
    EXPECT_EQ(list().size(), 1);

    const QByteArray limit(maximumImageBytes, 'z');
    image(limit + 'z', 1);
    EXPECT_EQ(list().size(), 1) << "one byte over the limit is dropped";
    image(limit, 1);
    EXPECT_EQ(list().size(), 2) << "exactly the limit is stored";
    EXPECT_TRUE(list()[0].value.endsWith(":0x0:20971520"));
}

TEST_F(HistoryStoreTest, DeleteRemovesTheRowThenItsFiles) {
    image(TestImages::png(10, 10), 3);
    image(TestImages::png(12, 10, Qt::blue), 2);
    text("texto", 1);
    ASSERT_EQ(imageFiles().size(), 4);
    const QList<Clip> clips = list();

    store->deleteClip(clips[1].id).waitForFinished();
    EXPECT_EQ(imageFiles().size(), 2);
    EXPECT_FALSE(QFile::exists(*clips[1].imagePath));

    // A missing thumbnail is no error.
    QFile::remove(clips[2].imagePath->chopped(4) + ".thumb.png");
    store->deleteClip(clips[2].id).waitForFinished();
    EXPECT_TRUE(imageFiles().isEmpty());

    store->deleteClip(clips[0].id).waitForFinished();
    store->deleteClip(424242).waitForFinished();
    EXPECT_TRUE(list().isEmpty());
}

TEST_F(HistoryStoreTest, OnlyTheStoresOwnFilesReallyInsideTheImageFolderAreRemoved) {
    const QString name = ownName();
    const QString sibling = writeFile("support/images-old/" + name);
    const QString escaped = writeFile("outside/" + name);
    const QString escapedThumb = writeFile("outside/" + name.chopped(4) + ".thumb.png");
    const QString inside = writeFile("support/images/" + ownName());
    const QString insideThumb = writeFile(inside.chopped(4) + ".thumb.png");
    const QString notOurs = writeFile("support/images/vacaciones.png");
    // A link inside the folder leads out of it, to a folder or to a file.
    ASSERT_TRUE(QFile::link(temp.filePath("outside"), imagesPath() + "/enlace"));
    const QString linkedFile = imagesPath() + "/" + ownName();
    ASSERT_TRUE(QFile::link(escaped, linkedFile));
    const QString climbing = store->imageDirectory() + "/../../outside/" + name;
    for (const QString& path : {sibling, climbing, inside, store->imageDirectory() + "/", notOurs,
                                imagesPath() + "/enlace/" + name, linkedFile}) {
        store->upsert(ClipKind::image, "v" + path, {}, path, {}, at(1)).waitForFinished();
    }
    for (const Clip& clip : list()) {
        store->deleteClip(clip.id).waitForFinished();
    }
    EXPECT_TRUE(list().isEmpty());
    for (const QString& kept : {sibling, escaped, escapedThumb, notOurs, linkedFile}) {
        EXPECT_TRUE(QFile::exists(kept)) << kept.toStdString();
    }
    EXPECT_TRUE(QFileInfo(store->imageDirectory()).isDir());
    EXPECT_FALSE(QFile::exists(inside));
    EXPECT_FALSE(QFile::exists(insideThumb));
}

TEST_F(HistoryStoreTest, DeletedTextsLeaveTheDiskAtOnceAndPrunedOnesSoonAfter) {
    const auto onDisk = [&](const char* text) {
        return RawDatabase::filesHolding(supportPath(), text);
    };
    text("fijado", 0);
    store->togglePinned(idOf("fijado")).waitForFinished();
    text("texto-borrado-8d1f", 3);
    text("texto-limpiado-7c2e", 2);
    ASSERT_FALSE(onDisk("texto-borrado-8d1f").empty()) << "the check can see a stored text";

    store->deleteClip(idOf("texto-borrado-8d1f")).waitForFinished();
    EXPECT_EQ(onDisk("texto-borrado-8d1f"), "");
    store->clearUnpinned().waitForFinished();
    EXPECT_EQ(onDisk("texto-limpiado-7c2e"), "");

    text("texto-podado-4b9a", 10);
    text("texto-nuevo", 1);
    store->prune(1, 0).waitForFinished();
    ASSERT_EQ(values(), (QStringList{"fijado", "texto-nuevo"}));
    for (int i = 0; i < 600 && !onDisk("texto-podado-4b9a").empty(); ++i) {
        QThread::msleep(50);
    }
    EXPECT_EQ(onDisk("texto-podado-4b9a"), "");
    EXPECT_EQ(values(), (QStringList{"fijado", "texto-nuevo"}));
}

TEST_F(HistoryStoreTest, ClearKeepsPinnedClipsAndTheirFiles) {
    image(TestImages::png(10, 10), 4);
    image(TestImages::png(20, 10), 3);
    text("suelto", 2);
    text("fijo", 1);
    const QList<Clip> before = list();
    store->togglePinned(before[3].id).waitForFinished();  // the older image
    store->togglePinned(idOf("fijo")).waitForFinished();

    store->clearUnpinned().waitForFinished();
    const QList<Clip> after = list();
    ASSERT_EQ(after.size(), 2);
    EXPECT_EQ(after[0].value, "fijo");
    EXPECT_EQ(after[1].id, before[3].id);
    const QString kept = QFileInfo(*after[1].imagePath).completeBaseName();
    EXPECT_EQ(imageFiles(), (QStringList{kept + ".png", kept + ".thumb.png"}));
}

TEST_F(HistoryStoreTest, PruneKeepsTheNewestUnpinnedAndExpiresOldOnes) {
    text("a", 40);
    text("b", 30);
    text("c", 20);
    text("fijo", 50);
    store->togglePinned(idOf("fijo")).waitForFinished();
    store->prune(0, 0).waitForFinished();
    EXPECT_EQ(values(), (QStringList{"fijo", "c"}));

    const int day = 24 * 60;
    text("hace ocho días", 8 * day);
    text("hace seis días", 6 * day);
    image(TestImages::png(5, 5), 9 * day);
    store->togglePinned(idOf("c")).waitForFinished();
    store->prune(500, 7).waitForFinished();
    EXPECT_EQ(values(), (QStringList{"c", "fijo", "hace seis días"}));
    EXPECT_TRUE(imageFiles().isEmpty()) << "pruned images lose their files";

    text("d", 1);
    text("e", 0);
    store->prune(2, 0).waitForFinished();
    EXPECT_EQ(values(), (QStringList{"c", "fijo", "e", "d"}));
}

TEST_F(HistoryStoreTest, AFailedDeleteKeepsTheFilesOfItsRows) {
    image(TestImages::png(10, 10), 2);
    image(TestImages::png(11, 10), 1);
    refuseDeletes();
    const qint64 id = list()[0].id;

    try {
        store->deleteClip(id).waitForFinished();
        FAIL() << "the delete must fail";
    } catch (const Error& error) {
        EXPECT_EQ(error.kind(), Error::Kind::sqlite);
        EXPECT_EQ(error.message(), "borrado rechazado");
    }
    EXPECT_THROW(store->clearUnpinned().waitForFinished(), Error);
    EXPECT_THROW(store->prune(1, 0).waitForFinished(), Error);
    EXPECT_EQ(list().size(), 2);
    EXPECT_EQ(imageFiles().size(), 4);
}

TEST_F(HistoryStoreTest, AFailedImageRecordLeavesNoFiles) {
    RawDatabase::execute(databasePath(),
                         "CREATE TRIGGER refuse BEFORE INSERT ON clips "
                         "BEGIN SELECT RAISE(ABORT, 'lleno'); END;");
    EXPECT_THROW(image(TestImages::png(10, 10), 1), Error);
    EXPECT_TRUE(imageFiles().isEmpty());

    RawDatabase::execute(databasePath(), "DROP TRIGGER refuse;");
    // The image folder replaced by a plain file: no write can succeed, whoever runs the test.
    ASSERT_TRUE(QDir(imagesPath()).removeRecursively());
    writeFile("support/images");
    try {
        image(TestImages::png(10, 10), 1);
        ADD_FAILURE() << "writing into a folder that is gone must fail";
    } catch (const Error& error) {
        EXPECT_TRUE(error.message().startsWith("No se pudo guardar la imagen")) << error.what();
    }
    EXPECT_TRUE(list().isEmpty());
}

// However new: a clear killed while it removed files leaves them newer than every row left.
TEST_F(HistoryStoreTest, ImageFilesNoRowNamesAreRemovedWhateverTheirAge) {
    image(TestImages::png(10, 10), 10);
    const QString kept = *list()[0].imagePath;
    const auto ageFile = [&](const QString& name, int minutesAgo) {
        const QString path = writeFile("support/images/" + name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::ReadWrite));
        EXPECT_TRUE(file.setFileTime(at(minutesAgo), QFileDevice::FileModificationTime));
        return path;
    };
    const QString orphan = ownName();
    const QString old = ageFile(orphan, 30);
    const QString oldThumb = ageFile(orphan.chopped(4) + ".thumb.png", 30);
    const QString cleared = ageFile(ownName(), -1);  // newer than every row
    const QString other = ageFile("notes.txt", 30);
    const QString usersPicture = ageFile("captura de pantalla.png", 30);
    const QString lowerCase = ageFile(ownName().toLower(), 30);
    text("más nuevo", 5);

    EXPECT_EQ(store->removeOrphanImages().result(), 3);
    EXPECT_FALSE(QFile::exists(old));
    EXPECT_FALSE(QFile::exists(oldThumb));
    EXPECT_FALSE(QFile::exists(cleared));
    for (const QString& notOurs : {other, usersPicture, lowerCase}) {
        EXPECT_TRUE(QFile::exists(notOurs)) << "only what the store wrote is its to clean";
    }
    EXPECT_TRUE(QFile::exists(kept));
    EXPECT_TRUE(QFile::exists(kept.chopped(4) + ".thumb.png"));
}

TEST_F(HistoryStoreTest, AMovedDataFolderKeepsItsImagesAndRowsFindThem) {
    image(TestImages::png(10, 10), 0);
    text("copiado después", -5);  // newer than the image file
    const QString stored = *list()[1].imagePath;
    store.reset();
    ASSERT_TRUE(QDir().rename(supportPath(), temp.filePath("moved")));
    const QString images = temp.filePath("moved/images");
    store = std::make_unique<HistoryStore>(temp.filePath("moved/history.db"), images);

    EXPECT_EQ(store->removeOrphanImages().result(), 0);
    EXPECT_EQ(QDir(images).entryList(QDir::Files).size(), 2);
    const Clip clip = list()[1];
    const QString here = images + "/" + QFileInfo(stored).fileName();
    EXPECT_EQ(clip.imagePath, here);
    EXPECT_EQ(RawDatabase::scalar(temp.filePath("moved/history.db"),
                                  "SELECT image FROM clips WHERE kind = 'image'"),
              stored)
        << "the stored path stays as written";

    // Copying the image again finds it; deleting it removes its files from where they are now.
    store->recordImage(TestImages::png(10, 10), {}, at(-6)).waitForFinished();
    EXPECT_EQ(list()[0].imagePath, here);
    store->deleteClip(clip.id).waitForFinished();
    EXPECT_TRUE(QDir(images).entryList(QDir::Files).isEmpty());

    // An image whose file has gone is written again when it is copied again.
    image(TestImages::png(12, 10), -10);
    QFile::remove(*list()[0].imagePath);
    image(TestImages::png(12, 10), -10);
    ASSERT_TRUE(list()[0].imagePath);
    EXPECT_TRUE(QFileInfo(*list()[0].imagePath).isFile());
}

TEST_F(HistoryStoreTest, AnImageFolderThatIsALinkIsNeverSwept) {
    QTemporaryDir pictures;
    const auto userFile = [&](const QString& name) {
        const QString path = pictures.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        EXPECT_TRUE(file.setFileTime(at(30), QFileDevice::FileModificationTime));
        return path;
    };
    const QStringList theirs = {userFile("vacaciones.png"), userFile(ownName())};
    store.reset();
    ASSERT_TRUE(QDir(imagesPath()).removeRecursively());
    ASSERT_TRUE(QFile::link(pictures.path(), imagesPath()));
    store = std::make_unique<HistoryStore>(databasePath(), imagesPath());
    text("nuevo", 5);

    EXPECT_EQ(store->removeOrphanImages().result(), 0);
    for (const QString& path : theirs) {
        EXPECT_TRUE(QFile::exists(path)) << path.toStdString();
    }
    // The store's own images there still go with their rows.
    image(TestImages::png(10, 10), 1);
    store->deleteClip(list()[0].id).waitForFinished();
    EXPECT_EQ(QDir(pictures.path()).entryList(QDir::Files).size(), 2);
}

TEST(HistoryStoreOpening, AFileThatIsNoDatabaseIsReportedAndLeftAlone) {
    QTemporaryDir temp;
    const QString path = temp.filePath("history.db");
    QByteArray garbage;
    for (int i = 0; i < 4096; ++i) {
        garbage += char('A' + i % 26);
    }
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(garbage);
    }
    try {
        HistoryStore store(path, temp.filePath("images"));
        FAIL() << "opening must fail";
    } catch (const Error& error) {
        EXPECT_EQ(error.kind(), Error::Kind::sqlite);
        EXPECT_EQ(error.message(), "file is not a database");
    }
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), garbage);
    EXPECT_FALSE(QFile::exists(path + "-wal"));

    // A folder where the database file should be cannot be opened at all.
    QDir().mkpath(temp.filePath("folder.db"));
    EXPECT_THROW(HistoryStore(temp.filePath("folder.db"), temp.filePath("images")), Error);

    // A file where the image folder should be.
    QFile blocker(temp.filePath("blocked"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    EXPECT_THROW(HistoryStore(temp.filePath("other.db"), temp.filePath("blocked")), Error);
}

TEST(HistoryStoreOpening, WaitsForALockThatAnotherProgramHolds) {
    QTemporaryDir temp;
    const QString path = temp.filePath("history.db");
    const auto releaseSoon = [](RawDatabase::HeldLock& lock) {
        return std::thread([&lock] {
            QThread::msleep(1000);
            lock.release();
        });
    };
    std::unique_ptr<HistoryStore> store;
    {
        // Before the history is opened, a database in rollback mode, locked outright.
        RawDatabase::HeldLock lock(path, "BEGIN EXCLUSIVE; CREATE TABLE otra (x);");
        std::thread releaser = releaseSoon(lock);
        EXPECT_NO_THROW(store = std::make_unique<HistoryStore>(path, temp.filePath("images")));
        releaser.join();
    }
    ASSERT_TRUE(store);
    {
        RawDatabase::HeldLock lock(path, "BEGIN IMMEDIATE; INSERT INTO otra VALUES (1);");
        std::thread releaser = releaseSoon(lock);
        EXPECT_NO_THROW(store
                            ->upsert(ClipKind::text, "durante el bloqueo", {}, {}, {},
                                     QDateTime::currentDateTimeUtc())
                            .waitForFinished());
        releaser.join();
    }
    EXPECT_EQ(store->clips({}).result().size(), 1);

    // A lock that outlasts the wait fails as any database error does.
    RawDatabase::HeldLock lock(path, "BEGIN IMMEDIATE;");
    try {
        store->upsert(ClipKind::text, "perdido", {}, {}, {}, QDateTime::currentDateTimeUtc())
            .waitForFinished();
        ADD_FAILURE() << "the lock was never released";
    } catch (const Error& error) {
        EXPECT_EQ(error.kind(), Error::Kind::sqlite);
        EXPECT_EQ(error.message(), "database is locked");
    }
}

// Another database moved over the file, then the whole folder deleted, while the store has it
// open: each time the store writes to what is at the path, says so, and leaves no log behind that
// belongs to another file.
TEST_F(HistoryStoreTest, AFileReplacedOrDeletedUnderTheStoreIsFollowed) {
    QStringList said;
    store->onReopened = [&](const QString& message) { said.append(message); };
    text("antes", 10);
    {
        HistoryStore other(temp.filePath("otro/history.db"), temp.filePath("otro/images"));
        other.upsert(ClipKind::text, "del otro", {}, {}, {}, at(20)).waitForFinished();
    }
    QFile::setPermissions(temp.filePath("otro/history.db"),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther);
    ASSERT_EQ(::rename(QFile::encodeName(temp.filePath("otro/history.db")).constData(),
                       QFile::encodeName(databasePath()).constData()),
              0);
    text("después", 5);
    EXPECT_EQ(values(), (QStringList{"después", "del otro"}));
    ASSERT_EQ(said.size(), 1);
    EXPECT_TRUE(said[0].contains("sustituido"));
    EXPECT_EQ(QFile::permissions(databasePath()) & QFile::ReadOther, 0);
    store.reset();
    store = std::make_unique<HistoryStore>(databasePath(), imagesPath());
    EXPECT_EQ(values(), (QStringList{"después", "del otro"})) << "a sound file, nothing lost";

    store->onReopened = [&](const QString& message) { said.append(message); };
    ASSERT_TRUE(QDir(supportPath()).removeRecursively());
    text("en uno nuevo", 1);
    EXPECT_EQ(values(), QStringList{"en uno nuevo"});
    ASSERT_EQ(said.size(), 2);
    EXPECT_TRUE(said[1].contains("borrado"));
    store.reset();
    store = std::make_unique<HistoryStore>(databasePath(), imagesPath());
    EXPECT_EQ(values(), QStringList{"en uno nuevo"});
}

// On a disk mounted read-only: listed and searched, every change refused.
TEST_F(HistoryStoreTest, AHistoryThatCannotBeWrittenIsStillRead) {
    const QString disk = temp.filePath("disco");
    QDir().mkpath(disk);
    if (::getuid() != 0 ||
        QProcess::execute("mount", {"-t", "tmpfs", "-o", "size=4m", "tmpfs", disk}) != 0) {
        GTEST_SKIP() << "needs root, to mount a read-only disk";
    }
    const auto unmount = qScopeGuard([&] { QProcess::execute("umount", {"-l", disk}); });
    const QString path = disk + "/history.db";
    {
        HistoryStore writing(path, disk + "/images");
        writing.upsert(ClipKind::text, "se lee aún", {}, {}, {}, at(2)).waitForFinished();
        writing.upsert(ClipKind::text, "otra cosa", {}, {}, {}, at(1)).waitForFinished();
    }
    ASSERT_EQ(QProcess::execute("mount", {"-o", "remount,ro", disk}), 0);
    HistoryStore reading(path, disk + "/images");
    EXPECT_TRUE(reading.readOnly());
    EXPECT_EQ(reading.clips({}).result().size(), 2);
    const QList<Clip> found = reading.listing("aún", -1, {}).result();
    ASSERT_EQ(found.size(), 1);
    EXPECT_EQ(found[0].value, "se lee aún");
    EXPECT_THROW(reading.upsert(ClipKind::text, "nuevo", {}, {}, {}, at(0)).waitForFinished(),
                 Error);
    EXPECT_EQ(reading.clips({}).result().size(), 2);
}
