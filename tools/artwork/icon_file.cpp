#include "icon_file.h"

#include <QBuffer>
#include <QDataStream>

QByteArray iconFile(const QVector<QImage> &pictures)
{
    QVector<QByteArray> pngs;
    for (const QImage &picture : pictures) {
        QByteArray png;
        QBuffer buffer(&png);
        if (picture.width() > 256 || picture.height() > 256 || !buffer.open(QIODevice::WriteOnly)
            || !picture.convertToFormat(QImage::Format_ARGB32).save(&buffer, "PNG", 0))
            return {};
        pngs << png;
    }
    QByteArray file;
    QDataStream out(&file, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    const quint16 kIcon = 1;
    out << quint16(0) << kIcon << quint16(pngs.size());
    // The directory: one 16-byte entry per picture, then the pictures.
    quint32 offset = 6 + 16 * pngs.size();
    for (int i = 0; i < pngs.size(); ++i) {
        const QSize size = pictures.at(i).size();
        // 256 does not fit the byte: it is written as 0.
        out << quint8(size.width() & 0xFF) << quint8(size.height() & 0xFF) << quint8(0) << quint8(0);
        const quint16 planes = 1, bitsPerPixel = 32;
        out << planes << bitsPerPixel << quint32(pngs.at(i).size()) << offset;
        offset += pngs.at(i).size();
    }
    for (const QByteArray &png : pngs)
        out.writeRawData(png.constData(), png.size());
    return file;
}
