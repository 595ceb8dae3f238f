#include "netdev.h"

#include <QDir>
#include <QFile>
#include <QTest>

#include <net/if.h>

using vesh::netdev::Sample;

namespace {

QByteArray fixture(const QString &name)
{
    QFile file(QStringLiteral(VESH_FIXTURES "/netdev/") + name);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("missing fixture %s", qPrintable(name));
    return file.readAll();
}

const QByteArray Headings = "Inter-|   Receive   |  Transmit\n face |bytes packets|bytes packets\n";

quint64 readCounter(const QString &path, bool *ok)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *ok = false;
        return 0;
    }
    return file.readAll().trimmed().toULongLong(ok);
}

// Byte totals of every interface but loopback from the per-interface
// statistics in sysfs, which the kernel keeps from the same counters.
// The interfaces but lo in /sys/class/net, and their summed counters; false
// when one could not be read, as when it went away.
bool sysfsTotals(Sample *totals, QStringList *names)
{
    *totals = {};
    const QDir net(QStringLiteral("/sys/class/net"));
    *names = net.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    names->removeAll(QStringLiteral("lo"));
    names->sort();
    for (const QString &name : std::as_const(*names)) {
        bool rxOk = false;
        bool txOk = false;
        totals->rxBytes += readCounter(net.filePath(name + QLatin1StringView("/statistics/rx_bytes")), &rxOk);
        totals->txBytes += readCounter(net.filePath(name + QLatin1StringView("/statistics/tx_bytes")), &txOk);
        if (!rxOk || !txOk)
            return false;
    }
    return true;
}

// Where an interface's index in sysfs is not the one this process's network
// namespace gives its name, sysfs was mounted in another namespace, and
// shows other interfaces that may share their names; empty where they agree.
QString otherNamespace(const QStringList &names)
{
    for (const QString &name : names) {
        bool ok = false;
        const quint64 inSysfs =
            readCounter(QStringLiteral("/sys/class/net/") + name + QLatin1StringView("/ifindex"), &ok);
        const unsigned int here = ::if_nametoindex(QFile::encodeName(name).constData());
        if (ok && inSysfs != here)
            return QStringLiteral("/sys/class/net/%1 is interface %2, this network namespace's %1 is %3")
                .arg(name)
                .arg(inSysfs)
                .arg(here);
    }
    return {};
}

} // namespace

class TestNetDev : public QObject
{
    Q_OBJECT

private slots:
    void totalsFromText_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<quint64>("rx");
        QTest::addColumn<quint64>("tx");

