#include "ui/Pause.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

void waitPaintingOnly(int milliseconds)
{
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
}

void flushPainting()
{
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}
