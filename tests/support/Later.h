#pragma once
// A call made later, from the event processing of whatever runs then (a scan
// between its points or its wait's slices): how a test presses a button or
// closes a window in the middle of a run.
#include <QMetaObject>
#include <QObject>

template <class F>
void later(QObject* context, F f)
{
    QMetaObject::invokeMethod(context, f, Qt::QueuedConnection);
}
