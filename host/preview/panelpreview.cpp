#include "panelpreview.h"

#include <QImage>
#include <QQmlEngine>
#include <QQuickView>

namespace vesh {

struct PanelPreview::Private
{
    QQuickView view;
};

PanelPreview::PanelPreview() = default;
PanelPreview::~PanelPreview() = default;

bool PanelPreview::load(const QString &qmlFile, QObject *applet, bool dark, QString *error)
{
    d = std::make_unique<Private>();
    d->view.setResizeMode(QQuickView::SizeViewToRootObject);
    QVariantMap properties{{QStringLiteral("applet"), QVariant::fromValue(applet)}};
    if (dark)
        properties.insert(QStringLiteral("dark"), true);
    d->view.setInitialProperties(properties);
    d->view.setSource(QUrl::fromLocalFile(qmlFile));
    if (d->view.status() != QQuickView::Ready) {
        QStringList messages;
        const QList<QQmlError> errors = d->view.errors();
        for (const QQmlError &e : errors)
            messages.append(e.toString());
        *error = QStringLiteral("%1: the scene does not load: %2").arg(qmlFile, messages.join(u"; "));
        return false;
    }
    return true;
}

void PanelPreview::show()
{
    d->view.show();
}

bool PanelPreview::saveScreenshot(const QString &pngFile, QString *error)
{
    d->view.show();
    const QImage frame = d->view.grabWindow();
    if (frame.isNull() || !frame.save(pngFile, "PNG")) {
        *error = QStringLiteral("%1: cannot write the screenshot").arg(pngFile);
        return false;
    }
    return true;
}

} // namespace vesh
