#include "settings_file.h"

#include <QDebug>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>

#include <algorithm>
#include <limits>

QString g_settingsDir;

namespace {

// Keys differing only in case are one key to QSettings on Windows: matched
// so everywhere, so a file moved between systems never keeps two of them.
constexpr Qt::CaseSensitivity kIniCase = Qt::CaseInsensitive;

// INI text in lines as QSettings reads them: a line break in quotes or after
// a backslash continues the line, and a ';' outside quotes makes the rest of
// the line a comment. Each line keeps its break, so joined they give back the text.
QList<QByteArray> iniLines(const QByteArray &text)
{
    QList<QByteArray> lines;
    const int size = text.size();
    int start = 0;
    bool quoted = false;
    for (int i = 0; i < size; ++i) {
        const char c = text.at(i);
        if (c == '\\') {
            if (++i + 1 < size && text.at(i) == '\r' && text.at(i + 1) == '\n')
                ++i;
        } else if (c == '"') {
            quoted = !quoted;
        } else if (c == ';' && !quoted) {
            while (i + 1 < size && text.at(i + 1) != '\n' && text.at(i + 1) != '\r')
                ++i;
        } else if ((c == '\n' || c == '\r') && !quoted) {
            if (c == '\r' && i + 1 < size && text.at(i + 1) == '\n')
                ++i;
            lines << text.mid(start, i + 1 - start);
            start = i + 1;
        }
    }
    if (start < size)
        lines << text.mid(start);
    return lines;
}

// The file's text with the values in place of the ones it had for them, in
// its first section of the group, or in a section of their own at its end.
QByteArray withValues(const QByteArray &text, const QString &group, const QVector<QPair<QString, QString>> &values)
{
    const QByteArray eol = text.contains("\r\n") ? "\r\n" : "\n";
    const QByteArray header = '[' + group.toUtf8() + ']' + eol;
    QByteArray owned;
    for (const auto &value : values)
        owned += value.first.toUtf8() + '=' + value.second.toUtf8() + eol;
    const auto isOwned = [&values, &group](const QString &key) {
        return std::any_of(values.begin(), values.end(), [&key, &group](const auto &value) {
            return key.compare(group + QLatin1Char('/') + value.first, kIniCase) == 0;
        });
    };

    QByteArray result;
    QString section;
    bool placed = false;
    for (const QByteArray &line : iniLines(text)) {
        const QByteArray trimmed = line.trimmed();
        if (trimmed.startsWith('[')) {
            const int close = trimmed.indexOf(']');
            section = QString::fromUtf8(trimmed.mid(1, close < 0 ? -1 : close - 1)).trimmed();
            if (section.compare(group, kIniCase) == 0) {
                // Also where the header lacks its ']', which QSettings reads as the group all the same.
                result += header;
                if (!placed)
                    result += owned;
                placed = true;
                continue;
            }
        } else if (!trimmed.isEmpty() && !trimmed.startsWith(';')) {
            QString key = QString::fromUtf8(trimmed.left(trimmed.indexOf('='))).trimmed();
            key.replace(QLatin1Char('\\'), QLatin1Char('/'));
            if (!section.isEmpty() && section.compare(QLatin1String("General"), Qt::CaseInsensitive) != 0)
                key = section + QLatin1Char('/') + key;
            if (isOwned(key))
                continue;
        }
        result += line;
    }
    if (!placed) {
        if (!result.isEmpty() && !result.endsWith('\n') && !result.endsWith('\r'))
            result += eol;
        result += header + owned;
    }
    return result;
}

// An editor's "Unicode" is often UTF-16, which QSettings reads as noise:
// every key missing. Told by its byte order mark, or by the zero bytes
// that ASCII text has in UTF-16 and never in UTF-8.
bool looksLikeUtf16(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray head = file.read(512);
    return head.startsWith("\xff\xfe") || head.startsWith("\xfe\xff") || head.contains('\0');
}

}  // namespace

const char kSettingsGroup[] = "colors";

QString settingsFilePath()
{
    const bool separated = g_settingsDir.isEmpty() || g_settingsDir.endsWith(QLatin1Char('/'))
                           || g_settingsDir.endsWith(QLatin1Char('\\'));
    return g_settingsDir + (separated ? QString() : QStringLiteral("/")) + QLatin1String(protocol::kSettingsFileName);
}

QString settingsFileProblem(bool *missing)
{
    const QFileInfo info(settingsFilePath());
    if (missing)
        *missing = !info.exists();
    if (!info.exists())
        return QStringLiteral("does not exist");
    if (!info.isFile())
        return QStringLiteral("is not a regular file");
    if (info.size() > kSettingsFileMaxBytes)
        return QStringLiteral("is %1 bytes, more than the %2 read").arg(info.size()).arg(kSettingsFileMaxBytes);
    if (!info.isReadable())
        return QStringLiteral("cannot be read");
    if (looksLikeUtf16(settingsFilePath()))
        return QStringLiteral("is UTF-16 text, which cannot be read (save it as UTF-8)");
    return QString();
}

