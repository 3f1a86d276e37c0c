// The file list without a window: path lists, the folder walk, the background load, moves,
// sorting and the exported text.

#include "filelist/exporttext.h"
#include "filelist/filelistmodel.h"
#include "filelist/fileloader.h"
#include "filelist/folderwalk.h"
#include "filelist/pathlist.h"
#include "model/filetypes.h"
#include "support/fixtures.h"

#include <QAbstractItemModelTester>
#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <fcntl.h>
#include <grp.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace folioset;

namespace {

QStringList namesOf(const QList<FileItemPtr> &items)
{
    QStringList names;
    for (const FileItemPtr &item : items)
        names << item->name();
    return names;
}

bool touch(const QString &path, const QByteArray &bytes = "x")
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    return fixtures::writeBytes(path, bytes);
}

} // namespace

class TestFileList : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void pathListsFollowTheLineRules_data();
    void pathListsFollowTheLineRules();
    void pathListFilesMustBeUtf8();
    void folderWalkTakesWhatTheWindowWouldShow_data();
    void folderWalkTakesWhatTheWindowWouldShow();
    void loadsAddEachFileOnceAndCanBeStopped();
    void movesFollowTheBlockRules_data();
    void movesFollowTheBlockRules();
    void sortsNaturallyAndStably();
    void sortsKindsWithoutRegardToCase();
    void loadsAndSortsWithNoThreadToSpare();
    void exportWritesEveryItemAsItIs();

private:
    QTemporaryDir m_tree;
    QString m_jpeg;
};

void TestFileList::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    m_jpeg = m_tree.filePath(QStringLiteral("photo.jpg"));
    QVERIFY(fixtures::writeJpeg(m_jpeg, QSize(16, 12)));
    const QString root = m_tree.filePath(QStringLiteral("root"));
    for (const char *name :
         {"a.jpg", "b.JPG", "c.Jpg", "d.pdf", "notes.txt", ".hidden.jpg", ".secret/e.jpg",
          "sub/f.png", "sub/deeper/g.tif", "Album.photoslibrary/h.jpg", "noext"})
        QVERIFY(touch(root + QLatin1Char('/') + QLatin1String(name)));
    // A link back to the top would make a walk that follows links go round for ever.
    QVERIFY(QFile::link(root, root + QStringLiteral("/sub/loop")));
    QVERIFY(QFile::link(root + QStringLiteral("/a.jpg"), root + QStringLiteral("/linked.jpg")));
    // A name that is not UTF-8 cannot be opened by its decoded name.
    const QByteArray raw = QFile::encodeName(root) + "/bad\xff\xfe.jpg";
    const int fd = ::open(raw.constData(), O_CREAT | O_WRONLY, 0644);
    QVERIFY(fd >= 0);
    ::close(fd);
}

void TestFileList::cleanupTestCase()
{
    // Qt cannot name this file to remove it.
    ::unlink((QFile::encodeName(m_tree.filePath(QStringLiteral("root"))) + "/bad\xff\xfe.jpg")
                 .constData());
}

void TestFileList::pathListsFollowTheLineRules_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("paths");
    const QString p = QStringLiteral("/pics/");
    QTest::newRow("repeats and other types")
        << p + "a.jpg\n" + p + "a.jpg\n" + p + "notes.txt" << QStringList{p + "a.jpg"};
    QTest::newRow("any letter case")
        << p + "a.Jpg\n" + p + "b.tIFf" << QStringList{p + "a.Jpg", p + "b.tIFf"};
    QTest::newRow("CR LF ends") << p + "a.jpg\r\n" + p + "b.png\r\n" + p + "c.gif"
                                << QStringList{p + "c.gif"};
    QTest::newRow("trailing blank") << p + "a.jpg \n" + p + "b.bmp" << QStringList{p + "b.bmp"};
    QTest::newRow("comma is no separator")
        << p + "a.txt," + p + "b.png" << QStringList{p + "a.txt," + p + "b.png"};
    QTest::newRow("empty lines and no extension") << "\n\n" + p + "README\n" + p + "dir.d/file\n"
                                                  << QStringList{};
    QTest::newRow("relative to the current folder")
        << "pics/c.png" << QStringList{QDir::current().absoluteFilePath("pics/c.png")};
    QTest::newRow("nothing") << QString() << QStringList{};
}

