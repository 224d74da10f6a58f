// The surface built from a grid: its quads, their corners and colours, without
// any OpenGL context.
#include <QColor>
#include <QtTest>

#include <cmath>
#include <limits>
#include <vector>

#include "SurfacePlot.h"

namespace {

struct Rgb
{
    float red, green, blue;
};

Rgb colorOf(const SurfaceQuad& quad)
{
    return {quad.red, quad.green, quad.blue};
}

bool sameColor(const Rgb& a, const Rgb& b)
{
    return qAbs(a.red - b.red) < 1e-6f && qAbs(a.green - b.green) < 1e-6f && qAbs(a.blue - b.blue) < 1e-6f;
}

const Rgb BLUE{0, 0, 1}, RED{1, 0, 0}, GREEN{0, 1, 0};

}  // namespace

class TestSurfacePlot : public QObject
{
    Q_OBJECT

private slots:
    void valueToColor_data()
    {
        QTest::addColumn<float>("v");
        QTest::addColumn<float>("red");
        QTest::addColumn<float>("green");
        QTest::addColumn<float>("blue");

        QTest::newRow("negative is blue") << -3.0f << 0.0f << 0.0f << 1.0f;
        QTest::newRow("0 is blue") << 0.0f << 0.0f << 0.0f << 1.0f;
        QTest::newRow("just below 0.001 is blue") << 0.00099f << 0.0f << 0.0f << 1.0f;
        QTest::newRow("0.001 starts the green ramp") << 0.001f << 0.0f << 0.004f << 1.0f;
        QTest::newRow("0.125") << 0.125f << 0.0f << 0.5f << 1.0f;
        QTest::newRow("0.25 is cyan") << 0.25f << 0.0f << 1.0f << 1.0f;
        QTest::newRow("0.375") << 0.375f << 0.0f << 1.0f << 0.5f;
        QTest::newRow("0.5 is green") << 0.5f << 0.0f << 1.0f << 0.0f;
        QTest::newRow("0.625") << 0.625f << 0.5f << 1.0f << 0.0f;
        QTest::newRow("0.75 is yellow") << 0.75f << 1.0f << 1.0f << 0.0f;
        QTest::newRow("0.875") << 0.875f << 1.0f << 0.5f << 0.0f;
        QTest::newRow("1 is red") << 1.0f << 1.0f << 0.0f << 0.0f;
        QTest::newRow("above 1 is red") << 7.5f << 1.0f << 0.0f << 0.0f;
        QTest::newRow("not a number is red") << std::numeric_limits<float>::quiet_NaN() << 1.0f << 0.0f << 0.0f;
    }

    void valueToColor()
    {
        QFETCH(float, v);
        QFETCH(float, red);
        QFETCH(float, green);
        QFETCH(float, blue);
        float r = -1, g = -1, b = -1;
        SurfacePlot::valueToColor(v, r, g, b);
        QVERIFY2(sameColor({r, g, b}, {red, green, blue}), qPrintable(QString("%1 %2 %3").arg(r).arg(g).arg(b)));
    }

    void emptyAtConstruction()
    {
        SurfacePlot plot;
        QVERIFY(plot.quads().empty());
    }

    void allZerosIsFlatAndBlue()
    {
        const std::vector<float> grid(64 * 64, 0.0f);
        SurfacePlot plot;
        plot.setData(grid.data(), 64, 64);
        QCOMPARE(plot.quads().size(), size_t(63 * 63));
        for (const SurfaceQuad& quad : plot.quads()) {
            QVERIFY(sameColor(colorOf(quad), BLUE));
            for (const float* corner : quad.corner)
                QCOMPARE(corner[2], 0.0f);
        }
    }

