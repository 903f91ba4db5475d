#include "Commandline.h"
#include "Placement.h"

#include <QTest>

Q_DECLARE_METATYPE(PlacementRect)

class TestAppCore final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void placement_data()
    {
        QTest::addColumn<PlacementRect>("parent");
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<PlacementRect>("screen");
        QTest::addColumn<int>("left");
        QTest::addColumn<int>("top");
        const PlacementRect screen{0, 0, 1920, 1080};
        QTest::newRow("centred") << PlacementRect{500, 400, 400, 100} << 300 << 60 << screen << 550
                                 << 420;
        QTest::newRow("halving rounds toward zero")
            << PlacementRect{100, 100, 200, 100} << 301 << 51 << screen << 50 << 124;
        QTest::newRow("negative half rounds toward zero")
            << PlacementRect{100, 100, 10, 10} << 13 << 13 << screen << 114 << 114;
        QTest::newRow("same width moves right")
            << PlacementRect{500, 400, 400, 100} << 400 << 50 << screen << 515 << 425;
        QTest::newRow("nearly the same size moves right and down")
            << PlacementRect{500, 400, 400, 100} << 391 << 109 << screen << 519 << 411;
        QTest::newRow("a difference of ten is not nearly the same")
            << PlacementRect{500, 400, 400, 100} << 390 << 110 << screen << 505 << 395;
        QTest::newRow("top-left corner clamps to zero")
            << PlacementRect{0, 0, 100, 50} << 400 << 300 << screen << 0 << 0;
        QTest::newRow("bottom kept fifty above the screen's edge")
            << PlacementRect{500, 950, 400, 100} << 300 << 120 << screen << 550 << 910;
        QTest::newRow("right edge kept on the screen")
            << PlacementRect{1800, 100, 200, 100} << 300 << 60 << screen << 1620 << 120;
        QTest::newRow("larger than the screen: the late rules win")
            << PlacementRect{0, 0, 100, 50} << 2000 << 1200 << screen << -80 << -170;
        QTest::newRow("second screen to the right")
            << PlacementRect{1920, 0, 100, 50} << 400 << 300 << PlacementRect{1920, 0, 1280, 1024}
            << 1920 << 0;
    }

    void placement()
    {
        QFETCH(PlacementRect, parent);
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(PlacementRect, screen);
        QFETCH(int, left);
        QFETCH(int, top);
        const PlacementPoint at = placeDialogRect(parent, width, height, screen);
        QCOMPARE(at.left, left);
        QCOMPARE(at.top, top);
    }

    void titleBarReachable_data()
    {
        QTest::addColumn<PlacementRect>("window");
        QTest::addColumn<bool>("reachable");
        QTest::newRow("inside") << PlacementRect{100, 100, 383, 90} << true;
        QTest::newRow("on the second screen") << PlacementRect{2500, 500, 383, 90} << true;
        QTest::newRow("in the gap below the smaller screen")
            << PlacementRect{2500, 1100, 383, 90} << false;
        QTest::newRow("far right of every screen") << PlacementRect{5000, 100, 383, 90} << false;
        QTest::newRow("under the top panel") << PlacementRect{100, 0, 383, 90} << false;
        QTest::newRow("decoration margins as a place") << PlacementRect{-3, -30, 383, 90} << false;
        QTest::newRow("title bar right at the bottom edge")
            << PlacementRect{100, 1070, 383, 90} << false;
        QTest::newRow("a sliver across the right edge")
            << PlacementRect{3180, 100, 383, 90} << false;
        QTest::newRow("enough across the left edge") << PlacementRect{-340, 100, 383, 90} << true;
    }

    void titleBarReachable()
    {
        QFETCH(PlacementRect, window);
        QFETCH(bool, reachable);
        // A top panel on the first screen, none on the second.
        const std::vector<PlacementRect> workAreas{{0, 27, 1920, 1053}, {1920, 0, 1280, 1024}};
        QCOMPARE(isTitleBarReachable(window, workAreas), reachable);
    }

    void scanCommandLine_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("autoMinimize");
        QTest::newRow("none") << QStringList{QStringLiteral("brindora")} << false;
        QTest::newRow("lower case")
            << QStringList{QStringLiteral("brindora"), QStringLiteral("-autominimize")} << true;
        QTest::newRow("mixed case, among others")
            << QStringList{QStringLiteral("brindora"), QStringLiteral("x"),
                           QStringLiteral("-AutoMINimize")}
            << true;
        QTest::newRow("program name is not an argument")
            << QStringList{QStringLiteral("-autominimize")} << false;
        QTest::newRow("prefix only")
            << QStringList{QStringLiteral("brindora"), QStringLiteral("-autominimizex")} << false;
        QTest::newRow("double dash")
            << QStringList{QStringLiteral("brindora"), QStringLiteral("--autominimize")} << false;
    }

    void scanCommandLine()
    {
        QFETCH(QStringList, arguments);
        QFETCH(bool, autoMinimize);
        QCOMPARE(ScanCommandLine(arguments), autoMinimize);
    }
};

QTEST_GUILESS_MAIN(TestAppCore)
#include "tst_appcore.moc"