void TestFileList::pathListsFollowTheLineRules()
{
    QFETCH(QString, text);
    QFETCH(QStringList, paths);
    QStringList found;
    for (const QUrl &url : parsePathList(text, allowedFileTypes()))
        found << url.toLocalFile();
    QCOMPARE(found, paths);
}

void TestFileList::pathListFilesMustBeUtf8()
{
    const QString good = m_tree.filePath(QStringLiteral("good.txt"));
    QVERIFY(fixtures::writeBytes(good, "/x/b\xc3\xa9.jpg\n/x/c.png"));
    QCOMPARE(parsePathListFile(good, allowedFileTypes()).size(), 2);
    const QString latin1 = m_tree.filePath(QStringLiteral("latin1.txt"));
    QVERIFY(fixtures::writeBytes(latin1, "/x/b\xe9.jpg\n/x/c.png"));
    QVERIFY(parsePathListFile(latin1, allowedFileTypes()).isEmpty());
    QVERIFY(parsePathListFile(m_tree.filePath(QStringLiteral("missing.txt")), allowedFileTypes())
                .isEmpty());
}

void TestFileList::folderWalkTakesWhatTheWindowWouldShow_data()
{
    QTest::addColumn<QStringList>("locations"); // under root
    QTest::addColumn<bool>("isFolders");
    QTest::addColumn<bool>("subfolders");
    QTest::addColumn<QStringList>("expected");
    const QStringList top{"a.jpg", "b.JPG", "linked.jpg"};
    QTest::newRow("folder only") << QStringList{"."} << true << false << top;
    QTest::newRow("with subfolders")
        << QStringList{"."} << true << true << (top + QStringList{"sub/f.png", "sub/deeper/g.tif"});
    QTest::newRow("files given directly, hidden too")
        << QStringList{".hidden.jpg", "c.Jpg", "d.pdf", "b.JPG"} << true << false
        << QStringList{".hidden.jpg", "b.JPG"};
    QTest::newRow("plain add takes them as they are")
        << QStringList{"notes.txt", "c.Jpg"} << false << false << QStringList{"notes.txt", "c.Jpg"};
}

void TestFileList::folderWalkTakesWhatTheWindowWouldShow()
{
    QFETCH(QStringList, locations);
    QFETCH(bool, isFolders);
    QFETCH(bool, subfolders);
    QFETCH(QStringList, expected);
    const QString root = m_tree.filePath(QStringLiteral("root"));
    Arguments request;
    for (const QString &location : locations)
        request.urls << QUrl::fromLocalFile(QDir::cleanPath(root + QLatin1Char('/') + location));
    request.isFolders = isFolders;
    request.isIncludeSubdirectories = subfolders;
    QStringList found;
    walkForFiles(
        request, [] { return true; },
        [&](const QString &path) { found << QDir(root).relativeFilePath(path); });
    // The order inside a folder is the file system's; the set is what counts.
    std::sort(found.begin(), found.end());
    std::sort(expected.begin(), expected.end());
    QCOMPARE(found, expected);
}

