#pragma once

#include <QByteArrayView>
#include <QString>

#include <optional>

// The single-byte fallbacks of the read path. Each decodes the whole buffer or gives nothing:
// there is no replacement character and no partial result, so the caller can try the next one.
namespace LegacyEncodings {

// Refuses the C1 range 0x80–0x9F: text holding those bytes is nearly always Windows-1252, and
// accepting them would leave the later fallbacks unreachable.
std::optional<QString> decodeLatin1(QByteArrayView bytes);

// Refuses the five byte values Windows-1252 leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D).
std::optional<QString> decodeWindows1252(QByteArrayView bytes);

// Maps every byte value (Apple's current table, with € at 0xDB), so it always succeeds.
std::optional<QString> decodeMacRoman(QByteArrayView bytes);

} // namespace LegacyEncodings
