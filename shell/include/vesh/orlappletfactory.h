#pragma once

#include <vesh/brennshell_global.h>

#include <QObject>
#include <functional>

// Interface identifier of applet plugins; a plugin declares it in
// Q_PLUGIN_METADATA and the shell accepts only plugins that carry it.
#define VESH_APPLET_FACTORY_IID "org.brenn.vesh.applet-factory"

namespace vesh {

class OrlApplet;

// The one object an applet plugin hands to the shell. A plugin derives from
// it and registers, in its constructor, the creator of its applet class.
class BRENN_SHELL_EXPORT OrlAppletFactory : public QObject
{
    Q_OBJECT

public:
    using Creator = std::function<OrlApplet *(QObject *)>;

    explicit OrlAppletFactory(QObject *parent = nullptr);
    ~OrlAppletFactory() override;

    // Keeps the creator for create(); a later call replaces it.
    void registerInstance(Creator creator);

    // Makes a new applet with the given parent through the registered
    // creator; null when no creator was registered.
    virtual OrlApplet *create(QObject *parent = nullptr);

    template <typename T>
    static T *registerApplet(QObject *parent)
    {
        return new T(parent);
    }

private:
    Creator m_creator;
};

} // namespace vesh

Q_DECLARE_INTERFACE(vesh::OrlAppletFactory, VESH_APPLET_FACTORY_IID)
