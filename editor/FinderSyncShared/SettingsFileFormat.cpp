#include "SettingsFileFormat.h"

#include "SerializedValue.h"
#include "SerializedValueScreen.h"

#include <QDir>
#include <QFile>
#include <QFileDevice>
#include <QLoggingCategory>
#include <QMutex>
#include <QSet>
#include <QTemporaryFile>

#include <memory>
#include <type_traits>

using namespace Qt::StringLiterals;

Q_LOGGING_CATEGORY(lcSettingsFile, "scrivlet.settings.file")

namespace {

// Two stand-ins for a replaced "@": where the two readings differ, the file had an "@".
constexpr char firstStandIn = '#';
constexpr char secondStandIn = '%';

QMutex unreadFilesMutex;
QSet<QString> unreadFiles; // guarded by unreadFilesMutex

QString fileNameOf(const QIODevice &device)
{
    const auto *file = qobject_cast<const QFileDevice *>(&device);
    return file ? file->fileName() : QString();
}

void rememberRead(const QIODevice &device, bool read)
{
    const QMutexLocker locker(&unreadFilesMutex);
    if (read)
        unreadFiles.remove(fileNameOf(device));
    else
        unreadFiles.insert(fileNameOf(device));
}

bool wasLeftUnread(const QIODevice &device)
{
    const QMutexLocker locker(&unreadFilesMutex);
    return unreadFiles.contains(fileNameOf(device));
}

std::unique_ptr<QTemporaryFile> scratchFile()
{
    // Qt names no folder when $TMPDIR does not exist.
    QString folder = QDir::tempPath();
    if (folder.isEmpty())
        folder = u"/tmp"_s;
    auto scratch = std::make_unique<QTemporaryFile>(folder + u"/scrivlet-settings-XXXXXX"_s);
    if (!scratch->open())
        return nullptr;
    return scratch;
}

std::optional<QSettings::SettingsMap> parsedByQt(const QByteArray &ini)
{
    const std::unique_ptr<QTemporaryFile> scratch = scratchFile();
    if (!scratch || scratch->write(ini) != ini.size() || !scratch->flush())
        return std::nullopt;
    const QSettings parsed(scratch->fileName(), QSettings::IniFormat);
    // A malformed line is skipped, as QSettings::IniFormat itself does: the other keys stay.
    QSettings::SettingsMap map;
    for (const QString &key : parsed.allKeys())
        map.insert(key, parsed.value(key));
    return map;
}

// The text with an "@" wherever the two readings hold the two stand-ins; nothing when they
// differ in any other way.
template<typename Text> std::optional<Text> withAtSignsBack(const Text &first, const Text &second)
{
    const auto unit = [](char ch) {
        if constexpr (std::is_same_v<Text, QString>)
            return QChar(QLatin1Char(ch));
        else
            return ch;
    };
    if (first.size() != second.size())
        return std::nullopt;
    Text text = first;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (first.at(i) == second.at(i))
            continue;
        if (first.at(i) != unit(firstStandIn) || second.at(i) != unit(secondStandIn))
            return std::nullopt;
        text[i] = unit('@');
    }
    return text;
}

bool startsWithSingleAtSign(const QString &text)
{
    return text.startsWith(u'@') && !text.startsWith(u"@@");
}

// What QSettings makes of one text of the file, for the texts an "@" was given back to (the
// stand-ins hid the "@" from it).
std::optional<QVariant> valueOfText(const QString &text)
{
    if (text.startsWith(u"@@"))
        return QVariant(text.sliced(1));
    if (text.endsWith(u')') && (text.startsWith(u"@Variant(") || text.startsWith(u"@DateTime(")))
        return SerializedValue::decode(text);
    return QVariant(text);
}

std::optional<QVariant> elementWithAtSignsBack(const QVariant &first, const QVariant &second)
{
    if (first == second)
        return first;
    if (first.typeId() != second.typeId())
        return std::nullopt;
    if (first.typeId() == QMetaType::QByteArray) {
        const auto bytes = withAtSignsBack(first.toByteArray(), second.toByteArray());
        return bytes ? std::optional<QVariant>(*bytes) : std::nullopt;
    }
    if (first.typeId() == QMetaType::QString) {
        const auto text = withAtSignsBack(first.toString(), second.toString());
        return text ? std::optional<QVariant>(*text) : std::nullopt;
    }
    return std::nullopt;
}

