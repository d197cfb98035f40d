// The new-file URL: any folder path the extension builds a URL for comes back unchanged from the
// editor's parser, and no text at all makes the parser fail or hand the editor a folder it would
// act on that is relative or holds a NUL.

#include "FuzzCheck.h"

#include "NewFileUrl.h"

#include <QDir>
#include <QUrl>

#include <fuzzer/FuzzedDataProvider.h>

using namespace Qt::StringLiterals;

namespace {

void checkParse(const QString &url)
{
    const std::optional<QString> folder = NewFileUrl::folderPath(url);
    if (!folder)
        return;
    FUZZ_CHECK(folder->isValidUtf16());
    if (!NewFileUrl::folderProblem(*folder)) {
        FUZZ_CHECK(QDir::isAbsolutePath(*folder));
        FUZZ_CHECK(!folder->contains(QChar(0)));
    }
    // What was read can be sent again and reads the same.
    const std::optional<QString> again = NewFileUrl::build(*folder);
    FUZZ_CHECK(again.has_value());
    FUZZ_CHECK(NewFileUrl::folderPath(*again) == folder);
}

void checkRoundTrip(const QString &path)
{
    const std::optional<QString> url = NewFileUrl::build(path);
    FUZZ_CHECK(url.has_value() == path.isValidUtf16());
    if (!url)
        return;
    FUZZ_CHECK(QUrl(*url, QUrl::StrictMode).isValid());
    FUZZ_CHECK(NewFileUrl::folderPath(*url) == path);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider input(data, size);
    const auto form = input.ConsumeIntegralInRange<int>(0, 3);
    const std::string rest = input.ConsumeRemainingBytesAsString();
    const QString text = form == 3 ? FuzzText::utf16Units(rest) : QString::fromUtf8(rest);
    // Most garbage fails the first checks; these prefixes take it further in.
    static const QString prefixes[]
        = {QString(), u"scrivlet://new-file?"_s, u"scrivlet://new-file?path="_s, QString()};
    checkParse(prefixes[form] + text);
    checkRoundTrip(text);
    return 0;
}