void TestFileList::loadsAddEachFileOnceAndCanBeStopped()
{
    const QString big = m_tree.filePath(QStringLiteral("big"));
    for (int i = 0; i < 3000; ++i) {
        const QString sub = QStringLiteral("%1/%2").arg(big).arg(i / 1000);
        QVERIFY(QDir().mkpath(sub));
        QVERIFY(QFile::link(m_jpeg, QStringLiteral("%1/img%2.jpg").arg(sub).arg(i)));
    }

    FileListModel model;
    QAbstractItemModelTester tester(&model);
    FileLoader loader;
    connect(&loader, &FileLoader::itemsFound, &model, &FileListModel::appendNew);
    QSignalSpy finished(&loader, &FileLoader::finished);

    // Overlapping locations: the folder, one of its subfolders and a file inside both.
    Arguments request;
    request.urls = {QUrl::fromLocalFile(big), QUrl::fromLocalFile(big + QStringLiteral("/1")),
                    QUrl::fromLocalFile(big + QStringLiteral("/1/img1500.jpg"))};
    request.isFolders = true;
    request.isIncludeSubdirectories = true;
    loader.start(request, model.urls());
    QVERIFY(finished.wait(60000));
    QCOMPARE(model.rowCount(), 3000);
    QCOMPARE(model.urls().size(), 3000);
    QCOMPARE(model.item(0)->pages(), 1); // probed on the way

    // Loading again finds nothing new and leaves the order alone.
    const QList<FileItemPtr> before = model.files();
    loader.start(request, model.urls());
    QVERIFY(finished.wait(60000));
    QCOMPARE(model.files(), before);

    // Stopped at once, a load still delivers what it found, and no file twice.
    model.clear();
    loader.start(request, model.urls());
    loader.cancel();
    QVERIFY(finished.wait(60000));
    QVERIFY(model.rowCount() < 3000);
    QCOMPARE(model.urls().size(), model.rowCount());
}

void TestFileList::movesFollowTheBlockRules_data()
{
    QTest::addColumn<bool>("up");
    QTest::addColumn<QList<int>>("rows");
    QTest::addColumn<QString>("order"); // items are named by their first row, 0-5
    QTest::addColumn<QList<int>>("newRows");
    QTest::newRow("block up") << true << QList<int>{2, 3, 4} << "023415" << QList<int>{1, 2, 3};
    QTest::newRow("gaps up") << true << QList<int>{1, 3} << "103245" << QList<int>{0, 2};
    QTest::newRow("block down") << false << QList<int>{3, 4} << "012534" << QList<int>{5, 4};
    QTest::newRow("down stops at the last row")
        << false << QList<int>{3, 5} << "012345" << QList<int>{};
}

void TestFileList::movesFollowTheBlockRules()
{
    QFETCH(bool, up);
    QFETCH(QList<int>, rows);
    QFETCH(QString, order);
    QFETCH(QList<int>, newRows);
    FileListModel model;
    QAbstractItemModelTester tester(&model);
    QList<FileItemPtr> items;
    for (int i = 0; i < 6; ++i)
        items << FileItem::initWithURL(QUrl::fromLocalFile(QStringLiteral("/x/%1.jpg").arg(i)));
    model.append(items);
    const QList<int> moved = up ? model.moveUp(rows) : model.moveDown(rows);
    QString names;
    for (const FileItemPtr &item : model.files())
        names += item->name().left(1);
    QCOMPARE(names, order);
    QCOMPARE(moved, newRows);
}

