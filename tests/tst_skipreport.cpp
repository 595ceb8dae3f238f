// run-test, which stands between ctest and every test: what a machine
// cannot check must come out as skipped (77) with its reason, never as
// passed, and a failure must stay a failure.

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

class TestSkipReport : public QObject
{
    Q_OBJECT

private slots:
    void outcome_data()
    {
        QTest::addColumn<QString>("script"); // what the test itself does
        QTest::addColumn<bool>("requireAll");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("reasons"); // the skip file's contents

        const QString qtSkip = QStringLiteral("echo 'PASS   : T::a()'; echo 'SKIP   : T::b() no Qt Quick'; "
                                              "echo '   Loc: [t.cpp(1)]'; exit 0");
        QTest::newRow("QtTest pass") << "echo 'PASS   : T::a()'; exit 0" << false << 0 << "";
        QTest::newRow("QtTest pass with a skip") << qtSkip << false << 77 << "t: no Qt Quick\n";
        QTest::newRow("QtTest skip, all required") << qtSkip << true << 1 << "t: no Qt Quick\n";
        QTest::newRow("QtTest failure beside a skip")
            << "echo 'SKIP   : T::b() no Qt Quick'; echo 'FAIL!  : T::c() x'; exit 1" << false << 1 << "";
        QTest::newRow("script skip") << "echo 'SKIP: lintian not installed'; exit 77" << false << 77
                                     << "t: lintian not installed\n";
        QTest::newRow("script skip without a reason") << "exit 77" << false << 77 << "t: (no reason given)\n";
    }

    void outcome()
    {
        QFETCH(QString, script);
        QFETCH(bool, requireAll);
        QFETCH(int, exitCode);
        QFETCH(QString, reasons);
        QTemporaryDir skips;
        QProcess run;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(QStringLiteral("VESH_REQUIRE_ALL"));
        if (requireAll)
            environment.insert(QStringLiteral("VESH_REQUIRE_ALL"), QStringLiteral("1"));
        run.setProcessEnvironment(environment);
        run.start(QStringLiteral(VESH_SOURCE "/tests/support/run-test"),
                  {skips.path(), QStringLiteral("t"), QStringLiteral("sh"), QStringLiteral("-c"), script});
        QVERIFY(run.waitForFinished());
        QCOMPARE(run.exitStatus(), QProcess::NormalExit);
        QCOMPARE(run.exitCode(), exitCode);
        QFile file(skips.filePath(QStringLiteral("t.txt")));
        QCOMPARE(file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString(), reasons);
    }
};

QTEST_GUILESS_MAIN(TestSkipReport)
#include "tst_skipreport.moc"
