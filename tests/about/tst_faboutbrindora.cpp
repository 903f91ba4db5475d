#include "Clicklabel.h"
#include "Faboutbrindora.h"

#include "Underwine.h"
#include "Urlrecorder.h"

#include <QFontMetrics>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include <memory>

namespace {

bool isExampleAddress(const QUrl& url)
{
    const QString host = url.host();
    for (const char* domain : {"example.com", "example.org", "example.net"}) {
        const QString reserved = QLatin1String(domain);
        if (host == reserved || host.endsWith(QLatin1Char('.') + reserved)) {
            return true;
        }
    }
    return false;
}

} // namespace

class TestFormAboutBrindora final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        m_opened.clear();
        m_owner = std::make_unique<QWidget>();
        m_form = new TFormAboutBrindora(m_owner.get(),
                                        [this](const QUrl& url) { m_opened.append(url); });
    }

    void cleanup() { m_owner.reset(); }

    void captionsAndSize()
    {
        QCOMPARE(m_form->windowTitle(), QStringLiteral("About Orvid's Brindora Controller"));
        QCOMPARE(m_form->size(), QSize(396, 305));
        QCOMPARE(m_form->minimumSize(), m_form->maximumSize());
        QCOMPARE(m_form->LabelProgName->text(), QStringLiteral("Orvid's Brindora Controller"));
        QCOMPARE(m_form->LabelVersion->text(), QStringLiteral("version 1.0"));
        QVERIFY(m_form->LabelCopyright->text().startsWith(QStringLiteral("Copyright")));
        QCOMPARE(m_form->LabelUrl->text(), m_form->LabelUrl->url().toString());
        QCOMPARE(m_form->ButtonOk->text(), QStringLiteral("Ok"));
        QVERIFY(m_form->ButtonOk->isDefault());
        QCOMPARE(m_form->ButtonOk->geometry(), QRect(160, 272, 75, 25));
        QCOMPARE(m_form->findChildren<QPushButton*>().size(), 1);
    }

    void labelGeometry_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("top");
        QTest::addColumn<int>("height");
        QTest::addColumn<bool>("centred");
        QTest::newRow("program name") << QStringLiteral("LabelProgName") << 24 << 13 << true;
        QTest::newRow("copyright") << QStringLiteral("LabelCopyright") << 48 << 13 << true;
        QTest::newRow("version") << QStringLiteral("LabelVersion") << 72 << 13 << true;
        QTest::newRow("web page") << QStringLiteral("LabelUrl") << 96 << 13 << true;
        QTest::newRow("notice") << QStringLiteral("Label1") << 120 << 49 << false;
        QTest::newRow("product 6") << QStringLiteral("Label6") << 176 << 13 << true;
        QTest::newRow("product 2") << QStringLiteral("Label2") << 192 << 13 << true;
        QTest::newRow("product 4") << QStringLiteral("Label4") << 208 << 13 << true;
        QTest::newRow("product 3") << QStringLiteral("Label3") << 224 << 13 << true;
        QTest::newRow("product 5") << QStringLiteral("Label5") << 240 << 13 << true;
    }

    void labelGeometry()
    {
        QFETCH(QString, name);
        QFETCH(int, top);
        QFETCH(int, height);
        QFETCH(bool, centred);
        auto* label = m_form->findChild<QLabel*>(name);
        QVERIFY(label);
        QCOMPARE(label->geometry(), QRect(8, top, 377, height));
        QCOMPARE(label->minimumSize(), label->maximumSize());
        if (runsUnderWine())
            QSKIP("wine stands in other faces for Windows' fonts: nothing to measure");
        if (centred) {
            QCOMPARE(label->alignment(), Qt::AlignCenter);
            // A caption wider than its label would be cut off at both ends.
            QVERIFY2(QFontMetrics(label->font()).horizontalAdvance(label->text()) <= 377,
                     qPrintable(label->text()));
        } else {
            QVERIFY(label->alignment() & Qt::AlignLeft);
            QVERIFY(label->wordWrap());
            QVERIFY(label->heightForWidth(377) <= height);
        }
    }

    void linksKeepTheFormsFace()
    {
        QCOMPARE(m_form->Label6->font().family(), m_form->LabelProgName->font().family());
        QCOMPARE(m_form->Label6->font().pointSize(), 8);
        QVERIFY(m_form->Label6->font().underline());
        QVERIFY(!m_form->LabelProgName->font().underline());
    }

    void eachLinkOpensItsOwnAddress()
    {
        const QList<ClickLabel*> links = {m_form->LabelUrl, m_form->Label6, m_form->Label2,
                                          m_form->Label4,   m_form->Label3, m_form->Label5};
        QSet<QUrl> addresses;
        for (ClickLabel* link : links) {
            m_opened.clear();
            QTest::mouseClick(link, Qt::LeftButton);
            QCOMPARE(m_opened, QList<QUrl>{link->url()});
            QVERIFY2(isExampleAddress(link->url()), qPrintable(link->url().toString()));
            QCOMPARE(link->toolTip(), link->url().toString());
            QVERIFY(!link->accessibleName().isEmpty());
            QCOMPARE(link->cursor().shape(), Qt::PointingHandCursor);
            QCOMPARE(link->palette().color(QPalette::WindowText), QColor(Qt::blue));
            addresses.insert(link->url());
        }
        QCOMPARE(addresses.size(), links.size());
    }

    void onlyALeftClickOnTheLinkOpensIt()
    {
        ClickLabel* link = m_form->Label4;
        QTest::mouseClick(link, Qt::RightButton);
        QTest::mousePress(link, Qt::LeftButton);
        QTest::mouseRelease(link, Qt::LeftButton, {}, QPoint(link->width() + 20, 5));
        QTest::mouseClick(m_form->LabelProgName, Qt::LeftButton);
        QTest::mouseClick(m_form->Label1, Qt::LeftButton);
        QVERIFY(m_opened.isEmpty());
    }

    void theRealOpenerReachesTheDesktop()
    {
        UrlRecorder browser(QStringLiteral("https"));
        {
            TFormAboutBrindora form(m_owner.get());
            QTest::mouseClick(form.LabelUrl, Qt::LeftButton);
            QCOMPARE(browser.opened, QList<QUrl>{form.LabelUrl->url()});
        }
    }

    void enterEndsWithOk()
    {
        QCOMPARE(runWhile([this] { QTest::keyClick(m_form, Qt::Key_Return); }), 1);
    }

    void okButtonEndsWithOk()
    {
        QCOMPARE(runWhile([this] { QTest::mouseClick(m_form->ButtonOk, Qt::LeftButton); }), 1);
    }

    void closeBoxEndsWithCancel()
    {
        QCOMPARE(runWhile([this] { m_form->close(); }), 2);
    }

    void escapeDoesNothing()
    {
        QSignalSpy finished(m_form, &QDialog::finished);
        m_form->open();
        QVERIFY(QTest::qWaitForWindowExposed(m_form));
        QTest::keyClick(m_form->ButtonOk, Qt::Key_Escape);
        QTest::keyClick(m_form, Qt::Key_Escape);
        QVERIFY(m_form->isVisible());
        QCOMPARE(finished.count(), 0);
    }

private:
    // Runs the dialog modally and does the action from inside its loop. Should the action
    // not end the dialog, it is ended with a result no action gives, so the test fails
    // instead of hanging.
    template <typename Action> int runWhile(Action action)
    {
        QTimer::singleShot(0, m_form, [this, action] {
            action();
            if (m_form->isVisible()) {
                m_form->done(-1);
            }
        });
        return m_form->exec();
    }

    std::unique_ptr<QWidget> m_owner;
    TFormAboutBrindora* m_form = nullptr;
    QList<QUrl> m_opened;
};

QTEST_MAIN(TestFormAboutBrindora)
#include "tst_faboutbrindora.moc"
