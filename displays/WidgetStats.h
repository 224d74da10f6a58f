#pragma once
// The "Stats" tab: per BPM the mean and deviations of X, Y and intensity from
// the statistics block the device link polls, refreshed every second.
#include <QStringList>
#include <QWidget>

#include "VornRecords.h"

class QLineEdit;
class QTimer;

namespace Ui {
class WidgetStats;
}

class WidgetStats : public QWidget
{
    Q_OBJECT

public:
    static constexpr int FIELD_COUNT = 9;
    static constexpr int REFRESH_MS = 1000;

    explicit WidgetStats(QWidget* parent = nullptr);
    ~WidgetStats() override;

    // The nine texts of BPM `bpm` (0, 1), in the order the fields are written:
    // X mean, X dev, X filtered dev, Y mean, Y dev, Y filtered dev, I0 mean,
    // I0 dev, I0 dev/mean in percent. Positions are scaled, intensities are not.
    static QStringList fieldTexts(const BpmStats& stats, int bpm, double scaleX, double scaleY);
    // The same nine fields, each showing 0 in its own format.
    static QStringList zeroTexts();

public slots:
    // Shows the table of each picoammeter the library reports; the argument is stale by design.
    void nr_zentrims_changed(int nr_zentrims);

private slots:
    void refreshFields();

private:
    void showTexts(int bpm, const QStringList& texts);

    Ui::WidgetStats* ui = nullptr;
    QTimer* m_timer = nullptr;
    QLineEdit* m_fields[2][FIELD_COUNT] = {};
};
