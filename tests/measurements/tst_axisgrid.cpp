// The axes and grid lines of the surface view, without an OpenGL context.
#include <QtTest>

#include "AxisGrid.h"

class TestAxisGrid : public QObject
{
    Q_OBJECT

private slots:
    void axesThenAGridOnThreeFaces()
    {
        const AxisGrid grid;
        QCOMPARE(grid.xDivisions, 5);
        QCOMPARE(grid.yDivisions, 5);
        QCOMPARE(grid.zDivisions, 5);
        const std::vector<AxisGrid::Line> lines = grid.lines();
        QCOMPARE(lines.size(), size_t(3 + 3 * 6 * 2));

        for (int axis = 0; axis < 3; ++axis) {
            const AxisGrid::Line& line = lines[size_t(axis)];
            QCOMPARE(line.width, 1.5f);
            for (int d = 0; d < 3; ++d) {
                QCOMPARE(line.from[d], 0.0f);
                QCOMPARE(line.to[d], d == axis ? 1.0f : 0.0f);
            }
        }
        int onEachFace[3] = {0, 0, 0};
        for (size_t k = 3; k < lines.size(); ++k) {
            const AxisGrid::Line& line = lines[k];
            QCOMPARE(line.width, 0.5f);
            // One unit long, along one axis, on a face through the origin.
            int along = -1;
            for (int d = 0; d < 3; ++d) {
                QVERIFY(line.from[d] >= 0.0f && line.from[d] <= 1.0f);
                if (line.to[d] != line.from[d]) {
                    QCOMPARE(line.to[d] - line.from[d], 1.0f);
                    along = d;
                }
            }
            QVERIFY(along >= 0);
            for (int d = 0; d < 3; ++d)
                if (d != along && line.from[d] == 0.0f)
                    ++onEachFace[d];
        }
        // Each face carries 6 lines in each of its two directions, the edges shared.
        for (int d = 0; d < 3; ++d)
            QVERIFY(onEachFace[d] >= 12);
        // Heights 0, 0.2, ... 1 along x on the face y = 0.
        for (int k = 0; k <= 5; ++k) {
            const AxisGrid::Line& line = lines[size_t(3 + 2 * k)];
            QCOMPARE(line.from[2], float(k) / 5.0f);
            QCOMPARE(line.to[0], 1.0f);
        }
    }
};

QTEST_GUILESS_MAIN(TestAxisGrid)
#include "tst_axisgrid.moc"
