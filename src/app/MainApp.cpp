#include "app/MainApp.h"

#include <QApplication>

#include "app/SettingsStore.h"
#include "ui/MainDialog.h"
#include "ui/Pause.h"

int runKorvalin(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Quandrel"));
    QApplication::setApplicationName(QStringLiteral("Korvalin"));
    const auto store = QtSettingsStore::forUser();
    MainDialog window(*store, waitPaintingOnly);
    window.initialise();
    window.show();
    QApplication::exec();
    return 0;
}
