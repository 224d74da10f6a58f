#include "UnloadedFields.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>

#include <cmath>

#include "ConfigSettings.h"

UnloadedFields::UnloadedFields(QObject* parent)
    : QObject(parent)
{
}

void UnloadedFields::watch(QDoubleSpinBox* box, const QString& name, const QString& key)
{
    m_fields.append({box, name, key, box->specialValueText()});
    // A step of the arrows or the wheel is a value of the operator's too. While
    // typing, the dash waits for the end of the edit: put back under the cursor,
    // the box's own text would take the next keystrokes.
    connect(box, &QDoubleSpinBox::valueChanged, this, [this, box] {
        if (m_marking)
            return;
        changedByOperator(box);
        if (Field* f = find(box))
            known(*f, !f->typed);
    });
    // Typing the dash's own value (the minimum) changes no value, so the
    // keystrokes count; the dash goes once the edit is finished, not under the cursor.
    if (QLineEdit* edit = box->findChild<QLineEdit*>()) {
        connect(edit, &QLineEdit::textEdited, this, [this, box] {
            if (Field* f = find(box))
                f->typed = true;
        });
    }
    connect(box, &QDoubleSpinBox::editingFinished, this, [this, box] {
        Field* f = find(box);
        if (f && f->typed)
            changedByOperator(box);
        if (f && (f->typed || f->dashPending))
            known(*f, true);
    });
}

void UnloadedFields::watchChoice(QComboBox* box)
{
    connect(box, &QComboBox::currentIndexChanged, this, [this, box] {
        if (!m_marking)
            changedByOperator(box);
    });
}

void UnloadedFields::setNote(QLabel* note)
{
    m_note = note;
    updateNote();
}

void UnloadedFields::markKeys(const QStringList& keys, const QStringList& unread)
{
    for (Field& f : m_fields)
        if (keys.contains(f.key)) {
            setStoredNote(f.box, QString());
            mark(f.box, unread.contains(f.key));
        }
}

void UnloadedFields::mark(QDoubleSpinBox* box, bool unloaded)
{
    Field* f = find(box);
    if (!f)
        return;
    f->typed = false;
    f->dashPending = false;
    if (f->unloaded == unloaded)
        return;
    f->unloaded = unloaded;
    m_marking = true;
    if (unloaded) {
        // The dash shows while the box stands at its minimum.
        box->setSpecialValueText(QString::fromUtf8(DASH));
        box->setValue(box->minimum());
    } else {
        box->setSpecialValueText(f->specialText);
    }
    m_marking = false;
    updateNote();
    emit changed();
}

void UnloadedFields::known(Field& field, bool finished)
{
    if (finished)
        field.typed = false;
    const bool wasUnloaded = field.unloaded;
    if (wasUnloaded) {
        field.unloaded = false;
        field.dashPending = true;
    }
    if (finished && field.dashPending) {
        field.dashPending = false;
        m_marking = true;
        field.box->setSpecialValueText(field.specialText);
        m_marking = false;
    }
    if (wasUnloaded) {
        updateNote();
        emit changed();
    }
}

bool UnloadedFields::showsValue(const QDoubleSpinBox* box, double value)
{
    const double shown = box->value();
    // Division and unit factors leave a last bit or two: 1000.0000000000002 % is 1000 %.
    return std::isfinite(value) && std::fabs(shown - value) <= 1e-9 * std::fmax(1.0, std::fabs(value));
}

bool UnloadedFields::noteStored(QDoubleSpinBox* box, const QString& fileKey, double stored, double perShownUnit,
                                const QString& fileUnit)
{
    const Field* f = find(box);
    if (!f || f->unloaded || showsValue(box, stored / perShownUnit)) {
        setStoredNote(box, QString());
        return false;
    }
    QString value = ConfigSettings::numberText(stored);
    if (!fileUnit.isEmpty())
        value += QLatin1Char(' ') + fileUnit;
    setStoredNote(box,
                  tr("%1: the file holds %2 = %3; the field shows %4.").arg(f->name, fileKey, value, box->text()));
    return true;
}

void UnloadedFields::setStoredNote(QWidget* field, const QString& line)
{
    bool changedNotes = false;
    for (int i = m_storedNotes.size() - 1; i >= 0; --i)
        if (m_storedNotes[i].field == field) {
            if (m_storedNotes[i].line == line)
                return;
            m_storedNotes.removeAt(i);
            changedNotes = true;
        }
    if (!line.isEmpty()) {
        m_storedNotes.append({field, line});
        changedNotes = true;
    }
    if (changedNotes) {
        updateNote();
        emit changed();
    }
}

void UnloadedFields::changedByOperator(QWidget* field)
{
    setStoredNote(field, QString());
}

bool UnloadedFields::hasStoredNote(const QWidget* field) const
{
    return !storedNote(field).isEmpty();
}

QString UnloadedFields::storedNote(const QWidget* field) const
{
    for (const StoredNote& n : m_storedNotes)
        if (n.field == field)
            return n.line;
    return QString();
}

QStringList UnloadedFields::storedNotes() const
{
    QStringList lines;
    for (const StoredNote& n : m_storedNotes)
        lines << n.line;
    return lines;
}

void UnloadedFields::clearStoredNotes()
{
    if (m_storedNotes.isEmpty())
        return;
    m_storedNotes.clear();
    updateNote();
    emit changed();
}

void UnloadedFields::growToFit(QWidget* window)
{
    QLayout* layout = window->layout();
    if (!layout)
        return;
    layout->activate();
    const QSize hint = window->sizeHint().expandedTo(window->minimumSizeHint());
    const int width = qMax(window->width(), hint.width());
    const int height = layout->hasHeightForWidth() ? qMax(hint.height(), layout->totalHeightForWidth(width))
                                                   : hint.height();
    window->resize(window->size().expandedTo(QSize(width, height)));
}

bool UnloadedFields::isUnloaded(const QDoubleSpinBox* box) const
{
    const Field* f = find(box);
    return f && f->unloaded;
}

QStringList UnloadedFields::unloadedNames() const
{
    QStringList names;
    for (const Field& f : m_fields)
        if (f.unloaded)
            names << f.name;
    return names;
}

UnloadedFields::Field* UnloadedFields::find(const QDoubleSpinBox* box)
{
    for (Field& f : m_fields)
        if (f.box == box)
            return &f;
    return nullptr;
}

const UnloadedFields::Field* UnloadedFields::find(const QDoubleSpinBox* box) const
{
    for (const Field& f : m_fields)
        if (f.box == box)
            return &f;
    return nullptr;
}

void UnloadedFields::updateNote()
{
    if (!m_note)
        return;
    const QStringList names = unloadedNames();
    QStringList lines;
    if (!names.isEmpty())
        lines << tr("Not read from the configuration file: %1. Type a value.").arg(names.join(QStringLiteral(", ")));
    lines << storedNotes();
    m_note->setVisible(!lines.isEmpty());
    m_note->setText(lines.join(QLatin1Char('\n')));
}