void TestFileList::sortsNaturallyAndStably()
{
    const QString folder = m_tree.filePath(QStringLiteral("sorting"));
    QDir().mkpath(folder);
    FileListModel model;
    QAbstractItemModelTester tester(&model);
    QList<FileItemPtr> items;
    const QList<QPair<const char *, int>> files{
        {"img10.jpg", 300}, {"img2.jpg", 100}, {"IMG1.jpg", 100}, {"img2b.jpg", 200}};
    for (const auto &[name, bytes] : files) {
        const QString path = folder + QLatin1Char('/') + QLatin1String(name);
        QVERIFY(fixtures::writeBytes(path, QByteArray(bytes * 100, 'x')));
        items << FileItem::initWithURL(QUrl::fromLocalFile(path));
    }
    model.append(items);
    const int name = FileListModel::columnOf(QStringLiteral("name"));
    model.sort(name, Qt::AscendingOrder);
    QCOMPARE(namesOf(model.files()),
             (QStringList{"IMG1.jpg", "img2.jpg", "img2b.jpg", "img10.jpg"}));
    model.sort(name, Qt::DescendingOrder);
    QCOMPARE(namesOf(model.files()).first(), QStringLiteral("img10.jpg"));

    // Equal sizes keep the order they had: IMG1 and img2 swap only with the name order.
    model.sort(name, Qt::AscendingOrder);
    model.sort(FileListModel::columnOf(QStringLiteral("sizeInKB")), Qt::AscendingOrder);
    QCOMPARE(namesOf(model.files()),
             (QStringList{"IMG1.jpg", "img2.jpg", "img2b.jpg", "img10.jpg"}));
    model.sort(name, Qt::DescendingOrder);
    model.sort(FileListModel::columnOf(QStringLiteral("sizeInKB")), Qt::AscendingOrder);
    QCOMPARE(namesOf(model.files()),
             (QStringList{"img2.jpg", "IMG1.jpg", "img2b.jpg", "img10.jpg"}));

    // By modification time, as the file system tells it now; in the background, the same.
    const QDateTime base(QDate(2026, 1, 1), QTime(12, 0));
    const QStringList byAge{"img2b.jpg", "img10.jpg", "IMG1.jpg", "img2.jpg"};
    for (int i = 0; i < byAge.size(); ++i) {
        QFile file(folder + QLatin1Char('/') + byAge.at(i));
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.setFileTime(base.addSecs(60 * i), QFileDevice::FileModificationTime));
    }
    model.sort(FileListModel::columnOf(QStringLiteral("dateModified")), Qt::AscendingOrder);
    QCOMPARE(namesOf(model.files()), byAge);
    bool done = false;
    model.sortInBackground(name, Qt::AscendingOrder, [&done] { done = true; });
    QTRY_VERIFY(done);
    QCOMPARE(namesOf(model.files()).first(), QStringLiteral("IMG1.jpg"));
    // A list changed meanwhile is left as it is: the order worked out no longer fits it.
    done = false;
    model.sortInBackground(FileListModel::columnOf(QStringLiteral("dateModified")),
                           Qt::AscendingOrder, [&done] { done = true; });
    model.removeIf([](const FileItem &item) { return item.name() == QLatin1String("img2.jpg"); });
    QTRY_VERIFY(done);
    QCOMPARE(namesOf(model.files()), (QStringList{"IMG1.jpg", "img2b.jpg", "img10.jpg"}));
}

// "JPG" and "jpg" are one kind: sorted by Kind they stay together, in the order they had, and
// descending keeps them together too.
void TestFileList::sortsKindsWithoutRegardToCase()
{
    FileListModel model;
    QList<FileItemPtr> items;
    for (const char *name : {"b.jpg", "e.PNG", "a.JPG", "c.png", "d.jpg", "f.Tif"})
        items << FileItem::initWithURL(QUrl::fromLocalFile(QStringLiteral("/x/") + name));
    model.append(items);
    const int kind = FileListModel::columnOf(QStringLiteral("type"));
    model.sort(kind, Qt::AscendingOrder);
    QCOMPARE(namesOf(model.files()),
             (QStringList{"b.jpg", "a.JPG", "d.jpg", "e.PNG", "c.png", "f.Tif"}));
    model.sort(kind, Qt::DescendingOrder);
    QCOMPARE(namesOf(model.files()),
             (QStringList{"f.Tif", "e.PNG", "c.png", "b.jpg", "a.JPG", "d.jpg"}));
}

