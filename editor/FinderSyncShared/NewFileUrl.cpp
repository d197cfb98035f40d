#include "NewFileUrl.h"

#include <QDir>
#include <QStringDecoder>
#include <QUrl>

using namespace Qt::StringLiterals;

namespace {

const QString prefix = u"scrivlet://new-file?path="_s;

// The authority's host as written: without user information and port, not case-folded.
QStringView hostOf(QStringView authority)
{
    const qsizetype at = authority.lastIndexOf(u'@');
    if (at >= 0)
        authority = authority.mid(at + 1);
    const qsizetype colon = authority.lastIndexOf(u':');
    if (colon >= 0 && !authority.endsWith(u']'))
        authority = authority.left(colon);
    return authority;
}

std::optional<QStringView> queryOf(QStringView url)
{
    constexpr QStringView schemeAndSlashes = u"scrivlet://";
    if (!url.startsWith(schemeAndSlashes))
        return std::nullopt;
    QStringView rest = url.mid(schemeAndSlashes.size());
    const qsizetype fragment = rest.indexOf(u'#');
    if (fragment >= 0)
        rest = rest.left(fragment);
    qsizetype authorityEnd = 0;
    while (authorityEnd < rest.size() && rest[authorityEnd] != u'/' && rest[authorityEnd] != u'?')
        ++authorityEnd;
    if (hostOf(rest.left(authorityEnd)) != u"new-file")
        return std::nullopt;
    const qsizetype question = rest.indexOf(u'?', authorityEnd);
    if (question < 0)
        return std::nullopt;
    return rest.mid(question + 1);
}

// A percent-encoded query part as text. Unlike QUrl::fromPercentEncoding, a leading U+FEFF is
// kept: it is part of the name, not a byte-order mark.
QString percentDecoded(QStringView encoded)
{
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::ConvertInitialBom);
    return utf8.decode(QByteArray::fromPercentEncoding(encoded.toUtf8()));
}

} // namespace

QString NewFileUrl::encodePath(const QString &folderPath)
{
    // What a query may hold unescaped besides letters, digits and "-._~", less "&=+;".
    return QString::fromLatin1(QUrl::toPercentEncoding(folderPath, "!$'()*,:@/?"));
}

std::optional<QString> NewFileUrl::build(const QString &folderPath)
{
    if (!QStringView(folderPath).isValidUtf16())
        return std::nullopt;
    return prefix + encodePath(folderPath);
}

std::optional<QString> NewFileUrl::folderPath(const QString &url)
{
    // Malformed URLs (spaces, bad escapes, …) are no request, as they are no URL at all.
    if (!QUrl(url, QUrl::StrictMode).isValid())
        return std::nullopt;
    const std::optional<QStringView> query = queryOf(url);
    if (!query)
        return std::nullopt;
    for (QStringView item : query->tokenize(u'&')) {
        const qsizetype equals = item.indexOf(u'=');
        const QStringView name = equals < 0 ? item : item.left(equals);
        if (percentDecoded(name) != u"path")
            continue;
        if (equals < 0)
            return std::nullopt;
        return percentDecoded(item.mid(equals + 1));
    }
    return std::nullopt;
}

std::optional<QString> NewFileUrl::folderProblem(const QString &folderPath)
{
    if (!QDir::isAbsolutePath(folderPath))
        return u"The folder path is not absolute."_s;
    if (folderPath.contains(QChar(0)))
        return u"The folder path contains a NUL character."_s;
    return std::nullopt;
}