        const QByteArray zeros7 = " 0 0 0 0 0 0 0";
        QTest::newRow("captured desktop, lo skipped")
            << fixture(QStringLiteral("desktop.txt")) << quint64(4829301283 + 0 + 1204938)
            << quint64(312988412 + 0 + 98233010);
        QTest::newRow("no space after the colon")
            << Headings + "eth0:123 0 0 0 0 0 0 0 456 0 0 0 0 0 0 0\n" << quint64(123) << quint64(456);
        QTest::newRow("no final newline")
            << Headings + "eth0: 1" + zeros7 + " 2" + zeros7 << quint64(1) << quint64(2);
        QTest::newRow("lo0 and LO count, lo does not")
            << Headings + "    lo: 1000" + zeros7 + " 1000" + zeros7 + "\n   lo0: 5" + zeros7 + " 6" + zeros7
                   + "\n    LO: 7" + zeros7 + " 8" + zeros7 + "\n"
            << quint64(12) << quint64(14);
        QTest::newRow("15 counters skipped")
            << Headings + "eth0: 9 0 0 0 0 0 0 0 9 0 0 0 0 0 0\n" << quint64(0) << quint64(0);
        QTest::newRow("17 counters count, the 17th ignored")
            << Headings + "eth0: 9 0 0 0 0 0 0 0 7 0 0 0 0 0 0 0 5\n" << quint64(9) << quint64(7);
        QTest::newRow("runs of spaces do not shift counters")
            << Headings + "eth0:   11    0 0 0 0 0 0 0 22 0 0 0 0 0 0 0\n" << quint64(11) << quint64(22);
        QTest::newRow("tabs do not separate")
            << Headings + "eth0: 1\t2 0 0 0 0 0 0 3 0 0 0 0 0 0 0\n" << quint64(0) << quint64(0);
        QTest::newRow("letters add 0, the other counter still counts")
            << Headings + "eth0: abc 0 0 0 0 0 0 0 456 0 0 0 0 0 0 0\n" << quint64(0) << quint64(456);
        QTest::newRow("counter beyond 64 bits adds 0")
            << Headings + "eth0: 18446744073709551616" + zeros7 + " 5" + zeros7 + "\n" << quint64(0) << quint64(5);
        QTest::newRow("largest 64-bit counter")
            << Headings + "eth0: 18446744073709551615" + zeros7 + " 5" + zeros7 + "\n"
            << quint64(18446744073709551615ULL) << quint64(5);
        QTest::newRow("line without colon skipped")
            << Headings + "eth0 1 0 0 0 0 0 0 0 1 0 0 0 0 0 0 0\n" << quint64(0) << quint64(0);
        QTest::newRow("headings are skipped unread")
            << QByteArray("eth0: 1" + zeros7 + " 1" + zeros7 + "\neth1: 2" + zeros7 + " 2" + zeros7 + "\n")
            << quint64(0) << quint64(0);
        QTest::newRow("only headings") << Headings << quint64(0) << quint64(0);
        QTest::newRow("one line") << QByteArray("Inter-|\n") << quint64(0) << quint64(0);
        QTest::newRow("empty") << QByteArray() << quint64(0) << quint64(0);
        QTest::newRow("blank lines between")
            << Headings + "\n\neth0: 3" + zeros7 + " 4" + zeros7 + "\n\n" << quint64(3) << quint64(4);
        QTest::newRow("CRLF line ends")
            << QByteArray("a\r\nb\r\neth0: 3" + zeros7 + " 4" + zeros7 + "\r\n") << quint64(3) << quint64(4);
        // Qt's conversion reads a counter up to a NUL byte.
        QTest::newRow("NUL byte after a counter")
            << Headings + "eth0: 3" + '\0' + zeros7 + " 4" + zeros7 + "\n" << quint64(3) << quint64(4);
    }

    void totalsFromText()
    {
        QFETCH(QByteArray, text);
        QFETCH(quint64, rx);
        QFETCH(quint64, tx);
        const Sample totals = vesh::netdev::totalsFromText(text);
        QCOMPARE(totals.rxBytes, rx);
        QCOMPARE(totals.txBytes, tx);
    }

    void rateText_data()
    {
        QTest::addColumn<double>("rate");
        QTest::addColumn<QString>("text");

        QTest::newRow("0") << 0.0 << "0B/s";
        QTest::newRow("512") << 512.0 << "512B/s";
        QTest::newRow("1023.9 cut, not rounded") << 1023.9 << "1023B/s";
        QTest::newRow("1024") << 1024.0 << "1.0K/s";
        QTest::newRow("1536") << 1536.0 << "1.5K/s";
        QTest::newRow("2048") << 2048.0 << "2.0K/s";
        QTest::newRow("1048575") << 1048575.0 << "1024.0K/s";
        QTest::newRow("1048576") << 1048576.0 << "1.0M/s";
        QTest::newRow("3500000") << 3500000.0 << "3.3M/s";
        QTest::newRow("no unit above M") << 1099511627776.0 << "1048576.0M/s";
    }

    void rateText()
    {
        QFETCH(double, rate);
        QFETCH(QString, text);
        QCOMPARE(vesh::netdev::rateText(rate), text);
    }

    void speedText_data()
    {
        QTest::addColumn<Sample>("previous");
        QTest::addColumn<Sample>("current");
        QTest::addColumn<QString>("text");

        constexpr qint64 T = 1733600000000;
        QTest::newRow("first sample") << Sample{0, 0, 0} << Sample{1000000, 500000, T} << "NET 0B/s";
        QTest::newRow("negative time is no sample") << Sample{1, 1, -5} << Sample{1000000, 500000, T} << "NET 0B/s";
        QTest::newRow("2 s") << Sample{1000000, 500000, T} << Sample{1004096, 501024, T + 2000}
                             << "NET 2.0K/s  512B/s";
        QTest::newRow("MB and KB") << Sample{1000000, 500000, T} << Sample{8000000, 503072, T + 2000}
                                   << "NET 3.3M/s  1.5K/s";
        QTest::newRow("same millisecond uses 2 s") << Sample{1000000, 500000, T} << Sample{1004096, 501024, T}
                                                   << "NET 2.0K/s  512B/s";
        QTest::newRow("clock set back uses 2 s") << Sample{1000000, 500000, T} << Sample{1004096, 501024, T - 60000}
                                                 << "NET 2.0K/s  512B/s";
        QTest::newRow("unchanged") << Sample{1000000, 500000, T} << Sample{1000000, 500000, T + 2000}
                                   << "NET 0B/s  0B/s";
        QTest::newRow("whole gap after a failed read") << Sample{1000000, 500000, T}
                                                       << Sample{1008192, 500000, T + 4000} << "NET 2.0K/s  0B/s";
        QTest::newRow("rx went down") << Sample{1000000, 500000, T} << Sample{999000, 502048, T + 2000}
                                      << "NET 0B/s  1.0K/s";
        QTest::newRow("tx went down") << Sample{1000000, 500000, T} << Sample{1002048, 1000, T + 2000}
                                      << "NET 1.0K/s  0B/s";
        QTest::newRow("growth beyond 2^53")
            << Sample{0, 0, T} << Sample{18446744073709551615ULL, 0, T + 1000} << "NET 17592186044416.0M/s  0B/s";
    }

    void speedText()
    {
        QFETCH(Sample, previous);
        QFETCH(Sample, current);
        QFETCH(QString, text);
        QCOMPARE(vesh::netdev::speedText(previous, current), text);
    }

    // The counters read from the real /proc/net/dev are the kernel's: they
    // match its per-interface statistics in sysfs. Only where both show the
    // same interfaces can they be compared; elsewhere (another network
    // namespace than sysfs was mounted in, a /proc/net/dev that cannot be
    // read) the check is skipped, saying why.
    void totalsMatchTheKernel()
    {
        if (!QFile::exists(QStringLiteral("/sys/class/net")))
            QSKIP("no /sys/class/net on this machine");
        // Each counter only grows, so a proc reading taken between two sysfs
        // readings lies between them, however busy the network; only an
        // interface that comes or goes in between spoils the reading.
        QString why;
        for (int attempt = 0; attempt < 50; ++attempt) {
            Sample before;
            Sample after;
            QStringList namesBefore;
            QStringList namesAfter;
            if (!sysfsTotals(&before, &namesBefore)) {
                why = QStringLiteral("a counter in /sys/class/net could not be read");
                continue;
            }
            QFile proc(QStringLiteral("/proc/net/dev"));
            if (!proc.open(QIODevice::ReadOnly | QIODevice::Text))
                QSKIP(qPrintable(QStringLiteral("/proc/net/dev cannot be read here: ") + proc.errorString()));
            const QByteArray text = proc.readAll();
            if (!sysfsTotals(&after, &namesAfter)) {
                why = QStringLiteral("a counter in /sys/class/net could not be read");
                continue;
            }
            QStringList namesInProc;
            vesh::netdev::forEachInterface(text, [&namesInProc](const vesh::netdev::Interface &interface) {
                namesInProc << QFile::decodeName(interface.name.toByteArray());
            });
            namesInProc.sort();
            if (namesBefore != namesAfter) {
                why = QStringLiteral("interfaces came or went in /sys/class/net during the reading");
                continue;
            }
            if (namesInProc != namesBefore) {
                const auto listed = [](const QStringList &names) {
                    return names.isEmpty() ? QStringLiteral("no interface but lo") : names.join(u' ');
                };
                why = QStringLiteral("/proc/net/dev shows %1, /sys/class/net shows %2")
                          .arg(listed(namesInProc), listed(namesBefore));
                continue;
            }
            const QString elsewhere = otherNamespace(namesBefore);
            if (!elsewhere.isEmpty())
                QSKIP(qPrintable(QStringLiteral("sysfs shows another network namespace: ") + elsewhere));
            const Sample fromProc = vesh::netdev::totalsFromText(text);
            // What should hold, in figures: sysfs before <= proc <= sysfs after.
            const auto bracket = [](quint64 low, quint64 value, quint64 high) {
                return QByteArray::number(low) + " <= " + QByteArray::number(value) + " <= " + QByteArray::number(high);
            };
            QVERIFY2(before.rxBytes <= fromProc.rxBytes && fromProc.rxBytes <= after.rxBytes,
                     bracket(before.rxBytes, fromProc.rxBytes, after.rxBytes).constData());
            QVERIFY2(before.txBytes <= fromProc.txBytes && fromProc.txBytes <= after.txBytes,
                     bracket(before.txBytes, fromProc.txBytes, after.txBytes).constData());
            return;
        }
        // The two views never agreed: nothing of the parser's to judge.
        QSKIP(qPrintable(QStringLiteral("the kernel's two views of the interfaces did not agree in 50 readings; "
                                        "the last time: ")
                         + why));
    }
};

QTEST_GUILESS_MAIN(TestNetDev)
#include "tst_netdev.moc"
