// `cmake --install --component applet` puts the plugin where the Qt that
// runs the shell looks for plugins, whatever the install prefix.

#include <QLibraryInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

class TestInstall : public QObject
{
    Q_OBJECT

private slots:
    void pluginLandsInQtsFolder_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::newRow("the build's prefix") << QStringList();
        QTest::newRow("a prefix that is not Qt's") << QStringList{QStringLiteral("--prefix"), QStringLiteral("/opt/elsewhere")};
    }

    void pluginLandsInQtsFolder()
    {
        QFETCH(QStringList, options);
        QTemporaryDir destination;
        QProcess install;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("DESTDIR"), destination.path());
        install.setProcessEnvironment(environment);
        install.setProcessChannelMode(QProcess::MergedChannels);
        install.start(QStringLiteral(VESH_CMAKE),
                      QStringList{QStringLiteral("--install"), QStringLiteral(VESH_BUILD), QStringLiteral("--component"),
                                  QStringLiteral("applet")} + options);
        QVERIFY(install.waitForFinished(60000));
        QVERIFY2(install.exitCode() == 0, install.readAll().constData());
        const QString plugin = destination.path() + QLibraryInfo::path(QLibraryInfo::PluginsPath)
                             + QStringLiteral("/vesh/applets/org.brenn.vesh.temperature.so");
        QVERIFY2(QFileInfo(plugin).isFile(), qPrintable(plugin + QStringLiteral(" missing; installed:\n")
                                                         + QString::fromLocal8Bit(install.readAll())));
    }
};

QTEST_GUILESS_MAIN(TestInstall)
#include "tst_install.moc"
