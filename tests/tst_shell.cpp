#include <vesh/orlapplet.h>
#include <vesh/orlappletfactory.h>

#include <QPointer>
#include <QTest>

namespace {

class ProbeApplet : public vesh::OrlApplet
{
public:
    using OrlApplet::OrlApplet;
};

} // namespace

class TestShell : public QObject
{
    Q_OBJECT

private slots:
    void createRunsTheCreatorWithTheParent()
    {
        vesh::OrlAppletFactory factory;
        QObject *seenParent = nullptr;
        int calls = 0;
        factory.registerInstance([&](QObject *parent) -> vesh::OrlApplet * {
            seenParent = parent;
            ++calls;
            return new ProbeApplet(parent);
        });

        QObject panel;
        vesh::OrlApplet *first = factory.create(&panel);
        vesh::OrlApplet *second = factory.create(&panel);
        QCOMPARE(calls, 2);
        QCOMPARE(seenParent, &panel);
        QVERIFY(first && second && first != second);
        QCOMPARE(first->parent(), &panel);
        QCOMPARE(panel.children().size(), 2);
    }

    void createWithoutCreatorGivesNull()
    {
        vesh::OrlAppletFactory factory;
        QObject panel;
        QCOMPARE(factory.create(&panel), nullptr);
        QVERIFY(panel.children().isEmpty());
    }

    void laterRegistrationReplacesTheCreator()
    {
        vesh::OrlAppletFactory factory;
        int firstCalls = 0;
        factory.registerInstance([&](QObject *) -> vesh::OrlApplet * { ++firstCalls; return nullptr; });
        factory.registerInstance(&vesh::OrlAppletFactory::registerApplet<ProbeApplet>);
        std::unique_ptr<vesh::OrlApplet> applet(factory.create());
        QVERIFY(applet);
        QCOMPARE(firstCalls, 0);
        QCOMPARE(applet->parent(), nullptr);
    }

    void creatorIsRetainedBeyondTheCallersCopy()
    {
        vesh::OrlAppletFactory factory;
        auto state = std::make_shared<int>(0);
        {
            vesh::OrlAppletFactory::Creator creator = [state](QObject *parent) -> vesh::OrlApplet * {
                ++*state;
                return new ProbeApplet(parent);
            };
            factory.registerInstance(creator);
        }
        QObject panel;
        QVERIFY(factory.create(&panel));
        QCOMPARE(*state, 1);
    }

    void interfaceIdentifier()
    {
        QCOMPARE(qobject_interface_iid<vesh::OrlAppletFactory *>(), "org.brenn.vesh.applet-factory");
        // Only a plugin's factory, which lists the interface, answers it.
        QObject plain;
        QCOMPARE(qobject_cast<vesh::OrlAppletFactory *>(&plain), nullptr);
    }

    void rootObjectIsTrackedNotOwned()
    {
        ProbeApplet applet;
        QCOMPARE(applet.rootObject(), nullptr);
        {
            QObject root;
            applet.setRootObject(&root);
            QCOMPARE(applet.rootObject(), &root);
        }
        QCOMPARE(applet.rootObject(), nullptr);
        applet.setRootObject(&applet);
        QCOMPARE(applet.rootObject(), &applet);
    }

    void appletIsOwnedThroughEitherBase()
    {
        QPointer<QObject> watch;
        {
            std::unique_ptr<vesh::OrlObject> owned(new ProbeApplet);
            watch = dynamic_cast<QObject *>(owned.get());
            QVERIFY(watch);
        }
        QVERIFY(watch.isNull());
    }
};

QTEST_GUILESS_MAIN(TestShell)
#include "tst_shell.moc"
