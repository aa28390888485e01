// The benchmark's own arithmetic: a wrong percentile would make every
// figure it prints a lie. (Its relay's loss and order: bench_short_run.)
#include "latency_summary.h"

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
        // clang-format off
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
        // clang-format on
    }
    void percentilesAreMeasuredValues()
    {
        QFETCH(Samples, samples);
        const bench::Summary s = bench::summarize(samples);
        QTEST(QStringLiteral("%1 %2 %3 %4").arg(s.count).arg(s.p50).arg(s.p99).arg(s.max), "summary");
    }
};

QTEST_GUILESS_MAIN(TestBenchParts)
#include "tst_bench_parts.moc"
