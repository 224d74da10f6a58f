#pragma once
// A time graph with one trace per BPM (positions, intensity): boxes "BPM1" and
// "BPM2", graph names, and graphs shown only for the picoammeters present.
#include <QStringList>

#include "TimeGraphPanel.h"

class BpmTimeGraphPanel : public TimeGraphPanel
{
    Q_OBJECT

public:
    // Graph i is named names[i]; names beyond the graphs are ignored.
    void setAxisLabels(const QString& xLabel, const QString& yLabel, const QStringList& names);
    // From the main window when the picoammeter presence changes.
    void setBpmHidden(bool hideBpm1, bool hideBpm2);

public slots:
    // Graph i visible when BPM i+1 is present and its box is checked.
    void chEnablesChanged();

protected:
    explicit BpmTimeGraphPanel(QWidget* parent);

    // Every BPM pair form names its controls alike; graphCount above the two
    // BPM colours is limited to two.
    template <class Form>
    void buildBpmFrame(Form& form, int graphCount)
    {
        buildBpmFrame(FormControls{form.graph, form.buttonAutoscale, {form.CheckCh1, form.CheckCh2},
                                   {form.label_1_color, form.label_2_color}},
                      graphCount);
    }

private:
    void buildBpmFrame(const FormControls& form, int graphCount);
};