void TestFileList::exportWritesEveryItemAsItIs()
{
    QCOMPARE(exportText({}),
             QByteArray("Name\tPages\tSize\tType\tModified Date\tAccessed Date\tCreated Date\t"
                        "Location\n"));
    const QString folder = m_tree.filePath(QStringLiteral("export"));
    const QString tabbed = folder + QStringLiteral("/tab\there.jpg");
    QVERIFY(touch(tabbed));
    QVERIFY(fixtures::writeJpeg(tabbed, QSize(16, 12)));
    const QString gone = folder + QStringLiteral("/gone.PNG");
    QVERIFY(touch(gone));
    const QList<FileItemPtr> items{FileItem::initWithURL(QUrl::fromLocalFile(tabbed)),
                                   FileItem::initWithURL(QUrl::fromLocalFile(gone))};
    items.first()->setIsSelected(false); // unchecked items are exported too
    QVERIFY(QFile::remove(gone));

    const QStringList lines = QString::fromUtf8(exportText(items)).split(QLatin1Char('\n'));
    QCOMPARE(lines.size(), 4); // header, two items, the final line feed
    const QStringList first = lines.at(1).split(QLatin1Char('\t'));
    QCOMPARE(first.size(), 9); // the tab in the name is written as it is
    QCOMPARE(first.at(0) + QLatin1Char('\t') + first.at(1), QStringLiteral("tab\there.jpg"));
    QCOMPARE(first.at(2), QStringLiteral("1"));
    QCOMPARE(first.at(4), QStringLiteral("jpg"));
    QVERIFY(
        QRegularExpression(QStringLiteral("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d \\+0000$"))
            .match(first.at(5))
            .hasMatch());
    QCOMPARE(first.at(8), folder);
    const QStringList second = lines.at(2).split(QLatin1Char('\t'));
    QCOMPARE(second.mid(3, 4), (QStringList{"PNG", "(null)", "(null)", "(null)"}));
}

// At the user's process limit no thread can start: loading a folder and sorting a long list
// still end, done on the list's own thread. Run in a child process, which takes the limit (as
// nobody when the test runs as root: the limit does not bind root).
void TestFileList::loadsAndSortsWithNoThreadToSpare()
{
    constexpr int kFiles = 5000; // enough for the sort to want helpers
    const QString folder = m_tree.filePath(QStringLiteral("nothreads"));
    QVERIFY(QDir().mkpath(folder));
    for (int i = 0; i < kFiles; ++i)
        QVERIFY(QFile::link(m_jpeg, QStringLiteral("%1/img%2.jpg").arg(folder).arg(i)));
    const auto everyone = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
                          QFileDevice::ReadOther | QFileDevice::ExeOther;
    QVERIFY(QFile::setPermissions(m_tree.path(), everyone));
    QVERIFY(QFile::setPermissions(folder, everyone));

    const pid_t child = ::fork();
    QVERIFY(child >= 0);
    if (child == 0) {
        ::alarm(60); // a load or sort that never ends fails the test instead of hanging it
        if (::geteuid() == 0 &&
            (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0))
            ::_exit(10);
        const rlimit oneProcess{1, 1};
        if (::setrlimit(RLIMIT_NPROC, &oneProcess) != 0)
            ::_exit(11);
        FileListModel model;
        FileLoader loader;
        connect(&loader, &FileLoader::itemsFound, &model, &FileListModel::appendNew);
        QEventLoop loop;
        connect(&loader, &FileLoader::finished, &loop, &QEventLoop::quit);
        Arguments request;
        request.urls = {QUrl::fromLocalFile(folder)};
        request.isFolders = true;
        loader.start(request, {});
        loop.exec();
        if (model.rowCount() != kFiles)
            ::_exit(12);
        const int name = FileListModel::columnOf(QStringLiteral("name"));
        bool sorted = false;
        model.sortInBackground(name, Qt::DescendingOrder, [&] {
            sorted = true;
            loop.quit();
        });
        loop.exec();
        // Natural order, descending: img4999 first, img0 last.
        if (!sorted || model.item(0)->name() != QLatin1String("img4999.jpg") ||
            model.item(kFiles - 1)->name() != QLatin1String("img0.jpg"))
            ::_exit(13);
        ::_exit(0);
    }
    int status = 0;
    QCOMPARE(::waitpid(child, &status, 0), child);
    QVERIFY2(WIFEXITED(status), "the child was killed: a load or sort never ended");
    QCOMPARE(WEXITSTATUS(status), 0);
}

QTEST_MAIN(TestFileList)
#include "tst_filelist.moc"
