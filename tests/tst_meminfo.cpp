#include "meminfo.h"

#include <QFile>
#include <QTest>

using vesh::meminfo::Figures;

namespace {

QByteArray fixture(const QString &name)
{
    QFile file(QStringLiteral(VESH_FIXTURES "/meminfo/") + name);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("missing fixture %s", qPrintable(name));
    return file.readAll();
}

} // namespace

class TestMemInfo : public QObject
{
    Q_OBJECT

private slots:
    void figuresFromText_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<quint64>("total");
        QTest::addColumn<quint64>("available");

        QTest::newRow("captured desktop") << fixture(QStringLiteral("desktop.txt")) << quint64(32768264)
                                          << quint64(21234567);
        QTest::newRow("no final newline") << QByteArray("MemTotal: 5 kB\nMemAvailable: 3") << quint64(5) << quint64(3);
        QTest::newRow("only MemTotal") << QByteArray("MemTotal:       16000000 kB\n") << quint64(16000000)
                                       << quint64(0);
        QTest::newRow("MemAvailable without a number ends reading")
            << QByteArray("MemTotal: 100 kB\nMemAvailable: kB\nMemTotal: 200 kB\n") << quint64(100) << quint64(0);
        QTest::newRow("MemAvailable before MemTotal ends reading")
            << QByteArray("MemAvailable: 50 kB\nMemTotal: 100 kB\n") << quint64(0) << quint64(50);
        QTest::newRow("the later MemTotal counts")
            << QByteArray("MemTotal: 100 kB\nMemTotal: 200 kB\nMemAvailable: 50 kB\n") << quint64(200) << quint64(50);
        QTest::newRow("a later MemTotal without number keeps the earlier")
            << QByteArray("MemTotal: 100 kB\nMemTotal: none\nMemAvailable: 50 kB\n") << quint64(100) << quint64(50);
        QTest::newRow("a second MemAvailable is never read")
            << QByteArray("MemTotal: 100 kB\nMemAvailable: 50 kB\nMemAvailable: 70 kB\n") << quint64(100)
            << quint64(50);
        QTest::newRow("keys match from the first character")
            << QByteArray(" MemTotal: 1 kB\nmemtotal: 2 kB\nMemTotal 3 kB\nMemTotalX: 4 kB\n") << quint64(0)
            << quint64(0);
        QTest::newRow("a long line is read in pieces of 255")
            << QByteArray(255, 'x') + "MemTotal: 777 kB\n" << quint64(777) << quint64(0);
        QTest::newRow("a key past the first piece of a long line")
            << QByteArray(254, 'x') + "MemTotal: 777 kB\n" << quint64(0) << quint64(0);
        QTest::newRow("empty") << QByteArray() << quint64(0) << quint64(0);
        QTest::newRow("NUL right after the key") << QByteArray("MemTotal:\0 123 kB\n", 18) << quint64(0)
                                                 << quint64(0);
        QTest::newRow("binary garbage") << QByteArray("\x7f" "ELF\x02\x01\x01\0\0\0\xff\xfe\n\n", 14) << quint64(0)
                                        << quint64(0);
    }

    void figuresFromText()
    {
        QFETCH(QByteArray, text);
        QFETCH(quint64, total);
        QFETCH(quint64, available);
        const Figures figures = vesh::meminfo::figuresFromText(text);
        QCOMPARE(figures.totalKb, total);
        QCOMPARE(figures.availableKb, available);
    }

    void sizeText_data()
    {
        QTest::addColumn<quint64>("kb");
        QTest::addColumn<QString>("text");

        QTest::newRow("0") << quint64(0) << "0M";
        QTest::newRow("511 rounds to 0M") << quint64(511) << "0M";
        QTest::newRow("1023 rounds to 1M") << quint64(1023) << "1M";
        QTest::newRow("4096") << quint64(4096) << "4M";
        QTest::newRow("just below 1 GiB") << quint64(1048575) << "1024M";
        QTest::newRow("1 GiB") << quint64(1048576) << "1.0G";
        QTest::newRow("16000000") << quint64(16000000) << "15.3G";
        QTest::newRow("no unit above G") << quint64(2147483648) << "2048.0G";
    }

    void sizeText()
    {
        QFETCH(quint64, kb);
        QFETCH(QString, text);
        QCOMPARE(vesh::meminfo::sizeText(kb), text);
    }

    void usageText_data()
    {
        QTest::addColumn<quint64>("total");
        QTest::addColumn<quint64>("available");
        QTest::addColumn<QString>("text");

        QTest::newRow("desktop") << quint64(16000000) << quint64(10500000) << "MEM 5.2G/15.3G 34.4%";
        QTest::newRow("below 1 GiB") << quint64(800000) << quint64(300000) << "MEM 488M/781M 62.5%";
        QTest::newRow("very large") << quint64(2147483648) << quint64(1073741824) << "MEM 1024.0G/2048.0G 50.0%";
        QTest::newRow("used just below 1 GiB") << quint64(2097152) << quint64(1048577) << "MEM 1024M/2.0G 50.0%";
        QTest::newRow("used 1 GiB") << quint64(2097152) << quint64(1048576) << "MEM 1.0G/2.0G 50.0%";
        QTest::newRow("tiny") << quint64(4096) << quint64(3585) << "MEM 0M/4M 12.5%";
        QTest::newRow("nothing used") << quint64(16000000) << quint64(16000000) << "MEM 0M/15.3G 0.0%";
        QTest::newRow("no available figure") << quint64(16000000) << quint64(0) << "MEM 15.3G/15.3G 100.0%";
        QTest::newRow("no total") << quint64(0) << quint64(5000) << "MEM 0G 0%";
        QTest::newRow("more available than total") << quint64(1000000) << quint64(2000000) << "MEM 0M/977M 0.0%";
    }

    void usageText()
    {
        QFETCH(quint64, total);
        QFETCH(quint64, available);
        QFETCH(QString, text);
        QCOMPARE(vesh::meminfo::usageText({total, available}), text);
    }
};

QTEST_GUILESS_MAIN(TestMemInfo)
#include "tst_meminfo.moc"
