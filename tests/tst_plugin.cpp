#include "support/elfsection.h"
#include "support/sandbox.h"

#include <vesh/orlapplet.h>
#include <vesh/orlappletfactory.h>

#include <QLibrary>
#include <QPluginLoader>
#include <QPointer>
#include <QProcess>
#include <QTest>
#include <QTimer>
#include <QtPlugin>

#include <elf.h>

namespace {

const QString PluginFile = QStringLiteral(VESH_PLUGIN_FILE);
constexpr char FactoryClass[] = "vesh::TemperatureAppletAppletFactory";

// The metadata note as Qt's loader expects it: header, then an
// indefinite-length CBOR map with the interface identifier (key 2) and the
// class name (key 3), nothing else.
QByteArray expectedDescriptor()
{
    QByteArray descriptor;
    descriptor.append(char(1)); // metadata format version
    descriptor.append(char(QT_VERSION_MAJOR));
    descriptor.append(char(QT_VERSION_MINOR));
    // Build requirements, which Qt derives from the target's instruction
    // set and the build type (0x80 in a debug build); the test is built
    // with the plugin's settings, so Qt's own rule gives the plugin's byte.
    descriptor.append(char(QPluginMetaData::archRequirements()));
    // CBOR text string: major type 3, the length inline below 24, else in
    // one following byte.
    auto text = [&](const QByteArray &s) {
        if (s.size() < 24)
            descriptor.append(char(0x60 + s.size()));
        else
            descriptor.append(char(0x78)).append(char(s.size()));
        descriptor.append(s);
    };
    descriptor.append(char(0xBF));
    descriptor.append(char(0x02));
    text(QByteArrayLiteral(VESH_APPLET_FACTORY_IID));
    descriptor.append(char(0x03));
    text(QByteArrayLiteral("TemperatureAppletAppletFactory"));
    descriptor.append(char(0xFF));
    return descriptor;
}

// The metadata note is aligned as ELF notes are, to a pointer's size (as
// Qt's qplugin.h lays it out): 8 bytes on 64-bit machines, 4 on 32-bit ones.
constexpr quint64 NoteAlignment = alignof(void *);

quint32 u32(const QByteArray &bytes, int at)
{
    quint32 value;
    std::memcpy(&value, bytes.constData() + at, sizeof value);
    return value;
}

QStringList dynamicSymbols()
{
    QProcess nm;
    nm.start(QStringLiteral(VESH_NM), {QStringLiteral("-D"), QStringLiteral("--defined-only"), PluginFile});
    if (!nm.waitForFinished() || nm.exitCode() != 0)
        return {};
    QStringList names;
    for (const QByteArray &line : nm.readAllStandardOutput().split('\n')) {
        const QList<QByteArray> fields = line.split(' ');
        if (fields.size() == 3)
            names.append(QString::fromLatin1(fields.at(2)));
    }
    return names;
}

} // namespace

class TestPlugin : public QObject
{
    Q_OBJECT

private slots:
    void metadataNote()
    {
        const ElfSection note = readElfSection(PluginFile, ".note.qt.metadata");
        QVERIFY(note.found);
        QVERIFY(note.flags & SHF_ALLOC);
        QCOMPARE(note.alignment, NoteAlignment);
        QCOMPARE(note.size % NoteAlignment, quint64(0));

        const QByteArray descriptor = expectedDescriptor();
        const QByteArray bytes = note.contents;
        QVERIFY(bytes.size() >= 24);
        QCOMPARE(u32(bytes, 0), quint32(12)); // name size
        QCOMPARE(u32(bytes, 4), quint32(descriptor.size()));
        QCOMPARE(u32(bytes, 8), quint32(0x74510001));
        QCOMPARE(bytes.mid(12, 12), QByteArray("qt-project!\0", 12));
        QCOMPARE(bytes.mid(24, descriptor.size()), descriptor);
        // Only zero bytes up to the section's aligned end.
        const QByteArray padding = bytes.mid(24 + descriptor.size());
        QCOMPARE(quint64(24 + descriptor.size() + padding.size()), note.size);
        QVERIFY(quint64(padding.size()) < NoteAlignment);
        QCOMPARE(padding, QByteArray(padding.size(), '\0'));
    }