bool settingsFileReadable(const QString &instead)
{
    const QString problem = settingsFileProblem();
    if (!problem.isEmpty())
        qDebug().noquote() << QStringLiteral("Settings file %1 %2: %3").arg(settingsFilePath(), problem, instead);
    return problem.isEmpty();
}

QString writeSettingsFile(const QVector<QPair<QString, int>> &values)
{
    QVector<QPair<QString, QString>> texts;
    for (const auto &value : values)
        texts.append({value.first, QString::number(value.second)});
    return writeSettingsFile(QLatin1String(kSettingsGroup), texts);
}

QString writeSettingsFile(const QString &group, const QVector<QPair<QString, QString>> &values)
{
    bool missing = false;
    const QString problem = settingsFileProblem(&missing);
    if (!problem.isEmpty() && !missing)
        return problem;  // whatever stands in the file's place stays
    QByteArray text;
    if (!missing) {
        QFile current(settingsFilePath());
        if (!current.open(QIODevice::ReadOnly))
            return QStringLiteral("cannot be read");
        text = current.read(kSettingsFileMaxBytes);
    }
    // The helper would refuse the file it is given: every profile off.
    const QByteArray merged = withValues(text, group, values);
    if (merged.size() > kSettingsFileMaxBytes)
        return QStringLiteral("would be %1 bytes, more than the %2 read").arg(merged.size()).arg(kSettingsFileMaxBytes);
    // Unbuffered: a write that fails only in the flush at commit would still
    // be renamed into place, as a cut-off file.
    QSaveFile file(settingsFilePath());
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered) || file.write(merged) != merged.size()
        || !file.commit())
        return QStringLiteral("could not be written");
    return QString();
}

QHash<QString, QString> readSettingsGroup(const QString &group)
{
    QHash<QString, QString> values;
    if (!settingsFileProblem().isEmpty())
        return values;
    QFile file(settingsFilePath());
    if (!file.open(QIODevice::ReadOnly))
        return values;
    bool inGroup = false;
    for (const QByteArray &bytes : file.readAll().split('\n')) {
        const QString line = QString::fromUtf8(bytes).trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            // As QSettings reads a header: up to its ']', or the whole line
            // without one; a comment after it is no part of the name.
            const int close = line.indexOf(QLatin1Char(']'));
            const QString name = line.mid(1, close < 0 ? -1 : close - 1).trimmed();
            inGroup = name.compare(group, Qt::CaseInsensitive) == 0;
            continue;
        }
        const int equals = line.indexOf(QLatin1Char('='));
        if (!inGroup || equals <= 0)
            continue;
        const QString key = line.left(equals).trimmed().toLower();
        QString value = line.mid(equals + 1).trimmed();
        if (value.size() >= 2 && value.startsWith(QLatin1Char('"')) && value.endsWith(QLatin1Char('"')))
            value = value.mid(1, value.size() - 2);
        if (!values.contains(key))
            values.insert(key, value);
    }
    return values;
}

QString singleSettingValue(const QHash<QString, QString> &group, const char *key)
{
    return group.value(QLatin1String(key)).section(QLatin1Char(';'), 0, 0).trimmed();
}

int StoredInteger::toInt() const
{
    return value >= std::numeric_limits<int>::min() && value <= std::numeric_limits<int>::max()
               ? int(value)
               : std::numeric_limits<int>::min();
}

StoredInteger storedInteger(const QSettings &settings, const QString &key)
{
    StoredInteger stored;
    stored.text = settings.value(key, QString()).toString();
    const QString number = stored.text.trimmed();
    bool ok = false;
    stored.value = number.toLongLong(&ok);
    // Digits past what 64 bits hold: the nearest limit, still out of range.
    static const QRegularExpression digits(QStringLiteral("^[+-]?[0-9]+$"));
    if (!ok && digits.match(number).hasMatch())
        stored.value = number.startsWith(QLatin1Char('-')) ? std::numeric_limits<qint64>::min()
                                                           : std::numeric_limits<qint64>::max();
    return stored;
}

int clampStoredColour(const QString &key, const StoredInteger &stored)
{
    const int clamped = int(qBound<qint64>(0, stored.value, 255));
    if (clamped != stored.value)
        qDebug().noquote()
            << QStringLiteral("%1 = %2 out of range, clamped to %3").arg(key, stored.text.trimmed()).arg(clamped);
    return clamped;
}
