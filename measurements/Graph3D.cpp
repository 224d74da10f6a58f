#include "Graph3D.h"

#include <QMouseEvent>
#include <QSurfaceFormat>

#include <GL/gl.h>

#include <algorithm>
#include <cmath>

#include "SurfacePlot.h"

namespace {
constexpr float EYE_DISTANCE = 10.0f;
constexpr float NEAR_PLANE = 4.0f;
constexpr float FAR_PLANE = 15.0f;
// Room around the cube, as a fraction of its extent, for the lines' width.
constexpr qreal MARGIN = 0.05;
}  // namespace

Graph3D::Graph3D(QWidget* parent)
    : QOpenGLWidget(parent)
    , m_surface(new SurfacePlot(this))
{
    QSurfaceFormat format;
    format.setSamples(4);
    format.setProfile(QSurfaceFormat::CompatibilityProfile);
    setFormat(format);
}

Graph3D::~Graph3D() = default;

QSize Graph3D::sizeHint() const
{
    return QSize(600, 400);
}

QSize Graph3D::minimumSizeHint() const
{
    return QSize(50, 50);
}

void Graph3D::setData(const float* grid, int columns, int rows)
{
    m_surface->setData(grid, columns, rows);
}

int Graph3D::normalizedAngle(int angle)
{
    if (angle < 0) {
        angle %= FULL_TURN;
        if (angle < 0)
            angle += FULL_TURN;
    } else if (angle > FULL_TURN) {
        angle = (angle - 1) % FULL_TURN + 1;
    }
    return angle;
}

QRect Graph3D::squareViewport(int w, int h)
{
    const int side = std::min(w, h);
    return QRect((w - side) / 2, (h - side) / 2, side, side);
}

QMatrix4x4 Graph3D::modelView(int xRotation, int yRotation, int zRotation)
{
    QMatrix4x4 m;
    m.translate(0.0f, 0.0f, -EYE_DISTANCE);
    m.rotate(float(xRotation) / 16.0f, 1.0f, 0.0f, 0.0f);
    m.rotate(float(yRotation) / 16.0f, 0.0f, 1.0f, 0.0f);
    m.rotate(float(zRotation) / 16.0f, 0.0f, 0.0f, 1.0f);
    return m;
}

QRectF Graph3D::viewSquare()
{
    static const QRectF square = [] {
        const QMatrix4x4 m = modelView(START_X_ROTATION, START_Y_ROTATION, START_Z_ROTATION);
        qreal left = 1e9, right = -1e9, bottom = 1e9, top = -1e9;
        for (int corner = 0; corner < 8; ++corner) {
            const QVector3D p = m.map(QVector3D(corner & 1, (corner >> 1) & 1, (corner >> 2) & 1));
            left = std::min(left, qreal(p.x()));
            right = std::max(right, qreal(p.x()));
            bottom = std::min(bottom, qreal(p.y()));
            top = std::max(top, qreal(p.y()));
        }
        // Square, as the viewport is.
        const qreal half = std::max(right - left, top - bottom) * (0.5 + MARGIN);
        const QPointF centre((left + right) / 2, (bottom + top) / 2);
        return QRectF(centre.x() - half, centre.y() - half, 2 * half, 2 * half);
    }();
    return square;
}

QMatrix4x4 Graph3D::projection()
{
    const QRectF square = viewSquare();
    QMatrix4x4 p;
    // The scene's y grows upwards: the rectangle's y is the lower edge.
    p.ortho(float(square.left()), float(square.right()), float(square.y()), float(square.y() + square.height()),
            NEAR_PLANE, FAR_PLANE);
    return p;
}

void Graph3D::setXRotation(int angle)
{
    angle = normalizedAngle(angle);
    if (angle != xRot) {
        xRot = angle;
        update();
    }
}

void Graph3D::setYRotation(int angle)
{
    angle = normalizedAngle(angle);
    if (angle != yRot) {
        yRot = angle;
        update();
    }
}

void Graph3D::setZRotation(int angle)
{
    angle = normalizedAngle(angle);
    if (angle != zRot) {
        zRot = angle;
        update();
    }
}

void Graph3D::initializeGL()
{
    glShadeModel(GL_SMOOTH);
    glClearColor(1.0f, 1.0f, 1.0f, 0.5f);
    glClearDepth(1.0);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
}

void Graph3D::resizeGL(int, int)
{
    applyView();
}

void Graph3D::applyView()
{
    const qreal ratio = devicePixelRatioF();
    const QRect square = squareViewport(int(std::lround(width() * ratio)), int(std::lround(height() * ratio)));
    glViewport(square.x(), square.y(), square.width(), square.height());
    glMatrixMode(GL_PROJECTION);
    glLoadMatrixf(projection().constData());
    glMatrixMode(GL_MODELVIEW);
}

void Graph3D::paintGL()
{
    // Qt sets the viewport to the whole widget before every paint.
    applyView();
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadMatrixf(modelView(xRot, yRot, zRot).constData());
    m_surface->draw();
    m_axes.draw();
}

void Graph3D::mousePressEvent(QMouseEvent* event)
{
    lastPos = event->position().toPoint();
}

void Graph3D::mouseMoveEvent(QMouseEvent* event)
{
    const QPointF position = event->position();
    const int dx = qRound(position.x() - lastPos.x());
    const int dy = qRound(position.y() - lastPos.y());
    if (event->buttons() & Qt::LeftButton) {
        setXRotation(xRot + 8 * dy);
        setYRotation(yRot + 8 * dx);
    } else if (event->buttons() & Qt::RightButton) {
        setXRotation(xRot + 8 * dy);
        setZRotation(zRot + 8 * dx);
    }
    lastPos = position.toPoint();
}