    void queryFunctionReturnsTheNote()
    {
        QLibrary library(PluginFile);
        QVERIFY2(library.load(), qPrintable(library.errorString()));
        using Query = QPluginMetaData (*)();
        auto query = reinterpret_cast<Query>(library.resolve("qt_plugin_query_metadata_v2"));
        QVERIFY(query);
        const QPluginMetaData first = query();
        const QByteArray descriptor = expectedDescriptor();
        QCOMPARE(quint64(first.size), (quint64(descriptor.size()) + NoteAlignment - 1) / NoteAlignment * NoteAlignment);
        QCOMPARE(QByteArray(static_cast<const char *>(first.data), qsizetype(descriptor.size())), descriptor);

        auto instance = reinterpret_cast<QObject *(*)()>(library.resolve("qt_plugin_instance"));
        QVERIFY(instance);
        QPointer<QObject> factory = instance();
        const QPluginMetaData second = query();
        QCOMPARE(second.data, first.data);
        QCOMPARE(second.size, first.size);
        delete factory;
    }

    void loadsAsTheShellLoadsIt()
    {
        QPluginLoader loader(PluginFile);
        const QJsonObject metaData = loader.metaData();
        QCOMPARE(metaData.value(u"IID").toString(), QStringLiteral(VESH_APPLET_FACTORY_IID));
        QCOMPARE(metaData.value(u"className").toString(), QStringLiteral("TemperatureAppletAppletFactory"));
        QVERIFY(!metaData.contains(u"MetaData"));

        QPointer<QObject> first = loader.instance();
        QVERIFY2(first, qPrintable(loader.errorString()));
        QCOMPARE(loader.instance(), first.data());
        auto *factory = qobject_cast<vesh::OrlAppletFactory *>(first.data());
        QVERIFY(factory);
        QCOMPARE(static_cast<QObject *>(factory), first.data());
        QCOMPARE(factory->parent(), nullptr);

        // Once destroyed, the next call makes a new factory that works.
        delete first;
        QObject *second = loader.instance();
        QVERIFY(second);
        auto *secondFactory = qobject_cast<vesh::OrlAppletFactory *>(second);
        QVERIFY(secondFactory);
        QObject panel;
        std::unique_ptr<vesh::OrlApplet> applet(secondFactory->create(&panel));
        QVERIFY(applet);
        QCOMPARE(applet->parent(), &panel);
        QCOMPARE(applet->metaObject()->className(), "vesh::TemperatureApplet");
        applet.reset();
        delete second;
    }

    void factoryMetaObjectAndCasts()
    {
        QPluginLoader loader(PluginFile);
        QObject *factory = loader.instance();
        QVERIFY(factory);
        const QMetaObject *meta = factory->metaObject();
        QCOMPARE(meta->className(), FactoryClass);
        QCOMPARE(meta->superClass(), &vesh::OrlAppletFactory::staticMetaObject);
        QCOMPARE(meta->methodCount(), vesh::OrlAppletFactory::staticMetaObject.methodCount());
        QCOMPARE(meta->propertyCount(), vesh::OrlAppletFactory::staticMetaObject.propertyCount());
        QCOMPARE(meta->enumeratorCount(), meta->enumeratorOffset());
        QCOMPARE(meta->classInfoCount(), meta->classInfoOffset());
        QCOMPARE(meta->constructorCount(), 0);

        void *asFactory = static_cast<vesh::OrlAppletFactory *>(qobject_cast<vesh::OrlAppletFactory *>(factory));
        QCOMPARE(factory->qt_metacast(nullptr), nullptr);
        QCOMPARE(factory->qt_metacast(FactoryClass), static_cast<void *>(factory));
        QCOMPARE(factory->qt_metacast(VESH_APPLET_FACTORY_IID), asFactory);
        QCOMPARE(factory->qt_metacast("ORG.BRENN.VESH.APPLET-FACTORY"), nullptr);
        QCOMPARE(factory->qt_metacast("TemperatureAppletAppletFactory"), nullptr);
        QCOMPARE(factory->qt_metacast("vesh::OrlAppletFactory"), asFactory);
        QCOMPARE(factory->qt_metacast("QObject"), static_cast<void *>(factory));
        delete factory;
    }

