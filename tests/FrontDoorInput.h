#pragma once

#include <QRandomGenerator>
#include <QStringList>
#include <QUrl>

// Random command lines and URLs for the two programs' front doors. Every path they mean names
// the target folder or something inside it, however it is written (relative to the target,
// absolute, a file: URL, a new-file URL, with "." and "sub/.." segments, percent-encoded or
// not); the rest is junk that names no folder at all. So a program that reads them right
// creates files only inside the target, and anything made elsewhere is a misreading.
class FrontDoorInput
{
public:
    FrontDoorInput(QString target, quint32 seed)
        : m_target(std::move(target))
        , m_random(seed)
    { }

    // The arguments after the program's name, for `scrivlet` (run in the target folder).
    QStringList editorArguments()
    {
        QStringList arguments;
        for (int count = m_random.bounded(5); count > 0; --count)
            arguments.append(editorArgument());
        return arguments;
    }

    // The arguments for `scrivlet-finder-sync`: a folder first, sometimes followed by more.
    QStringList finderSyncArguments()
    {
        QStringList arguments {pick(3) == 0 ? junk() : folderPath()};
        if (pick(10) == 0) {
            arguments.prepend(QStringLiteral("--write-icon"));
            arguments.append(junk());
        }
        while (pick(4) == 0)
            arguments.append(editorArgument());
        return arguments;
    }

    QString editorArgument()
    {
        switch (pick(7)) {
        case 0:
            return folderPath()
                + pickFrom({QString(), QStringLiteral("/a.txt"), QStringLiteral("/missing.txt"),
                    QStringLiteral("/")});
        case 1:
            return fileUrl();
        case 2:
        case 3:
            return newFileUrl();
        case 4:
            return pickFrom(
                {QStringLiteral("--help"), QStringLiteral("-h"), QStringLiteral("--version"),
                    QStringLiteral("--"), QStringLiteral("-"), QStringLiteral("--bogus"),
                    QStringLiteral("-x"), QStringLiteral("---"), QStringLiteral("--help=1")});
        default:
            return junk();
        }
    }

    // A folder inside the target (or the target itself), written one of many ways.
    QString folderPath()
    {
        QStringList segments;
        for (int count = pick(4); count > 0; --count)
            segments.append(segment());
        const QString inside = segments.join(u'/');
        if (pick(2) == 0)
            return inside.isEmpty() ? QStringLiteral(".") : inside; // relative to the target
        return m_target + (pick(4) == 0 ? QStringLiteral("//") : QStringLiteral("/")) + inside;
    }

    QString fileUrl()
    {
        const QString path = m_target + u'/' + segment();
        const QString encoded
            = pick(2) == 0 ? QString::fromUtf8(QUrl::toPercentEncoding(path, "/")) : path;
        return pickFrom({QStringLiteral("file://"), QStringLiteral("file://localhost"),
                   QStringLiteral("FILE://"), QStringLiteral("file://other-host"),
                   QStringLiteral("file:")})
            + encoded;
    }

