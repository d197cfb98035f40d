#include "DocumentError.h"

using namespace Qt::StringLiterals;

namespace {

QString descriptionFor(DocumentError::Code code)
{
    switch (code) {
    case DocumentError::fileReadUnknown:
        return u"The file could not be read."_s;
    case DocumentError::fileReadNoPermission:
        return u"The file could not be opened because you don’t have permission to view it."_s;
    case DocumentError::fileReadCorruptFile:
        return u"The file does not contain readable content."_s;
    case DocumentError::fileReadTooLarge:
        return u"The file is too large to open."_s;
    case DocumentError::fileReadUnknownStringEncoding:
        return u"The file could not be read with any supported text encoding."_s;
    case DocumentError::fileWriteUnknown:
        return u"The file could not be saved."_s;
    case DocumentError::fileWriteNoPermission:
        return u"The file could not be saved because you don’t have permission."_s;
    case DocumentError::fileWriteOutOfSpace:
        return u"The file could not be saved because there isn’t enough space on the disk."_s;
    case DocumentError::fileWriteVolumeReadOnly:
        return u"The file could not be saved because the volume is read only."_s;
    case DocumentError::fileWriteInapplicableStringEncoding:
        // Carries no description by design; displayMessage() words it for the user.
        return {};
    }
    return {};
}

} // namespace

DocumentError::DocumentError(Code errorCode, QString systemReason)
    : code(errorCode)
    , description(descriptionFor(errorCode))
    , detail(std::move(systemReason))
{ }

QString DocumentError::displayMessage() const
{
    if (!description.isEmpty())
        return description;
    if (code == fileWriteInapplicableStringEncoding)
        return u"The document could not be saved because its text contains characters that "
               u"cannot be stored as UTF-8."_s;
    return u"The document could not be read or saved."_s;
}
