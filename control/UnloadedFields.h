#pragma once
// Fields whose value the program does not know, or that show something other
// than the file holds.
// - Unloaded: the configuration file held nothing usable for a number field (or
//   could not be read), and the operator has not typed or stepped a value since.
//   It shows a dash instead of a number and the note names it; a dialog sends
//   and stores nothing from it.
// - Stored value not shown: the file holds a number the field cannot show (out
//   of its range, or finer than it shows), so the field shows its nearest value
//   and the note names the key and what the file holds, until the operator
//   changes the field or the next load. The shown value is the one sent.
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QWidget;

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

    // Whether the box shows `value` (in its own unit) up to the noise of the
    // arithmetic that brought it there; a value it rounds or clamps is not shown.
    static bool showsValue(const QDoubleSpinBox* box, double value);
    // After a load: when the box does not show `stored` / `perShownUnit`, the
    // note says "<name>: the file holds <fileKey> = <stored> <fileUnit>; the
    // field shows <text>." True then. A field shown as unloaded gets no such note.
    bool noteStored(QDoubleSpinBox* box, const QString& fileKey, double stored, double perShownUnit = 1.0,
                    const QString& fileUnit = QString());
    // A line of its own for a field (a spin box or a choice watched with
    // watchChoice); an empty line takes the field's note away.
    void setStoredNote(QWidget* field, const QString& line);
    // A choice whose note goes when the operator picks another item.
    void watchChoice(QComboBox* box);
    bool hasStoredNote(const QWidget* field) const;
    QString storedNote(const QWidget* field) const;
    // Every field's note, in the order they were made.
    QStringList storedNotes() const;
    // Takes every such note away, as a new load does.
    void clearStoredNotes();

    // Grows a window (never shrinks it) to what its layout needs, notes
    // included: a word-wrapped note asks for its height only at a given width.
    static void growToFit(QWidget* window);

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

    struct StoredNote
    {
        QWidget* field;
        QString line;
    };

    Field* find(const QDoubleSpinBox* box);
    const Field* find(const QDoubleSpinBox* box) const;
    void known(Field& field, bool finished);
    void changedByOperator(QWidget* field);
    void updateNote();

    QList<Field> m_fields;
    QList<StoredNote> m_storedNotes;
    QLabel* m_note = nullptr;
    bool m_marking = false;
};
