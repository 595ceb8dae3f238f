// A stand-in applet plugin for the runner's tests, built with them and never
// shipped. Its applet publishes what a table says rather than what a
// machine holds, so that the runner's own behaviour (printing, options,
// folders of plugins, the preview, signals, refusals) is tested anywhere:
// with no fixture machine, no namespace and nothing of the machine the
// tests run on.
//
// The table is JSON in the environment variable that tests/CMakeLists.txt
// names (VESH_TABLE_VARIABLE):
//   {"updates": [{"cpuTemp": 52, "cpuLabel": "k10temp", ...}, ...],
//    "read": "/path"}
// init() publishes the first update and the event loop the others, in
// order; the last one stays. A property an update leaves out reads 0 or "".
// The applet reads no file, but the one "read" names, to its end, in
// init(): a FIFO there holds init() in a read for as long as a test wants.
// A table that is not such JSON, or that names a property the applet lacks
// or gives one a value of another type, makes init() fail.

#include <vesh/orlapplet.h>
#include <vesh/orlappletfactory.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMetaProperty>
#include <QTimer>
#include <QtPlugin>

namespace {

// Whether value can stand for property: a whole number for an int, text
// for a string.
bool fits(const QMetaProperty &property, const QJsonValue &value)
{
    switch (property.metaType().id()) {
    case QMetaType::Int:
        return value.isDouble() && value.toDouble() == double(value.toInt());
    case QMetaType::QString:
        return value.isString();
    default:
        return false;
    }
}

} // namespace

// The properties of the panel's applet, which the preview's scene binds to.
class TableApplet : public vesh::OrlApplet
{
    Q_OBJECT
    Q_PROPERTY(int cpuTemp READ cpuTemp NOTIFY updated)
    Q_PROPERTY(int gpuTemp READ gpuTemp NOTIFY updated)
    Q_PROPERTY(int cpuTempTctl READ cpuTempTctl NOTIFY updated)
    Q_PROPERTY(int gpuTempJunction READ gpuTempJunction NOTIFY updated)
    Q_PROPERTY(int gpuTempMem READ gpuTempMem NOTIFY updated)
    Q_PROPERTY(QString cpuLabel READ cpuLabel NOTIFY updated)
    Q_PROPERTY(QString gpuLabel READ gpuLabel NOTIFY updated)
    Q_PROPERTY(QString netSpeed READ netSpeed NOTIFY updated)
    Q_PROPERTY(QString memUsage READ memUsage NOTIFY updated)

public:
    explicit TableApplet(QObject *parent = nullptr)
        : OrlApplet(parent)
        , m_timer(new QTimer(this))
    {
        m_timer->setInterval(10);
        connect(m_timer, &QTimer::timeout, this, &TableApplet::next);
    }

    bool init() override
    {
        QJsonParseError error;
        const QJsonObject table = QJsonDocument::fromJson(qgetenv(VESH_TABLE_VARIABLE), &error).object();
        if (error.error != QJsonParseError::NoError || !table.value(u"updates").isArray())
            return false;
        m_updates = table.value(u"updates").toArray();
        for (const QJsonValue &update : std::as_const(m_updates)) {
            const QJsonObject values = update.toObject();
            for (auto value = values.begin(); value != values.end(); ++value) {
                const int index = metaObject()->indexOfProperty(qPrintable(value.key()));
                if (index < staticMetaObject.propertyOffset() || !fits(metaObject()->property(index), value.value()))
                    return false;
            }
        }
        const QString path = table.value(u"read").toString();
        if (!path.isEmpty()) {
            QFile file(path);
            if (!file.open(QIODevice::ReadOnly))
                return false;
            [[maybe_unused]] const QByteArray all = file.readAll();
        }
        next();
        return true;
    }

    int cpuTemp() const { return m_shown.value(u"cpuTemp").toInt(); }
    int gpuTemp() const { return m_shown.value(u"gpuTemp").toInt(); }
    int cpuTempTctl() const { return m_shown.value(u"cpuTempTctl").toInt(); }
    int gpuTempJunction() const { return m_shown.value(u"gpuTempJunction").toInt(); }
    int gpuTempMem() const { return m_shown.value(u"gpuTempMem").toInt(); }
    QString cpuLabel() const { return m_shown.value(u"cpuLabel").toString(); }
    QString gpuLabel() const { return m_shown.value(u"gpuLabel").toString(); }
    QString netSpeed() const { return m_shown.value(u"netSpeed").toString(); }
    QString memUsage() const { return m_shown.value(u"memUsage").toString(); }

signals:
    void updated();

private:
    // Publishes the next update, and asks for the one after it, if any.
    void next()
    {
        if (m_next >= m_updates.size())
            return;
        m_shown = m_updates.at(m_next++).toObject();
        emit updated();
        if (m_next < m_updates.size())
            m_timer->start();
        else
            m_timer->stop();
    }

    QTimer *m_timer;
    QJsonArray m_updates;
    qsizetype m_next = 0;
    QJsonObject m_shown;
};

// The shell's loader makes the factory without arguments, so it takes no
// parent.
class TableAppletFactory : public vesh::OrlAppletFactory // clazy:exclude=ctor-missing-parent-argument
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID VESH_APPLET_FACTORY_IID)
    Q_INTERFACES(vesh::OrlAppletFactory)

public:
    TableAppletFactory() { registerInstance(&OrlAppletFactory::registerApplet<TableApplet>); }
};

#include "tableplugin.moc"
