#pragma once
// A display-buffer listener kept for its slot; nothing creates one.
#include <QObject>

class BufferWindow : public QObject
{
    Q_OBJECT

public:
    explicit BufferWindow(QObject* parent = nullptr);

public slots:
    void updateAll();
};
