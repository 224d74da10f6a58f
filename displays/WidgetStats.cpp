#include "WidgetStats.h"

#include <QTimer>

#include <algorithm>

#include "Globals.h"
#include "GraphFrame.h"
#include "MailboxComm.h"
#include "ui_widgetstats.h"

namespace {

enum class Scale { X, Y, None };

struct FieldFormat
{
    int index;  // into one BPM's part of the block
    Scale scale;
    char format;
    int precision;
    const char* suffix;
};

// The ratio row (index -1) is computed, not read from the block.
constexpr int RATIO = -1;

const FieldFormat FIELDS[WidgetStats::FIELD_COUNT] = {
    {BpmStats::X_MEAN, Scale::X, 'f', 3, " um"},
    {BpmStats::X_STD, Scale::X, 'f', 6, " um"},
    {BpmStats::X_STD_FILTERED, Scale::X, 'f', 6, " um"},
    {BpmStats::Y_MEAN, Scale::Y, 'f', 5, " um"},
    {BpmStats::Y_STD, Scale::Y, 'f', 5, " um"},
    {BpmStats::Y_STD_FILTERED, Scale::Y, 'f', 6, " um"},
    {BpmStats::I0_MEAN, Scale::None, 'g', 4, " A"},
    {BpmStats::I0_STD, Scale::None, 'g', 4, " A"},
    {RATIO, Scale::None, 'g', 3, " %"},
};

QString text(const FieldFormat& field, double value)
{
    return QString::number(value, field.format, field.precision) + QLatin1String(field.suffix);
}

}  // namespace

WidgetStats::WidgetStats(QWidget* parent)
    : QWidget(parent)
    , ui(new Ui::WidgetStats)
{
    ui->setupUi(this);
    ui->readingNote->setText(tr("No reading: the controller's statistics could not be read."));
    ui->readingNote->hide();

    QLineEdit* const bpm1[FIELD_COUNT] = {ui->posXMeanLineEdit,    ui->posXStdLineEdit, ui->posXStdFiltLineEdit,
                                          ui->posYMeanLineEdit,    ui->posYStdLineEdit, ui->posYStdFiltLineEdit,
                                          ui->i0MeanLineEdit,      ui->i0StdLineEdit,   ui->i0StdFiltLineEdit};
    QLineEdit* const bpm2[FIELD_COUNT] = {ui->posXMeanLineEdit_2,  ui->posXStdLineEdit_2, ui->posXStdFiltLineEdit_2,
                                          ui->posYMeanLineEdit_2,  ui->posYStdLineEdit_2, ui->posYStdFiltLineEdit_2,
                                          ui->i0MeanLineEdit_2,    ui->i0StdLineEdit_2,   ui->i0StdFiltLineEdit_2};
    std::copy(std::begin(bpm1), std::end(bpm1), m_fields[0]);
    std::copy(std::begin(bpm2), std::end(bpm2), m_fields[1]);

    m_timer = new QTimer(this);
    connect(m_timer, &QTimer::timeout, this, &WidgetStats::refreshFields);
    m_timer->start(REFRESH_MS);
    refreshFields();
}

WidgetStats::~WidgetStats()
{
    delete ui;
}

QStringList WidgetStats::fieldTexts(const BpmStats& stats, int bpm, double scaleX, double scaleY)
{
    QStringList texts;
    for (const FieldFormat& field : FIELDS) {
        double value = 0.0;
        if (field.index == RATIO)
            value = stats.at(bpm, BpmStats::I0_STD) / stats.at(bpm, BpmStats::I0_MEAN) * 100.0;
        else
            value = stats.at(bpm, field.index);
        if (field.scale == Scale::X)
            value *= scaleX;
        else if (field.scale == Scale::Y)
            value *= scaleY;
        texts << text(field, value);
    }
    return texts;
}

QStringList WidgetStats::zeroTexts()
{
    QStringList texts;
    for (const FieldFormat& field : FIELDS)
        texts << text(field, 0.0);
    return texts;
}

void WidgetStats::refreshFields()
{
    const GraphFrame::ShownBpms present = GraphFrame::queryPresence();
    // A poll that failed leaves an older block: shown as no figures, never as live ones.
    const bool failed = MAILBOX_COMM && MAILBOX_COMM->bpmStatsFailed();
    ui->readingNote->setVisible(failed && (present.bpm1 || present.bpm2));
    if (!present.bpm1 && !present.bpm2) {
        showTexts(0, zeroTexts());
        showTexts(1, zeroTexts());
        return;
    }
    // One copy per refresh, so each BPM's nine figures come from the same poll.
    const BpmStats stats = MAILBOX_COMM ? MAILBOX_COMM->bpmStats() : BpmStats{};
    if (present.bpm1)
        showTexts(0, failed ? QStringList() : fieldTexts(stats, 0, POS_SCALE_X[0], POS_SCALE_Y[0]));
    if (present.bpm2)
        showTexts(1, failed ? QStringList() : fieldTexts(stats, 1, POS_SCALE_X[1], POS_SCALE_Y[1]));
}

void WidgetStats::nr_zentrims_changed(int)
{
    // The mask may be stale by the time this runs queued; the library's answer now counts.
    const GraphFrame::ShownBpms present = GraphFrame::queryPresence();
    ui->BPM1label->setVisible(present.bpm1);
    ui->bpm1Table->setVisible(present.bpm1);
    ui->BPM2label->setVisible(present.bpm2);
    ui->bpm2Table->setVisible(present.bpm2);
}

void WidgetStats::showTexts(int bpm, const QStringList& texts)
{
    for (int i = 0; i < FIELD_COUNT; ++i)
        m_fields[bpm][i]->setText(texts.value(i));
}
