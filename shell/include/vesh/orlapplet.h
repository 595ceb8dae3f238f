#pragma once

#include <vesh/brennshell_global.h>

#include <QObject>
#include <QPointer>

namespace vesh {

// Second polymorphic base of every shell object; it only guarantees a
// virtual destructor so the shell can own objects through it.
class BRENN_SHELL_EXPORT OrlObject
{
public:
    OrlObject() = default;
    virtual ~OrlObject();
    // Shell objects have identity; a copy would slice.
    Q_DISABLE_COPY_MOVE(OrlObject)
};

// Base of every panel applet. The shell creates an applet through its
// plugin's factory, calls init() once and then reads the applet's
// properties whenever a NOTIFY signal fires.
class BRENN_SHELL_EXPORT OrlApplet : public QObject, public OrlObject
{
    Q_OBJECT

public:
    explicit OrlApplet(QObject *parent = nullptr);
    ~OrlApplet() override;

    // The object whose properties the front end binds to.
    void setRootObject(QObject *root);
    QObject *rootObject() const;

    // Loads the applet's resources; the base has none and succeeds.
    virtual bool load();
    // Called once by the shell after creation; the base does nothing.
    virtual bool init();
    // An object that mirrors the root object's properties for a front end
    // in another thread. This shell reads properties on the applet's own
    // thread, so the base makes none and returns null.
    virtual QObject *createProxyMeta();

private:
    QPointer<QObject> m_rootObject;
};

} // namespace vesh
