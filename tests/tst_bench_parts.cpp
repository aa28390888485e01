// The benchmark's own arithmetic and framing: a wrong percentile or a
// relay that drops a split word would make every figure it prints a lie.
#include "latency_summary.h"
#include "relay_frames.h"

#include <QtTest>

#include <numeric>

using Samples = std::vector<std::int64_t>;
Q_DECLARE_METATYPE(Samples)

class TestBenchParts : public QObject
{
    Q_OBJECT

private slots:
    // Nearest rank: each figure is a measured value, never one between.
    void percentilesAreMeasuredValues_data()
    {
        QTest::addColumn<Samples>("samples");
        QTest::addColumn<QString>("summary");  // "count p50 p99 max"
        Samples hundred(100), ten(10);
        std::iota(hundred.rbegin(), hundred.rend(), 1);  // 100 down to 1
        std::iota(ten.begin(), ten.end(), 1);
        QTest::newRow("none") << Samples{} << "0 0 0 0";
        QTest::newRow("one") << Samples{7} << "1 7 7 7";
        QTest::newRow("100..1, unsorted") << hundred << "100 50 99 100";
        QTest::newRow("1..10: p99 is the largest") << ten << "10 5 10 10";
        QTest::newRow("one outlier") << Samples{5, 5, 5, 5, 1000000} << "5 5 1000000 1000000";
    }
    void percentilesAreMeasuredValues()
    {
        QFETCH(Samples, samples);
        const bench::Summary s = bench::summarize(samples);
        QTEST(QStringLiteral("%1 %2 %3 %4").arg(s.count).arg(s.p50).arg(s.p99).arg(s.max), "summary");
    }

    // However the bytes arrive, the relay passes every word once, in order,
    // and keeps the unfinished rest.
    void wordsSplitAnywhereComeThroughWhole()
    {
        const QList<QByteArray> payloads{QByteArray("\0s\0t\0a\0r\0t", 10), QByteArray(), QByteArray("\0s\0t\0o\0p", 8)};
        std::vector<unsigned char> stream;
        QStringList expected;
        const auto describe = [](const bench::RelayRecord &r) {
            return QStringLiteral("%1/%2").arg(r.wParam).arg(r.lParam);
        };
        for (const QByteArray &payload : payloads) {
            const QByteArray length = QByteArray::number(payload.size(), 16).rightJustified(8, '0');  // big-endian
            const QByteArray framed = QByteArray::fromHex(length) + payload;
            stream.insert(stream.end(), framed.begin(), framed.end());
            expected << describe(bench::relayRecordFor(reinterpret_cast<const unsigned char *>(payload.constData()),
                                                       std::size_t(payload.size())));
        }
        QVERIFY(expected[0] != expected[2]);
        for (std::size_t piece = 1; piece <= stream.size(); ++piece) {
            std::vector<unsigned char> pending;
            QStringList got;
            for (std::size_t at = 0; at < stream.size(); at += piece) {
                pending.insert(pending.end(), stream.begin() + long(at),
                               stream.begin() + long(std::min(stream.size(), at + piece)));
                for (const bench::RelayRecord &record : bench::takeFrames(&pending))
                    got << describe(record);
            }
            QVERIFY2(pending.empty(), qPrintable(QStringLiteral("pieces of %1").arg(piece)));
            QCOMPARE(got, expected);
        }
    }
};

QTEST_GUILESS_MAIN(TestBenchParts)
#include "tst_bench_parts.moc"
