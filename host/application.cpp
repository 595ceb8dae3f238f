#include "application.h"

#ifdef VESH_HOST_QML
#include <QGuiApplication>
#include <QQuickWindow>

#include <cstring>
#endif

namespace vesh {

std::unique_ptr<QCoreApplication> makeApplication(int &argc, char **argv)
{
    QCoreApplication::setApplicationName(QStringLiteral("vesh-host"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VESH_VERSION));
#ifdef VESH_HOST_QML
    // The kind of application must be chosen before the parser can run.
    bool qml = false;
    bool screenshot = false;
    for (int i = 1; i < argc; ++i) {
        qml = qml || std::strcmp(argv[i], "--qml") == 0;
        screenshot = screenshot || std::strcmp(argv[i], "--screenshot") == 0;
    }
    if (qml) {
        // A picture needs no display.
        if (screenshot && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        if (screenshot)
            QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
        return std::make_unique<QGuiApplication>(argc, argv);
    }
#endif
    return std::make_unique<QCoreApplication>(argc, argv);
}

} // namespace vesh
