#include "ThunarCustomActions.h"

#include <QRegularExpression>

using namespace Qt::StringLiterals;

namespace {

// Our <action> element with the white space before it, so removing it leaves no blank line.
const QRegularExpression &ourAction()
{
    static const QRegularExpression pattern(u"[ \\t]*<action>(?:(?!</action>).)*<unique-id>"_s
            + QRegularExpression::escape(ThunarCustomActions::uniqueId.toString())
            + u"</unique-id>.*?</action>[ \\t]*\\n?"_s,
        QRegularExpression::DotMatchesEverythingOption);
    return pattern;
}

const QString emptyDocument
    = u"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<actions>\n</actions>\n"_s;

} // namespace

bool ThunarCustomActions::containsAction(const QString &document)
{
    return ourAction().match(document).hasMatch();
}

QString ThunarCustomActions::actionText(const QString &document)
{
    return ourAction().match(document).captured();
}

std::optional<QString> ThunarCustomActions::withAction(
    const QString &document, const QString &action)
{
    QString result = withoutAction(document.trimmed().isEmpty() ? emptyDocument : document);
    const qsizetype end = result.lastIndexOf(u"</actions>");
    if (end < 0)
        return std::nullopt;
    QString element = action;
    if (!element.endsWith(u'\n'))
        element += u'\n';
    result.insert(end, element);
    return result;
}

QString ThunarCustomActions::withoutAction(const QString &document)
{
    QString result = document;
    result.remove(ourAction());
    return result;
}
