#pragma once
// What the ROC/ROI dialog tests share: one BPM's form by its controls' object
// names, what the operator fills in, the buttons, what the file holds and what
// the scatters draw.
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QtTest>

#include <optional>

#include <qcustomplot.h>

#include "ConfigSettings.h"
#include "Globals.h"
#include "MainWindow.h"
#include "WidgetGraphXY.h"
#include "WidgetRoc.h"
#include "WindowROC_ROI.h"
#include "support/ProgramFixture.h"
#include "support/ScatterRects.h"

namespace RocRoiChecks {

// The program as these tests run it: admin, both BPMs' limits in the file.
inline void startProgram(std::optional<ProgramFixture>& program)
{
    program.emplace(ProgramFixture::Options()
                        .withUpdater()
                        .atUserLevel(USER_LEVEL_ADMIN)
                        .withSwVersion("1.0.10")
                        .withPosScale(1000.0));
    program->config->saveROCandROI(0, 100.0, 50.0, 0.0, 2e-4, 110.0);
    program->config->saveROCandROI(1, 20.0, 10.0, 1e-6, 1e-3, 150.0);
    program->config->setBeamOffTh(0, 1e-6);
    program->config->setBeamOffTh(1, 2e-6);
}

// What the operator fills into one BPM's form.
struct Limits
{
    double roiX = 100.0;
    double roiY = 50.0;
    double rocPercent = 110.0;
    double i0min = 0.0;
    QString i0minUnit = "uA";
    double i0max = 200.0;
    QString i0maxUnit = "uA";
    double beamOffUa = 10.0;
    bool checkX = false;
    bool checkY = false;
    bool checkBeamOff = false;
};

// One BPM's form in the dialog, by its controls' object names.
struct Form
{
    explicit Form(const WindowROC_ROI& dialog, int bpm)
        : widget(dialog.findChild<WidgetRoc*>(bpm == 0 ? "rocWidget0" : "rocWidget1"))
    {
    }

    QDoubleSpinBox* spin(const char* name) const { return widget->findChild<QDoubleSpinBox*>(name); }
    QComboBox* unit(const char* name) const { return widget->findChild<QComboBox*>(name); }
    QCheckBox* check(const char* name) const { return widget->findChild<QCheckBox*>(name); }
    QLabel* label(const char* name) const { return widget->findChild<QLabel*>(name); }

    QDoubleSpinBox* roiX() const { return spin("roiXDoubleSpinBox"); }
    QDoubleSpinBox* roiY() const { return spin("roiYDoubleSpinBox"); }
    QDoubleSpinBox* roc() const { return spin("rocFactorBox"); }
    QDoubleSpinBox* i0min() const { return spin("roiI0minBox"); }
    QComboBox* i0minUnit() const { return unit("roiI0minUnit"); }
    QDoubleSpinBox* i0max() const { return spin("roiI0maxBox"); }
    QComboBox* i0maxUnit() const { return unit("roiI0maxUnit"); }
    QDoubleSpinBox* beamOff() const { return spin("beamOffTh"); }
    QCheckBox* checkX() const { return check("enableROCXCheckCheckBox"); }
    QCheckBox* checkY() const { return check("enableROCYCheckCheckBox"); }
    QCheckBox* checkBeamOff() const { return check("enableBeamOffCheckCheckBox"); }

    QList<QWidget*> editControls() const
    {
        return {roiX(), roiY(), roc(), checkX(), checkY(), i0min(), i0minUnit(), i0max(), i0maxUnit(), beamOff(),
                checkBeamOff()};
    }

    void fill(const Limits& l) const
    {
        roiX()->setValue(l.roiX);
        roiY()->setValue(l.roiY);
        roc()->setValue(l.rocPercent);
        i0minUnit()->setCurrentText(l.i0minUnit);
        i0min()->setValue(l.i0min);
        i0maxUnit()->setCurrentText(l.i0maxUnit);
        i0max()->setValue(l.i0max);
        beamOff()->setValue(l.beamOffUa);
        checkX()->setChecked(l.checkX);
        checkY()->setChecked(l.checkY);
        checkBeamOff()->setChecked(l.checkBeamOff);
    }

    WidgetRoc* widget;
};

inline QAbstractButton* buttonOf(const WindowROC_ROI& dialog, QDialogButtonBox::StandardButton which)
{
    return dialog.findChild<QDialogButtonBox*>("buttonBox")->button(which);
}

inline void press(const WindowROC_ROI& dialog, QDialogButtonBox::StandardButton which)
{
    QTest::mouseClick(buttonOf(dialog, which), Qt::LeftButton);
}

inline bool near(double actual, double expected)
{
    return qAbs(actual - expected) <= 1e-9 * qMax(1e-12, qAbs(expected));
}

struct Stored
{
    double roiX, roiY, i0min, i0max, rocPercent, beamOff;
};

inline Stored stored(int bpm)
{
    Stored s{};
    CONFIG_SETTINGS->loadROCandROI(&s.roiX, &s.roiY, &s.i0min, &s.i0max, &s.rocPercent, bpm);
    CONFIG_SETTINGS->getBeamOffTh(&s.beamOff, bpm);
    return s;
}

inline QCustomPlot* plotOf(WidgetGraphXY* scatter)
{
    return scatter->findChild<QCustomPlot*>("graph");
}

// ROI and ROC half-widths as the scatter draws them.
inline QPair<QPointF, QPointF> drawnRects(WidgetGraphXY* scatter)
{
    return {ScatterRects::halfWidths(ScatterRects::rectWithPen(plotOf(scatter), ScatterRects::ROI_PEN)),
            ScatterRects::halfWidths(ScatterRects::rectWithPen(plotOf(scatter), ScatterRects::ROC_PEN))};
}

inline WidgetGraphXY* scatterOf(const MainWindow& window, int bpm)
{
    for (WidgetGraphXY* scatter : window.findChildren<WidgetGraphXY*>())
        if (scatter->bpmIndex() == bpm)
            return scatter;
    return nullptr;
}

}  // namespace RocRoiChecks
