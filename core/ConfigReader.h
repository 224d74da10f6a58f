#pragma once
// One read session of the configuration file, through which every stored number
// is read. A key that is absent gives its default. A stored value that is not a
// finite number (empty, text, NaN, infinite; for a whole-number key also a
// fraction or one beyond int), and every key of a file that cannot be read, is
// logged at Warn level with the key, gives the default too, and its name goes
// to the caller's list of unread keys. Any finite number is given as the file
// holds it: what a window can show or use of it is for the window to decide.
#include <QSettings>
#include <QString>
#include <QStringList>

class ConfigReader
{
public:
    enum class Found { Absent, Usable, Unusable };

    // `unread` may be null.
    ConfigReader(const QString& path, QStringList* unread);
    ~ConfigReader();

    ConfigReader(const ConfigReader&) = delete;
    ConfigReader& operator=(const ConfigReader&) = delete;

    QSettings& settings() { return m_settings; }

    // `key` below the settings' current group; its last part is the name that
    // goes to the list. `listed`: an unusable value goes to the list.
    Found read(const QString& key, double* value, bool listed = true);
    Found readWhole(const QString& key, int* value, bool listed = true);

    double number(const QString& key, double fallback);
    int integer(const QString& key, int fallback);

    // Puts a name on the caller's list (once).
    void list(const QString& name);
    // The key with the settings' current group before it.
    QString fullKey(const QString& key) const;

private:
    // The stored text, or a null string for an absent key.
    QString text(const QString& key, bool listed, Found* found);
    void warn(const QString& key, const QString& text, const QString& wanted) const;

    QSettings m_settings;
    QString m_path;
    QStringList* m_unread;
    bool m_unreadable = false;
    QStringList m_unreadKeys;
};
