#include <vesh/orlappletfactory.h>
#include <vesh/orlapplet.h>

namespace vesh {

OrlAppletFactory::OrlAppletFactory(QObject *parent)
    : QObject(parent)
{
}

OrlAppletFactory::~OrlAppletFactory() = default;

void OrlAppletFactory::registerInstance(Creator creator)
{
    m_creator = std::move(creator);
}

OrlApplet *OrlAppletFactory::create(QObject *parent)
{
    return m_creator ? m_creator(parent) : nullptr;
}

} // namespace vesh
