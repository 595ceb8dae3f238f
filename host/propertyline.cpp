#include "propertyline.h"

#include <vesh/orlapplet.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <QMetaProperty>

namespace vesh {

QByteArray propertyLine(const QObject *applet, bool json)
{
    const QMetaObject *meta = applet->metaObject();
    QJsonObject properties;
    QByteArrayList pairs;
    for (int i = OrlApplet::staticMetaObject.propertyCount(); i < meta->propertyCount(); ++i) {
        const QMetaProperty property = meta->property(i);
        const QVariant value = property.read(applet);
        if (json) {
            properties.insert(QLatin1StringView(property.name()), QJsonValue::fromVariant(value));
        } else if (value.metaType().id() == QMetaType::QString) {
            pairs.append(property.name() + QByteArray("=\"") + value.toString().toUtf8() + '"');
        } else {
            pairs.append(property.name() + QByteArray("=") + value.toString().toUtf8());
        }
    }
    if (!json)
        return pairs.join(' ');
    const QJsonObject line{{QStringLiteral("applet"), QLatin1StringView(meta->className())}, {QStringLiteral("properties"), properties}};
    return QJsonDocument(line).toJson(QJsonDocument::Compact);
}

} // namespace vesh
