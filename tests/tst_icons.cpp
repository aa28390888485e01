// The helper's icons as a program reads them: each tray size from the
// resource of the static library, and every size of the Windows icon file.
#include "test_support.h"

#include <QImageReader>
#include <QtTest>

class TestIcons : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { Q_INIT_RESOURCE(icons); }

    void sizes_data()
    {
        columns<QString, QList<int>>({"file", "sizes"});
        for (int size : {16, 20, 24, 32, 40, 48})
            QTest::newRow(qPrintable(QString::number(size)))
                << QStringLiteral(":/icons/vossik-%1.png").arg(size) << QList<int>{size};
        QTest::newRow("ico") << QStringLiteral(ICON_FILE) << QList<int>{16, 24, 32, 48, 256};
    }
    // Square pictures of the named sizes, in order, each with the mark on it.
    void sizes()
    {
        QFETCH(QString, file);
        QFETCH(QList<int>, sizes);
        QImageReader reader(file);
        if (!QImageReader::supportedImageFormats().contains(QFileInfo(file).suffix().toLatin1()))
            QSKIP("this Qt reads no such files");
        QList<int> read;
        do {
            const QImage picture = reader.read().convertToFormat(QImage::Format_ARGB32);
            QVERIFY2(!picture.isNull(), qPrintable(reader.errorString()));
            QCOMPARE(picture.height(), picture.width());
            int opaque = 0;
            for (int y = 0; y < picture.height(); ++y) {
                for (int x = 0; x < picture.width(); ++x)
                    opaque += qAlpha(picture.pixel(x, y)) == 255;
            }
            // The mark covers about a third of its square.
            QVERIFY2(opaque > picture.width() * picture.height() / 5, qPrintable(QString::number(opaque)));
            read << picture.width();
        } while (reader.jumpToNextImage());
        QCOMPARE(read, sizes);
    }
};

QTEST_GUILESS_MAIN(TestIcons)
#include "tst_icons.moc"
