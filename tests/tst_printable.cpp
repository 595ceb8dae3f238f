#include "printable.h"

#include <QTest>

using namespace Qt::Literals::StringLiterals;

// Text from a stranger's capture, as the runner shows it: every row is an
// input made to hurt whoever opens the capture, or one that must pass
// untouched.
class TstPrintable : public QObject
{
    Q_OBJECT

private slots:
    void shown_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("how"); // escaped, quoted or name
        QTest::addColumn<int>("limit");   // of quoted and name
        QTest::addColumn<QString>("expected");

        QTest::newRow("an entry name that sets the title and colour, reversed and hidden")
            << QByteArray("hwmon\x1b]0;PWNED\x07\x1b[31m\u202e\u200b") << "name" << 60
            << u"hwmon\\x1b]0;PWNED\\x07\\x1b[31m\\u202e\\u200b"_s;
        QTest::newRow("a driver name that its prefix selects, with a colour after it")
            << QByteArray("zenpower\x1b[31m") << "quoted" << 120 << u"\"zenpower\\x1b[31m\""_s;
        QTest::newRow("C1 controls: CSI and NEL")
            << QByteArray("a\u009b2Jb\u0085") << "escaped" << 0 << u"a\\u009b2Jb\\u0085"_s;
        QTest::newRow("zero-width joiners, word joiner, invisible plus, byte order mark")
            << QByteArray("e\u200c\u200dth\u2060\u2064\ufeff0") << "name" << 60
            << u"e\\u200c\\u200dth\\u2060\\u2064\\ufeff0"_s;
        QTest::newRow("tag characters spelling a hidden word")
            << QByteArray("k10temp\U000E0068\U000E0069") << "escaped" << 0 << u"k10temp\\U000e0068\\U000e0069"_s;
        QTest::newRow("private use and unassigned code points")
            << QByteArray("\ue000\U000F0000x\u0378") << "name" << 60 << u"\\ue000\\U000f0000x\\u0378"_s;
        QTest::newRow("line and paragraph separators") << QByteArray("one\u2028two\u2029") << "quoted" << 120
                                                        << u"\"one\\u2028two\\u2029\""_s;
        QTest::newRow("bidi isolates and the Arabic letter mark")
            << QByteArray("\u2066\u2069\u061c") << "escaped" << 0 << u"\\u2066\\u2069\\u061c"_s;
        QTest::newRow("bytes that are not UTF-8: overlong, surrogate, stray, cut short")
            << QByteArray("\xc0\xaf\xed\xa0\x80\x80\xe2\x82") << "escaped" << 0
            << u"\\xc0\\xaf\\xed\\xa0\\x80\\x80\\xe2\\x82"_s;
        QTest::newRow("a quote and a backslash that would end or fake an escape")
            << QByteArray("a\"b\\x1b") << "quoted" << 120 << u"\"a\\\"b\\\\x1b\""_s;
        QTest::newRow("a page of NUL after the name")
            << ("amdgpu\n" + QByteArray(4089, '\0')) << "quoted" << 120 << u"\"amdgpu\\n\" + 4089 × \\0"_s;
        QTest::newRow("a mebibyte of NUL, counted no further than a page")
            << QByteArray(1024 * 1024, '\0') << "name" << 60 << u"65536 × \\0… (983040 more bytes)"_s;
        QTest::newRow("an escape sequence over a mebibyte, cut at the limit")
            << QByteArray("\x1b[").repeated(512 * 1024) << "name" << 10
            << u"\\x1b[\\x1b[… (1048572 more bytes)"_s;
        QTest::newRow("a long name cut with how much was left out")
            << QByteArray(200, 'a') << "name" << 60 << QString(60, u'a') + u"… (140 more bytes)"_s;
        QTest::newRow("an escape never cut in half") << QByteArray("abc\x1b") << "name" << 5 << u"abc… (1 more bytes)"_s;
        QTest::newRow("a JSON text cut at its most")
            << QByteArray(64 * 1024 + 3, '\x01') << "escaped" << 0
            << QString(u"\\x01"_s).repeated(64 * 1024) + u"… (3 more bytes)"_s;
        QTest::newRow("printable text of any script untouched")
            << QByteArray("k10temp NET 1.2K/s 👩0 Grüße ∂ 温度 ") << "escaped" << 0
            << u"k10temp NET 1.2K/s 👩0 Grüße ∂ 温度 "_s;
    }

    void shown()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, how);
        QFETCH(int, limit);
        QFETCH(QString, expected);
        const QString text = how == u"escaped" ? vesh::printable::escaped(bytes)
            : how == u"quoted"                 ? vesh::printable::quoted(bytes, limit)
                                               : vesh::printable::name(bytes, limit);
        QCOMPARE(text, expected);
    }
};

QTEST_APPLESS_MAIN(TstPrintable)
#include "tst_printable.moc"
