#include "propertyline.h"

#include "printable.h"

#include <vesh/orlapplet.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <QMetaProperty>

namespace vesh {

QJsonObject propertiesJson(const QList<std::pair<QLatin1StringView, QVariant>> &values)
{
    QJsonObject properties;
    for (const auto &[name, value] : values) {
        // A label holds a driver's name from the machine: strings are shown
        // escaped, in JSON too (where printable text stays as it is).
        properties.insert(name, value.metaType().id() == QMetaType::QString ? printable::escaped(value.toString())
                                                                            : QJsonValue::fromVariant(value));
    }
    return properties;
}

QByteArray propertyLine(const QObject *applet, bool json)
{
    const QMetaObject *meta = applet->metaObject();
    QList<std::pair<QLatin1StringView, QVariant>> values;
    for (int i = OrlApplet::staticMetaObject.propertyCount(); i < meta->propertyCount(); ++i) {
        const QMetaProperty property = meta->property(i);
        values.append({QLatin1StringView(property.name()), property.read(applet)});
    }
    if (json) {
        const QJsonObject line{{QStringLiteral("applet"), QLatin1StringView(meta->className())},
                               {QStringLiteral("properties"), propertiesJson(values)}};
        return QJsonDocument(line).toJson(QJsonDocument::Compact);
    }
    QByteArrayList pairs;
    for (const auto &[name, value] : std::as_const(values)) {
        pairs.append(name.toString().toUtf8() + '='
                     + (value.metaType().id() == QMetaType::QString ? printable::quoted(value.toString().toUtf8()).toUtf8()
                                                                    : value.toString().toUtf8()));
    }
    return pairs.join(' ');
}

} // namespace vesh
