#include "SerializedValue.h"

#include <QByteArray>
#include <QDataStream>
#include <QMetaType>
#include <QtEndian>

namespace {

constexpr QStringView prefix = u"@Variant(";
constexpr int deepestList = 8;
constexpr quint32 nullLength = 0xFFFFFFFF;

// Walks the bytes as QDataStream would read them, without reading anything into memory.
class LayoutCheck
{
public:
    explicit LayoutCheck(QByteArrayView bytes)
        : m_bytes(bytes)
    { }

    bool variant(int depth)
    {
        quint32 type = 0;
        if (depth > deepestList || !number(type))
            return false;
        switch (type) {
        case QMetaType::Bool:
            return skip(1);
        case QMetaType::QChar:
            return skip(2);
        case QMetaType::Int:
        case QMetaType::UInt:
            return skip(4);
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
        case QMetaType::Double:
            return skip(8);
        case QMetaType::QString:
            return string();
        case QMetaType::QByteArray:
            return byteArray();
        case QMetaType::QStringList:
            return list([this] { return string(); });
        case QMetaType::QVariantList:
            return list([this, depth] { return variant(depth + 1); });
        default:
            return false;
        }
    }

private:
    qsizetype left() const { return m_bytes.size() - m_at; }

    bool skip(qsizetype count)
    {
        if (count > left())
            return false;
        m_at += count;
        return true;
    }

    bool number(quint32 &value)
    {
        if (left() < 4)
            return false;
        value = qFromBigEndian<quint32>(m_bytes.data() + m_at);
        m_at += 4;
        return true;
    }

    bool string()
    {
        quint32 length = 0;
        return number(length) && (length == nullLength || (length % 2 == 0 && skip(length)));
    }

    bool byteArray()
    {
        quint32 length = 0;
        return number(length) && (length == nullLength || skip(length));
    }

    // Every element takes at least four bytes, so a count larger than a quarter of what is left
    // cannot be true.
    template<typename ReadElement> bool list(ReadElement readElement)
    {
        quint32 count = 0;
        if (!number(count) || count > quint64(left()) / 4)
            return false;
        for (quint32 i = 0; i < count; ++i) {
            if (!readElement())
                return false;
        }
        return true;
    }

    QByteArrayView m_bytes;
    qsizetype m_at = 0;
};

} // namespace

std::optional<QVariant> SerializedValue::decode(QStringView text)
{
    if (!text.startsWith(prefix) || !text.endsWith(u')'))
        return std::nullopt;
    const QStringView characters = text.sliced(prefix.size()).chopped(1);
    // Qt reads the characters as Latin-1; one beyond it cannot be a byte QSettings wrote.
    for (QChar ch : characters) {
        if (ch.unicode() > 0xFF)
            return std::nullopt;
    }
    const QByteArray bytes = characters.toLatin1();
    if (!LayoutCheck(bytes).variant(0))
        return std::nullopt;
    QDataStream stream(bytes);
    stream.setVersion(QDataStream::Qt_4_0);
    QVariant value;
    stream >> value;
    if (stream.status() != QDataStream::Ok)
        return std::nullopt;
    return value;
}
