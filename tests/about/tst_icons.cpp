#include <QImage>
#include <QTest>

// The icons reach the program as resources; a name or size out of step with the files
// would leave the tray and the window without a picture.
class TestIcons final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void iconResource_data()
    {
        QTest::addColumn<int>("size");
        for (const int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
            QTest::addRow("%d", size) << size;
        }
    }

    void iconResource()
    {
        QFETCH(int, size);
        const QImage icon(QStringLiteral(":/icons/brindora-%1.png").arg(size));
        QVERIFY(!icon.isNull());
        QCOMPARE(icon.size(), QSize(size, size));
        QVERIFY(icon.hasAlphaChannel());
        // Rounded corners show what lies behind; the middle is the opaque picture.
        QCOMPARE(qAlpha(icon.pixel(0, 0)), 0);
        QCOMPARE(qAlpha(icon.pixel(size / 2, size / 2)), 255);
    }
};

QTEST_GUILESS_MAIN(TestIcons)
#include "tst_icons.moc"
