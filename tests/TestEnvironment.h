#pragma once

#include <QTemporaryDir>
#include <QTest>

// Points HOME and every XDG directory at a fresh temporary folder before the application object
// exists, so no test reads or writes the real user's files.
class TestEnvironment
{
public:
    TestEnvironment();
    QString root() const { return m_root.path(); }

private:
    QTemporaryDir m_root;
};

// Like QTEST_MAIN, but isolates the user's directories first.
#define SCRIVLET_TEST_MAIN(TestObject)                                                             \
    int main(int argc, char *argv[])                                                               \
    {                                                                                              \
        TestEnvironment environment;                                                               \
        QApplication app(argc, argv);                                                              \
        TestObject testObject;                                                                     \
        QTEST_SET_MAIN_SOURCE_PATH                                                                 \
        return QTest::qExec(&testObject, argc, argv);                                              \
    }
