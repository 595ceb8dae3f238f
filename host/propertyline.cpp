#include "propertyline.h"

#include "printable.h"

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
        // A label holds a driver's name from the machine: strings are shown
        // escaped, in JSON too (where printable text stays as it is).
        const bool text = value.metaType().id() == QMetaType::QString;
        if (json && text) {
            properties.insert(QLatin1StringView(property.name()), printable::escaped(value.toString()));
        } else if (json) {
            properties.insert(QLatin1StringView(property.name()), QJsonValue::fromVariant(value));
        } else if (text) {
            pairs.append(property.name() + QByteArray("=") + printable::quoted(value.toString().toUtf8()).toUtf8());
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
