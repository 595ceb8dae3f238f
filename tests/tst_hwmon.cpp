#include "hwmon.h"

#include <QTest>

using vesh::hwmon::Category;

class TestHwmon : public QObject
{
    Q_OBJECT

private slots:
    void categoryOf_data()
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

    void categoryOf()
    {
        QFETCH(QString, driverName);
        QFETCH(Category, category);
        QCOMPARE(vesh::hwmon::categoryOf(driverName), category);
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

    void isAsleep_data()
    {
        QTest::addColumn<QString>("status");
        QTest::addColumn<bool>("asleep");

        QTest::newRow("suspended") << "suspended" << true;
        QTest::newRow("suspending") << "suspending" << true;
        QTest::newRow("active") << "active" << false;
        QTest::newRow("resuming") << "resuming" << false;
        QTest::newRow("unsupported") << "unsupported" << false;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("other case") << "Suspended" << false;
    }

    void isAsleep()
    {
        QFETCH(QString, status);
        QFETCH(bool, asleep);
        QCOMPARE(vesh::hwmon::isAsleep(status), asleep);
    }
};

QTEST_GUILESS_MAIN(TestHwmon)
#include "tst_hwmon.moc"
