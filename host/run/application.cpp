#include "application.h"

#include "options.h"

#ifdef VESH_HOST_QML
#include <QGuiApplication>
#include <QQuickWindow>
#endif

namespace vesh {

std::unique_ptr<QCoreApplication> makeApplication(int &argc, char **argv, [[maybe_unused]] const Options &options)
{
    QCoreApplication::setApplicationName(QStringLiteral("vesh-host"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VESH_VERSION));
#ifdef VESH_HOST_QML
    if (!options.qml.isEmpty()) {
        const bool screenshot = !options.screenshot.isEmpty();
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
