#include "kernelfile.h"

#include "support/fixturetree.h"

#include <QTest>

#include <cerrno>

using vesh::kernelfile::Form;

Q_DECLARE_METATYPE(vesh::kernelfile::Form)

class TestKernelFile : public QObject
{
    Q_OBJECT

private slots:
    void read_data()
    {
        QTest::addColumn<QByteArray>("contents"); // null: made by the row's name
        QTest::addColumn<Form>("form");
        QTest::addColumn<int>("error");
        QTest::addColumn<QByteArray>("read");

        const QByteArray page(64 * 1024, 'x');
        QTest::newRow("attribute") << QByteArray("45000\n") << vesh::kernelfile::OnePage << 0 << QByteArray("45000\n");
        QTest::newRow("carriage returns dropped") << QByteArray("a\r\nb\r\n") << vesh::kernelfile::OnePage << 0
                                                  << QByteArray("a\nb\n");
        constexpr Form copy = vesh::kernelfile::copyOf(vesh::kernelfile::OnePage);
        QTest::newRow("carriage returns kept for a copy") << QByteArray("a\r\nb\r\n") << copy << 0
                                                          << QByteArray("a\r\nb\r\n");
        QTest::newRow("NULs kept")
            << QByteArray("amdgpu\0\0\n", 9) << vesh::kernelfile::OnePage << 0 << QByteArray("amdgpu\0\0\n", 9);
        QTest::newRow("a copy one byte past its limit: too large") << page + '\r' << copy << EFBIG << QByteArray();
        QTest::newRow("exactly the limit") << page << vesh::kernelfile::OnePage << 0 << page;
        QTest::newRow("one byte past the limit: too large")
            << page + 'x' << vesh::kernelfile::OnePage << EFBIG << QByteArray();
        QTest::newRow("a table past one page, read whole")
            << QByteArray(300 * 1024, 'y') << vesh::kernelfile::Table << 0 << QByteArray(300 * 1024, 'y');
        QTest::newRow("no file") << QByteArray() << vesh::kernelfile::OnePage << ENOENT << QByteArray();
        QTest::newRow("a folder") << QByteArray() << vesh::kernelfile::OnePage << EISDIR << QByteArray();
        // Opens, then fails on read, as an attribute whose driver cannot
        // answer does; never an empty success.
        QTest::newRow("a read that fails") << QByteArray() << vesh::kernelfile::OnePage << EIO << QByteArray();
    }

    void read()
    {
        QFETCH(QByteArray, contents);
        QFETCH(Form, form);
        QFETCH(int, error);
        QFETCH(QByteArray, read);

        FixtureTree tree;
        const QString file = QStringLiteral("file");
        if (!contents.isNull())
            tree.write(file, contents);
        else if (QTest::currentDataTag() == QByteArray("a folder"))
            tree.makeFolder(file);
        else if (QTest::currentDataTag() == QByteArray("a read that fails"))
            tree.link(file, QStringLiteral("/proc/self/mem")); // page 0 is never mapped: EIO

        vesh::kernelfile::Buffer buffer;
        buffer.append("stale", 5);
        const vesh::kernelfile::Result result =
            vesh::kernelfile::read(tree.root(), {u"/", file}, &buffer, form);
        QCOMPARE(result.error, error);
        QCOMPARE(QByteArray(buffer.constData(), buffer.size()), read);
    }

    // A machine folder's links are looked up as the kernel would look them
    // up with the folder as its root: no lookup leaves it.
    void resolve_data()
    {
        using Links = QMap<QString, QString>;
        QTest::addColumn<Links>("links"); // path below the root: target
        QTest::addColumn<int>("error");
        QTest::addColumn<QString>("resolved"); // of /sys/class/hwmon/hwmon0

        const QString folder = QStringLiteral("/sys/devices/platform/sensor/hwmon/hwmon0");
        const QString entry = QStringLiteral("sys/class/hwmon/hwmon0");
        QTest::newRow("a plain folder is its own") << Links() << 0 << QStringLiteral("/sys/class/hwmon/hwmon0");
        QTest::newRow("a relative link, as sysfs holds")
            << Links{{entry, QStringLiteral("../../devices/platform/sensor/hwmon/hwmon0")}} << 0 << folder;
        QTest::newRow("an absolute link leads into the machine, not this one")
            << Links{{entry, folder}} << 0 << folder;
        QTest::newRow("an absolute link to what only this machine has") << Links{{entry, QStringLiteral("/tmp")}}
                                                                       << ENOENT << QString();
        QTest::newRow("\"..\" past the machine's root stops there")
            << Links{{entry, QStringLiteral("../../../../../../../sys/devices/platform/sensor/hwmon/hwmon0")}} << 0
            << folder;
        QTest::newRow("a link on the way, and \"..\" after a link")
            << Links{{entry, QStringLiteral("../../devices/platform/alias/hwmon/hwmon0/../hwmon0")},
                     {QStringLiteral("sys/devices/platform/alias"), QStringLiteral("sensor")}}
            << 0 << folder;
        QTest::newRow("a link that leads nowhere") << Links{{entry, QStringLiteral("../../devices/gone")}} << ENOENT
                                                   << QString();
        QTest::newRow("a file on the way") << Links{{entry, QStringLiteral("../../devices/platform/sensor/file/x")}}
                                           << ENOTDIR << QString();
        QTest::newRow("a loop") << Links{{entry, QStringLiteral("hwmon0")}} << ELOOP << QString();
        // The kernel follows 40 links in one lookup and no more.
        for (const int count : {39, 40}) {
            Links chain{{entry, QStringLiteral("../../chain/L1")}};
            for (int k = 1; k < count; ++k)
                chain.insert(QStringLiteral("sys/chain/L%1").arg(k), QStringLiteral("L%1").arg(k + 1));
            chain.insert(QStringLiteral("sys/chain/L%1").arg(count), QStringLiteral("../devices/platform/sensor/hwmon/hwmon0"));
            QTest::newRow(qPrintable(QStringLiteral("%1 links in one lookup").arg(count + 1)))
                << chain << (count < 40 ? 0 : ELOOP) << (count < 40 ? folder : QString());
        }
    }

    void resolve()
    {
        using Links = QMap<QString, QString>;
        QFETCH(Links, links);
        QFETCH(int, error);
        QFETCH(QString, resolved);

        FixtureTree tree;
        tree.write(QStringLiteral("sys/devices/platform/sensor/hwmon/hwmon0/name"), "k10temp\n");
        tree.write(QStringLiteral("sys/devices/platform/sensor/file"), "1\n");
        tree.makeFolder(QStringLiteral("sys/class/hwmon/hwmon0"));
        for (auto link = links.cbegin(); link != links.cend(); ++link) {
            tree.remove(link.key());
            tree.link(link.key(), link.value());
        }
        QString found = QStringLiteral("stale");
        const vesh::kernelfile::Result result =
            vesh::kernelfile::resolve(tree.root(), {u"/sys/class/hwmon/", u"hwmon0"}, &found);
        QCOMPARE(result.error, error);
        QCOMPARE(found, resolved);
    }
};

QTEST_GUILESS_MAIN(TestKernelFile)
#include "tst_kernelfile.moc"
