#include <vesh/orlapplet.h>

namespace vesh {

OrlObject::~OrlObject() = default;

OrlApplet::OrlApplet(QObject *parent)
    : QObject(parent)
{
}

OrlApplet::~OrlApplet() = default;

void OrlApplet::setRootObject(QObject *root)
{
    m_rootObject = root;
}

QObject *OrlApplet::rootObject() const
{
    return m_rootObject;
}

bool OrlApplet::load()
{
    return true;
}

bool OrlApplet::init()
{
    return true;
}

QObject *OrlApplet::createProxyMeta()
{
    return nullptr;
}

} // namespace vesh
