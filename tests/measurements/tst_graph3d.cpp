// The surface view on a real OpenGL context (Xvfb, xcb): its angles, the mouse,
// the projection that keeps the whole cube in view, and what it draws, read back
// from the framebuffer.
#include <QMouseEvent>
#include <QOpenGLContext>
#include <QtTest>

#include <GL/gl.h>

#include <algorithm>
#include <climits>
#include <vector>

#include "Graph3D.h"
#include "SurfacePlot.h"
#include "support/GlDriverPin.h"

namespace {

// Remembers the viewport that paintGL leaves in force while it draws.
class ObservedGraph3D : public Graph3D
{
public:
    using Graph3D::Graph3D;
    QRect viewportInPaint;
    int paints = 0;

protected:
    void paintGL() override
    {
        Graph3D::paintGL();
        GLint viewport[4] = {0, 0, 0, 0};
        glGetIntegerv(GL_VIEWPORT, viewport);
        viewportInPaint = QRect(viewport[0], viewport[1], viewport[2], viewport[3]);
        ++paints;
    }
};

void sendMouse(QWidget* widget, QEvent::Type type, QPointF position, Qt::MouseButton button,
               Qt::MouseButtons buttons)
{
    QMouseEvent event(type, position, widget->mapToGlobal(position), button, buttons, Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &event);
}

bool isWhite(QRgb c) { return qRed(c) > 245 && qGreen(c) > 245 && qBlue(c) > 245; }
bool isBlue(QRgb c) { return qBlue(c) > 200 && qRed(c) < 60 && qGreen(c) < 60; }
bool isRed(QRgb c) { return qRed(c) > 200 && qGreen(c) < 60 && qBlue(c) < 60; }

struct PixelCount
{
    int white = 0, blue = 0, red = 0, other = 0;
};

PixelCount countPixels(const QImage& image, const QRect& area)
{
    PixelCount n;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) {
            const QRgb c = image.pixel(x, y);
            if (isWhite(c))
                ++n.white;
            else if (isBlue(c))
                ++n.blue;
            else if (isRed(c))
                ++n.red;
            else
                ++n.other;
        }
    return n;
}

}  // namespace

class TestGraph3D : public QObject
{
    Q_OBJECT

private slots:
    void cleanupTestCase() { pinLoadedGlDrivers(); }

    void atConstruction()
    {
        Graph3D view;
        QCOMPARE(view.xRotation(), 4690);
        QCOMPARE(view.yRotation(), 21);
        QCOMPARE(view.zRotation(), 3744);
        QCOMPARE(view.sizeHint(), QSize(600, 400));
        QCOMPARE(view.minimumSizeHint(), QSize(50, 50));
        QCOMPARE(view.format().samples(), 4);
        QCOMPARE(view.format().profile(), QSurfaceFormat::CompatibilityProfile);
        QVERIFY(view.surface()->quads().empty());
        QCOMPARE(view.surface()->parent(), &view);
    }

    void angleWrapsAround_data()
    {
        QTest::addColumn<int>("angle");
        QTest::addColumn<int>("stored");

        QTest::newRow("-16 becomes 5744") << -16 << 5744;
        QTest::newRow("5761 becomes 1") << 5761 << 1;
        QTest::newRow("5760 stays") << 5760 << 5760;
        QTest::newRow("0 stays") << 0 << 0;
        QTest::newRow("-5760 becomes 0") << -5760 << 0;
        QTest::newRow("-5761 becomes 5759") << -5761 << 5759;
        QTest::newRow("11520 becomes 5760") << 11520 << 5760;
        QTest::newRow("11521 becomes 1") << 11521 << 1;
        QTest::newRow("far below") << INT_MIN << 5632;   // INT_MIN = -372827 * 5760 + 5632
        QTest::newRow("far above") << INT_MAX << 127;    // INT_MAX = 372827 * 5760 + 127
    }

    void angleWrapsAround()
    {
        QFETCH(int, angle);
        QFETCH(int, stored);
        QCOMPARE(Graph3D::normalizedAngle(angle), stored);

        Graph3D view;
        view.setXRotation(angle);
        view.setYRotation(angle);
        view.setZRotation(angle);
        QCOMPARE(view.xRotation(), stored);
        QCOMPARE(view.yRotation(), stored);
        QCOMPARE(view.zRotation(), stored);
    }

    void centredSquare_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QRect>("square");

