#pragma once

#include "DocumentError.h"

#include <QByteArray>
#include <QStringView>

// The bytes of a saved file, produced piece by piece so that saving a large document never holds
// a second copy of its whole text: CR and CR LF become LF (every LF stays, the last one too), and
// the text is encoded as strict UTF-8. The pieces together give exactly what
// ScrivletDocument::encodeForSave() gives for the whole text.
class SaveEncoder
{
public:
    // The bytes for the next piece of text. A piece must not end between the two halves of a
    // surrogate pair; a CR LF split over two pieces is recognised.
    DocumentResult<QByteArray> encode(QStringView piece);

private:
    bool m_endedWithCarriageReturn = false;
};
