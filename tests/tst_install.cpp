// `cmake --install --component applet` puts the plugin where the Qt that
// runs the shell looks for plugins, whatever the install prefix; and
// `./dev install` installs the build that exists, whatever it decides now.

#include <QCryptographicHash>
#include <QDirIterator>
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

    // sudo sees another toolchain than the user who built (no
    // CMAKE_PREFIX_PATH): here VESH_TOOLCHAIN=root stands for that flip.
    // The build stays as it was, nothing is bootstrapped, and the command
    // installs with the CMake that configured the build or says what to do.
    void devInstallKeepsTheBuild_data()
    {
        QTest::addColumn<QByteArray>("madeBy"); // .vesh-toolchain; null: no build
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("says");
        QTest::newRow("native build") << QByteArray("native\n") << 0 << "--install";
        QTest::newRow("build made in the toolchain root") << QByteArray("/cache/trixie-0123\n") << 1
                                                          << "Install the package instead";
        QTest::newRow("no build") << QByteArray() << 1 << "nothing to install: build it first";
    }

    void devInstallKeepsTheBuild()
    {
        QFETCH(QByteArray, madeBy);
        QFETCH(int, exitCode);
        QFETCH(QString, says);
        QTemporaryDir checkout;
        QVERIFY(QFile::copy(QStringLiteral(VESH_SOURCE "/dev"), checkout.filePath(QStringLiteral("dev"))));
        // The CMake that configured the build says how it was called.
        const QString cmake = checkout.filePath(QStringLiteral("recorded-cmake"));
        write(cmake, "#!/bin/sh\necho \"recorded cmake $*\"\n");
        QVERIFY(QFile::setPermissions(cmake, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        const QString build = checkout.filePath(QStringLiteral("build/release"));
        if (!madeBy.isNull()) {
            write(build + QStringLiteral("/CMakeCache.txt"), "CMAKE_COMMAND:INTERNAL=" + QFile::encodeName(cmake) + '\n');
            write(build + QStringLiteral("/.vesh-toolchain"), madeBy);
            write(build + QStringLiteral("/build.ninja"), "# made by the build\n");
        }
        const QByteArray before = treeHash(build);

        QProcess dev;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("VESH_TOOLCHAIN"), QStringLiteral("root"));
        environment.insert(QStringLiteral("VESH_CACHE"), checkout.filePath(QStringLiteral("cache")));
        dev.setProcessEnvironment(environment);
        dev.setProcessChannelMode(QProcess::MergedChannels);
        dev.start(QStringLiteral("bash"), {checkout.filePath(QStringLiteral("dev")), QStringLiteral("install")});
        QVERIFY(dev.waitForFinished(60000));
        const QByteArray output = dev.readAll();
        QVERIFY2(dev.exitCode() == exitCode, output.constData());
        QVERIFY2(output.contains(says.toUtf8()), output.constData());
        if (exitCode == 0)
            QVERIFY2(output.startsWith("recorded cmake --install " + QFile::encodeName(build)), output.constData());
        QCOMPARE(treeHash(build), before);
        QVERIFY(!QFileInfo::exists(checkout.filePath(QStringLiteral("cache"))));
    }

private:
    static void write(const QString &path, const QByteArray &contents)
    {
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(contents) != contents.size())
            qFatal("cannot write %s", qPrintable(path));
    }

    // Every file's name and contents below folder.
    static QByteArray treeHash(const QString &folder)
    {
        QCryptographicHash hash(QCryptographicHash::Sha256);
        QStringList files;
        QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (it.hasNext())
            files << it.next();
        files.sort();
        for (const QString &path : std::as_const(files)) {
            QFile file(path);
            hash.addData(QFile::encodeName(path));
            if (file.open(QIODevice::ReadOnly))
                hash.addData(file.readAll());
        }
        return hash.result().toHex();
    }
};

QTEST_GUILESS_MAIN(TestInstall)
#include "tst_install.moc"
