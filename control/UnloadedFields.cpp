#include "UnloadedFields.h"

#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>

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
        if (f && (f->typed || f->dashPending))
            known(*f, true);
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
        if (keys.contains(f.key))
            mark(f.box, unread.contains(f.key));
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
    m_note->setVisible(!names.isEmpty());
    m_note->setText(names.isEmpty() ? QString()
                                    : tr("Not read from the configuration file: %1. Type a value.")
                                          .arg(names.join(QStringLiteral(", "))));
}