    QString newFileUrl()
    {
        QString folder = absoluteFolder();
        switch (pick(4)) {
        case 0:
            folder = QString::fromUtf8(QUrl::toPercentEncoding(folder, "/"));
            break;
        case 1: // encoded twice: decoded once, it is a relative path, which is refused
            folder = QString::fromUtf8(
                QUrl::toPercentEncoding(QString::fromUtf8(QUrl::toPercentEncoding(folder, "/"))));
            break;
        default:
            break;
        }
        const QString start = pickFrom(
            {QStringLiteral("scrivlet://new-file?"), QStringLiteral("SCRIVLET://new-file?"),
                QStringLiteral("scrivlet://NEW-FILE?"), QStringLiteral("scrivlet:new-file?"),
                QStringLiteral("scrivlet:///new-file?"), QStringLiteral("scrivlet://other?"),
                QStringLiteral("scrivlet://new-file/x?"), QStringLiteral("scrivlet://new-file?")});
        QStringList items;
        if (pick(4) == 0)
            items.append(QStringLiteral("folder=") + folder);
        items.append(pickFrom({QStringLiteral("path="), QStringLiteral("path="),
                         QStringLiteral("PATH="), QStringLiteral("path"),
                         QStringLiteral("path=relative/"), QStringLiteral("path=%ZZ")})
            + (pick(6) == 0 ? QString() : folder));
        if (pick(3) == 0)
            items.append(QStringLiteral("path=") + absoluteFolder());
        QString url = start + items.join(pick(5) == 0 ? u';' : u'&');
        if (pick(6) == 0)
            url += pickFrom({QStringLiteral("#fragment"), QStringLiteral("&"),
                QStringLiteral("%00"), QStringLiteral("%"), QStringLiteral(" ")});
        return url;
    }

private:
    int pick(int choices) { return int(m_random.bounded(choices)); }

    QString pickFrom(const QStringList &choices) { return choices.at(pick(int(choices.size()))); }

    QString absoluteFolder()
    {
        QStringList segments {m_target};
        for (int count = pick(3); count > 0; --count)
            segments.append(segment());
        return segments.join(u'/');
    }

    // One step inside the target: an existing folder, a new name with awkward characters, "."
    // or a step into a folder and back out of it. Never a lone "..": that would leave.
    QString segment()
    {
        switch (pick(6)) {
        case 0:
            return QStringLiteral("sub");
        case 1:
            return QStringLiteral(".");
        case 2:
            return QStringLiteral("sub/..");
        case 3:
            return pickFrom({QStringLiteral("Tom & Jerry"), QStringLiteral("a=b+c;d"),
                QStringLiteral("100% done"), QStringLiteral("what?#"), QStringLiteral("caf\u00e9"),
                QStringLiteral("\U0001F600 emoji"), QStringLiteral("-dash"),
                QStringLiteral("line\nbreak"), QStringLiteral("tab\there"),
                QStringLiteral("back\\slash"), QStringLiteral("..."), QStringLiteral(".hidden"),
                QStringLiteral("~"), QStringLiteral("*"), QStringLiteral("a.txt")});
        default:
            return randomName();
        }
    }

    // Letters, digits and awkward punctuation, never "/" (which would change the folder).
    QString randomName()
    {
        static const QString characters
            = QStringLiteral("abcXYZ019 .-_~!$&'()*+,;=:@%?#[]{}<>\"|\\^`\u00e9\u00df\u4e2d");
        QString name;
        for (int count = 1 + pick(12); count > 0; --count)
            name.append(characters.at(pick(int(characters.size()))));
        return name == u"." || name == u".." ? QStringLiteral("dots") : name;
    }

    // Junk that names no folder: control characters, long runs, bits of URLs.
    QString junk()
    {
        switch (pick(5)) {
        case 0:
            return QString();
        case 1:
            return QString(1000 + pick(9000), QChar(u'a' + pick(26)));
        case 2: {
            QString text;
            for (int count = 1 + pick(30); count > 0; --count)
                text.append(QChar(char16_t(1 + pick(0x7f))));
            // A "/" could make it a path outside the target ("/x", "a/../../x").
            return text.replace(u'/', u'_');
        }
        case 3:
            return pickFrom({QStringLiteral("scrivlet:"), QStringLiteral("scrivlet://"),
                QStringLiteral("scrivlet://new-file"), QStringLiteral("scrivlet://new-file?path"),
                QStringLiteral("scrivlet://new-file?path="), QStringLiteral("scrivlet:%"),
                QStringLiteral("file:"), QStringLiteral("file://"), QStringLiteral("http://x/"),
                QStringLiteral("mailto:a@b"), QStringLiteral("%00"), QStringLiteral("\u202e")});
        default:
            return randomName();
        }
    }

    QString m_target;
    QRandomGenerator m_random;
};
