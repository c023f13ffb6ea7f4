// SPDX-License-Identifier: GPL-3.0-or-later
#include "serial/utf8stream.h"

#include <QStringDecoder>
#include <QtTest>

class TestUtf8Stream : public QObject
{
    Q_OBJECT

private slots:
    void sameTextHoweverSplit_data();
    void sameTextHoweverSplit();
};

void TestUtf8Stream::sameTextHoweverSplit_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("ASCII") << QByteArray("+NAME:ab\r\nOK\r\n");
    QTest::newRow("two, three and four bytes") << QByteArray("é蓝\xF0\x9D\x84\x9E!");
    QTest::newRow("truncated before ASCII") << QByteArray("ab\xE4"
                                                          "cd\r\nOK");
    QTest::newRow("truncated before a line feed") << QByteArray("x\xC3\nOK\n");
    QTest::newRow("truncated twice") << QByteArray("\xF0\x9F\x98\xE4\xB8");
    QTest::newRow("overlong forms") << QByteArray("\xC0\xAF\xE0\x80\xAF\xF0\x80\x80\xAF");
    QTest::newRow("surrogates") << QByteArray("\xED\xA0\x80\xED\xBF\xBF"
                                              "a");
    QTest::newRow("past U+10FFFF") << QByteArray("\xF4\x90\x80\x80\xF5\x80");
    QTest::newRow("a start refuted at the end") << QByteArray("K\xE0\xE0\x8A");
    QTest::newRow("stray continuation bytes") << QByteArray("\x80\xBF"
                                                            "a\x80");
    QTest::newRow("NUL and byte-order marks") << QByteArray("\xEF\xBB\xBF"
                                                            "a\0\xEF\xBB\xBF",
                                                            8);
}

void TestUtf8Stream::sameTextHoweverSplit()
{
    QFETCH(QByteArray, bytes);
    const QString whole
        = QStringDecoder(QStringDecoder::Utf8,
                         QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom)
              .decode(bytes);
    auto decodeInReads = [&](const QList<QByteArrayView> &reads) {
        Utf8Stream stream;
        QString text;
        for (QByteArrayView read : reads)
            text += stream.Decode(read.toByteArray());
        // The stream ends: what is still held back is given up as it would be at the end
        // of the whole.
        return text + stream.Release();
    };
    for (qsizetype cut = 0; cut <= bytes.size(); ++cut) {
        const QByteArrayView view(bytes);
        QCOMPARE(decodeInReads({ view.first(cut), view.sliced(cut) }), whole);
    }
    QList<QByteArrayView> single;
    for (qsizetype i = 0; i < bytes.size(); ++i)
        single << QByteArrayView(bytes).sliced(i, 1);
    QCOMPARE(decodeInReads(single), whole);
}

QTEST_GUILESS_MAIN(TestUtf8Stream)
#include "tst_utf8stream.moc"
