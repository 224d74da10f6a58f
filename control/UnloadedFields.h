#pragma once
// Number fields whose value the program does not know: the configuration file
// held nothing usable for them (or could not be read), and the operator has not
// typed or stepped a value since. Such a field shows a dash instead of a number
// and a note names it; a dialog sends and stores nothing from it.
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

class QDoubleSpinBox;
class QLabel;

class UnloadedFields : public QObject
{
    Q_OBJECT

public:
    static constexpr const char* DASH = "\u2014";

    explicit UnloadedFields(QObject* parent = nullptr);

    // `name` is what the operator knows the field by ("X scaling"); `key` the
    // configuration key it is loaded from ("Scale_X").
    void watch(QDoubleSpinBox* box, const QString& name, const QString& key);
    // The label that names the unloaded fields; hidden while there are none.
    void setNote(QLabel* note);

    // After a load of `keys`: each watched field of those keys is unloaded
    // exactly when its key is among `unread`.
    void markKeys(const QStringList& keys, const QStringList& unread);
    void mark(QDoubleSpinBox* box, bool unloaded);

    bool isUnloaded(const QDoubleSpinBox* box) const;
    // In the order the fields were watched.
    QStringList unloadedNames() const;

signals:
    void changed();

private:
    struct Field
    {
        QDoubleSpinBox* box;
        QString name;
        QString key;
        QString specialText;  // the box's own, put back once it holds a value
        bool unloaded = false;
        bool typed = false;
        bool dashPending = false;  // known, but the dash waits for the edit to end
    };

    Field* find(const QDoubleSpinBox* box);
    const Field* find(const QDoubleSpinBox* box) const;
    void known(Field& field, bool finished);
    void updateNote();

    QList<Field> m_fields;
    QLabel* m_note = nullptr;
    bool m_marking = false;
};
