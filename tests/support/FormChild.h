#pragma once
// A control of a form, found by its object name. A name the form no longer has
// ends the run there, with the name, rather than as a null pointer further on.
#include <QObject>
#include <QString>

namespace FormChild {

template <typename T> T* child(const QObject& form, const QString& name)
{
    T* found = form.findChild<T*>(name);
    if (!found)
        qFatal("%s has no %s", form.metaObject()->className(), qPrintable(name));
    return found;
}

}  // namespace FormChild
