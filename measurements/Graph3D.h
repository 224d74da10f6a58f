#pragma once
// A grid of values as a coloured 3D surface with grey axes and grid lines, in an
// orthographic projection that the operator turns with the mouse. Drawn with the
// fixed-function OpenGL pipeline.
#include <QOpenGLWidget>
#include <QPoint>
#include <QRect>

#include "AxisGrid.h"

class SurfacePlot;

class Graph3D : public QOpenGLWidget
{
    Q_OBJECT

public:
    // One full turn in the angles' unit, a sixteenth of a degree.
    static constexpr int FULL_TURN = 360 * 16;

    explicit Graph3D(QWidget* parent = nullptr);
    ~Graph3D() override;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

    // Rebuilds the surface; the caller repaints with update().
    void setData(const float* grid, int columns, int rows);
    const SurfacePlot* surface() const { return m_surface; }

    int xRotation() const { return xRot; }
    int yRotation() const { return yRot; }
    int zRotation() const { return zRot; }

    // Brings an angle into 0 to FULL_TURN; FULL_TURN itself stays.
    static int normalizedAngle(int angle);
    // The centred square of a w x h area that the scene is drawn into.
    static QRect squareViewport(int w, int h);

public slots:
    void setXRotation(int angle);
    void setYRotation(int angle);
    void setZRotation(int angle);

protected:
    void initializeGL() override;
    void resizeGL(int w, int h) override;
    void paintGL() override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    // Viewport and projection for the framebuffer's present size, in device pixels.
    void applyView();

    int xRot = 4690;
    int yRot = 21;
    int zRot = 3744;
    QPoint lastPos;
    SurfacePlot* m_surface = nullptr;
    AxisGrid m_axes;
};
