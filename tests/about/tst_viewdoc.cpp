#include "Viewdoc.h"

#include "Urlrecorder.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

namespace {

void writeFile(const QString& path)
{
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly), qPrintable(path));
    file.write("<!DOCTYPE html><title>help</title>\n");
}

} // namespace

class TestViewDoc final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { m_savedCurrent = QDir::currentPath(); }

    void init()
    {
        m_desktop.opened.clear();
        m_start.reset(new QTemporaryDir);
        m_current.reset(new QTemporaryDir);
        QVERIFY(m_start->isValid() && m_current->isValid());
        QVERIFY(QDir::setCurrent(m_current->path()));
    }

    void cleanup() { QDir::setCurrent(m_savedCurrent); }

    void startDirectoryDocumentGoesToTheDesktop()
    {
        writeFile(m_start->filePath(QStringLiteral("brindora.html")));
        QVERIFY(ViewDocument(QStringLiteral("brindora"), m_start->path(), true));
        QCOMPARE(m_desktop.opened, QList<QUrl>{QUrl::fromLocalFile(
                                       m_start->filePath(QStringLiteral("brindora.html")))});
    }

    // The desktop does not share our current directory: a bare name must arrive absolute.
    void bareNameArrivesAsAnAbsoluteUrl()
    {
        writeFile(m_current->filePath(QStringLiteral("brindora.htm")));
        QVERIFY(ViewDocument(QStringLiteral("brindora"), m_start->path(), true));
        QCOMPARE(m_desktop.opened, QList<QUrl>{QUrl::fromLocalFile(
                                       m_current->filePath(QStringLiteral("brindora.htm")))});
    }

    void aFolderNamedLikeTheDocumentIsPassedOver()
    {
        QVERIFY(QDir(m_start->path()).mkdir(QStringLiteral("brindora.html")));
        writeFile(m_start->filePath(QStringLiteral("brindora.htm")));
        QVERIFY(ViewDocument(QStringLiteral("brindora"), m_start->path(), true));
        QCOMPARE(m_desktop.opened, QList<QUrl>{QUrl::fromLocalFile(
                                       m_start->filePath(QStringLiteral("brindora.htm")))});
    }

    void openIfExistsOpensOnlyWhatExists()
    {
        const QString path = m_start->filePath(QStringLiteral("guide.html"));
        QVERIFY(!OpenIfExists(path));
        QVERIFY(m_desktop.opened.isEmpty());
        writeFile(path);
        QVERIFY(OpenIfExists(path));
        QCOMPARE(m_desktop.opened, QList<QUrl>{QUrl::fromLocalFile(path)});
    }

    void quietSearchForAMissingDocument()
    {
        // A name nothing installs, so neither the program's nor the installed folder has it.
        QVERIFY(!ViewDocument(QStringLiteral("brindora-absent-guide"), m_start->path(), true));
        QVERIFY(m_desktop.opened.isEmpty());
    }

    void installedFolderIsAbsolute()
    {
        QVERIFY(QDir::isAbsolutePath(QDir::fromNativeSeparators(installedDocumentDirectory())));
        QVERIFY(installedDocumentDirectory().endsWith(QStringLiteral("brindora")));
    }

private:
    UrlRecorder m_desktop{QStringLiteral("file")};
    QString m_savedCurrent;
    std::unique_ptr<QTemporaryDir> m_start;
    std::unique_ptr<QTemporaryDir> m_current;
};

QTEST_MAIN(TestViewDoc)
#include "tst_viewdoc.moc"
