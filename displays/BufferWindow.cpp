#include "BufferWindow.h"

BufferWindow::BufferWindow(QObject* parent)
    : QObject(parent)
{
}

void BufferWindow::updateAll()
{
}
