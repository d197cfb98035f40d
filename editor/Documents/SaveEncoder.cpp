#include "SaveEncoder.h"

#include "ScrivletDocument.h"

DocumentResult<QByteArray> SaveEncoder::encode(QStringView piece)
{
    // A piece of nothing changes nothing: the CR LF may be split around it.
    if (piece.isEmpty())
        return QByteArray();
    if (m_endedWithCarriageReturn && piece.startsWith(u'\n'))
        piece = piece.sliced(1); // the LF of a CR LF whose CR ended the previous piece
    m_endedWithCarriageReturn = false;
    if (piece.isEmpty())
        return QByteArray();
    m_endedWithCarriageReturn = piece.endsWith(u'\r');

    QString text;
    text.reserve(piece.size());
    for (qsizetype from = 0; from < piece.size();) {
        qsizetype carriageReturn = piece.indexOf(u'\r', from);
        if (carriageReturn < 0)
            carriageReturn = piece.size();
        text.append(piece.sliced(from, carriageReturn - from));
        if (carriageReturn == piece.size())
            break;
        text.append(u'\n');
        from = carriageReturn + 1;
        if (from < piece.size() && piece[from] == u'\n')
            ++from;
    }
    if (std::optional<QByteArray> bytes = ScrivletDocument::encodeUtf8(text))
        return std::move(*bytes);
    return DocumentError(DocumentError::fileWriteInapplicableStringEncoding);
}
