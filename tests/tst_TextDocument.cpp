#include "TextDocument.h"

#include <QRandomGenerator>
#include <QtTest>

#include <array>
#include <numeric>

using namespace Qt::StringLiterals;

namespace {

enum Action {
    Type,
    Backspace,
    MoveCaret,
    ReplaceAnywhere,
    Group,
    Undo,
    Redo,
    Save,
    SaveFromSnapshot,
    AppendLoaded,
    SetText,
    ActionCount
};
// How often each action is taken, in the order above.
using Weights = QList<int>;

QString randomText(QRandomGenerator &random, int maximum)
{
    static const QString alphabet = u"ab \r\n\r\n\u2029"_s + QChar(0) + u"\U0001F600"_s;
    QString text;
    for (int i = random.bounded(maximum + 1); i > 0; --i)
        text.append(alphabet[random.bounded(int(alphabet.size()))]);
    return text;
}

// The document as its listeners see it: a copy kept only from the notifications, and the last
// state each signal reported.
struct Listener
{
    explicit Listener(TextDocument &document)
        : document(document)
        , mirror(document.toString())
    {
        QObject::connect(&document, &TextDocument::contentsChange, &document,
            [this](qsizetype position, qsizetype removed, qsizetype added) {
                ++changes;
                lastChange = {position, removed, added};
                mirror.replace(position, removed, this->document.text(position, added));
            });
        QObject::connect(&document, &TextDocument::modificationChanged, &document,
            [this](bool value) { repeated |= !report(modified, value); });
        QObject::connect(&document, &TextDocument::undoAvailable, &document,
            [this](bool value) { repeated |= !report(undo, value); });
        QObject::connect(&document, &TextDocument::redoAvailable, &document,
            [this](bool value) { repeated |= !report(redo, value); });
    }

    // Whether the signal told something new.
    static bool report(bool &state, bool value) { return std::exchange(state, value) != value; }

    TextDocument &document;
    QString mirror;
    int changes = 0;
    std::array<qsizetype, 3> lastChange {};
    bool modified = false;
    bool undo = false;
    bool redo = false;
    bool repeated = false;
};

// Drives a document with random user actions; one step is one action.
struct RandomUser
{
    RandomUser(quint32 seed, const Weights &weights)
        : random(seed)
        , weights(weights)
        , document(randomText(random, 3000))
        , saved(document.toString())
    { }

    Action nextAction()
    {
        int pick = random.bounded(std::accumulate(weights.begin(), weights.end(), 0));
        int action = 0;
        while (pick >= weights[action])
            pick -= weights[action++];
        return Action(action);
    }

    qsizetype anywhere() { return qsizetype(random.bounded(quint64(document.length() + 1))); }

    // The span the action's one edit covers, when it is a single edit the document must report
    // as it was made.
    std::optional<std::array<qsizetype, 3>> step(Action action)
    {
        caret = std::min(caret, document.length());
        switch (action) {
        case Type: {
            const QString typed = QString(u"ab \n"_s[random.bounded(4)]);
            document.replace(caret, 0, typed);
            return std::array<qsizetype, 3> {caret++, 0, 1};
        }
        case Backspace:
            if (caret == 0)
                return std::nullopt;
            document.replace(--caret, 1, {});
            return std::array<qsizetype, 3> {caret, 1, 0};
        case MoveCaret:
            caret = anywhere();
            document.breakTypingCoalescing();
            return std::nullopt;
        case ReplaceAnywhere:
        case Group: {
            const bool grouped = action == Group;
            if (grouped)
                document.beginEditGroup();
            std::array<qsizetype, 3> edit {};
            for (int edits = grouped ? 2 + random.bounded(4) : 1; edits > 0; --edits) {
                const QString inserted = randomText(random, 12);
                const qsizetype at = anywhere();
                const qsizetype removed
                    = std::min<qsizetype>(random.bounded(20), document.length() - at);
                document.replace(at, removed, inserted);
                edit = {at, removed, inserted.size()};
                caret = at + inserted.size();
            }
            if (grouped)
                document.endEditGroup();
            if (grouped || (edit[1] == 0 && edit[2] == 0))
                return std::nullopt;
            return edit;
        }
        case Undo:
            caret = document.undo().value_or(caret);
            return std::nullopt;
        case Redo:
            caret = document.redo().value_or(caret);
            return std::nullopt;
        case Save:
            document.setModified(false);
            saved = document.toString();
            return std::nullopt;
        case SaveFromSnapshot:
            // Written on a worker in the program: the edits made meanwhile are not in the file.
            if (!pendingSave) {
                pendingSave = {document.markSaveState(), document.toString()};
            } else {
                document.markSaved(pendingSave->first);
                saved = pendingSave->second;
                pendingSave.reset();
            }
            return std::nullopt;
        case AppendLoaded: {
            const QString block = randomText(random, 200);
            const qsizetype end = document.length();
            document.appendLoadedText(block);
            // What is loaded is what the file holds.
            saved += block;
            if (pendingSave)
                pendingSave->second += block;
            if (block.isEmpty())
                return std::nullopt;
            return std::array<qsizetype, 3> {end, 0, block.size()};
        }
        case SetText:
            document.setText(randomText(random, 500));
            saved = document.toString();
            return std::nullopt;
        case ActionCount:
            break;
        }
        return std::nullopt;
    }

