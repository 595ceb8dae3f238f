#pragma once

#include <QString>

#include <memory>

QT_BEGIN_NAMESPACE
class QObject;
QT_END_NAMESPACE

namespace vesh {

// Shows an applet through a QML scene, the way the panel's declarative
// front end binds to it: the scene's root declares
// "required property QtObject applet" and binds to its properties.
class PanelPreview
{
public:
    // Loads the scene for the applet; with dark, the scene's "dark"
    // property is set as well. False with a one-line reason when the file
    // does not load.
    bool load(const QString &qmlFile, QObject *applet, bool dark, QString *error);
    // Shows the scene in a window (it then follows the applet's updates).
    void show();
    // Renders one frame and writes it as a PNG file.
    bool saveScreenshot(const QString &pngFile, QString *error);

    PanelPreview();
    ~PanelPreview();
    Q_DISABLE_COPY_MOVE(PanelPreview)

private:
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace vesh