    void cornersInDrawingOrder()
    {
        // 3 columns, 2 rows: row r, column c at r * 3 + c.
        const float grid[] = {0.0f, 0.1f, 0.2f, 1.0f, 1.1f, 1.2f};
        SurfacePlot plot;
        plot.setData(grid, 3, 2);
        QCOMPARE(plot.quads().size(), size_t(2));
        // Columns outer, rows inner; each cell (x0,y0) (x1,y0) (x1,y1) (x0,y1).
        const float expected[2][4][3] = {
            {{0.0f, 0.0f, 0.0f}, {0.5f, 0.0f, 0.1f}, {0.5f, 1.0f, 1.1f}, {0.0f, 1.0f, 1.0f}},
            {{0.5f, 0.0f, 0.1f}, {1.0f, 0.0f, 0.2f}, {1.0f, 1.0f, 1.2f}, {0.5f, 1.0f, 1.1f}},
        };
        for (int q = 0; q < 2; ++q)
            for (int k = 0; k < 4; ++k)
                for (int d = 0; d < 3; ++d)
                    QCOMPARE(plot.quads()[size_t(q)].corner[k][d], expected[q][k][d]);
    }

    void quadOrderRunsAlongRowsFirst()
    {
        // 3 columns, 4 rows: the second quad is the next row of the same column.
        std::vector<float> grid(12, 0.0f);
        SurfacePlot plot;
        plot.setData(grid.data(), 3, 4);
        QCOMPARE(plot.quads().size(), size_t(6));
        QCOMPARE(plot.quads()[1].corner[0][0], 0.0f);
        QCOMPARE(plot.quads()[1].corner[0][1], 1.0f / 3.0f);
        QCOMPARE(plot.quads()[3].corner[0][0], 0.5f);
        QCOMPARE(plot.quads()[3].corner[0][1], 0.0f);
        QCOMPARE(plot.quads()[5].corner[2][0], 1.0f);
        QCOMPARE(plot.quads()[5].corner[2][1], 1.0f);
    }

    void normalisedGridColours()
    {
        // A 2 x 2 block of ones in the corner of a zero grid, spanning 0 to 1.
        std::vector<float> grid(4 * 4, 0.0f);
        grid[0] = grid[1] = grid[4] = grid[5] = 1.0f;
        SurfacePlot plot;
        plot.setData(grid.data(), 4, 4);
        QCOMPARE(plot.quads().size(), size_t(9));
        QVERIFY(sameColor(colorOf(plot.quads()[0]), RED));    // column 0, row 0: four corners at 1
        QVERIFY(sameColor(colorOf(plot.quads()[3]), GREEN));  // column 1, row 0: mean 0.5
        QVERIFY(sameColor(colorOf(plot.quads()[1]), GREEN));  // column 0, row 1: mean 0.5
        QVERIFY(sameColor(colorOf(plot.quads()[8]), BLUE));
    }

    void meanOverSpanWithoutTheSmallest()
    {
        // -1 to 1: span 2. A flat quad at 0 is 0 / 2 = blue (not half way, green);
        // a flat quad at 1 is 0.5, green.
        const float grid[] = {-1.0f, 0.0f, 0.0f, 1.0f, 1.0f,  //
                              -1.0f, 0.0f, 0.0f, 1.0f, 1.0f};
        SurfacePlot plot;
        plot.setData(grid, 5, 2);
        QCOMPARE(plot.quads().size(), size_t(4));
        QVERIFY(sameColor(colorOf(plot.quads()[1]), BLUE));
        QVERIFY(sameColor(colorOf(plot.quads()[3]), GREEN));
    }

    void spanIsAtLeastTheFloor()
    {
        // Everything at 5e-5: the scale's top is 1e-4, so the mean is 0.5 of it.
        const std::vector<float> grid(4, 5e-5f);
        SurfacePlot plot;
        plot.setData(grid.data(), 2, 2);
        QCOMPARE(plot.quads().size(), size_t(1));
        QVERIFY(sameColor(colorOf(plot.quads()[0]), GREEN));
    }

    void degenerateGridsLeaveTheSurfaceEmpty_data()
    {
        QTest::addColumn<int>("columns");
        QTest::addColumn<int>("rows");
        QTest::newRow("1 x 64") << 1 << 64;
        QTest::newRow("64 x 1") << 64 << 1;
        QTest::newRow("1 x 1") << 1 << 1;
        QTest::newRow("0 x 5") << 0 << 5;
        QTest::newRow("negative") << -3 << 4;
    }

