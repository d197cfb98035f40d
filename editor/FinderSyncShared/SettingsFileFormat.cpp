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
#include <optional>
#include <type_traits>

using namespace Qt::StringLiterals;

Q_LOGGING_CATEGORY(lcSettingsFile, "scrivlet.settings.file")

namespace {

// Two stand-ins for a replaced "@": where the two readings differ, the file had an "@".
constexpr char firstStandIn = '#';
constexpr char secondStandIn = '%';

// What the last read of each file found, by file name: files it could not read at all, and
// files with bytes it had to pass over (kept aside before the next write replaces them).
QMutex readFilesMutex;
QSet<QString> unreadFiles; // guarded by readFilesMutex
QSet<QString> filesReadInPart; // guarded by readFilesMutex

enum class ReadOutcome { Read, ReadInPart, NotRead };

QString fileNameOf(const QIODevice &device)
{
    const auto *file = qobject_cast<const QFileDevice *>(&device);
    return file ? file->fileName() : QString();
}

void rememberRead(const QIODevice &device, ReadOutcome outcome)
{
    const QString name = fileNameOf(device);
    const QMutexLocker locker(&readFilesMutex);
    if (outcome == ReadOutcome::NotRead)
        unreadFiles.insert(name);
    else
        unreadFiles.remove(name);
    if (outcome == ReadOutcome::ReadInPart)
        filesReadInPart.insert(name);
    else
        filesReadInPart.remove(name);
}

bool wasLeftUnread(const QIODevice &device)
{
    const QMutexLocker locker(&readFilesMutex);
    return unreadFiles.contains(fileNameOf(device));
}

bool wasReadInPart(const QString &name)
{
    const QMutexLocker locker(&readFilesMutex);
    return filesReadInPart.contains(name);
}

void forgetReadInPart(const QString &name)
{
    const QMutexLocker locker(&readFilesMutex);
    filesReadInPart.remove(name);
}

// Copies the file at `path` to the first of NAME.unreadable, NAME.unreadable.2, ... that is free,
// private like the file. A copy already there with the same bytes is the file kept before (a
// write that failed after keeping it): it is not kept twice.
std::optional<QString> keepUnreadableCopy(const QString &path)
{
    QFile original(path);
    if (!original.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray bytes = original.readAll();
    if (original.error() != QFileDevice::NoError)
        return std::nullopt;
    for (int number = 1;; ++number) {
        QString name = path + u".unreadable"_s;
        if (number > 1)
            name += u'.' + QString::number(number);
        QFile copy(name);
        if (copy.open(
                QIODevice::WriteOnly | QIODevice::NewOnly, QFile::ReadOwner | QFile::WriteOwner)) {
            if (copy.write(bytes) == bytes.size() && copy.flush())
                return name;
            copy.remove();
            return std::nullopt;
        }
        if (!copy.exists())
            return std::nullopt; // the folder refuses new files
        if (copy.open(QIODevice::ReadOnly) && copy.readAll() == bytes)
            return name;
    }
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

// The keys of a file, and whether all of its bytes were read.
struct Parsed
{
    QSettings::SettingsMap map;
    bool whole = true;
};

std::optional<Parsed> parsedByQt(const QByteArray &ini)
{
    const std::unique_ptr<QTemporaryFile> scratch = scratchFile();
    if (!scratch || scratch->write(ini) != ini.size() || !scratch->flush())
        return std::nullopt;
    const QSettings parsed(scratch->fileName(), QSettings::IniFormat);
    // A malformed line is skipped, as QSettings::IniFormat itself does: the other keys stay.
    Parsed result;
    for (const QString &key : parsed.allKeys())
        result.map.insert(key, parsed.value(key));
    // Known once the file has been read, on the first access.
    result.whole = parsed.status() != QSettings::FormatError;
    return result;
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

std::optional<Parsed> readWithoutDecoding(const QByteArray &ini)
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
    Parsed parsed;
    parsed.whole = first->whole && second->whole;
    for (auto entry = first->map.cbegin(); entry != first->map.cend(); ++entry) {
        // A key missing from the second reading had a replaced "@" in its own name.
        const auto other = second->map.constFind(entry.key());
        if (other == second->map.cend())
            continue;
        if (const std::optional<QVariant> value = valueWithAtSignsBack(entry.value(), *other)) {
            parsed.map.insert(entry.key(), *value);
        } else {
            qCWarning(lcSettingsFile) << "ignoring a value that cannot be read:" << entry.key();
            parsed.whole = false;
        }
    }
    return parsed;
}

bool readScreened(QIODevice &device, QSettings::SettingsMap &map)
{
    std::optional<Parsed> read = readWithoutDecoding(device.readAll());
    if (!read) {
        rememberRead(device, ReadOutcome::NotRead);
        qCWarning(lcSettingsFile) << "cannot make a scratch copy to read" << fileNameOf(device)
                                  << "in" << QDir::tempPath();
        return false;
    }
    rememberRead(device, read->whole ? ReadOutcome::Read : ReadOutcome::ReadInPart);
    map = std::move(read->map);
    return true;
}

// Before the first write over a file read only in part, its bytes are kept beside it: what
// could not be read would otherwise be gone.
bool keepFileReadInPart(const QString &name)
{
    if (!wasReadInPart(name))
        return true;
    const std::optional<QString> kept = keepUnreadableCopy(name);
    if (!kept) {
        qCWarning(lcSettingsFile) << "not writing over" << name
                                  << "which could not be read whole, nor kept";
        return false;
    }
    qCWarning(lcSettingsFile) << "parts of" << name << "could not be read; it is kept as" << *kept;
    forgetReadInPart(name);
    return true;
}

bool writeAsIni(QIODevice &device, const QSettings::SettingsMap &map)
{
    if (wasLeftUnread(device) || !keepFileReadInPart(fileNameOf(device)))
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
