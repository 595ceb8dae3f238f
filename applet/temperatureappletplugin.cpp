#include "temperatureapplet.h"

#include <vesh/orlappletfactory.h>

#include <QtPlugin>

namespace vesh {
namespace {

// The object the shell obtains from this plugin; it only tells the shell's
// framework how to make a TemperatureApplet. The shell's plugin loader
// constructs it without arguments, so it takes no parent.
class TemperatureAppletAppletFactory : public OrlAppletFactory // clazy:exclude=ctor-missing-parent-argument
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID VESH_APPLET_FACTORY_IID)
    Q_INTERFACES(vesh::OrlAppletFactory)

public:
    TemperatureAppletAppletFactory()
    {
        registerInstance(&OrlAppletFactory::registerApplet<TemperatureApplet>);
    }
};

} // namespace
} // namespace vesh

#include "temperatureappletplugin.moc"