    void degenerateGridsLeaveTheSurfaceEmpty()
    {
        QFETCH(int, columns);
        QFETCH(int, rows);
        const std::vector<float> ones(64, 1.0f);
        std::vector<float> grid(64, 0.5f);
        SurfacePlot plot;
        plot.setData(ones.data(), 8, 8);
        QCOMPARE(plot.quads().size(), size_t(49));
        plot.setData(grid.data(), columns, rows);
        QVERIFY(plot.quads().empty());
        plot.setData(nullptr, 8, 8);
        QVERIFY(plot.quads().empty());
    }

    // A missing cell (not a number) leaves a hole: every quad it is a corner of
    // is left out, the others keep their place, heights and colours, and the
    // colour scale is that of the cells that have values.
    void missingCellsLeaveHoles_data()
    {
        QTest::addColumn<QList<int>>("missing");      // cells, row r and column c at r * 4 + c
        QTest::addColumn<QList<int>>("quadsLeft");    // of the nine, by their place c * 3 + r

        QTest::newRow("an inner cell takes its four quads") << QList<int>{5} << QList<int>{2, 5, 6, 7, 8};
        QTest::newRow("a corner cell takes one") << QList<int>{0} << QList<int>{1, 2, 3, 4, 5, 6, 7, 8};
        QTest::newRow("two neighbours on an edge") << QList<int>{1, 2} << QList<int>{1, 2, 4, 5, 7, 8};
        QTest::newRow("every cell: nothing drawn") << QList<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15}
                                                   << QList<int>{};
    }

    void missingCellsLeaveHoles()
    {
        QFETCH(QList<int>, missing);
        QFETCH(QList<int>, quadsLeft);
        // 4 x 4, rising along the columns: 0, 1/3, 2/3, 1 on every row.
        std::vector<float> grid(16);
        for (int k = 0; k < 16; ++k)
            grid[size_t(k)] = float(k % 4) / 3.0f;
        SurfacePlot full;
        full.setData(grid.data(), 4, 4);
        QCOMPARE(full.quads().size(), size_t(9));
        // A value that would be the top of the colour scale if it were counted.
        for (int cell : missing)
            grid[size_t(cell)] = std::numeric_limits<float>::quiet_NaN();

        SurfacePlot plot;
        plot.setData(grid.data(), 4, 4);
        QCOMPARE(int(plot.quads().size()), quadsLeft.size());
        for (qsizetype q = 0; q < quadsLeft.size(); ++q) {
            const SurfaceQuad& drawn = plot.quads()[size_t(q)];
            const SurfaceQuad& whole = full.quads()[size_t(quadsLeft[q])];
            for (int k = 0; k < 4; ++k)
                for (int d = 0; d < 3; ++d) {
                    QVERIFY(std::isfinite(drawn.corner[k][d]));
                    QCOMPARE(drawn.corner[k][d], whole.corner[k][d]);
                }
            QVERIFY(std::isfinite(drawn.red) && std::isfinite(drawn.green) && std::isfinite(drawn.blue));
        }
        // After a grid without gaps the surface is whole again.
        SurfacePlot again;
        again.setData(grid.data(), 4, 4);
        for (float& v : grid)
            v = 0.5f;
        again.setData(grid.data(), 4, 4);
        QCOMPARE(again.quads().size(), size_t(9));
    }

    // The gaps take no part in the colour scale: the largest value that is there
    // sets it, not an infinite one.
    void missingCellsStayOutOfTheColourScale()
    {
        const float gap = std::numeric_limits<float>::infinity();
        const float grid[] = {0.5f, 0.5f, gap,  //
                              0.5f, 0.5f, 1.0f};
        SurfacePlot plot;
        plot.setData(grid, 3, 2);
        QCOMPARE(plot.quads().size(), size_t(1));
        // Mean 0.5 over a span of 1: green, as without the gap.
        QVERIFY(sameColor(colorOf(plot.quads()[0]), GREEN));
    }

    void quadColouredFromAColour()
    {
        SurfaceQuad quad(0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0);
        QVERIFY(sameColor(colorOf(quad), {0, 0, 0}));
        quad.setColor(QColor(255, 0, 51));
        QVERIFY(sameColor(colorOf(quad), {1.0f, 0.0f, 0.2f}));
        QCOMPARE(quad.corner[2][1], 1.0f);
    }
};

QTEST_GUILESS_MAIN(TestSurfacePlot)
#include "tst_surfaceplot.moc"