    void everyCreateMakesAnIndependentApplet()
    {
        // What the factory makes reads /sys and /proc: here, a fixture
        // machine's, never those of the machine the test runs on.
        SANDBOX_REQUIRED();
        ON_MACHINE(QStringLiteral(VESH_FIXTURES "/machines/ryzen-radeon"), [] {
            QPluginLoader loader(PluginFile);
            auto *factory = qobject_cast<vesh::OrlAppletFactory *>(loader.instance());
            QVERIFY(factory);
            QObject panel;
            vesh::OrlApplet *one = factory->create(&panel);
            vesh::OrlApplet *two = factory->create(&panel);
            QVERIFY(one && two);
            QVERIFY(one != two);
            auto *timerOne = one->findChild<QTimer *>();
            auto *timerTwo = two->findChild<QTimer *>();
            QVERIFY(timerOne && timerTwo && timerOne != timerTwo);

            // Started, one samples and runs its timer; the other is untouched.
            QtMessageHandler previous =
                qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
            QVERIFY(one->init());
            qInstallMessageHandler(previous);
            QVERIFY(timerOne->isActive());
            QVERIFY(!timerTwo->isActive());
            QCOMPARE(one->property("memUsage").toString(), QStringLiteral("MEM 11.0G/31.3G 35.2%"));
            QVERIFY(two->property("memUsage").toString().isEmpty());
            QCOMPARE(one->rootObject(), one);
            QCOMPARE(two->rootObject(), nullptr);
            delete factory;
        });
    }

    void exportsOnlyTheEntryPointsAndTheApplet()
    {
        const QStringList symbols = dynamicSymbols();
        QVERIFY2(!symbols.isEmpty(), "nm -D listed no symbols");
        QVERIFY(symbols.contains(u"qt_plugin_instance"));
        QVERIFY(symbols.contains(u"qt_plugin_query_metadata_v2"));
        QVERIFY(symbols.contains(u"_ZN4vesh17TemperatureApplet16staticMetaObjectE"));
        for (const QString &symbol : symbols) {
            QVERIFY2(!symbol.contains(u"TemperatureAppletAppletFactory"), qPrintable(symbol));
            // Nothing of the applet's private helpers leaks out either, nor
            // a way to make an applet that reads anything but this machine.
            QVERIFY2(!symbol.contains(u"4vesh6netdev") && !symbol.contains(u"4vesh7meminfo")
                         && !symbol.contains(u"4vesh5hwmon") && !symbol.contains(u"12MachineFiles"),
                     qPrintable(symbol));
        }
    }

    void fileNameAndSoname()
    {
        QCOMPARE(QFileInfo(PluginFile).fileName(), QStringLiteral("org.brenn.vesh.temperature.so"));
        QProcess objdump;
        objdump.start(QStringLiteral(VESH_OBJDUMP), {QStringLiteral("-p"), PluginFile});
        QVERIFY(objdump.waitForFinished());
        const QByteArray dynamic = objdump.readAllStandardOutput();
        QVERIFY2(dynamic.contains("SONAME               org.brenn.vesh.temperature.so"), dynamic.constData());
        QVERIFY2(dynamic.contains("NEEDED               libbrenn-shell.so.1"), dynamic.constData());
    }
};

QTEST_GUILESS_MAIN(TestPlugin)
#include "tst_plugin.moc"