        QTest::newRow("300 x 200") << QSize(300, 200) << QRect(50, 0, 200, 200);
        QTest::newRow("200 x 300") << QSize(200, 300) << QRect(0, 50, 200, 200);
        QTest::newRow("odd margin rounds down") << QSize(301, 200) << QRect(50, 0, 200, 200);
        QTest::newRow("square") << QSize(250, 250) << QRect(0, 0, 250, 250);
    }

    void centredSquare()
    {
        QFETCH(QSize, size);
        QFETCH(QRect, square);
        QCOMPARE(Graph3D::squareViewport(size.width(), size.height()), square);
    }

    void mouseTurnsTheView_data()
    {
        QTest::addColumn<int>("button");
        QTest::addColumn<QPointF>("press");
        QTest::addColumn<QPointF>("move");
        QTest::addColumn<int>("dxRot");
        QTest::addColumn<int>("dyRot");
        QTest::addColumn<int>("dzRot");

        QTest::newRow("left, 10 px right turns y by 80") << int(Qt::LeftButton) << QPointF(20, 20) << QPointF(30, 20)
                                                         << 0 << 80 << 0;
        QTest::newRow("right, 10 px right turns z by 80") << int(Qt::RightButton) << QPointF(20, 20)
                                                          << QPointF(30, 20) << 0 << 0 << 80;
        QTest::newRow("left, 3 px down turns x by 24") << int(Qt::LeftButton) << QPointF(20, 20) << QPointF(20, 23)
                                                       << 24 << 0 << 0;
        QTest::newRow("right, 2 px up turns x back by 16") << int(Qt::RightButton) << QPointF(20, 20)
                                                           << QPointF(20, 18) << -16 << 0 << 0;
        QTest::newRow("half pixels round away from zero") << int(Qt::LeftButton) << QPointF(20.4, 20)
                                                          << QPointF(25.5, 14.5) << -48 << 48 << 0;
        QTest::newRow("no button, no turn") << int(Qt::NoButton) << QPointF(20, 20) << QPointF(40, 40) << 0 << 0
                                            << 0;
    }

    void mouseTurnsTheView()
    {
        QFETCH(int, button);
        QFETCH(QPointF, press);
        QFETCH(QPointF, move);
        QFETCH(int, dxRot);
        QFETCH(int, dyRot);
        QFETCH(int, dzRot);

        Graph3D view;
        view.resize(300, 200);
        const Qt::MouseButton b = Qt::MouseButton(button);
        sendMouse(&view, QEvent::MouseButtonPress, press, b, b);
        sendMouse(&view, QEvent::MouseMove, move, Qt::NoButton, b);
        QCOMPARE(view.xRotation(), 4690 + dxRot);
        QCOMPARE(view.yRotation(), 21 + dyRot);
        QCOMPARE(view.zRotation(), 3744 + dzRot);
    }

    void dragContinuesFromTheLastPosition()
    {
        Graph3D view;
        view.resize(300, 200);
        sendMouse(&view, QEvent::MouseButtonPress, {10, 10}, Qt::LeftButton, Qt::LeftButton);
        sendMouse(&view, QEvent::MouseMove, {14, 10}, Qt::NoButton, Qt::LeftButton);
        sendMouse(&view, QEvent::MouseMove, {20, 10}, Qt::NoButton, Qt::LeftButton);
        QCOMPARE(view.yRotation(), 21 + 80);
        // The right button goes on from the same point, turning z instead of y.
        sendMouse(&view, QEvent::MouseMove, {25, 10}, Qt::NoButton, Qt::RightButton);
        QCOMPARE(view.yRotation(), 21 + 80);
        QCOMPARE(view.zRotation(), 3744 + 40);
        // Turning back past zero wraps: 101 - 16 * 8 = -27 -> 5733.
        sendMouse(&view, QEvent::MouseMove, {9, 10}, Qt::NoButton, Qt::LeftButton);
        QCOMPARE(view.yRotation(), 5733);
    }

    // What the view draws, read back from its framebuffer.
    void drawnColoursInTheCentredSquare_data()
    {
        QTest::addColumn<float>("level");
        QTest::addColumn<bool>("red");
        QTest::newRow("all zeros draw blue") << 0.0f << false;
        QTest::newRow("all ones draw red") << 1.0f << true;
    }

    void drawnColoursInTheCentredSquare()
    {
        QFETCH(float, level);
        QFETCH(bool, red);

        ObservedGraph3D view;
        view.resize(300, 200);
        const std::vector<float> grid(64 * 64, level);
        view.setData(grid.data(), 64, 64);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        const QImage image = view.grabFramebuffer().convertToFormat(QImage::Format_RGB32);
        QVERIFY(view.context() && view.context()->isValid());
        QVERIFY(view.paints > 0);
        QCOMPARE(image.size(), QSize(300, 200) * view.devicePixelRatio());
        QCOMPARE(view.viewportInPaint, Graph3D::squareViewport(image.width(), image.height()));

        const QRect square = Graph3D::squareViewport(image.width(), image.height());
        const PixelCount inside = countPixels(image, square);
        // The margins stay white: nothing of the surface is stretched into them. Only
        // a grid line of width 1.5 on the square's edge may spill into the pixel beside it.
        const QRect leftMargin(0, 0, square.left(), image.height());
        const QRect rightMargin(square.right() + 1, 0, image.width() - square.right() - 1, image.height());
        for (const QRect& margin : {leftMargin, rightMargin}) {
            const PixelCount all = countPixels(image, margin);
            QCOMPARE(all.blue + all.red, 0);
        }
        QCOMPARE(countPixels(image, leftMargin.adjusted(0, 0, -1, 0)).white, (leftMargin.width() - 1) * image.height());
        QCOMPARE(countPixels(image, rightMargin.adjusted(1, 0, 0, 0)).white, (rightMargin.width() - 1) * image.height());
        // Nothing reaches the square's edge: the surface and its grid are whole.
        const QRect frame = square.adjusted(1, 1, -1, -1);
        int onEdge = 0;
        for (int x = square.left(); x <= square.right(); ++x)
            onEdge += !isWhite(image.pixel(x, frame.top())) + !isWhite(image.pixel(x, frame.bottom()));
        for (int y = square.top(); y <= square.bottom(); ++y)
            onEdge += !isWhite(image.pixel(frame.left(), y)) + !isWhite(image.pixel(frame.right(), y));
        QCOMPARE(onEdge, 0);
        // The surface fills a good part of the square, in one colour.
        const int surface = red ? inside.red : inside.blue;
        QVERIFY2(surface > square.width() * square.height() / 10,
                 qPrintable(QString("blue %1 red %2 white %3 other %4")
                                .arg(inside.blue).arg(inside.red).arg(inside.white).arg(inside.other)));
        QCOMPARE(red ? inside.blue : inside.red, 0);
    }

    // Every corner of the unit cube (surface heights 0 to 1 included) lands inside
    // the view at the start angles, and the cube fills most of it.
    void wholeCubeInViewAtTheStartAngles()
    {
        const QMatrix4x4 clip = Graph3D::projection() *
                                Graph3D::modelView(Graph3D::START_X_ROTATION, Graph3D::START_Y_ROTATION,
                                                   Graph3D::START_Z_ROTATION);
        float widest = 0.0f;
        for (int corner = 0; corner < 8; ++corner) {
            const QVector3D p = clip.map(QVector3D(corner & 1, (corner >> 1) & 1, (corner >> 2) & 1));
            const QString where = QString("corner %1: %2 %3 %4").arg(corner).arg(p.x()).arg(p.y()).arg(p.z());
            QVERIFY2(qAbs(p.x()) <= 0.96f && qAbs(p.y()) <= 0.96f, qPrintable(where));
            QVERIFY2(qAbs(p.z()) < 1.0f, qPrintable(where));
            widest = std::max({widest, qAbs(p.x()), qAbs(p.y())});
        }
        QVERIFY2(widest >= 0.9f, qPrintable(QString::number(widest)));
        // Square, as the viewport is: the cube is not stretched.
        QCOMPARE(Graph3D::viewSquare().width(), Graph3D::viewSquare().height());
    }

    void viewportInPaintIsTheCentredSquare()
    {
        ObservedGraph3D view;
        view.resize(300, 200);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        view.grabFramebuffer();
        QCOMPARE(view.viewportInPaint, QRect(50, 0, 200, 200));
        view.resize(200, 320);
        view.grabFramebuffer();
        QCOMPARE(view.viewportInPaint, QRect(0, 60, 200, 200));
    }
};

QTEST_MAIN(TestGraph3D)
#include "tst_graph3d.moc"
