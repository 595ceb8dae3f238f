#include "hwmon.h"

#include <QTest>

using vesh::hwmon::Category;

class TestHwmon : public QObject
{
    Q_OBJECT

private slots:
    void driverOf_data()
    {
        QTest::addColumn<QString>("driverName");
        QTest::addColumn<Category>("category");

        QTest::newRow("k10temp") << "k10temp" << Category::Cpu;
        QTest::newRow("coretemp") << "coretemp" << Category::Cpu;
        QTest::newRow("zenpower") << "zenpower" << Category::Cpu;
        QTest::newRow("zenpower3 by prefix") << "zenpower3" << Category::Cpu;
        QTest::newRow("amdgpu") << "amdgpu" << Category::Gpu;
        QTest::newRow("radeon") << "radeon" << Category::Gpu;
        QTest::newRow("nouveau") << "nouveau" << Category::Gpu;
        QTest::newRow("k10temp2 is not k10temp") << "k10temp2" << Category::None;
        QTest::newRow("Coretemp in other case") << "Coretemp" << Category::None;
        QTest::newRow("AMDGPU in capitals") << "AMDGPU" << Category::None;
        QTest::newRow("Zenpower in other case") << "Zenpower" << Category::None;
        QTest::newRow("untrimmed name") << "k10temp\n" << Category::None;
        QTest::newRow("acpitz") << "acpitz" << Category::None;
        QTest::newRow("nvme") << "nvme" << Category::None;
        QTest::newRow("empty") << "" << Category::None;
    }

    void driverOf()
    {
        QFETCH(QString, driverName);
        QFETCH(Category, category);
        const vesh::hwmon::Driver *driver = vesh::hwmon::driverOf(driverName);
        QCOMPARE(driver ? driver->category : Category::None, category);
    }

    void degreesFromText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("degrees");

        QTest::newRow("48250") << "48250" << 48;
        QTest::newRow("48999 truncates") << "48999" << 48;
        QTest::newRow("zero") << "0" << 0;
        QTest::newRow("-1500 toward zero") << "-1500" << -1;
        QTest::newRow("-999 toward zero") << "-999" << 0;
        QTest::newRow("plus sign") << "+51000" << 51;
        QTest::newRow("largest int") << "2147483647" << 2147483;
        QTest::newRow("smallest int") << "-2147483648" << -2147483;
        QTest::newRow("beyond 32 bits") << "3000000000" << 0;
        QTest::newRow("empty") << "" << 0;
        QTest::newRow("N/A") << "N/A" << 0;
        QTest::newRow("decimal point") << "48.5" << 0;
        QTest::newRow("trailing garbage") << "48250x" << 0;
        QTest::newRow("hexadecimal") << "0x1000" << 0;
    }

    void degreesFromText()
    {
        QFETCH(QString, text);
        QFETCH(int, degrees);
        QCOMPARE(vesh::hwmon::degreesFromText(text), degrees);
    }

    // The raw-file reading gives what decoding and trimming first gives.
    void degreesFromFile_data()
    {
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<int>("degrees");

        QTest::newRow("kernel form") << QByteArray("48250\n") << 48;
        QTest::newRow("no newline") << QByteArray("48999") << 48;
        QTest::newRow("negative") << QByteArray("-1500\n") << -1;
        QTest::newRow("minus alone") << QByteArray("-\n") << 0;
        QTest::newRow("nine digits") << QByteArray("999999999\n") << 999999;
        QTest::newRow("ten digits") << QByteArray("2147483647\n") << 2147483;
        QTest::newRow("beyond 32 bits") << QByteArray("3000000000\n") << 0;
        QTest::newRow("plus sign") << QByteArray("+51000\n") << 51;
        QTest::newRow("surrounding spaces") << QByteArray("  51000 \n\n") << 51;
        QTest::newRow("no-break space, trimmed as text") << QByteArray("51000\xc2\xa0") << 51;
        QTest::newRow("two newlines") << QByteArray("51000\n\n") << 51;
        QTest::newRow("empty") << QByteArray() << 0;
        QTest::newRow("NUL inside") << QByteArray("51\0" "000\n", 7) << 0;
        QTest::newRow("invalid UTF-8") << QByteArray("\xff\xfe") << 0;
    }

    void degreesFromFile()
    {
        QFETCH(QByteArray, contents);
        QFETCH(int, degrees);
        QCOMPARE(vesh::hwmon::degreesFromFile(contents), degrees);
        QCOMPARE(vesh::hwmon::degreesFromFile(contents),
                 vesh::hwmon::degreesFromText(QString::fromUtf8(contents).trimmed()));
    }

    void isAsleep_data()
    {
        QTest::addColumn<QByteArray>("status");
        QTest::addColumn<bool>("asleep");

        QTest::newRow("suspended") << QByteArray("suspended\n") << true;
        QTest::newRow("suspending") << QByteArray("suspending\n") << true;
        QTest::newRow("no newline") << QByteArray("suspended") << true;
        QTest::newRow("spaces around") << QByteArray(" suspended \n") << true;
        QTest::newRow("no-break space around") << QByteArray("suspended\xc2\xa0") << true;
        QTest::newRow("active") << QByteArray("active\n") << false;
        QTest::newRow("resuming") << QByteArray("resuming\n") << false;
        QTest::newRow("unsupported") << QByteArray("unsupported\n") << false;
        QTest::newRow("empty") << QByteArray() << false;
        QTest::newRow("other case") << QByteArray("Suspended\n") << false;
        QTest::newRow("prefix only") << QByteArray("suspend\n") << false;
        QTest::newRow("NUL after") << QByteArray("suspended\0", 10) << false;
    }

    void isAsleep()
    {
        QFETCH(QByteArray, status);
        QFETCH(bool, asleep);
        QCOMPARE(vesh::hwmon::isAsleep(status), asleep);
    }
};

QTEST_GUILESS_MAIN(TestHwmon)
#include "tst_hwmon.moc"
