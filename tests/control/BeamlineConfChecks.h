#pragma once
// What the beamline configuration tests share: the dialog's boxes and buttons
// by object name, what the operator does in one box, and what reached the
// simulated controller.
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QtTest>

#include <optional>

#include "BPM.h"
#include "ConfigSettings.h"
#include "SimControl.h"
#include "WindowBeamlineConf.h"
#include "support/FormChild.h"
#include "support/ProgramFixture.h"

namespace BeamlineConfChecks {


const QString DEGREES_90 = QStringLiteral("90\u00B0");
const QString DEGREES_45 = QStringLiteral("45\u00B0");

using FormChild::child;

inline BPM* boxOf(const WindowBeamlineConf& dialog, int bpm)
{
    return child<BPM>(dialog, bpm == 0 ? "boxBPM1" : "boxBPM2");
}

inline QPushButton* button(const WindowBeamlineConf& dialog, QDialogButtonBox::StandardButton which)
{
    return child<QDialogButtonBox>(dialog, "buttonBox")->button(which);
}

inline void saveThroughTheButton(WindowBeamlineConf& dialog)
{
    QTest::mouseClick(button(dialog, QDialogButtonBox::Save), Qt::LeftButton);
}

// What the operator does in one box: orientation, the map of that picture, scaling, offsets.
inline void edit(BPM* box, const QString& orientation, const QList<int>& map, double scale, double offset)
{
    child<QComboBox>(*box, "BPMorientation")->setCurrentText(orientation);
    const QString picture = orientation == DEGREES_90 ? "BPM90" : "BPM45";
    const char* sides[4] = {"_top", "_right", "_bottom", "_left"};
    for (int e = 0; e < 4; ++e)
        child<QComboBox>(*box, picture + sides[e])->setCurrentIndex(map[e]);
    child<QDoubleSpinBox>(*box, "xGain")->setValue(scale);
    child<QDoubleSpinBox>(*box, "yGain")->setValue(scale);
    child<QDoubleSpinBox>(*box, "xOffset")->setValue(offset);
    child<QDoubleSpinBox>(*box, "yOffset")->setValue(offset);
}

// One BPM's group of the file.
inline void writeBpm(ConfigSettings& config, int bpm, int orient, const QList<int>& map, double scale, double offset)
{
    config.setOrient(orient, bpm);
    config.setQuadrants(map[0], map[1], map[2], map[3], bpm);
    config.setScaleX(bpm, scale);
    config.setScaleY(bpm, scale);
    config.setOffsetX(bpm, offset);
    config.setOffsetY(bpm, offset);
}

// The base of the test classes: the program as they run it (admin, offsets
// shown, picoammeters read) and its configuration file.
class BeamlineConfTest : public QObject
{
protected:
    void startProgram()
    {
        m_program.emplace(
            ProgramFixture::Options().withUpdater().atUserLevel(USER_LEVEL_ADMIN).withSwVersion("1.0.03"));
    }
    QSettings stored() const { return QSettings(m_program->config->path(), QSettings::IniFormat); }
    void writeBpm(int bpm, int orient, const QList<int>& map, double scale, double offset) const
    {
        BeamlineConfChecks::writeBpm(*m_program->config, bpm, orient, map, scale, offset);
    }

    std::optional<ProgramFixture> m_program;
};

inline QList<int> sentMap(int bpm)
{
    const SimControl::Sent s = SimControl::sent();
    return {s.crossBar[bpm][0], s.crossBar[bpm][1], s.crossBar[bpm][2], s.crossBar[bpm][3]};
}

inline QString readout(const BPM* box, const char* name)
{
    return child<QLineEdit>(*box, name)->text();
}

inline QString statusText(const BPM* box) { return child<QLabel>(*box, "statusLabel")->text(); }

inline bool invalidShown(const BPM* box) { return !child<QLabel>(*box, "textInvalidConf")->isHidden(); }

}  // namespace BeamlineConfChecks
