// The benchmark's own arithmetic and framing: a wrong percentile or a
// relay that drops a split word would make every figure it prints a lie.
#include "latency_summary.h"
#include "relay_frames.h"

#include <QtTest>

#include <numeric>

using bench::RelayRecord;

Q_DECLARE_METATYPE(std::vector<std::int64_t>)

class TestBenchParts : public QObject
{
    Q_OBJECT

private slots:
    void percentilesAreMeasuredValues_data()
    {
        QTest::addColumn<std::vector<std::int64_t>>("samples");
        QTest::addColumn<qint64>("p50");
        QTest::addColumn<qint64>("p99");
        QTest::addColumn<qint64>("max");
        std::vector<std::int64_t> hundred(100);
        std::iota(hundred.begin(), hundred.end(), 1);
        std::vector<std::int64_t> reversed(hundred.rbegin(), hundred.rend());
        std::vector<std::int64_t> ten(10);
        std::iota(ten.begin(), ten.end(), 1);
        QTest::newRow("none") << std::vector<std::int64_t>{} << qint64(0) << qint64(0) << qint64(0);
        QTest::newRow("one") << std::vector<std::int64_t>{7} << qint64(7) << qint64(7) << qint64(7);
        QTest::newRow("1..100") << hundred << qint64(50) << qint64(99) << qint64(100);
        QTest::newRow("100..1, unsorted") << reversed << qint64(50) << qint64(99) << qint64(100);
        // With ten samples the 99th percentile is the largest, not a value between.
        QTest::newRow("1..10") << ten << qint64(5) << qint64(10) << qint64(10);
        QTest::newRow("one outlier") << std::vector<std::int64_t>{5, 5, 5, 5, 1000000} << qint64(5) << qint64(1000000)
                                     << qint64(1000000);
    }
    void percentilesAreMeasuredValues()
    {
        QFETCH(std::vector<std::int64_t>, samples);
        const bench::Summary summary = bench::summarize(samples);
        QCOMPARE(qint64(summary.count), qint64(samples.size()));
        QFETCH(qint64, p50);
        QFETCH(qint64, p99);
        QFETCH(qint64, max);
        QCOMPARE(qint64(summary.p50), p50);
        QCOMPARE(qint64(summary.p99), p99);
        QCOMPARE(qint64(summary.max), max);
    }

    // However the bytes arrive, the relay passes every word once, in order,
    // and keeps the unfinished rest.
    void wordsSplitAnywhereComeThroughWhole()
    {
        const QList<QByteArray> payloads{QByteArray("\0s\0t\0a\0r\0t", 10), QByteArray(), QByteArray("\0s\0t\0o\0p", 8)};
        std::vector<unsigned char> stream;
        std::vector<RelayRecord> expected;
        for (const QByteArray &payload : payloads) {
            const QByteArray length = QByteArray::number(payload.size(), 16).rightJustified(8, '0');  // big-endian
            const QByteArray framed = QByteArray::fromHex(length) + payload;
            stream.insert(stream.end(), framed.begin(), framed.end());
            expected.push_back(bench::relayRecordFor(reinterpret_cast<const unsigned char *>(payload.constData()),
                                                     std::size_t(payload.size())));
        }
        QVERIFY(expected[0].lParam != expected[2].lParam);
        for (std::size_t piece = 1; piece <= stream.size(); ++piece) {
            std::vector<unsigned char> pending;
            std::vector<RelayRecord> got;
            for (std::size_t at = 0; at < stream.size(); at += piece) {
                pending.insert(pending.end(), stream.begin() + long(at),
                               stream.begin() + long(std::min(stream.size(), at + piece)));
                for (const RelayRecord &record : bench::takeFrames(&pending))
                    got.push_back(record);
            }
            QVERIFY2(pending.empty(), qPrintable(QStringLiteral("pieces of %1").arg(piece)));
            QCOMPARE(got.size(), expected.size());
            for (std::size_t i = 0; i < got.size(); ++i) {
                QCOMPARE(got[i].wParam, expected[i].wParam);
                QCOMPARE(got[i].lParam, expected[i].lParam);
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestBenchParts)
#include "tst_bench_parts.moc"
