#include "updateprinter.h"

#include "propertyline.h"

#include <vesh/orlapplet.h>

#include <QCoreApplication>
#include <QIODevice>
#include <QMetaMethod>

namespace vesh {

UpdatePrinter::UpdatePrinter(QObject *applet, QIODevice *out, bool json, bool withClassName, UpdateCount *count,
                             QObject *parent)
    : QObject(parent), m_applet(applet), m_out(out), m_json(json), m_withClassName(withClassName), m_count(count)
{
}

void UpdatePrinter::followUpdates()
{
    const QMetaObject *meta = m_applet->metaObject();
    const QMetaMethod slot = staticMetaObject.method(staticMetaObject.indexOfSlot("print()"));
    QList<int> connected;
    for (int i = OrlApplet::staticMetaObject.propertyCount(); i < meta->propertyCount(); ++i) {
        const QMetaMethod signal = meta->property(i).notifySignal();
        if (!signal.isValid() || connected.contains(signal.methodIndex()))
            continue;
        connected.append(signal.methodIndex());
        connect(m_applet, signal, this, slot);
    }
}

void UpdatePrinter::print()
{
    QByteArray line = propertyLine(m_applet, m_json);
    if (m_withClassName && !m_json)
        line.prepend(m_applet->metaObject()->className() + QByteArray(": "));
    m_out->write(line + '\n');
    ++m_count->printed;
    if (m_count->reached())
        QCoreApplication::quit();
}

} // namespace vesh
