#include "DocumentLoader.h"
#include "DocumentTextAccess.h"
#include "LongLineLayout.h"
#include "ScrivletTextView.h"
#include "TestEnvironment.h"

#include <QApplication>
#include <QSignalSpy>
#include <QTextBlock>
#include <QTextDocument>

class TestLongLineLayout : public QObject
{
    Q_OBJECT

private slots:
    void onlyLongLinesAreCut_data();
    void onlyLongLinesAreCut();
    void positionsMapBothWays();
    void piecesKeepPairsAndMarksWhole();
    void gutterNumbersPiecesAsOneLine();
    void editAnywayRestoresTheTextExactly();
};

namespace {

QString words(qsizetype length)
{
    QString text;
    while (text.size() < length)
        text += u"lorem ipsum "_qs;
    text.truncate(length);
    return text;
}

QString withoutBreaks(const LongLineLayout &layout)
{
    QString original = layout.displayText();
    const auto &breaks = layout.breaks();
    for (qsizetype k = breaks.size() - 1; k >= 0; --k)
        original.remove(breaks[k] + k, 1);
    return original;
}

} // namespace

void TestLongLineLayout::onlyLongLinesAreCut_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("breaks");
    QTest::addRow("short lines stay as they are") << (words(5000) + u"\n"_qs + words(19000)) << 0;
    QTest::addRow("a line at the limit stays") << words(LongLineLayout::longLineLimit) << 0;
    QTest::addRow("one line past the limit is cut")
        << words(LongLineLayout::longLineLimit + 1) << 1;
    QTest::addRow("ten million characters") << words(10000000) << 999;
    QTest::addRow("long line between CR LF lines")
        << (u"a\r\n"_qs + words(45000) + u"\r\nb"_qs) << 3;
}

void TestLongLineLayout::onlyLongLinesAreCut()
{
    QFETCH(QString, text);
    QFETCH(int, breaks);
    const std::optional<LongLineLayout> layout = LongLineLayout::forText(text);
    QCOMPARE(layout.has_value(), breaks > 0);
    if (!layout)
        return;
    QVERIFY(std::abs(layout->breaks().size() - breaks) <= 1);
    QCOMPARE(withoutBreaks(*layout), text);
    for (const QStringView line : QStringView(layout->displayText()).split(u'\n'))
        QVERIFY(line.size() <= LongLineLayout::longLineLimit);
}

void TestLongLineLayout::positionsMapBothWays()
{
    const QString text = u"short\n"_qs + words(65000) + u"\nend"_qs;
    const LongLineLayout layout = *LongLineLayout::forText(text);
    for (qsizetype position = 0; position <= text.size(); position += 997) {
        const qsizetype shown = layout.toDisplay(position);
        QCOMPARE(layout.toOriginal(shown), position);
        if (position < text.size())
            QCOMPARE(layout.displayText().at(shown), text.at(position));
    }
}

void TestLongLineLayout::piecesKeepPairsAndMarksWhole()
{
    // No spaces to cut after: the cut must still avoid splitting a pair or a mark from its base.
    QString text;
    while (text.size() < 60000)
        text += u"\U0001F600e\u0301"_qs;
    const LongLineLayout layout = *LongLineLayout::forText(text);
    for (qsizetype position : layout.breaks()) {
        QVERIFY(!text.at(position).isLowSurrogate());
        QVERIFY(text.at(position).category() != QChar::Mark_NonSpacing);
    }
}

void TestLongLineLayout::gutterNumbersPiecesAsOneLine()
{
    QTextDocument document;
    DocumentLoader loader(&document);
    QSignalSpy finished(&loader, &DocumentLoader::finished);
    loader.loadText(u"first\n"_qs + words(35000) + u"\nthird"_qs);
    QTRY_COMPARE(finished.count(), 1);
    QList<QPair<int, bool>> lines;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        const auto line = ScrivletTextView::lineNumberOf(block);
        lines.append({line.number, line.startsLine});
    }
    const QList<QPair<int, bool>> expected {
        {1, true}, {2, true}, {2, false}, {2, false}, {3, true}};
    QCOMPARE(lines, expected);
}

void TestLongLineLayout::editAnywayRestoresTheTextExactly()
{
    QTextDocument document;
    DocumentLoader loader(&document);
    QSignalSpy finished(&loader, &DocumentLoader::finished);
    const QString text = words(50000) + u"\n"_qs;
    loader.loadText(text);
    QTRY_COMPARE(finished.count(), 1);
    QVERIFY(loader.longLineLayout().has_value());
    QCOMPARE(document.blockCount(), loader.longLineLayout()->breaks().size() + 2);
    loader.editAnyway();
    QTRY_COMPARE(finished.count(), 2);
    QVERIFY(!loader.longLineLayout().has_value());
    QCOMPARE(DocumentTextAccess::plainText(document), text);
    QCOMPARE(ScrivletTextView::lineNumberOf(document.lastBlock()).number, 2);
}

SCRIVLET_TEST_MAIN(TestLongLineLayout)
#include "tst_LongLineLayout.moc"
