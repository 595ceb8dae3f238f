// A valid Qt plugin of some other interface, which the runner must refuse.
#include <QObject>
#include <QtPlugin>

class OtherPlugin : public QObject
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID "org.example.other-interface")
};

#include "otherplugin.moc"