std::optional<QVariant> listWithAtSignsBack(
    const QVariantList &first, const QVariantList &second, bool firstIsTextList)
{
    if (first.size() != second.size())
        return std::nullopt;
    QVariantList elements;
    bool anySingleAtSign = false;
    for (qsizetype i = 0; i < first.size(); ++i) {
        std::optional<QVariant> element = elementWithAtSignsBack(first.at(i), second.at(i));
        if (!element)
            return std::nullopt;
        if (first.at(i) != second.at(i) && element->typeId() == QMetaType::QString) {
            anySingleAtSign = anySingleAtSign || startsWithSingleAtSign(element->toString());
            element = valueOfText(element->toString());
            if (!element)
                return std::nullopt;
        }
        elements.append(*element);
    }
    // QSettings gives a list of texts unless an element starts with a single "@".
    if (firstIsTextList && !anySingleAtSign)
        return QVariant(QVariant(elements).toStringList());
    return QVariant(elements);
}

// The value QSettings would have read for a key whose line held a possible serialized value,
// from the two readings with the "@" replaced; nothing for a value that cannot be trusted.
std::optional<QVariant> valueWithAtSignsBack(const QVariant &first, const QVariant &second)
{
    const bool firstIsList
        = first.typeId() == QMetaType::QStringList || first.typeId() == QMetaType::QVariantList;
    if (firstIsList && first.typeId() == second.typeId())
        return listWithAtSignsBack(
            first.toList(), second.toList(), first.typeId() == QMetaType::QStringList);
    const std::optional<QVariant> value = elementWithAtSignsBack(first, second);
    if (value && first != second && value->typeId() == QMetaType::QString)
        return valueOfText(value->toString());
    return value;
}

std::optional<QSettings::SettingsMap> readWithoutDecoding(const QByteArray &ini)
{
    const QList<SerializedValueScreen::AtSign> atSigns
        = SerializedValueScreen::possibleSerializedValues(ini);
    if (atSigns.isEmpty())
        return parsedByQt(ini);
    const auto first
        = parsedByQt(SerializedValueScreen::withAtSignsReplaced(ini, atSigns, firstStandIn));
    const auto second
        = parsedByQt(SerializedValueScreen::withAtSignsReplaced(ini, atSigns, secondStandIn));
    if (!first || !second)
        return std::nullopt;
    QSettings::SettingsMap map;
    for (auto entry = first->cbegin(); entry != first->cend(); ++entry) {
        // A key missing from the second reading had a replaced "@" in its own name.
        const auto other = second->constFind(entry.key());
        if (other == second->cend())
            continue;
        if (const std::optional<QVariant> value = valueWithAtSignsBack(entry.value(), *other))
            map.insert(entry.key(), *value);
        else
            qCWarning(lcSettingsFile) << "ignoring a value that cannot be read:" << entry.key();
    }
    return map;
}

bool readScreened(QIODevice &device, QSettings::SettingsMap &map)
{
    std::optional<QSettings::SettingsMap> read = readWithoutDecoding(device.readAll());
    rememberRead(device, read.has_value());
    if (!read) {
        qCWarning(lcSettingsFile) << "cannot make a scratch copy to read" << fileNameOf(device)
                                  << "in" << QDir::tempPath();
        return false;
    }
    map = std::move(*read);
    return true;
}

bool writeAsIni(QIODevice &device, const QSettings::SettingsMap &map)
{
    if (wasLeftUnread(device))
        return false;
    const std::unique_ptr<QTemporaryFile> scratch = scratchFile();
    if (!scratch)
        return false;
    {
        QSettings written(scratch->fileName(), QSettings::IniFormat);
        for (auto entry = map.cbegin(); entry != map.cend(); ++entry)
            written.setValue(entry.key(), entry.value());
        written.sync();
        if (written.status() != QSettings::NoError)
            return false;
    }
    QFile bytes(scratch->fileName());
    if (!bytes.open(QIODevice::ReadOnly))
        return false;
    const QByteArray ini = bytes.readAll();
    return device.write(ini) == ini.size();
}

} // namespace

QSettings::Format SettingsFileFormat::ini()
{
    static const QSettings::Format format
        = QSettings::registerFormat(u"conf"_s, readScreened, writeAsIni);
    return format;
}
