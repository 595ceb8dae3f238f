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
};

QTEST_GUILESS_MAIN(TestKernelFile)
#include "tst_kernelfile.moc"
