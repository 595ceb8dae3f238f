#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QVariant>

#include <utility>

QT_BEGIN_NAMESPACE
class QObject;
QT_END_NAMESPACE

namespace vesh {

// One line with every property an applet class declares beyond its
// framework base, read through the meta-object system:
// text: name=value pairs, strings in double quotes;
// JSON: {"applet": class name, "properties": {name: value, ...}}.
// Strings, which may hold a machine's text, are escaped by printable.
QByteArray propertyLine(const QObject *applet, bool json);

// The "properties" object of that line, for values under their names.
QJsonObject propertiesJson(const QList<std::pair<QLatin1StringView, QVariant>> &values);

} // namespace vesh