    QRandomGenerator random;
    Weights weights;
    TextDocument document;
    QString saved;
    std::optional<std::pair<quint64, QString>> pendingSave;
    qsizetype caret = 0;
};

} // namespace

class TestTextDocument : public QObject
{
    Q_OBJECT

private slots:
    void notifications_data();
    void notifications();
};

void TestTextDocument::notifications_data()
{
    QTest::addColumn<Weights>("weights");
    //                                        Type Bksp Move Repl Grp Undo Redo Save Snap Load Set
    QTest::addRow("typing, undo and redo") << Weights {30, 8, 4, 2, 0, 8, 6, 2, 0, 0, 0};
    QTest::addRow("edits anywhere and groups") << Weights {4, 2, 2, 12, 8, 6, 5, 2, 0, 0, 1};
    QTest::addRow("loading while the user types") << Weights {10, 3, 2, 2, 1, 3, 2, 0, 0, 10, 0};
    QTest::addRow("saves from snapshots while editing")
        << Weights {10, 3, 3, 4, 3, 6, 5, 1, 4, 1, 0};
}

// After every action, a copy kept only from the notifications equals the text, a single edit is
// reported as made, an action is reported at most once, the signals tell only changes and agree
// with the document, and a document whose text differs from the saved one is modified.
void TestTextDocument::notifications()
{
    QFETCH(Weights, weights);
    QCOMPARE(weights.size(), ActionCount);
    const quint32 seed = qEnvironmentVariableIsSet("SCRIVLET_TEST_SEED")
        ? quint32(qEnvironmentVariableIntValue("SCRIVLET_TEST_SEED"))
        : QRandomGenerator::global()->generate();
    RandomUser user(seed, weights);
    Listener listener(user.document);
    for (int step = 0; step < 4000; ++step) {
        auto failure = qScopeGuard([&] {
            qWarning(
                "notifications failed at step %d; SCRIVLET_TEST_SEED=%u repeats it", step, seed);
        });
        const Action action = user.nextAction();
        const int changesBefore = listener.changes;
        const std::optional<std::array<qsizetype, 3>> edit = user.step(action);
        const QString text = user.document.toString();
        QCOMPARE(listener.mirror, text);
        QVERIFY(listener.changes - changesBefore <= 1);
        if (edit) {
            QCOMPARE(listener.changes, changesBefore + 1);
            QCOMPARE(listener.lastChange, *edit);
        }
        QVERIFY(!listener.repeated);
        QCOMPARE(listener.modified, user.document.isModified());
        QCOMPARE(listener.undo, user.document.canUndo());
        QCOMPARE(listener.redo, user.document.canRedo());
        if (text != user.saved)
            QVERIFY(user.document.isModified());
        if (action == SetText || action == Save)
            QVERIFY(!user.document.isModified());
        failure.dismiss();
    }
}

QTEST_GUILESS_MAIN(TestTextDocument)
#include "tst_TextDocument.moc"
