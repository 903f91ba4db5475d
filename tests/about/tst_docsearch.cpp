#include "Docsearch.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

// Records what the search does with real files: every path it tests, every path it opens
// and every time it gives up out loud.
struct Recorder
{
    QStringList tried;
    QStringList opened;
    int notFound = 0;

    DocumentShell shell()
    {
        return {[this](const QString& path) {
                    tried.append(path);
                    return QFileInfo(path).isFile();
                },
                [this](const QString& path) { opened.append(path); }, [this] { ++notFound; }};
    }
};

void writeFile(const QString& path)
{
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly), qPrintable(path));
    file.write("<!DOCTYPE html><title>help</title>\n");
}

} // namespace

class TestDocSearch final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void joinPathWindows_data()
    {
        QTest::addColumn<QString>("directory");
        QTest::addColumn<QString>("expected");
        QTest::newRow("folder") << QStringLiteral("C:\\Docs") << QStringLiteral("C:\\Docs\\a.html");
        QTest::newRow("folder ending in a backslash")
            << QStringLiteral("C:\\Docs\\") << QStringLiteral("C:\\Docs\\a.html");
        QTest::newRow("drive root") << QStringLiteral("C:\\") << QStringLiteral("C:\\a.html");
        QTest::newRow("bare drive stays drive-relative")
            << QStringLiteral("C:") << QStringLiteral("C:a.html");
        QTest::newRow("a slash is no Windows separator")
            << QStringLiteral("C:\\Docs/") << QStringLiteral("C:\\Docs/\\a.html");
        QTest::newRow("network share")
            << QStringLiteral("\\\\server\\share") << QStringLiteral("\\\\server\\share\\a.html");
    }

    void joinPathWindows()
    {
        QFETCH(QString, directory);
        QFETCH(QString, expected);
        QCOMPARE(::joinPathWindows(directory, QStringLiteral("a.html")), expected);
        QCOMPARE(joinPath(PathFlavour::Windows, directory, QStringLiteral("a.html")), expected);
    }

    void joinPathPosix_data()
    {
        QTest::addColumn<QString>("directory");
        QTest::addColumn<QString>("expected");
        QTest::newRow("folder") << QStringLiteral("/usr/share")
                                << QStringLiteral("/usr/share/a.html");
        QTest::newRow("folder ending in a slash")
            << QStringLiteral("/usr/share/") << QStringLiteral("/usr/share/a.html");
        QTest::newRow("root") << QStringLiteral("/") << QStringLiteral("/a.html");
        QTest::newRow("a colon is an ordinary character")
            << QStringLiteral("C:") << QStringLiteral("C:/a.html");
        QTest::newRow("a backslash is an ordinary character")
            << QStringLiteral("odd\\") << QStringLiteral("odd\\/a.html");
    }

    void joinPathPosix()
    {
        QFETCH(QString, directory);
        QFETCH(QString, expected);
        QCOMPARE(::joinPathPosix(directory, QStringLiteral("a.html")), expected);
        QCOMPARE(joinPath(PathFlavour::Posix, directory, QStringLiteral("a.html")), expected);
    }

    void joinPathFollowsThePlatform()
    {
#ifdef _WIN32
        QCOMPARE(JoinPath(QStringLiteral("C:"), QStringLiteral("a.html")),
                 QStringLiteral("C:a.html"));
#else
        QCOMPARE(JoinPath(QStringLiteral("C:"), QStringLiteral("a.html")),
                 QStringLiteral("C:/a.html"));
#endif
    }

    void programDirectory_data()
    {
        QTest::addColumn<int>("flavour");
        QTest::addColumn<QString>("programFile");
        QTest::addColumn<bool>("found");
        QTest::addColumn<QString>("directory");
        const int windows = int(PathFlavour::Windows);
        const int posix = int(PathFlavour::Posix);
        QTest::newRow("windows folder")
            << windows << QStringLiteral("C:\\Program Files\\Brindora\\brindora.exe") << true
            << QStringLiteral("C:\\Program Files\\Brindora");
        QTest::newRow("windows drive root leaves the bare drive")
            << windows << QStringLiteral("C:\\brindora.exe") << true << QStringLiteral("C:");
        QTest::newRow("windows without a backslash")
            << windows << QStringLiteral("brindora.exe") << false << QString();
        QTest::newRow("windows ignores slashes")
            << windows << QStringLiteral("C:/apps/brindora.exe") << false << QString();
        QTest::newRow("posix folder")
            << posix << QStringLiteral("/usr/bin/brindora") << true << QStringLiteral("/usr/bin");
        QTest::newRow("posix root") << posix << QStringLiteral("/brindora") << true << QString();
        QTest::newRow("unknown program path") << posix << QString() << false << QString();
    }

    void programDirectory()
    {
        QFETCH(int, flavour);
        QFETCH(QString, programFile);
        QFETCH(bool, found);
        QFETCH(QString, directory);
        QString cut = QStringLiteral("untouched");
        QCOMPARE(programDirectoryOf(PathFlavour(flavour), programFile, &cut), found);
        if (found) {
            QCOMPARE(cut, directory);
        } else {
            QCOMPARE(cut, QStringLiteral("untouched"));
        }
    }

    void candidatesForAProgramInADriveRoot()
    {
        DocumentSearch search;
        search.baseName = QStringLiteral("brindora");
        search.directory = QStringLiteral("D:\\Music");
        search.programFile = QStringLiteral("C:\\brindora.exe");
        search.installedDocDir = QStringLiteral("C:\\Docs\\Brindora");
        search.flavour = PathFlavour::Windows;
        const QStringList expected = {
            QStringLiteral("D:\\Music\\brindora.html"),
            QStringLiteral("D:\\Music\\brindora.htm"),
            QStringLiteral("brindora.html"),
            QStringLiteral("brindora.htm"),
            QStringLiteral("C:brindora.html"),
            QStringLiteral("C:brindora.htm"),
            QStringLiteral("C:\\Docs\\Brindora\\brindora.html"),
            QStringLiteral("C:\\Docs\\Brindora\\brindora.htm"),
        };
        QCOMPARE(documentCandidates(search), expected);
    }

    void candidatesLeaveOutUnknownPlaces()
    {
        DocumentSearch search;
        search.baseName = QStringLiteral("guide");
        search.directory = QStringLiteral("/srv");
        search.flavour = PathFlavour::Posix;
        const QStringList expected = {QStringLiteral("/srv/guide.html"),
                                      QStringLiteral("/srv/guide.htm"),
                                      QStringLiteral("guide.html"), QStringLiteral("guide.htm")};
        QCOMPARE(documentCandidates(search), expected);
    }

    // The searches below use real directories: start, current, program and installed.
    void init()
    {
        m_root.reset(new QTemporaryDir);
        QVERIFY(m_root->isValid());
        const QDir root(m_root->path());
        for (const char* name : {"start", "current", "program", "installed"}) {
            QVERIFY(root.mkdir(QLatin1String(name)));
        }
        m_savedCurrent = QDir::currentPath();
        QVERIFY(QDir::setCurrent(dir("current")));
        m_search = DocumentSearch();
        m_search.baseName = QStringLiteral("brindora");
        m_search.directory = dir("start");
        m_search.programFile = dir("program") + QStringLiteral("/brindora");
        m_search.installedDocDir = dir("installed");
        m_search.flavour = PathFlavour::Posix;
    }

    void cleanup()
    {
        QDir::setCurrent(m_savedCurrent);
        m_root.reset();
    }

    void htmlWinsOverHtmInTheStartDirectory()
    {
        writeFile(dir("start") + QStringLiteral("/brindora.htm"));
        writeFile(dir("start") + QStringLiteral("/brindora.html"));
        writeFile(dir("program") + QStringLiteral("/brindora.html"));
        Recorder recorder;
        QVERIFY(viewDocumentWith(m_search, false, recorder.shell()));
        QCOMPARE(recorder.opened, QStringList{dir("start") + QStringLiteral("/brindora.html")});
        QCOMPARE(recorder.tried.size(), 1);
        QCOMPARE(recorder.notFound, 0);
    }

    void htmIsTakenWhenThereIsNoHtml()
    {
        writeFile(dir("start") + QStringLiteral("/brindora.htm"));
        Recorder recorder;
        QVERIFY(viewDocumentWith(m_search, false, recorder.shell()));
        QCOMPARE(recorder.opened, QStringList{dir("start") + QStringLiteral("/brindora.htm")});
    }

    void bareNameIsFoundInTheCurrentDirectory()
    {
        writeFile(dir("current") + QStringLiteral("/brindora.htm"));
        writeFile(dir("program") + QStringLiteral("/brindora.html"));
        Recorder recorder;
        QVERIFY(viewDocumentWith(m_search, false, recorder.shell()));
        QCOMPARE(recorder.opened, QStringList{QStringLiteral("brindora.htm")});
    }

    void besideTheProgramAfterTheFirstFourFail()
    {
        writeFile(dir("program") + QStringLiteral("/brindora.html"));
        writeFile(dir("installed") + QStringLiteral("/brindora.html"));
        Recorder recorder;
        QVERIFY(viewDocumentWith(m_search, false, recorder.shell()));
        const QStringList expected = {
            dir("start") + QStringLiteral("/brindora.html"),
            dir("start") + QStringLiteral("/brindora.htm"),
            QStringLiteral("brindora.html"),
            QStringLiteral("brindora.htm"),
            dir("program") + QStringLiteral("/brindora.html"),
        };
        QCOMPARE(recorder.tried, expected);
        QCOMPARE(recorder.opened, QStringList{expected.last()});
    }

    void installedDocumentOnlyAfterTheSix()
    {
        writeFile(dir("installed") + QStringLiteral("/brindora.htm"));
        Recorder recorder;
        QVERIFY(viewDocumentWith(m_search, false, recorder.shell()));
        QCOMPARE(recorder.tried.size(), 8);
        QCOMPARE(recorder.tried.mid(0, 6), documentCandidates(m_search).mid(0, 6));
        QCOMPARE(recorder.tried.at(5), dir("program") + QStringLiteral("/brindora.htm"));
        QCOMPARE(recorder.opened, QStringList{dir("installed") + QStringLiteral("/brindora.htm")});
    }

    void startDirectoryEndingInASeparator()
    {
        writeFile(dir("start") + QStringLiteral("/brindora.html"));
        m_search.directory = dir("start") + QLatin1Char('/');
        Recorder recorder;
        QVERIFY(viewDocumentWith(m_search, false, recorder.shell()));
        QCOMPARE(recorder.opened, QStringList{dir("start") + QStringLiteral("/brindora.html")});
    }

    void nowhereSaysSoOnce()
    {
        Recorder recorder;
        QVERIFY(!viewDocumentWith(m_search, false, recorder.shell()));
        QCOMPARE(recorder.notFound, 1);
        QVERIFY(recorder.opened.isEmpty());
        QCOMPARE(recorder.tried, documentCandidates(m_search));
    }

    void nowhereQuietSaysNothing()
    {
        Recorder recorder;
        QVERIFY(!viewDocumentWith(m_search, true, recorder.shell()));
        QCOMPARE(recorder.notFound, 0);
        QVERIFY(recorder.opened.isEmpty());
    }

private:
    QString dir(const char* name) const
    {
        return m_root->filePath(QLatin1String(name));
    }

    std::unique_ptr<QTemporaryDir> m_root;
    QString m_savedCurrent;
    DocumentSearch m_search;
};

QTEST_GUILESS_MAIN(TestDocSearch)
#include "tst_docsearch.moc"
