#include "Graph3D.h"

#include <QMouseEvent>
#include <QSurfaceFormat>

#include <GL/gl.h>

#include <algorithm>
#include <cmath>

#include "SurfacePlot.h"

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
    glLoadIdentity();
    glOrtho(-0.8, 0.8, -0.5, 1.0, 4.0, 15.0);
    glMatrixMode(GL_MODELVIEW);
}

void Graph3D::paintGL()
{
    // Qt sets the viewport to the whole widget before every paint.
    applyView();
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();
    glTranslatef(0.0f, 0.0f, -10.0f);
    glRotatef(float(xRot) / 16.0f, 1.0f, 0.0f, 0.0f);
    glRotatef(float(yRot) / 16.0f, 0.0f, 1.0f, 0.0f);
    glRotatef(float(zRot) / 16.0f, 0.0f, 0.0f, 1.0f);
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
